// Our own declarations of the Windows.Networking.NetworkOperators interfaces that the service
// calls, for toolchains whose headers lack windows.networking.networkoperators.h (mingw-w64).
// Written from the ABI facts in docs/winrt-abi-facts.md (IIDs, slot order, parameter types),
// in the SDK's own namespaces and names, so that code written against them also builds
// against the SDK's header.
//
// Each interface is declared up to the last slot that the service calls, so every slot in
// between keeps its place; unused slots carry their real signature. The slot number of each
// method is in the comment beside it. tests/windows pins every IID and every called slot.
//
// ABI points that are easy to get wrong: `boolean` is one byte (not BOOL); GetDeviceService
// takes the GUID by value; TimeSpan and EventRegistrationToken are 8-byte structs passed by
// value into the call; a runtime class in a signature is its default interface pointer.
#pragma once

#include <windows.h>
#include <eventtoken.h>
#include <inspectable.h>
#include <windows.foundation.collections.h>
#include <windows.storage.streams.h>

#include "platform/windows/abi/own/foundation.h"

namespace ABI::Windows::Devices::Sms {
enum CellularClass : int;
}  // namespace ABI::Windows::Devices::Sms

namespace ABI::Windows::Networking::NetworkOperators {

// Runtime classes, named in parameterized types as the SDK names them.
class MobileBroadbandModem;
class MobileBroadbandDeviceInformation;
class MobileBroadbandDeviceServiceInformation;
class MobileBroadbandDeviceServiceCommandResult;
class MobileBroadbandModemConfiguration;
class MobileBroadbandSarManager;
class MobileBroadbandTransmissionStateChangedEventArgs;
class MobileBroadbandAntennaSar;

// Interfaces that appear only in signatures the service does not call.
struct IMobileBroadbandAccount;
struct IMobileBroadbandNetwork;
struct IMobileBroadbandUicc;
struct IMobileBroadbandDeviceServiceDataSession;
struct IMobileBroadbandAntennaSar;

enum NetworkDeviceStatus : int {
  NetworkDeviceStatus_DeviceNotReady = 0,
  NetworkDeviceStatus_DeviceReady = 1,
  NetworkDeviceStatus_SimNotInserted = 2,
  NetworkDeviceStatus_BadSim = 3,
  NetworkDeviceStatus_DeviceHardwareFailure = 4,
  NetworkDeviceStatus_AccountNotActivated = 5,
  NetworkDeviceStatus_DeviceLocked = 6,
  NetworkDeviceStatus_DeviceBlocked = 7,
};
enum DataClasses : unsigned int;

struct IMobileBroadbandModem;
struct IMobileBroadbandDeviceInformation;
struct IMobileBroadbandDeviceService;
struct IMobileBroadbandDeviceServiceCommandSession;
struct IMobileBroadbandDeviceServiceCommandResult;
struct IMobileBroadbandModemConfiguration;
struct IMobileBroadbandSarManager;
struct IMobileBroadbandTransmissionStateChangedEventArgs;

}  // namespace ABI::Windows::Networking::NetworkOperators

// The parameterized instances: explicit specializations of the templates that
// windows.foundation.collections.h declares, with the IIDs the SDK publishes for them.
namespace ABI::Windows::Foundation {

template <>
struct IAsyncOperation<Networking::NetworkOperators::MobileBroadbandDeviceServiceCommandResult*>;
template <>
struct IAsyncOperation<Networking::NetworkOperators::MobileBroadbandModemConfiguration*>;

template <>
MIDL_INTERFACE("21f0ce4f-8f33-5e71-a457-dda553b0d6bb")
IAsyncOperationCompletedHandler<Networking::NetworkOperators::MobileBroadbandDeviceServiceCommandResult*>
    : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE Invoke(  // 3
      IAsyncOperation<Networking::NetworkOperators::MobileBroadbandDeviceServiceCommandResult*>* asyncInfo,
      AsyncStatus asyncStatus) = 0;
};

template <>
MIDL_INTERFACE("2c673aa8-6a35-50fd-9422-3615a1c28ccb")
IAsyncOperation<Networking::NetworkOperators::MobileBroadbandDeviceServiceCommandResult*> : public IInspectable {
  virtual HRESULT STDMETHODCALLTYPE put_Completed(  // 6
      IAsyncOperationCompletedHandler<Networking::NetworkOperators::MobileBroadbandDeviceServiceCommandResult*>*
          handler) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Completed(  // 7
      IAsyncOperationCompletedHandler<Networking::NetworkOperators::MobileBroadbandDeviceServiceCommandResult*>**
          handler) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetResults(  // 8
      Networking::NetworkOperators::IMobileBroadbandDeviceServiceCommandResult** results) = 0;
};

template <>
MIDL_INTERFACE("c11e0649-8237-5c93-bbdb-2eda5216fd3f")
IAsyncOperationCompletedHandler<Networking::NetworkOperators::MobileBroadbandModemConfiguration*> : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE Invoke(  // 3
      IAsyncOperation<Networking::NetworkOperators::MobileBroadbandModemConfiguration*>* asyncInfo,
      AsyncStatus asyncStatus) = 0;
};

template <>
MIDL_INTERFACE("cdbe0003-daaa-5c89-92e6-a47ffc2418a2")
IAsyncOperation<Networking::NetworkOperators::MobileBroadbandModemConfiguration*> : public IInspectable {
  virtual HRESULT STDMETHODCALLTYPE put_Completed(  // 6
      IAsyncOperationCompletedHandler<Networking::NetworkOperators::MobileBroadbandModemConfiguration*>* handler) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Completed(  // 7
      IAsyncOperationCompletedHandler<Networking::NetworkOperators::MobileBroadbandModemConfiguration*>** handler) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetResults(  // 8
      Networking::NetworkOperators::IMobileBroadbandModemConfiguration** results) = 0;
};

template <>
MIDL_INTERFACE("540c4534-cd85-5abe-8013-13cb140ed18b")
ITypedEventHandler<Networking::NetworkOperators::MobileBroadbandSarManager*,
                   Networking::NetworkOperators::MobileBroadbandTransmissionStateChangedEventArgs*>
    : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE Invoke(  // 3
      Networking::NetworkOperators::IMobileBroadbandSarManager* sender,
      Networking::NetworkOperators::IMobileBroadbandTransmissionStateChangedEventArgs* args) = 0;
};

}  // namespace ABI::Windows::Foundation

namespace ABI::Windows::Networking::NetworkOperators {

MIDL_INTERFACE("f99ed637-d6f1-4a78-8cbc-6421a65063c8")
IMobileBroadbandModemStatics : public IInspectable {
  virtual HRESULT STDMETHODCALLTYPE GetDeviceSelector(HSTRING* value) = 0;                    // 6
  virtual HRESULT STDMETHODCALLTYPE FromId(HSTRING deviceId, IMobileBroadbandModem** value) = 0;  // 7
  virtual HRESULT STDMETHODCALLTYPE GetDefault(IMobileBroadbandModem** value) = 0;            // 8
};

MIDL_INTERFACE("d0356912-e9f9-4f67-a03d-43189a316bf1")
IMobileBroadbandModem : public IInspectable {
  virtual HRESULT STDMETHODCALLTYPE get_CurrentAccount(IMobileBroadbandAccount** value) = 0;                      // 6
  virtual HRESULT STDMETHODCALLTYPE get_DeviceInformation(IMobileBroadbandDeviceInformation** value) = 0;         // 7
  virtual HRESULT STDMETHODCALLTYPE get_MaxDeviceServiceCommandSizeInBytes(UINT32* value) = 0;                    // 8
  virtual HRESULT STDMETHODCALLTYPE get_MaxDeviceServiceDataSizeInBytes(UINT32* value) = 0;                       // 9
  virtual HRESULT STDMETHODCALLTYPE get_DeviceServices(                                                           // 10
      Foundation::Collections::IVectorView<MobileBroadbandDeviceServiceInformation*>** value) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetDeviceService(GUID deviceServiceId, IMobileBroadbandDeviceService** value) = 0;  // 11
  virtual HRESULT STDMETHODCALLTYPE get_IsResetSupported(boolean* value) = 0;                                     // 12
  virtual HRESULT STDMETHODCALLTYPE ResetAsync(Foundation::IAsyncAction** asyncInfo) = 0;                         // 13
  virtual HRESULT STDMETHODCALLTYPE GetCurrentConfigurationAsync(                                                 // 14
      Foundation::IAsyncOperation<MobileBroadbandModemConfiguration*>** asyncInfo) = 0;
};

MIDL_INTERFACE("e6d08168-e381-4c6e-9be8-fe156969a446")
IMobileBroadbandDeviceInformation : public IInspectable {
  virtual HRESULT STDMETHODCALLTYPE get_NetworkDeviceStatus(NetworkDeviceStatus* value) = 0;          // 6
  virtual HRESULT STDMETHODCALLTYPE get_Manufacturer(HSTRING* value) = 0;                             // 7
  virtual HRESULT STDMETHODCALLTYPE get_Model(HSTRING* value) = 0;                                    // 8
  virtual HRESULT STDMETHODCALLTYPE get_FirmwareInformation(HSTRING* value) = 0;                      // 9
  virtual HRESULT STDMETHODCALLTYPE get_CellularClass(Devices::Sms::CellularClass* value) = 0;        // 10
  virtual HRESULT STDMETHODCALLTYPE get_DataClasses(DataClasses* value) = 0;                          // 11
  virtual HRESULT STDMETHODCALLTYPE get_CustomDataClass(HSTRING* value) = 0;                          // 12
  virtual HRESULT STDMETHODCALLTYPE get_MobileEquipmentId(HSTRING* value) = 0;                        // 13
  virtual HRESULT STDMETHODCALLTYPE get_TelephoneNumbers(                                             // 14
      Foundation::Collections::IVectorView<HSTRING>** value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_SubscriberId(HSTRING* value) = 0;                             // 15
  virtual HRESULT STDMETHODCALLTYPE get_SimIccId(HSTRING* value) = 0;                                 // 16
};

MIDL_INTERFACE("22be1a52-bd80-40ac-8e1f-2e07836a3dbd")
IMobileBroadbandDeviceService : public IInspectable {
  virtual HRESULT STDMETHODCALLTYPE get_DeviceServiceId(GUID* value) = 0;                                          // 6
  virtual HRESULT STDMETHODCALLTYPE get_SupportedCommands(Foundation::Collections::IVectorView<UINT32>** value) = 0;  // 7
  virtual HRESULT STDMETHODCALLTYPE OpenDataSession(IMobileBroadbandDeviceServiceDataSession** value) = 0;         // 8
  virtual HRESULT STDMETHODCALLTYPE OpenCommandSession(IMobileBroadbandDeviceServiceCommandSession** value) = 0;   // 9
};

MIDL_INTERFACE("fc098a45-913b-4914-b6c3-ae6304593e75")
IMobileBroadbandDeviceServiceCommandSession : public IInspectable {
  virtual HRESULT STDMETHODCALLTYPE SendQueryCommandAsync(  // 6
      UINT32 commandId, Storage::Streams::IBuffer* data,
      Foundation::IAsyncOperation<MobileBroadbandDeviceServiceCommandResult*>** asyncInfo) = 0;
  virtual HRESULT STDMETHODCALLTYPE SendSetCommandAsync(  // 7
      UINT32 commandId, Storage::Streams::IBuffer* data,
      Foundation::IAsyncOperation<MobileBroadbandDeviceServiceCommandResult*>** asyncInfo) = 0;
};

MIDL_INTERFACE("b0f46abb-94d6-44b9-a538-f0810b645389")
IMobileBroadbandDeviceServiceCommandResult : public IInspectable {
  virtual HRESULT STDMETHODCALLTYPE get_StatusCode(UINT32* value) = 0;                        // 6
  virtual HRESULT STDMETHODCALLTYPE get_ResponseData(Storage::Streams::IBuffer** value) = 0;  // 7
};

// The default interface of MobileBroadbandModemConfiguration; the service only asks it for
// IMobileBroadbandModemConfiguration2.
MIDL_INTERFACE("fce035a3-d6cd-4320-b982-be9d3ec7890f")
IMobileBroadbandModemConfiguration : public IInspectable {
  virtual HRESULT STDMETHODCALLTYPE get_Uicc(IMobileBroadbandUicc** value) = 0;  // 6
  virtual HRESULT STDMETHODCALLTYPE get_HomeProviderId(HSTRING* value) = 0;      // 7
  virtual HRESULT STDMETHODCALLTYPE get_HomeProviderName(HSTRING* value) = 0;    // 8
};

MIDL_INTERFACE("320ff5c5-e460-42ae-aa51-69621e7a4477")
IMobileBroadbandModemConfiguration2 : public IInspectable {
  virtual HRESULT STDMETHODCALLTYPE get_SarManager(IMobileBroadbandSarManager** value) = 0;  // 6
};

MIDL_INTERFACE("e5b26833-967e-40c9-a485-19c0dd209e22")
IMobileBroadbandSarManager : public IInspectable {
  virtual HRESULT STDMETHODCALLTYPE get_IsBackoffEnabled(boolean* value) = 0;          // 6
  virtual HRESULT STDMETHODCALLTYPE get_IsWiFiHardwareIntegrated(boolean* value) = 0;  // 7
  virtual HRESULT STDMETHODCALLTYPE get_IsSarControlledByHardware(boolean* value) = 0;  // 8
  virtual HRESULT STDMETHODCALLTYPE get_Antennas(                                       // 9
      Foundation::Collections::IVectorView<MobileBroadbandAntennaSar*>** value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_HysteresisTimerPeriod(Foundation::TimeSpan* value) = 0;  // 10
  virtual HRESULT STDMETHODCALLTYPE add_TransmissionStateChanged(                                  // 11
      Foundation::ITypedEventHandler<MobileBroadbandSarManager*, MobileBroadbandTransmissionStateChangedEventArgs*>*
          handler,
      EventRegistrationToken* token) = 0;
  virtual HRESULT STDMETHODCALLTYPE remove_TransmissionStateChanged(EventRegistrationToken token) = 0;  // 12
  virtual HRESULT STDMETHODCALLTYPE EnableBackoffAsync(Foundation::IAsyncAction** operation) = 0;      // 13
  virtual HRESULT STDMETHODCALLTYPE DisableBackoffAsync(Foundation::IAsyncAction** operation) = 0;     // 14
  virtual HRESULT STDMETHODCALLTYPE SetConfigurationAsync(                                              // 15
      Foundation::Collections::IIterable<MobileBroadbandAntennaSar*>* antennas,
      Foundation::IAsyncAction** operation) = 0;
  virtual HRESULT STDMETHODCALLTYPE RevertSarToHardwareControlAsync(Foundation::IAsyncAction** operation) = 0;  // 16
  virtual HRESULT STDMETHODCALLTYPE SetTransmissionStateChangedHysteresisAsync(                                 // 17
      Foundation::TimeSpan timerPeriod, Foundation::IAsyncAction** operation) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetIsTransmittingAsync(Foundation::IAsyncOperation<boolean>** operation) = 0;  // 18
  virtual HRESULT STDMETHODCALLTYPE StartTransmissionStateMonitoring() = 0;                                         // 19
  virtual HRESULT STDMETHODCALLTYPE StopTransmissionStateMonitoring() = 0;                                          // 20
};

MIDL_INTERFACE("612e3875-040a-4f99-a4f9-61d7c32da129")
IMobileBroadbandTransmissionStateChangedEventArgs : public IInspectable {
  virtual HRESULT STDMETHODCALLTYPE get_IsTransmitting(boolean* value) = 0;  // 6
};

}  // namespace ABI::Windows::Networking::NetworkOperators

#include "platform/windows/abi/parameterized.h"

// __uuidof for mingw-w64, which takes IIDs from these specializations rather than from the
// MIDL_INTERFACE attribute. The parameterized instances go through their aliases because the
// macro cannot take a template argument list with a comma in it.
#ifdef __CRT_UUID_DECL
__CRT_UUID_DECL(korvi::abi::CommandResultOperation,
                0x2c673aa8, 0x6a35, 0x50fd, 0x94, 0x22, 0x36, 0x15, 0xa1, 0xc2, 0x8c, 0xcb)
__CRT_UUID_DECL(korvi::abi::CommandResultCompletedHandler,
                0x21f0ce4f, 0x8f33, 0x5e71, 0xa4, 0x57, 0xdd, 0xa5, 0x53, 0xb0, 0xd6, 0xbb)
__CRT_UUID_DECL(korvi::abi::ModemConfigurationOperation,
                0xcdbe0003, 0xdaaa, 0x5c89, 0x92, 0xe6, 0xa4, 0x7f, 0xfc, 0x24, 0x18, 0xa2)
__CRT_UUID_DECL(korvi::abi::ModemConfigurationCompletedHandler,
                0xc11e0649, 0x8237, 0x5c93, 0xbb, 0xdb, 0x2e, 0xda, 0x52, 0x16, 0xfd, 0x3f)
__CRT_UUID_DECL(korvi::abi::TransmissionStateChangedHandler,
                0x540c4534, 0xcd85, 0x5abe, 0x80, 0x13, 0x13, 0xcb, 0x14, 0x0e, 0xd1, 0x8b)
__CRT_UUID_DECL(ABI::Windows::Networking::NetworkOperators::IMobileBroadbandModemStatics,
                0xf99ed637, 0xd6f1, 0x4a78, 0x8c, 0xbc, 0x64, 0x21, 0xa6, 0x50, 0x63, 0xc8)
__CRT_UUID_DECL(ABI::Windows::Networking::NetworkOperators::IMobileBroadbandModem,
                0xd0356912, 0xe9f9, 0x4f67, 0xa0, 0x3d, 0x43, 0x18, 0x9a, 0x31, 0x6b, 0xf1)
__CRT_UUID_DECL(ABI::Windows::Networking::NetworkOperators::IMobileBroadbandDeviceInformation,
                0xe6d08168, 0xe381, 0x4c6e, 0x9b, 0xe8, 0xfe, 0x15, 0x69, 0x69, 0xa4, 0x46)
__CRT_UUID_DECL(ABI::Windows::Networking::NetworkOperators::IMobileBroadbandDeviceService,
                0x22be1a52, 0xbd80, 0x40ac, 0x8e, 0x1f, 0x2e, 0x07, 0x83, 0x6a, 0x3d, 0xbd)
__CRT_UUID_DECL(ABI::Windows::Networking::NetworkOperators::IMobileBroadbandDeviceServiceCommandSession,
                0xfc098a45, 0x913b, 0x4914, 0xb6, 0xc3, 0xae, 0x63, 0x04, 0x59, 0x3e, 0x75)
__CRT_UUID_DECL(ABI::Windows::Networking::NetworkOperators::IMobileBroadbandDeviceServiceCommandResult,
                0xb0f46abb, 0x94d6, 0x44b9, 0xa5, 0x38, 0xf0, 0x81, 0x0b, 0x64, 0x53, 0x89)
__CRT_UUID_DECL(ABI::Windows::Networking::NetworkOperators::IMobileBroadbandModemConfiguration,
                0xfce035a3, 0xd6cd, 0x4320, 0xb9, 0x82, 0xbe, 0x9d, 0x3e, 0xc7, 0x89, 0x0f)
__CRT_UUID_DECL(ABI::Windows::Networking::NetworkOperators::IMobileBroadbandModemConfiguration2,
                0x320ff5c5, 0xe460, 0x42ae, 0xaa, 0x51, 0x69, 0x62, 0x1e, 0x7a, 0x44, 0x77)
__CRT_UUID_DECL(ABI::Windows::Networking::NetworkOperators::IMobileBroadbandSarManager,
                0xe5b26833, 0x967e, 0x40c9, 0xa4, 0x85, 0x19, 0xc0, 0xdd, 0x20, 0x9e, 0x22)
__CRT_UUID_DECL(ABI::Windows::Networking::NetworkOperators::IMobileBroadbandTransmissionStateChangedEventArgs,
                0x612e3875, 0x040a, 0x4f99, 0xa4, 0xf9, 0x61, 0xd7, 0xc3, 0x2d, 0xa1, 0x29)
#endif
