#include "platform/windows/winrt_platform.h"

#include <roapi.h>

#include <limits>
#include <utility>

#include "platform/windows/abi/mobile_broadband.h"
#include "platform/windows/buffer_object.h"
#include "platform/windows/error_text.h"
#include "platform/windows/modem_objects.h"
#include "platform/windows/support/owners.h"
#include "platform/windows/winrt_activation.h"

namespace korvi::windows {
namespace {

using ICryptographicBufferStatics = ABI::Windows::Security::Cryptography::ICryptographicBufferStatics;

ComPtr<ICryptographicBufferStatics> CryptographicBuffer() {
  return GetStatics<ICryptographicBufferStatics>(abi::kCryptographicBufferClass);
}

}  // namespace

std::shared_ptr<cellular::Modem> WinRtModemPlatform::GetDefault() {
  const auto statics = GetStatics<abi::NO::IMobileBroadbandModemStatics>(abi::kMobileBroadbandModemClass);
  ComPtr<abi::NO::IMobileBroadbandModem> modem;
  Check(statics->GetDefault(modem.put()));
  return WrapModem(std::move(modem));  // empty when the machine has no modem
}

std::int32_t WinRtModemPlatform::RoInitialize() noexcept {
  return static_cast<std::int32_t>(::RoInitialize(RO_INIT_MULTITHREADED));
}

void WinRtModemPlatform::RoUninitialize() noexcept { ::RoUninitialize(); }

std::shared_ptr<cellular::Buffer> WinRtModemPlatform::CreateFromByteArray(std::span<const std::uint8_t> bytes) {
  if (bytes.size() > std::numeric_limits<UINT32>::max()) ThrowPlatformError(E_INVALIDARG);
  const auto statics = CryptographicBuffer();
  ComPtr<IBuffer> buffer;
  // The array is only read; the ABI spells the parameter without const.
  Check(statics->CreateFromByteArray(static_cast<UINT32>(bytes.size()), const_cast<BYTE*>(bytes.data()),
                                           buffer.put()));
  if (!buffer) ThrowPlatformError(E_POINTER);
  return std::make_shared<BufferObject>(std::move(buffer));
}

std::vector<std::uint8_t> WinRtModemPlatform::CopyToByteArray(const std::shared_ptr<cellular::Buffer>& buffer) {
  IBuffer* const source = IBufferOf(buffer);
  if (source == nullptr) ThrowPlatformError(E_POINTER);
  const auto statics = CryptographicBuffer();
  UINT32 length = 0;
  CoTaskMemPtr<BYTE> bytes;
  Check(statics->CopyToByteArray(source, &length, bytes.put()));
  if (length == 0) return {};
  if (!bytes) ThrowPlatformError(E_POINTER);  // a count without the array it counts
  return std::vector<std::uint8_t>(bytes.get(), bytes.get() + length);
}

}  // namespace korvi::windows
