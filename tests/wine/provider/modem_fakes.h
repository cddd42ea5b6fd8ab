// Windows.Networking.NetworkOperators.MobileBroadbandModem and the objects reached from it,
// each an adapter of the simulated modem's object of the same kind.
#pragma once

#include <windows.h>
#include <activation.h>

namespace korvi::fake {

HRESULT GetMobileBroadbandModemFactory(IActivationFactory** factory) noexcept;

}  // namespace korvi::fake
