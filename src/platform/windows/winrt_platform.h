// The Windows Runtime behind the cellular seam: MobileBroadbandModem's statics, the thread's
// apartment, and CryptographicBuffer.
#pragma once

#include "cellular/modem_platform.h"

namespace korvi::windows {

class WinRtModemPlatform final : public cellular::ModemPlatform {
 public:
  std::shared_ptr<cellular::Modem> GetDefault() override;
  std::int32_t RoInitialize() noexcept override;
  void RoUninitialize() noexcept override;
  std::shared_ptr<cellular::Buffer> CreateFromByteArray(std::span<const std::uint8_t> bytes) override;
  std::vector<std::uint8_t> CopyToByteArray(const std::shared_ptr<cellular::Buffer>& buffer) override;
};

}  // namespace korvi::windows
