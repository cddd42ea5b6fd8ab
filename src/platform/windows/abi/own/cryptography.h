// Windows.Security.Cryptography.ICryptographicBufferStatics, up to CopyToByteArray (slot 10),
// the last slot the service calls. mingw-w64 10 has the interface in
// windows.security.cryptography.h, but that header does not compile as C++ (it forward-declares
// BinaryStringEncoding with `typedef enum X X;`), so it is declared here from the ABI facts
// (docs/winrt-abi-facts.md).
#pragma once

#include <windows.h>
#include <inspectable.h>
#include <windows.storage.streams.h>

#if !defined(__windows_security_cryptography_h__)

namespace ABI::Windows::Security::Cryptography {

MIDL_INTERFACE("320b7e22-3cb0-4cdf-8663-1d28910065eb")
ICryptographicBufferStatics : public IInspectable {
  virtual HRESULT STDMETHODCALLTYPE Compare(  // 6
      Storage::Streams::IBuffer* object1, Storage::Streams::IBuffer* object2, boolean* isEqual) = 0;
  virtual HRESULT STDMETHODCALLTYPE GenerateRandom(UINT32 length, Storage::Streams::IBuffer** buffer) = 0;  // 7
  virtual HRESULT STDMETHODCALLTYPE GenerateRandomNumber(UINT32* value) = 0;                                // 8
  // The array is (element count, data), caller-owned.
  virtual HRESULT STDMETHODCALLTYPE CreateFromByteArray(  // 9
      UINT32 valueLength, BYTE* value, Storage::Streams::IBuffer** buffer) = 0;
  // The array comes back callee-allocated (CoTaskMemAlloc): the caller frees it.
  virtual HRESULT STDMETHODCALLTYPE CopyToByteArray(  // 10
      Storage::Streams::IBuffer* buffer, UINT32* valueLength, BYTE** value) = 0;
};

}  // namespace ABI::Windows::Security::Cryptography

#ifdef __CRT_UUID_DECL
__CRT_UUID_DECL(ABI::Windows::Security::Cryptography::ICryptographicBufferStatics,
                0x320b7e22, 0x3cb0, 0x4cdf, 0x86, 0x63, 0x1d, 0x28, 0x91, 0x00, 0x65, 0xeb)
#endif

#endif
