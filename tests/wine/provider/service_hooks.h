// Test-bed-only changes to korvi-sar.exe's imports (see service_hooks.cpp for why).
#pragma once

namespace korvi::fake {

// Patches the executable's import table; called once, when this DLL is loaded. Idempotent.
void InstallServiceHooks() noexcept;

}  // namespace korvi::fake
