// An IBuffer as the cellular seam's Buffer.
#pragma once

#include <memory>
#include <utility>

#include "cellular/modem_platform.h"
#include "platform/windows/abi/mobile_broadband.h"
#include "platform/windows/support/owners.h"

namespace korvi::windows {

using IBuffer = ABI::Windows::Storage::Streams::IBuffer;

class BufferObject final : public cellular::Buffer {
 public:
  explicit BufferObject(ComPtr<IBuffer> buffer) noexcept : buffer_(std::move(buffer)) {}
  IBuffer* get() const noexcept { return buffer_.get(); }

 private:
  ComPtr<IBuffer> buffer_;
};

// The IBuffer behind a seam buffer; null for an empty handle or a buffer that is not ours.
inline IBuffer* IBufferOf(const std::shared_ptr<cellular::Buffer>& buffer) noexcept {
  const auto* ours = dynamic_cast<const BufferObject*>(buffer.get());
  return ours != nullptr ? ours->get() : nullptr;
}

}  // namespace korvi::windows
