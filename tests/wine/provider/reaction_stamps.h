// Test-bed-only timing of the service's reaction on Wine's real kernel (bench/run): the
// QueryPerformanceCounter moment of each notification's delivery to the service's handler, of
// the first step of each firmware call that the fakes see (the WMI locator's CreateInstance,
// behind the service's CoCreateInstance) and of each ExecMethod. Off unless KORVI_WINE_STAMPS
// names a file. The stamps stay in memory, so the timed path does no I/O and no allocation,
// and are written when the notebook stops.
#pragma once

namespace korvi::fake::stamps {

enum class Moment { kDelivery, kCallStart, kExecMethod };

void Take(Moment moment) noexcept;
// Writes "frequency F" and one "MOMENT TICKS" line per stamp, in the order taken; a file that
// cannot be written is one line on stderr. Does nothing when no file was asked for.
void WriteIfAsked() noexcept;

}  // namespace korvi::fake::stamps
