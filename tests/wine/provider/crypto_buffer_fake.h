// Windows.Security.Cryptography.CryptographicBuffer over the simulated platform: the two
// statics the service uses, CreateFromByteArray and CopyToByteArray, with their faults.
#pragma once

#include <windows.h>
#include <activation.h>

namespace korvi::fake {

HRESULT GetCryptographicBufferFactory(IActivationFactory** factory) noexcept;

}  // namespace korvi::fake
