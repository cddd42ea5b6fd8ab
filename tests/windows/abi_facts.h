// The ABI facts that the service's calls depend on, carried over from
// docs/winrt-abi-facts.md (the interface tables of section 5, the parameterized IIDs of
// section 7, the layouts of section 1). The declarations are checked against this table, not
// against themselves: the fake providers share the declarations and would not notice a slip.
//
// For every interface: its IID, and the zero-based vtable slot of each method that the
// service calls (or, for a delegate, that the platform calls on our object).
#pragma once

#include <vector>

namespace korvi::windows::test {

struct SlotFact {
  int slot;
  const char* method;
};

struct InterfaceFact {
  const char* name;
  const char* iid;
  std::vector<SlotFact> slots;
};

inline const std::vector<InterfaceFact> kInterfaceFacts = {
    {"IInspectable", "af86e2e0-b12d-4c6a-9c5a-d7aa65101e90",
     {{3, "GetIids"}, {4, "GetRuntimeClassName"}, {5, "GetTrustLevel"}}},
    {"IMobileBroadbandModemStatics", "f99ed637-d6f1-4a78-8cbc-6421a65063c8", {{8, "GetDefault"}}},
    {"IMobileBroadbandModem", "d0356912-e9f9-4f67-a03d-43189a316bf1",
     {{7, "get_DeviceInformation"}, {11, "GetDeviceService"}, {14, "GetCurrentConfigurationAsync"}}},
    {"IMobileBroadbandDeviceInformation", "e6d08168-e381-4c6e-9be8-fe156969a446",
     {{6, "get_NetworkDeviceStatus"}, {16, "get_SimIccId"}}},
    {"IMobileBroadbandDeviceService", "22be1a52-bd80-40ac-8e1f-2e07836a3dbd", {{9, "OpenCommandSession"}}},
    {"IMobileBroadbandDeviceServiceCommandSession", "fc098a45-913b-4914-b6c3-ae6304593e75",
     {{7, "SendSetCommandAsync"}}},
    {"IMobileBroadbandDeviceServiceCommandResult", "b0f46abb-94d6-44b9-a538-f0810b645389",
     {{6, "get_StatusCode"}, {7, "get_ResponseData"}}},
    {"IMobileBroadbandModemConfiguration", "fce035a3-d6cd-4320-b982-be9d3ec7890f", {}},
    {"IMobileBroadbandModemConfiguration2", "320ff5c5-e460-42ae-aa51-69621e7a4477", {{6, "get_SarManager"}}},
    {"IMobileBroadbandSarManager", "e5b26833-967e-40c9-a485-19c0dd209e22",
     {{11, "add_TransmissionStateChanged"},
      {12, "remove_TransmissionStateChanged"},
      {17, "SetTransmissionStateChangedHysteresisAsync"},
      {18, "GetIsTransmittingAsync"},
      {19, "StartTransmissionStateMonitoring"},
      {20, "StopTransmissionStateMonitoring"}}},
    {"IMobileBroadbandTransmissionStateChangedEventArgs", "612e3875-040a-4f99-a4f9-61d7c32da129",
     {{6, "get_IsTransmitting"}}},
    {"ICryptographicBufferStatics", "320b7e22-3cb0-4cdf-8663-1d28910065eb",
     {{9, "CreateFromByteArray"}, {10, "CopyToByteArray"}}},
    {"IBuffer", "905a0fe0-bc53-11df-8c49-001e4fc686da", {}},
    {"IAsyncInfo", "00000036-0000-0000-c000-000000000046", {{9, "Cancel"}}},
    {"IAsyncAction", "5a648006-843a-4da9-865b-9d26e5dfad7b", {{6, "put_Completed"}, {8, "GetResults"}}},
    {"AsyncActionCompletedHandler", "a4ed5c81-76c9-40bd-8be6-b1d90fb20ae7", {{3, "Invoke"}}},
    // Section 7.1, the parameterized instances.
    {"IAsyncOperation<MobileBroadbandDeviceServiceCommandResult>", "2c673aa8-6a35-50fd-9422-3615a1c28ccb",
     {{6, "put_Completed"}, {8, "GetResults"}}},
    {"AsyncOperationCompletedHandler<MobileBroadbandDeviceServiceCommandResult>",
     "21f0ce4f-8f33-5e71-a457-dda553b0d6bb", {{3, "Invoke"}}},
    {"IAsyncOperation<MobileBroadbandModemConfiguration>", "cdbe0003-daaa-5c89-92e6-a47ffc2418a2",
     {{6, "put_Completed"}, {8, "GetResults"}}},
    {"AsyncOperationCompletedHandler<MobileBroadbandModemConfiguration>", "c11e0649-8237-5c93-bbdb-2eda5216fd3f",
     {{3, "Invoke"}}},
    {"TypedEventHandler<MobileBroadbandSarManager, MobileBroadbandTransmissionStateChangedEventArgs>",
     "540c4534-cd85-5abe-8013-13cb140ed18b", {{3, "Invoke"}}},
    // Section 7.4, GetIsTransmittingAsync's operation and its delegate.
    {"IAsyncOperation<Boolean>", "cdb5efb3-5788-509d-9be1-71ccb8a3362a", {{6, "put_Completed"}, {8, "GetResults"}}},
    {"AsyncOperationCompletedHandler<Boolean>", "c1d3d1a2-ae17-5a5f-b5a2-bdcc8844889a", {{3, "Invoke"}}},
};

// Section 1: sizes the calls pass by value or through pointers.
inline constexpr unsigned kBooleanSize = 1;
inline constexpr unsigned kGuidSize = 16;
inline constexpr unsigned kTimeSpanSize = 8;
inline constexpr unsigned kEventRegistrationTokenSize = 8;
inline constexpr unsigned kEnumSize = 4;

}  // namespace korvi::windows::test
