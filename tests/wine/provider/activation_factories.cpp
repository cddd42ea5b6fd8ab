#include "activation_factories.h"

#include <cwchar>
#include <string_view>

#include "crypto_buffer_fake.h"
#include "modem_fakes.h"
#include "service_hooks.h"

namespace korvi::fake {

HRESULT GetActivationFactory(HSTRING classId, IActivationFactory** factory) noexcept {
  if (factory == nullptr) return E_POINTER;
  *factory = nullptr;
  PassInstanceGate();  // the service's first step after it took the lock
  UINT32 length = 0;
  const wchar_t* raw = WindowsGetStringRawBuffer(classId, &length);
  const std::wstring_view name(raw != nullptr ? raw : L"", raw != nullptr ? length : 0);
  if (name == L"Windows.Networking.NetworkOperators.MobileBroadbandModem") return GetMobileBroadbandModemFactory(factory);
  if (name == L"Windows.Security.Cryptography.CryptographicBuffer") return GetCryptographicBufferFactory(factory);
  return CLASS_E_CLASSNOTAVAILABLE;
}

}  // namespace korvi::fake
