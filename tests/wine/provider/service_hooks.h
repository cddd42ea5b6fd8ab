// Test-bed-only changes to korvi-sar.exe's imports (see service_hooks.cpp for why).
#pragma once

namespace korvi::fake {

// Patches the executable's import table; called once, when this DLL is loaded. Idempotent.
void InstallServiceHooks() noexcept;

// Holds the service at the bed's instance gate (KORVI_WINE_INSTANCE_GATE) once, if this
// process took the real one-instance lock; called at its first activation after the lock,
// when the lock's handle is the service's own.
void PassInstanceGate() noexcept;

// The service's own release of the objects it keeps for the whole process, handed over by
// the bed's executable (KorviBedReleaseProcessObjects).
void SetProcessObjectsRelease(void (*release)() noexcept) noexcept;

// Ends the run from inside the service's wait when the notebook's timeline is spent, as the
// Linux build does: the line that says so and the summary on stderr, the live object counts,
// exit code 4.
[[noreturn]] void EndRunWhenTimelineSpent() noexcept;

}  // namespace korvi::fake
