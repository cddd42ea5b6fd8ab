// SAR initialisation: sends the set-SAR-configuration command once to the modem's SAR device
// service and reads the reply.
#pragma once

#include <chrono>
#include <cstdint>

namespace korvi::cellular {

// The modem has this long (platform time) to answer the command before the wait counts as a
// platform failure; a modem that never answers must not hang the service's start.
inline constexpr std::chrono::milliseconds kSetCommandTimeout{30000};

// 0: accepted, or no command session; the modem's status code when it rejected the command;
// 1: a platform error on the way. Writes "\n [Korvi] - InitSAR()  set sar config failed" on a
// rejection, and nothing else on the console.
std::uint32_t InitSAR();

}  // namespace korvi::cellular
