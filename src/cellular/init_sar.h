// SAR initialisation: sends the set-SAR-configuration command once to the modem's SAR device
// service and reads the reply.
#pragma once

#include <cstdint>

#include "cellular/cellular_state.h"

namespace korvi::cellular {

// 0: accepted, or no command session; the modem's status code when it rejected the command;
// 1: a platform error on the way. Writes "\n [Korvi] - InitSAR()  set sar config failed" on a
// rejection, and nothing else on the console. A modem that has not answered within
// kAsyncOperationTimeout counts as a platform error.
[[nodiscard]] std::uint32_t InitSAR(const ModemObjects& process);

}  // namespace korvi::cellular
