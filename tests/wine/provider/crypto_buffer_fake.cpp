#include "crypto_buffer_fake.h"

#include "platform/windows/abi/mobile_broadband.h"

#include <cstring>
#include <span>
#include <vector>

#include "buffer_fake.h"
#include "provider_notebook.h"

namespace korvi::fake {
namespace {

using ABI::Windows::Security::Cryptography::ICryptographicBufferStatics;
using ABI::Windows::Storage::Streams::IBuffer;

class CryptographicBufferFactory final
    : public ComObject<CryptographicBufferFactory, IActivationFactory, ICryptographicBufferStatics> {
 public:
  HRESULT STDMETHODCALLTYPE ActivateInstance(IInspectable** instance) override {
    ClearOut(instance);
    return E_NOTIMPL;  // a static class
  }

  HRESULT STDMETHODCALLTYPE CreateFromByteArray(UINT32 length, BYTE* bytes, IBuffer** buffer) override {
    if (!ClearOut(buffer)) return E_POINTER;
    if (bytes == nullptr && length != 0) return E_INVALIDARG;
    return Guard([&] {
      const std::span<const std::uint8_t> view(bytes, length);
      auto simulated = ProviderNotebook::Get().modem().CreateFromByteArray(view);
      return GiveOut(Make<FakeBuffer>(std::move(simulated), length), buffer);
    });
  }

  // The array is the caller's, allocated with CoTaskMemAlloc as the runtime allocates
  // out-arrays.
  HRESULT STDMETHODCALLTYPE CopyToByteArray(IBuffer* buffer, UINT32* length, BYTE** bytes) override {
    if (!ClearOut(length) || !ClearOut(bytes)) return E_POINTER;
    return Guard([&] {
      const ComPtr<FakeBuffer> fake = Unwrap<FakeBuffer>(buffer);
      // A buffer that is not ours reaches the simulated platform as none, which it rejects.
      const std::vector<std::uint8_t> copied =
          ProviderNotebook::Get().modem().CopyToByteArray(fake ? fake->simulated() : nullptr);
      if (copied.empty()) return S_OK;
      auto* array = static_cast<BYTE*>(CoTaskMemAlloc(copied.size()));
      if (array == nullptr) return E_OUTOFMEMORY;
      std::memcpy(array, copied.data(), copied.size());
      *bytes = array;
      *length = static_cast<UINT32>(copied.size());
      return S_OK;
    });
  }

  // What the service never asks.
  HRESULT STDMETHODCALLTYPE Compare(IBuffer*, IBuffer*, boolean*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GenerateRandom(UINT32, IBuffer**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GenerateRandomNumber(UINT32*) override { return E_NOTIMPL; }
};

}  // namespace

HRESULT GetCryptographicBufferFactory(IActivationFactory** factory) noexcept {
  return Guard([&] { return GiveOut(Make<CryptographicBufferFactory>(), factory); });
}

}  // namespace korvi::fake
