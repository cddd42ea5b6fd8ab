// The parameterized instances of the Windows Runtime templates that the service uses, spelled
// once so that every user (the service, the fake providers, and our own declarations' IIDs
// for mingw-w64) names the same type. Include it after the interfaces are declared: through
// mobile_broadband.h, or at the end of own/network_operators.h.
#pragma once

namespace korvi::abi {

namespace NO = ABI::Windows::Networking::NetworkOperators;
namespace WF = ABI::Windows::Foundation;

using CommandResultOperation = WF::IAsyncOperation<NO::MobileBroadbandDeviceServiceCommandResult*>;
using CommandResultCompletedHandler = WF::IAsyncOperationCompletedHandler<NO::MobileBroadbandDeviceServiceCommandResult*>;
using ModemConfigurationOperation = WF::IAsyncOperation<NO::MobileBroadbandModemConfiguration*>;
using ModemConfigurationCompletedHandler = WF::IAsyncOperationCompletedHandler<NO::MobileBroadbandModemConfiguration*>;
using TransmissionStateChangedHandler =
    WF::ITypedEventHandler<NO::MobileBroadbandSarManager*, NO::MobileBroadbandTransmissionStateChangedEventArgs*>;
// GetIsTransmittingAsync's operation and its delegate: the SDK instantiates the templates with
// bool, our own declarations (as mingw-w64's) with the one-byte boolean.
#if defined(KORVI_ABI_FROM_SDK) && KORVI_ABI_FROM_SDK
using TransmittingOperation = WF::IAsyncOperation<bool>;
using TransmittingCompletedHandler = WF::IAsyncOperationCompletedHandler<bool>;
#else
using TransmittingOperation = WF::IAsyncOperation<boolean>;
using TransmittingCompletedHandler = WF::IAsyncOperationCompletedHandler<boolean>;
#endif

}  // namespace korvi::abi
