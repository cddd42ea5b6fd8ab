// The mobile-broadband objects of the Windows Runtime behind the cellular seam: each seam
// object owns one interface reference and releases it when the last seam reference goes.
#pragma once

#include <memory>

#include "cellular/modem_platform.h"
#include "platform/windows/abi/mobile_broadband.h"
#include "platform/windows/support/owners.h"

namespace korvi::windows {

// Each gives an empty handle for a null reference.
std::shared_ptr<cellular::Modem> WrapModem(ComPtr<abi::NO::IMobileBroadbandModem> modem);
std::shared_ptr<cellular::SarManager> WrapSarManager(ComPtr<abi::NO::IMobileBroadbandSarManager> manager);
std::shared_ptr<cellular::TransmissionStateChangedEventArgs> WrapEventArgs(
    ComPtr<abi::NO::IMobileBroadbandTransmissionStateChangedEventArgs> args);

}  // namespace korvi::windows
