// The modem's transmission state at start. Notifications report changes only, so a modem that
// already transmits when monitoring starts would otherwise sit beside a WLAN at full power
// until its next change.
#pragma once

#include "cellular/cellular_state.h"

namespace korvi::cellular {

// Asks the SAR manager once for the current state, with the bound of every modem request.
// Transmitting, or a state that cannot be read (the safe side): stores 1 and signals the
// loop's event, so that the loop's first wake-up asks for reduced WLAN power. Not
// transmitting: nothing. One debug message says what was read. Called once monitoring has
// started; never throws a platform error.
void ReadTransmissionStateAtStart(ModemObjects& process);

}  // namespace korvi::cellular
