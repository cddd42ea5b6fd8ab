// The fake IBuffer: one simulated buffer (a request the service made, or the modem's reply).
// The simulated platform keeps the bytes; the fake knows their count when it made the buffer
// from bytes itself.
#pragma once

#include <windows.h>
#include <windows.storage.streams.h>

#include <cstdint>
#include <memory>
#include <optional>

#include "cellular/modem_platform.h"
#include "com_object.h"

namespace korvi::fake {

class FakeBuffer final : public ComObject<FakeBuffer, ABI::Windows::Storage::Streams::IBuffer> {
 public:
  // {0b7d2f61-8a44-4f3e-b1c9-52e8d4a7c302}: only our own buffers answer it.
  static constexpr GUID kSelfIid = {0x0b7d2f61, 0x8a44, 0x4f3e, {0xb1, 0xc9, 0x52, 0xe8, 0xd4, 0xa7, 0xc3, 0x02}};
  static constexpr const wchar_t* kRuntimeClassName = L"Windows.Storage.Streams.Buffer";

  FakeBuffer(std::shared_ptr<cellular::Buffer> buffer, std::optional<UINT32> length)
      : buffer_(std::move(buffer)), length_(length) {}
  const std::shared_ptr<cellular::Buffer>& simulated() const noexcept { return buffer_; }

  HRESULT STDMETHODCALLTYPE get_Capacity(UINT32* value) override { return get_Length(value); }
  HRESULT STDMETHODCALLTYPE get_Length(UINT32* value) override {
    if (!ClearOut(value)) return E_POINTER;
    if (!length_) return E_NOTIMPL;  // a reply buffer: its bytes are read with CopyToByteArray
    *value = *length_;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE put_Length(UINT32) override { return E_NOTIMPL; }

 private:
  std::shared_ptr<cellular::Buffer> buffer_;
  std::optional<UINT32> length_;
};

}  // namespace korvi::fake
