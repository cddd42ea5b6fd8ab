// Objects that implement every declared interface and record which method answered. They
// serve the slot check (a call through vtable slot N must land in the method that the facts
// table names for N) and, with the objects and result code they are given, stand in for the
// platform in the tests of the platform layer.
#pragma once

#include <windows.h>

#include <atomic>
#include <string>

#include "platform/windows/abi/mobile_broadband.h"

namespace korvi::windows::test {

namespace NO = abi::NO;
namespace WF = abi::WF;
namespace WSS = ABI::Windows::Storage::Streams;
namespace WSC = ABI::Windows::Security::Cryptography;

class Recorder {
 public:
  std::string last;       // the method that answered last
  HRESULT answer = S_OK;  // what every recorded method answers
  // Set by the slot check, which passes scratch memory for every argument: the methods then
  // only record, and take no references to what they were given.
  bool probing = false;

 protected:
  HRESULT Hit(const char* method) {
    last = method;
    return answer;
  }
  // Records, then fills the out-parameter with a new reference to object (or null).
  template <class Out, class Object>
  HRESULT Give(const char* method, Out** out, Object* object) {
    last = method;
    if (out != nullptr) {
      *out = object;
      if (object != nullptr) object->AddRef();
    }
    return answer;
  }
};

// IUnknown with a real reference count; QueryInterface answers IUnknown and Interface.
template <class Interface>
class RecordingUnknown : public Interface, public Recorder {
 public:
  RecordingUnknown() = default;
  RecordingUnknown(const RecordingUnknown&) = delete;
  RecordingUnknown& operator=(const RecordingUnknown&) = delete;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
    if (object == nullptr) return E_POINTER;
    *object = Answer(iid);
    if (*object == nullptr) return E_NOINTERFACE;
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG left = --references_;
    if (left == 0) delete this;
    return left;
  }
  ULONG references() const { return references_; }

 protected:
  virtual ~RecordingUnknown() = default;
  virtual void* Answer(REFIID iid) {
    if (IsEqualIID(iid, __uuidof(Interface)) || IsEqualIID(iid, __uuidof(IUnknown))) return static_cast<Interface*>(this);
    return nullptr;
  }

 private:
  std::atomic<ULONG> references_{1};
};

template <class Interface>
class RecordingInspectable : public RecordingUnknown<Interface> {
 public:
  HRESULT STDMETHODCALLTYPE GetIids(ULONG*, IID**) override { return this->Hit("GetIids"); }
  HRESULT STDMETHODCALLTYPE GetRuntimeClassName(HSTRING*) override { return this->Hit("GetRuntimeClassName"); }
  HRESULT STDMETHODCALLTYPE GetTrustLevel(TrustLevel*) override { return this->Hit("GetTrustLevel"); }

 protected:
  void* Answer(REFIID iid) override {
    if (IsEqualIID(iid, __uuidof(IInspectable))) return static_cast<Interface*>(this);
    return RecordingUnknown<Interface>::Answer(iid);
  }
};

class RecordingModemStatics final : public RecordingInspectable<NO::IMobileBroadbandModemStatics> {
 public:
  NO::IMobileBroadbandModem* modem = nullptr;
  HRESULT STDMETHODCALLTYPE GetDeviceSelector(HSTRING*) override { return Hit("GetDeviceSelector"); }
  HRESULT STDMETHODCALLTYPE FromId(HSTRING, NO::IMobileBroadbandModem**) override { return Hit("FromId"); }
  HRESULT STDMETHODCALLTYPE GetDefault(NO::IMobileBroadbandModem** value) override {
    return Give("GetDefault", value, modem);
  }
};

class RecordingModem final : public RecordingInspectable<NO::IMobileBroadbandModem> {
 public:
  NO::IMobileBroadbandDeviceInformation* information = nullptr;
  NO::IMobileBroadbandDeviceService* service = nullptr;
  abi::ModemConfigurationOperation* configuration = nullptr;
  GUID askedService{};

  HRESULT STDMETHODCALLTYPE get_CurrentAccount(NO::IMobileBroadbandAccount**) override { return Hit("get_CurrentAccount"); }
  HRESULT STDMETHODCALLTYPE get_DeviceInformation(NO::IMobileBroadbandDeviceInformation** value) override {
    return Give("get_DeviceInformation", value, information);
  }
  HRESULT STDMETHODCALLTYPE get_MaxDeviceServiceCommandSizeInBytes(UINT32*) override {
    return Hit("get_MaxDeviceServiceCommandSizeInBytes");
  }
  HRESULT STDMETHODCALLTYPE get_MaxDeviceServiceDataSizeInBytes(UINT32*) override {
    return Hit("get_MaxDeviceServiceDataSizeInBytes");
  }
  HRESULT STDMETHODCALLTYPE get_DeviceServices(
      WF::Collections::IVectorView<NO::MobileBroadbandDeviceServiceInformation*>**) override {
    return Hit("get_DeviceServices");
  }
  HRESULT STDMETHODCALLTYPE GetDeviceService(GUID id, NO::IMobileBroadbandDeviceService** value) override {
    askedService = id;
    return Give("GetDeviceService", value, service);
  }
  HRESULT STDMETHODCALLTYPE get_IsResetSupported(boolean*) override { return Hit("get_IsResetSupported"); }
  HRESULT STDMETHODCALLTYPE ResetAsync(WF::IAsyncAction**) override { return Hit("ResetAsync"); }
  HRESULT STDMETHODCALLTYPE GetCurrentConfigurationAsync(abi::ModemConfigurationOperation** value) override {
    return Give("GetCurrentConfigurationAsync", value, configuration);
  }
#if KORVI_ABI_FROM_SDK
  HRESULT STDMETHODCALLTYPE get_CurrentNetwork(NO::IMobileBroadbandNetwork**) override { return Hit("get_CurrentNetwork"); }
#endif
};

class RecordingDeviceInformation final : public RecordingInspectable<NO::IMobileBroadbandDeviceInformation> {
 public:
  NO::NetworkDeviceStatus status{};
  std::wstring simIccId;
  HSTRING givenSimIccId = nullptr;  // the last one handed out, only compared

  HRESULT STDMETHODCALLTYPE get_NetworkDeviceStatus(NO::NetworkDeviceStatus* value) override {
    if (value != nullptr) *value = status;
    return Hit("get_NetworkDeviceStatus");
  }
  HRESULT STDMETHODCALLTYPE get_Manufacturer(HSTRING*) override { return Hit("get_Manufacturer"); }
  HRESULT STDMETHODCALLTYPE get_Model(HSTRING*) override { return Hit("get_Model"); }
  HRESULT STDMETHODCALLTYPE get_FirmwareInformation(HSTRING*) override { return Hit("get_FirmwareInformation"); }
  HRESULT STDMETHODCALLTYPE get_CellularClass(ABI::Windows::Devices::Sms::CellularClass*) override {
    return Hit("get_CellularClass");
  }
  HRESULT STDMETHODCALLTYPE get_DataClasses(NO::DataClasses*) override { return Hit("get_DataClasses"); }
  HRESULT STDMETHODCALLTYPE get_CustomDataClass(HSTRING*) override { return Hit("get_CustomDataClass"); }
  HRESULT STDMETHODCALLTYPE get_MobileEquipmentId(HSTRING*) override { return Hit("get_MobileEquipmentId"); }
  HRESULT STDMETHODCALLTYPE get_TelephoneNumbers(WF::Collections::IVectorView<HSTRING>**) override {
    return Hit("get_TelephoneNumbers");
  }
  HRESULT STDMETHODCALLTYPE get_SubscriberId(HSTRING*) override { return Hit("get_SubscriberId"); }
  HRESULT STDMETHODCALLTYPE get_SimIccId(HSTRING* value) override {
    if (value != nullptr && answer >= 0) {
      *value = nullptr;
      if (!simIccId.empty()) ::WindowsCreateString(simIccId.data(), static_cast<UINT32>(simIccId.size()), value);
      givenSimIccId = *value;
    }
    return Hit("get_SimIccId");
  }
#if KORVI_ABI_FROM_SDK
  HRESULT STDMETHODCALLTYPE get_DeviceType(NO::MobileBroadbandDeviceType*) override { return Hit("get_DeviceType"); }
  HRESULT STDMETHODCALLTYPE get_DeviceId(HSTRING*) override { return Hit("get_DeviceId"); }
  HRESULT STDMETHODCALLTYPE get_CurrentRadioState(NO::MobileBroadbandRadioState*) override {
    return Hit("get_CurrentRadioState");
  }
#endif
};

class RecordingDeviceService final : public RecordingInspectable<NO::IMobileBroadbandDeviceService> {
 public:
  NO::IMobileBroadbandDeviceServiceCommandSession* session = nullptr;
  HRESULT STDMETHODCALLTYPE get_DeviceServiceId(GUID*) override { return Hit("get_DeviceServiceId"); }
  HRESULT STDMETHODCALLTYPE get_SupportedCommands(WF::Collections::IVectorView<UINT32>**) override {
    return Hit("get_SupportedCommands");
  }
  HRESULT STDMETHODCALLTYPE OpenDataSession(NO::IMobileBroadbandDeviceServiceDataSession**) override {
    return Hit("OpenDataSession");
  }
  HRESULT STDMETHODCALLTYPE OpenCommandSession(NO::IMobileBroadbandDeviceServiceCommandSession** value) override {
    return Give("OpenCommandSession", value, session);
  }
};

class RecordingCommandSession final : public RecordingInspectable<NO::IMobileBroadbandDeviceServiceCommandSession> {
 public:
  abi::CommandResultOperation* operation = nullptr;
  UINT32 sentCommand = 0;
  WSS::IBuffer* sentData = nullptr;  // not a reference of its own: only compared

  HRESULT STDMETHODCALLTYPE SendQueryCommandAsync(UINT32, WSS::IBuffer*, abi::CommandResultOperation**) override {
    return Hit("SendQueryCommandAsync");
  }
  HRESULT STDMETHODCALLTYPE SendSetCommandAsync(UINT32 commandId, WSS::IBuffer* data,
                                                abi::CommandResultOperation** value) override {
    sentCommand = commandId;
    sentData = data;
    return Give("SendSetCommandAsync", value, operation);
  }
#if KORVI_ABI_FROM_SDK
  HRESULT STDMETHODCALLTYPE CloseSession() override { return Hit("CloseSession"); }
#endif
};

class RecordingCommandResult final : public RecordingInspectable<NO::IMobileBroadbandDeviceServiceCommandResult> {
 public:
  UINT32 status = 0;
  WSS::IBuffer* response = nullptr;
  HRESULT STDMETHODCALLTYPE get_StatusCode(UINT32* value) override {
    if (value != nullptr) *value = status;
    return Hit("get_StatusCode");
  }
  HRESULT STDMETHODCALLTYPE get_ResponseData(WSS::IBuffer** value) override {
    return Give("get_ResponseData", value, response);
  }
};

// The configuration; with withSecond it also offers IMobileBroadbandModemConfiguration2.
class RecordingConfiguration final : public RecordingInspectable<NO::IMobileBroadbandModemConfiguration>,
                                     public NO::IMobileBroadbandModemConfiguration2 {
 public:
  bool withSecond = true;
  NO::IMobileBroadbandSarManager* manager = nullptr;

  // The second interface shares the first one's identity and count.
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
    return RecordingInspectable::QueryInterface(iid, object);
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return RecordingInspectable::AddRef(); }
  ULONG STDMETHODCALLTYPE Release() override { return RecordingInspectable::Release(); }
  HRESULT STDMETHODCALLTYPE GetIids(ULONG* count, IID** iids) override { return RecordingInspectable::GetIids(count, iids); }
  HRESULT STDMETHODCALLTYPE GetRuntimeClassName(HSTRING* name) override {
    return RecordingInspectable::GetRuntimeClassName(name);
  }
  HRESULT STDMETHODCALLTYPE GetTrustLevel(TrustLevel* level) override { return RecordingInspectable::GetTrustLevel(level); }

  HRESULT STDMETHODCALLTYPE get_Uicc(NO::IMobileBroadbandUicc**) override { return Hit("get_Uicc"); }
  HRESULT STDMETHODCALLTYPE get_HomeProviderId(HSTRING*) override { return Hit("get_HomeProviderId"); }
  HRESULT STDMETHODCALLTYPE get_HomeProviderName(HSTRING*) override { return Hit("get_HomeProviderName"); }
  HRESULT STDMETHODCALLTYPE get_SarManager(NO::IMobileBroadbandSarManager** value) override {
    return Give("get_SarManager", value, manager);
  }

  NO::IMobileBroadbandModemConfiguration2* second() { return this; }

 protected:
  void* Answer(REFIID iid) override {
    if (withSecond && IsEqualIID(iid, __uuidof(NO::IMobileBroadbandModemConfiguration2))) {
      return static_cast<NO::IMobileBroadbandModemConfiguration2*>(this);
    }
    return RecordingInspectable::Answer(iid);
  }
};

class RecordingSarManager final : public RecordingInspectable<NO::IMobileBroadbandSarManager> {
 public:
  INT64 hysteresis = -1;
  abi::TransmissionStateChangedHandler* handler = nullptr;  // the added handler, a reference of its own
  WF::IAsyncAction* action = nullptr;
  INT64 token = 7;
  abi::TransmittingOperation* transmitting = nullptr;  // what GetIsTransmittingAsync gives
  INT64 removedToken = 0;

  ~RecordingSarManager() override {
    if (handler != nullptr) handler->Release();
  }

  HRESULT STDMETHODCALLTYPE get_IsBackoffEnabled(boolean*) override { return Hit("get_IsBackoffEnabled"); }
  HRESULT STDMETHODCALLTYPE get_IsWiFiHardwareIntegrated(boolean*) override { return Hit("get_IsWiFiHardwareIntegrated"); }
  HRESULT STDMETHODCALLTYPE get_IsSarControlledByHardware(boolean*) override {
    return Hit("get_IsSarControlledByHardware");
  }
  HRESULT STDMETHODCALLTYPE get_Antennas(WF::Collections::IVectorView<NO::MobileBroadbandAntennaSar*>**) override {
    return Hit("get_Antennas");
  }
  HRESULT STDMETHODCALLTYPE get_HysteresisTimerPeriod(WF::TimeSpan*) override { return Hit("get_HysteresisTimerPeriod"); }
  HRESULT STDMETHODCALLTYPE add_TransmissionStateChanged(abi::TransmissionStateChangedHandler* added,
                                                         EventRegistrationToken* registration) override {
    if (!probing && answer >= 0 && added != nullptr && handler == nullptr) {
      handler = added;
      handler->AddRef();
    }
    if (registration != nullptr) registration->value = token;
    return Hit("add_TransmissionStateChanged");
  }
  HRESULT STDMETHODCALLTYPE remove_TransmissionStateChanged(EventRegistrationToken registration) override {
    removedToken = registration.value;
    return Hit("remove_TransmissionStateChanged");
  }
  HRESULT STDMETHODCALLTYPE EnableBackoffAsync(WF::IAsyncAction**) override { return Hit("EnableBackoffAsync"); }
  HRESULT STDMETHODCALLTYPE DisableBackoffAsync(WF::IAsyncAction**) override { return Hit("DisableBackoffAsync"); }
  HRESULT STDMETHODCALLTYPE SetConfigurationAsync(WF::Collections::IIterable<NO::MobileBroadbandAntennaSar*>*,
                                                  WF::IAsyncAction**) override {
    return Hit("SetConfigurationAsync");
  }
  HRESULT STDMETHODCALLTYPE RevertSarToHardwareControlAsync(WF::IAsyncAction**) override {
    return Hit("RevertSarToHardwareControlAsync");
  }
  HRESULT STDMETHODCALLTYPE SetTransmissionStateChangedHysteresisAsync(WF::TimeSpan period,
                                                                       WF::IAsyncAction** value) override {
    hysteresis = period.Duration;
    return Give("SetTransmissionStateChangedHysteresisAsync", value, action);
  }
  HRESULT STDMETHODCALLTYPE GetIsTransmittingAsync(abi::TransmittingOperation** value) override {
    return Give("GetIsTransmittingAsync", value, transmitting);
  }
  HRESULT STDMETHODCALLTYPE StartTransmissionStateMonitoring() override { return Hit("StartTransmissionStateMonitoring"); }
  HRESULT STDMETHODCALLTYPE StopTransmissionStateMonitoring() override { return Hit("StopTransmissionStateMonitoring"); }
};

class RecordingEventArgs final : public RecordingInspectable<NO::IMobileBroadbandTransmissionStateChangedEventArgs> {
 public:
  boolean transmitting = 0;
  HRESULT STDMETHODCALLTYPE get_IsTransmitting(boolean* value) override {
    if (value != nullptr) *value = transmitting;
    return Hit("get_IsTransmitting");
  }
};

class RecordingCryptographicBuffer final : public RecordingInspectable<WSC::ICryptographicBufferStatics> {
 public:
  HRESULT STDMETHODCALLTYPE Compare(WSS::IBuffer*, WSS::IBuffer*, boolean*) override { return Hit("Compare"); }
  HRESULT STDMETHODCALLTYPE GenerateRandom(UINT32, WSS::IBuffer**) override { return Hit("GenerateRandom"); }
  HRESULT STDMETHODCALLTYPE GenerateRandomNumber(UINT32*) override { return Hit("GenerateRandomNumber"); }
  HRESULT STDMETHODCALLTYPE CreateFromByteArray(UINT32, BYTE*, WSS::IBuffer**) override {
    return Hit("CreateFromByteArray");
  }
  HRESULT STDMETHODCALLTYPE CopyToByteArray(WSS::IBuffer*, UINT32*, BYTE**) override { return Hit("CopyToByteArray"); }
#if KORVI_ABI_FROM_SDK
  HRESULT STDMETHODCALLTYPE DecodeFromHexString(HSTRING, WSS::IBuffer**) override { return Hit("DecodeFromHexString"); }
  HRESULT STDMETHODCALLTYPE EncodeToHexString(WSS::IBuffer*, HSTRING*) override { return Hit("EncodeToHexString"); }
  HRESULT STDMETHODCALLTYPE DecodeFromBase64String(HSTRING, WSS::IBuffer**) override {
    return Hit("DecodeFromBase64String");
  }
  HRESULT STDMETHODCALLTYPE EncodeToBase64String(WSS::IBuffer*, HSTRING*) override { return Hit("EncodeToBase64String"); }
  HRESULT STDMETHODCALLTYPE ConvertStringToBinary(HSTRING, WSC::BinaryStringEncoding, WSS::IBuffer**) override {
    return Hit("ConvertStringToBinary");
  }
  HRESULT STDMETHODCALLTYPE ConvertBinaryToString(WSC::BinaryStringEncoding, WSS::IBuffer*, HSTRING*) override {
    return Hit("ConvertBinaryToString");
  }
#endif
};

class RecordingBuffer final : public RecordingInspectable<WSS::IBuffer> {
 public:
  HRESULT STDMETHODCALLTYPE get_Capacity(UINT32*) override { return Hit("get_Capacity"); }
  HRESULT STDMETHODCALLTYPE get_Length(UINT32*) override { return Hit("get_Length"); }
  HRESULT STDMETHODCALLTYPE put_Length(UINT32) override { return Hit("put_Length"); }
};

// An asynchronous action or operation that a test completes by hand: put_Completed keeps the
// handler, Complete calls it and drops it. It implements IAsyncInfo beside its own interface,
// as the platform's operations do (withInfo false: it does not), and records Cancel.
template <class Operation, class Handler>
class RecordingAsyncBase : public RecordingInspectable<Operation>, public IAsyncInfo {
 public:
  HRESULT resultCode = S_OK;   // what GetResults answers
  bool withInfo = true;
  bool cancelled = false;
  HRESULT cancelAnswer = S_OK;  // what Cancel answers

  ~RecordingAsyncBase() override { Drop(); }

  // IAsyncInfo shares the operation's identity and count.
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
    return RecordingInspectable<Operation>::QueryInterface(iid, object);
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return RecordingInspectable<Operation>::AddRef(); }
  ULONG STDMETHODCALLTYPE Release() override { return RecordingInspectable<Operation>::Release(); }
  HRESULT STDMETHODCALLTYPE GetIids(ULONG* count, IID** iids) override {
    return RecordingInspectable<Operation>::GetIids(count, iids);
  }
  HRESULT STDMETHODCALLTYPE GetRuntimeClassName(HSTRING* name) override {
    return RecordingInspectable<Operation>::GetRuntimeClassName(name);
  }
  HRESULT STDMETHODCALLTYPE GetTrustLevel(TrustLevel* level) override {
    return RecordingInspectable<Operation>::GetTrustLevel(level);
  }

  HRESULT STDMETHODCALLTYPE get_Id(UINT32*) override { return this->Hit("get_Id"); }
  HRESULT STDMETHODCALLTYPE get_Status(abi::AsyncStatus*) override { return this->Hit("get_Status"); }
  HRESULT STDMETHODCALLTYPE get_ErrorCode(HRESULT*) override { return this->Hit("get_ErrorCode"); }
  HRESULT STDMETHODCALLTYPE Cancel() override {
    if (!this->probing) cancelled = true;
    this->Hit("Cancel");
    return cancelAnswer;
  }
  HRESULT STDMETHODCALLTYPE Close() override { return this->Hit("Close"); }

  HRESULT STDMETHODCALLTYPE put_Completed(Handler* handler) override {
    if (!this->probing && this->answer >= 0 && handler != nullptr) {
      Drop();
      handler_ = handler;
      handler_->AddRef();
    }
    return this->Hit("put_Completed");
  }
  HRESULT STDMETHODCALLTYPE get_Completed(Handler**) override { return this->Hit("get_Completed"); }

  bool hasHandler() const { return handler_ != nullptr; }
  IAsyncInfo* info() { return this; }
  Handler* handler() const { return handler_; }
  // Calls the handler with Completed and lets it go; answers what its last Release said.
  ULONG Complete() {
    Handler* handler = handler_;
    handler_ = nullptr;
    if (handler == nullptr) return 0;
    handler->Invoke(this, static_cast<abi::AsyncStatus>(1));  // Completed
    return handler->Release();
  }

 protected:
  void* Answer(REFIID iid) override {
    if (withInfo && IsEqualIID(iid, __uuidof(IAsyncInfo))) return static_cast<IAsyncInfo*>(this);
    return RecordingInspectable<Operation>::Answer(iid);
  }

 private:
  void Drop() {
    if (handler_ != nullptr) handler_->Release();
    handler_ = nullptr;
  }
  Handler* handler_ = nullptr;
};

class RecordingAction final : public RecordingAsyncBase<WF::IAsyncAction, WF::IAsyncActionCompletedHandler> {
 public:
  HRESULT STDMETHODCALLTYPE GetResults() override {
    Hit("GetResults");
    return resultCode;
  }
};

template <class Operation, class Handler, class Result>
class RecordingOperation final : public RecordingAsyncBase<Operation, Handler> {
 public:
  Result* result = nullptr;
  HRESULT STDMETHODCALLTYPE GetResults(Result** value) override {
    this->Give("GetResults", value, result);
    return this->resultCode;
  }
};

// GetIsTransmittingAsync's operation, whose result is the one-byte boolean itself.
class RecordingBooleanOperation final
    : public RecordingAsyncBase<abi::TransmittingOperation, abi::TransmittingCompletedHandler> {
 public:
  boolean result = 0;
  HRESULT STDMETHODCALLTYPE GetResults(boolean* value) override {
    if (value != nullptr && !probing) *value = result;
    Hit("GetResults");
    return resultCode;
  }
};

using RecordingCommandOperation = RecordingOperation<abi::CommandResultOperation, abi::CommandResultCompletedHandler,
                                                     NO::IMobileBroadbandDeviceServiceCommandResult>;
using RecordingConfigurationOperation =
    RecordingOperation<abi::ModemConfigurationOperation, abi::ModemConfigurationCompletedHandler,
                       NO::IMobileBroadbandModemConfiguration>;

// The delegates, as the platform would see ours.
class RecordingActionHandler final : public RecordingUnknown<WF::IAsyncActionCompletedHandler> {
 public:
  HRESULT STDMETHODCALLTYPE Invoke(WF::IAsyncAction*, abi::AsyncStatus) override { return Hit("Invoke"); }
};

template <class Handler, class Operation>
class RecordingOperationHandler final : public RecordingUnknown<Handler> {
 public:
  HRESULT STDMETHODCALLTYPE Invoke(Operation*, abi::AsyncStatus) override { return this->Hit("Invoke"); }
};

class RecordingTransmissionHandler final : public RecordingUnknown<abi::TransmissionStateChangedHandler> {
 public:
  HRESULT STDMETHODCALLTYPE Invoke(NO::IMobileBroadbandSarManager*,
                                   NO::IMobileBroadbandTransmissionStateChangedEventArgs*) override {
    return Hit("Invoke");
  }
};

}  // namespace korvi::windows::test
