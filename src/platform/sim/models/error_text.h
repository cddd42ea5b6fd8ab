// The message texts that the simulated platform gives with its result codes, worded as the
// system's own message table words them.
#pragma once

#include <cstdint>
#include <string>

namespace korvi::sim {

inline constexpr std::int32_t kDeviceNotConnected = static_cast<std::int32_t>(0x8007048F);
inline constexpr std::int32_t kIllegalMethodCall = static_cast<std::int32_t>(0x8000000E);

std::wstring ErrorText(std::int32_t code);

}  // namespace korvi::sim
