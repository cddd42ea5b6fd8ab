// Pins our ABI declarations to the facts table: every IID, and for every method the service
// calls, the vtable slot it sits in. The check calls through the slot of an object that
// records which method answered, so it tests the layout the compiler made, not the text.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "abi_facts.h"
#include "platform/windows/support/owners.h"
#include "recording_objects.h"

namespace korvi::windows::test {
namespace {

// Calls through a slot with a uniform signature. Valid on x64, where every argument of these
// methods travels in a register or through a pointer, and the callee does not clean up the
// stack. Every argument points at zeroed scratch memory, so a method that reads or writes
// through one touches nothing else.
static_assert(sizeof(void*) == 8, "the slot check calls through vtables the x64 way");
void CallSlot(IUnknown* object, int slot) {
  using AnySlot = HRESULT(STDMETHODCALLTYPE*)(void*, void*, void*, void*);
  alignas(16) static unsigned char scratch[4][64];
  std::memset(scratch, 0, sizeof scratch);
  void** const vtable = *reinterpret_cast<void***>(object);
  const auto method = reinterpret_cast<AnySlot>(vtable[slot]);
  method(object, scratch[0], scratch[1], scratch[2]);
}

std::string Text(const GUID& id) {
  char text[40];
  std::snprintf(text, sizeof text, "%08lx-%04x-%04x-%02x%02x-%02x%02x%02x%02x%02x%02x", static_cast<unsigned long>(id.Data1),
                id.Data2, id.Data3, id.Data4[0], id.Data4[1], id.Data4[2], id.Data4[3], id.Data4[4], id.Data4[5],
                id.Data4[6], id.Data4[7]);
  return text;
}

// One declared interface: its IID constant, and a recording object that implements it, seen
// through the interface pointer.
struct Probe {
  GUID iid;
  std::function<std::pair<ComPtr<IUnknown>, Recorder*>()> make;
};

template <class Interface, class Recording>
Probe ProbeOf() {
  return Probe{__uuidof(Interface), [] {
                 auto* object = new Recording();
                 // The interface pointer itself, not IUnknown of another base: its vtable is
                 // the one under test.
                 Interface* seen = object;
                 return std::pair<ComPtr<IUnknown>, Recorder*>(ComPtr<IUnknown>(reinterpret_cast<IUnknown*>(seen)),
                                                               object);
               }};
}

template <class Interface>
Probe IidOnly() {
  return Probe{__uuidof(Interface), nullptr};
}

const std::map<std::string, Probe>& Probes() {
  using CommandHandler = RecordingOperationHandler<abi::CommandResultCompletedHandler, abi::CommandResultOperation>;
  using ConfigurationHandler =
      RecordingOperationHandler<abi::ModemConfigurationCompletedHandler, abi::ModemConfigurationOperation>;
  using BooleanHandler = RecordingOperationHandler<abi::TransmittingCompletedHandler, abi::TransmittingOperation>;
  static const std::map<std::string, Probe> probes = {
      {"IInspectable", ProbeOf<IInspectable, RecordingModemStatics>()},
      {"IMobileBroadbandModemStatics", ProbeOf<NO::IMobileBroadbandModemStatics, RecordingModemStatics>()},
      {"IMobileBroadbandModem", ProbeOf<NO::IMobileBroadbandModem, RecordingModem>()},
      {"IMobileBroadbandDeviceInformation", ProbeOf<NO::IMobileBroadbandDeviceInformation, RecordingDeviceInformation>()},
      {"IMobileBroadbandDeviceService", ProbeOf<NO::IMobileBroadbandDeviceService, RecordingDeviceService>()},
      {"IMobileBroadbandDeviceServiceCommandSession",
       ProbeOf<NO::IMobileBroadbandDeviceServiceCommandSession, RecordingCommandSession>()},
      {"IMobileBroadbandDeviceServiceCommandResult",
       ProbeOf<NO::IMobileBroadbandDeviceServiceCommandResult, RecordingCommandResult>()},
      {"IMobileBroadbandModemConfiguration", IidOnly<NO::IMobileBroadbandModemConfiguration>()},
      {"IMobileBroadbandModemConfiguration2", ProbeOf<NO::IMobileBroadbandModemConfiguration2, RecordingConfiguration>()},
      {"IMobileBroadbandSarManager", ProbeOf<NO::IMobileBroadbandSarManager, RecordingSarManager>()},
      {"IMobileBroadbandTransmissionStateChangedEventArgs",
       ProbeOf<NO::IMobileBroadbandTransmissionStateChangedEventArgs, RecordingEventArgs>()},
      {"ICryptographicBufferStatics", ProbeOf<WSC::ICryptographicBufferStatics, RecordingCryptographicBuffer>()},
      {"IBuffer", IidOnly<WSS::IBuffer>()},
      {"IAsyncInfo", ProbeOf<IAsyncInfo, RecordingAction>()},
      {"IAsyncAction", ProbeOf<WF::IAsyncAction, RecordingAction>()},
      {"AsyncActionCompletedHandler", ProbeOf<WF::IAsyncActionCompletedHandler, RecordingActionHandler>()},
      {"IAsyncOperation<MobileBroadbandDeviceServiceCommandResult>",
       ProbeOf<abi::CommandResultOperation, RecordingCommandOperation>()},
      {"AsyncOperationCompletedHandler<MobileBroadbandDeviceServiceCommandResult>",
       ProbeOf<abi::CommandResultCompletedHandler, CommandHandler>()},
      {"IAsyncOperation<MobileBroadbandModemConfiguration>",
       ProbeOf<abi::ModemConfigurationOperation, RecordingConfigurationOperation>()},
      {"AsyncOperationCompletedHandler<MobileBroadbandModemConfiguration>",
       ProbeOf<abi::ModemConfigurationCompletedHandler, ConfigurationHandler>()},
      {"TypedEventHandler<MobileBroadbandSarManager, MobileBroadbandTransmissionStateChangedEventArgs>",
       ProbeOf<abi::TransmissionStateChangedHandler, RecordingTransmissionHandler>()},
      {"IAsyncOperation<Boolean>", ProbeOf<abi::TransmittingOperation, RecordingBooleanOperation>()},
      {"AsyncOperationCompletedHandler<Boolean>", ProbeOf<abi::TransmittingCompletedHandler, BooleanHandler>()},
  };
  return probes;
}

TEST(AbiDeclarations, EveryInterfaceInTheFactsHasADeclaration) {
  for (const InterfaceFact& fact : kInterfaceFacts) {
    EXPECT_EQ(Probes().count(fact.name), 1u) << fact.name;
  }
  EXPECT_EQ(Probes().size(), kInterfaceFacts.size());
}

TEST(AbiDeclarations, EveryIidIsTheOneInTheFacts) {
  for (const InterfaceFact& fact : kInterfaceFacts) {
    const auto probe = Probes().find(fact.name);
    if (probe == Probes().end()) continue;
    EXPECT_EQ(Text(probe->second.iid), fact.iid) << fact.name;
  }
}

TEST(AbiDeclarations, EveryCalledMethodSitsInItsSlot) {
  for (const InterfaceFact& fact : kInterfaceFacts) {
    const auto probe = Probes().find(fact.name);
    if (probe == Probes().end() || !probe->second.make) {
      EXPECT_TRUE(fact.slots.empty()) << fact.name << ": methods to check but no recording object";
      continue;
    }
    for (const SlotFact& slot : fact.slots) {
      auto [object, recorder] = probe->second.make();
      recorder->probing = true;
      CallSlot(object.get(), slot.slot);
      EXPECT_EQ(recorder->last, slot.method) << fact.name << " slot " << slot.slot;
    }
  }
}

TEST(AbiDeclarations, ValuesPassedByValueHaveTheirAbiSizes) {
  EXPECT_EQ(sizeof(boolean), kBooleanSize);  // not BOOL
  EXPECT_EQ(sizeof(GUID), kGuidSize);
  EXPECT_EQ(sizeof(WF::TimeSpan), kTimeSpanSize);
  EXPECT_EQ(sizeof(EventRegistrationToken), kEventRegistrationTokenSize);
  EXPECT_EQ(sizeof(NO::NetworkDeviceStatus), kEnumSize);
  EXPECT_EQ(sizeof(abi::AsyncStatus), kEnumSize);
  EXPECT_EQ(static_cast<int>(NO::NetworkDeviceStatus_DeviceReady), 1);
}

TEST(AbiDeclarations, ClassNamesAreTheFullRuntimeClassNames) {
  EXPECT_STREQ(abi::kMobileBroadbandModemClass, L"Windows.Networking.NetworkOperators.MobileBroadbandModem");
  EXPECT_STREQ(abi::kCryptographicBufferClass, L"Windows.Security.Cryptography.CryptographicBuffer");
}

}  // namespace
}  // namespace korvi::windows::test
