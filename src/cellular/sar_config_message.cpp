#include "cellular/sar_config_message.h"

#include <algorithm>
#include <cstring>

namespace korvi::cellular {
namespace {
void PutWord(SARSetConfigMessage& message, std::size_t index, std::uint32_t value) {
  for (std::size_t byte = 0; byte < 4; ++byte)
    message[index * 4 + byte] = static_cast<std::uint8_t>(value >> (8 * byte));
}

std::uint32_t WordAt(const std::array<std::uint8_t, kSarConfigReplySize>& bytes, std::size_t index) {
  std::uint32_t value = 0;
  for (std::size_t byte = 0; byte < 4; ++byte) value |= static_cast<std::uint32_t>(bytes[index * 4 + byte]) << (8 * byte);
  return value;
}
}  // namespace

SARSetConfigMessage BuildSARSetConfigMessage() {
  SARSetConfigMessage message{};
  PutWord(message, 0, 1);   // SAR mode: the OS controls back-off
  PutWord(message, 1, 0);   // back-off disabled
  PutWord(message, 2, 1);   // one antenna entry
  PutWord(message, 3, 20);  // the entry starts right after this header
  PutWord(message, 4, 8);   // and is two words long
  PutWord(message, 5, 0);   // antenna index
  PutWord(message, 6, 1);   // back-off index
  return message;
}

SARConfigReply ParseSARConfigReply(std::span<const std::uint8_t> responseData) {
  std::array<std::uint8_t, kSarConfigReplySize> copy{};
  std::copy_n(responseData.begin(), std::min(responseData.size(), copy.size()), copy.begin());
  return SARConfigReply{
      static_cast<std::int32_t>(WordAt(copy, 0)), static_cast<std::int32_t>(WordAt(copy, 1)),
      static_cast<std::int32_t>(WordAt(copy, 2)), WordAt(copy, 3),
      WordAt(copy, 4), WordAt(copy, 5),
      WordAt(copy, 6), WordAt(copy, 7)};
}

}  // namespace korvi::cellular
