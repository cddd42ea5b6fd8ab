// The payload of the set-SAR-configuration command of the MBIM MS SAR device service, and the
// reply as the service reads it.
#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "cellular/modem_platform.h"

namespace korvi::cellular {

// The MBIM MS SAR device service.
inline constexpr Guid kSarDeviceServiceId = {0x68223D04, 0x9F6C, 0x4E0F, {0x82, 0x2D, 0x28, 0x44, 0x1F, 0xB7, 0x23, 0x40}};
// MBIM_CID_MS_SAR_CONFIG.
inline constexpr std::uint32_t kSarConfigCommandId = 1;

inline constexpr std::size_t kSarSetConfigMessageSize = 28;
inline constexpr std::size_t kSarConfigReplySize = 32;

using SARSetConfigMessage = std::array<std::uint8_t, kSarSetConfigMessageSize>;

// Back-off under OS control, back-off disabled, one antenna entry (antenna 0, level 1).
SARSetConfigMessage BuildSARSetConfigMessage();

struct SARConfigReply {
  std::int32_t sarMode;
  std::int32_t backOffStatus;
  std::int32_t wifiIntegration;
  std::uint32_t elementCount;
  std::uint32_t configStatusOffset;
  std::uint32_t configStatusSize;
  std::uint32_t antennaIndex;
  std::uint32_t backOffIndex;
};

// Reads the eight words at their fixed positions from the first 32 bytes; bytes past the 32nd
// are ignored. A shorter reply is never read past its end: the words it lacks read as 0.
SARConfigReply ParseSARConfigReply(std::span<const std::uint8_t> responseData);

}  // namespace korvi::cellular
