#include "modem_fakes.h"

#include "reaction_stamps.h"

#include <memory>
#include <string>
#include <string_view>

#include "async_fakes.h"
#include "buffer_fake.h"
#include "com_object.h"
#include "platform/windows/abi/mobile_broadband.h"
#include "provider_notebook.h"
#include "reaction_stamps.h"

namespace korvi::fake {
namespace {

namespace NO = ABI::Windows::Networking::NetworkOperators;
namespace WF = ABI::Windows::Foundation;
using ABI::Windows::Storage::Streams::IBuffer;

// --- Transmission-state notifications -------------------------------------------------------

class FakeEventArgs final : public ComObject<FakeEventArgs, NO::IMobileBroadbandTransmissionStateChangedEventArgs> {
 public:
  static constexpr const wchar_t* kRuntimeClassName =
      L"Windows.Networking.NetworkOperators.MobileBroadbandTransmissionStateChangedEventArgs";
  explicit FakeEventArgs(std::shared_ptr<cellular::TransmissionStateChangedEventArgs> args) noexcept
      : args_(std::move(args)) {}

  HRESULT STDMETHODCALLTYPE get_IsTransmitting(boolean* value) override {
    if (!ClearOut(value)) return E_POINTER;
    return Guard([&] {
      *value = args_->IsTransmitting() ? 1 : 0;
      return S_OK;
    });
  }

 private:
  std::shared_ptr<cellular::TransmissionStateChangedEventArgs> args_;
};

// The service's TypedEventHandler as the simulated modem's handler: each delivery on the
// platform thread becomes one Invoke with fakes of the sender and the args.
class HandlerAdapter final : public cellular::TransmissionStateChangedHandler {
 public:
  explicit HandlerAdapter(ComPtr<abi::TransmissionStateChangedHandler> handler) noexcept : handler_(std::move(handler)) {}

  std::int32_t Invoke(const std::shared_ptr<cellular::SarManager>& sender,
                      const std::shared_ptr<cellular::TransmissionStateChangedEventArgs>& args) noexcept override;

 private:
  const ComPtr<abi::TransmissionStateChangedHandler> handler_;
};

// --- Asynchronous operations ------------------------------------------------------------------

class FakeAction final : public FakeAsync<FakeAction, WF::IAsyncAction, WF::IAsyncActionCompletedHandler,
                                          cellular::AsyncAction> {
 public:
  using FakeAsync::FakeAsync;
  HRESULT STDMETHODCALLTYPE GetResults() override {
    return Guard([&] {
      simulated().GetResults();
      return S_OK;
    });
  }
};

// GetIsTransmittingAsync's operation: the simulated modem's answer as the one-byte boolean.
class FakeBooleanOperation final
    : public FakeAsync<FakeBooleanOperation, abi::TransmittingOperation, abi::TransmittingCompletedHandler,
                       cellular::AsyncOperation<bool>> {
 public:
  using FakeAsync::FakeAsync;
  HRESULT STDMETHODCALLTYPE GetResults(boolean* results) override {
    if (!ClearOut(results)) return E_POINTER;
    return Guard([&] {
      *results = simulated().GetResults() ? 1 : 0;
      return S_OK;
    });
  }
};

class FakeCommandResult final
    : public ComObject<FakeCommandResult, NO::IMobileBroadbandDeviceServiceCommandResult> {
 public:
  static constexpr const wchar_t* kRuntimeClassName =
      L"Windows.Networking.NetworkOperators.MobileBroadbandDeviceServiceCommandResult";
  explicit FakeCommandResult(std::shared_ptr<cellular::DeviceServiceCommandResult> result) noexcept
      : result_(std::move(result)) {}

  HRESULT STDMETHODCALLTYPE get_StatusCode(UINT32* value) override {
    if (!ClearOut(value)) return E_POINTER;
    return Guard([&] {
      *value = result_->StatusCode();
      return S_OK;
    });
  }
  HRESULT STDMETHODCALLTYPE get_ResponseData(IBuffer** value) override {
    if (!ClearOut(value)) return E_POINTER;
    return Guard([&] {
      auto data = result_->ResponseData();
      if (!data) return S_OK;
      return GiveOut(Make<FakeBuffer>(std::move(data), std::nullopt), value);
    });
  }

 private:
  std::shared_ptr<cellular::DeviceServiceCommandResult> result_;
};

using SimCommandOperation = cellular::AsyncOperation<std::shared_ptr<cellular::DeviceServiceCommandResult>>;
class FakeCommandOperation final : public FakeAsync<FakeCommandOperation, abi::CommandResultOperation,
                                                    abi::CommandResultCompletedHandler, SimCommandOperation> {
 public:
  using FakeAsync::FakeAsync;
  HRESULT STDMETHODCALLTYPE GetResults(NO::IMobileBroadbandDeviceServiceCommandResult** results) override {
    if (!ClearOut(results)) return E_POINTER;
    return Guard([&] {
      auto result = simulated().GetResults();
      if (!result) return S_OK;
      return GiveOut(Make<FakeCommandResult>(std::move(result)), results);
    });
  }
};

// --- SAR manager and configuration --------------------------------------------------------------

class FakeSarManager final : public ComObject<FakeSarManager, NO::IMobileBroadbandSarManager> {
 public:
  static constexpr const wchar_t* kRuntimeClassName = L"Windows.Networking.NetworkOperators.MobileBroadbandSarManager";
  explicit FakeSarManager(std::shared_ptr<cellular::SarManager> manager) noexcept : manager_(std::move(manager)) {}

  HRESULT STDMETHODCALLTYPE SetTransmissionStateChangedHysteresisAsync(WF::TimeSpan period,
                                                                       WF::IAsyncAction** operation) override {
    if (!ClearOut(operation)) return E_POINTER;
    return Guard([&] {
      auto action = manager_->SetTransmissionStateChangedHysteresisAsync(period.Duration);
      return GiveOut(Make<FakeAction>(std::move(action)), operation);
    });
  }

  HRESULT STDMETHODCALLTYPE add_TransmissionStateChanged(abi::TransmissionStateChangedHandler* handler,
                                                         EventRegistrationToken* token) override {
    if (!ClearOut(token)) return E_POINTER;
    return Guard([&] {
      // A null handler reaches the simulated modem as none, which it refuses.
      std::shared_ptr<cellular::TransmissionStateChangedHandler> adapter;
      if (handler != nullptr) {
        adapter = std::make_shared<HandlerAdapter>(Retain<abi::TransmissionStateChangedHandler>(handler));
      }
      token->value = manager_->AddTransmissionStateChanged(std::move(adapter));
      return S_OK;
    });
  }

  HRESULT STDMETHODCALLTYPE remove_TransmissionStateChanged(EventRegistrationToken token) override {
    return Guard([&] {
      manager_->RemoveTransmissionStateChanged(token.value);
      return S_OK;
    });
  }

  HRESULT STDMETHODCALLTYPE GetIsTransmittingAsync(abi::TransmittingOperation** operation) override {
    if (!ClearOut(operation)) return E_POINTER;
    return Guard([&] { return GiveOut(Make<FakeBooleanOperation>(manager_->GetIsTransmittingAsync()), operation); });
  }

  HRESULT STDMETHODCALLTYPE StartTransmissionStateMonitoring() override {
    return Guard([&] {
      manager_->StartTransmissionStateMonitoring();
      return S_OK;
    });
  }
  HRESULT STDMETHODCALLTYPE StopTransmissionStateMonitoring() override {
    return Guard([&] {
      manager_->StopTransmissionStateMonitoring();
      return S_OK;
    });
  }

  // What the service never asks of the manager.
  HRESULT STDMETHODCALLTYPE get_IsBackoffEnabled(boolean*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_IsWiFiHardwareIntegrated(boolean*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_IsSarControlledByHardware(boolean*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_Antennas(
      WF::Collections::IVectorView<NO::MobileBroadbandAntennaSar*>**) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE get_HysteresisTimerPeriod(WF::TimeSpan*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE EnableBackoffAsync(WF::IAsyncAction**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE DisableBackoffAsync(WF::IAsyncAction**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetConfigurationAsync(WF::Collections::IIterable<NO::MobileBroadbandAntennaSar*>*,
                                                  WF::IAsyncAction**) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE RevertSarToHardwareControlAsync(WF::IAsyncAction**) override { return E_NOTIMPL; }

 private:
  std::shared_ptr<cellular::SarManager> manager_;
};

ComPtr<FakeSarManager> MakeSarManager(std::shared_ptr<cellular::SarManager> manager) {
  return Make<FakeSarManager>(std::move(manager));
}

std::int32_t HandlerAdapter::Invoke(const std::shared_ptr<cellular::SarManager>& sender,
                                    const std::shared_ptr<cellular::TransmissionStateChangedEventArgs>& args) noexcept {
  stamps::Take(stamps::Moment::kDelivery);
  return Guard([&] {
    const ComPtr<FakeSarManager> fakeSender = sender ? MakeSarManager(sender) : ComPtr<FakeSarManager>();
    const ComPtr<FakeEventArgs> fakeArgs = args ? Make<FakeEventArgs>(args) : ComPtr<FakeEventArgs>();
    return handler_->Invoke(fakeSender.get(), fakeArgs.get());
  });
}

class FakeConfiguration final : public ComObject<FakeConfiguration, NO::IMobileBroadbandModemConfiguration,
                                                 NO::IMobileBroadbandModemConfiguration2> {
 public:
  static constexpr const wchar_t* kRuntimeClassName =
      L"Windows.Networking.NetworkOperators.MobileBroadbandModemConfiguration";
  explicit FakeConfiguration(std::shared_ptr<cellular::ModemConfiguration> configuration) noexcept
      : configuration_(std::move(configuration)) {}

  HRESULT STDMETHODCALLTYPE get_SarManager(NO::IMobileBroadbandSarManager** value) override {
    if (!ClearOut(value)) return E_POINTER;
    return Guard([&] {
      auto manager = configuration_->SarManager();
      if (!manager) return S_OK;  // a modem without SAR control
      return GiveOut(MakeSarManager(std::move(manager)), value);
    });
  }

  HRESULT STDMETHODCALLTYPE get_Uicc(NO::IMobileBroadbandUicc**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_HomeProviderId(HSTRING*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_HomeProviderName(HSTRING*) override { return E_NOTIMPL; }

 private:
  std::shared_ptr<cellular::ModemConfiguration> configuration_;
};

using SimConfigurationOperation = cellular::AsyncOperation<std::shared_ptr<cellular::ModemConfiguration>>;
class FakeConfigurationOperation final
    : public FakeAsync<FakeConfigurationOperation, abi::ModemConfigurationOperation,
                       abi::ModemConfigurationCompletedHandler, SimConfigurationOperation> {
 public:
  using FakeAsync::FakeAsync;
  HRESULT STDMETHODCALLTYPE GetResults(NO::IMobileBroadbandModemConfiguration** results) override {
    if (!ClearOut(results)) return E_POINTER;
    return Guard([&] {
      auto configuration = simulated().GetResults();
      if (!configuration) return S_OK;
      return GiveOut<NO::IMobileBroadbandModemConfiguration>(Make<FakeConfiguration>(std::move(configuration)), results);
    });
  }
};

// --- Device service and command session -----------------------------------------------------

class FakeCommandSession final
    : public ComObject<FakeCommandSession, NO::IMobileBroadbandDeviceServiceCommandSession> {
 public:
  static constexpr const wchar_t* kRuntimeClassName =
      L"Windows.Networking.NetworkOperators.MobileBroadbandDeviceServiceCommandSession";
  explicit FakeCommandSession(std::shared_ptr<cellular::DeviceServiceCommandSession> session) noexcept
      : session_(std::move(session)) {}

  HRESULT STDMETHODCALLTYPE SendSetCommandAsync(UINT32 commandId, IBuffer* data,
                                                abi::CommandResultOperation** operation) override {
    if (!ClearOut(operation)) return E_POINTER;
    return Guard([&] {
      // A buffer that is not ours reaches the simulated modem as none, which it refuses.
      const ComPtr<FakeBuffer> buffer = Unwrap<FakeBuffer>(data);
      auto sent = session_->SendSetCommandAsync(commandId, buffer ? buffer->simulated() : nullptr);
      return GiveOut(Make<FakeCommandOperation>(std::move(sent)), operation);
    });
  }

  HRESULT STDMETHODCALLTYPE SendQueryCommandAsync(UINT32, IBuffer*, abi::CommandResultOperation**) override {
    return E_NOTIMPL;
  }

 private:
  std::shared_ptr<cellular::DeviceServiceCommandSession> session_;
};

class FakeDeviceService final : public ComObject<FakeDeviceService, NO::IMobileBroadbandDeviceService> {
 public:
  static constexpr const wchar_t* kRuntimeClassName =
      L"Windows.Networking.NetworkOperators.MobileBroadbandDeviceService";
  explicit FakeDeviceService(std::shared_ptr<cellular::DeviceService> service) noexcept
      : service_(std::move(service)) {}

  HRESULT STDMETHODCALLTYPE OpenCommandSession(NO::IMobileBroadbandDeviceServiceCommandSession** value) override {
    if (!ClearOut(value)) return E_POINTER;
    return Guard([&] {
      auto session = service_->OpenCommandSession();
      if (!session) return S_OK;  // the modem gives no session
      return GiveOut(Make<FakeCommandSession>(std::move(session)), value);
    });
  }

  HRESULT STDMETHODCALLTYPE get_DeviceServiceId(GUID*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_SupportedCommands(WF::Collections::IVectorView<UINT32>**) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE OpenDataSession(NO::IMobileBroadbandDeviceServiceDataSession**) override {
    return E_NOTIMPL;
  }

 private:
  std::shared_ptr<cellular::DeviceService> service_;
};

// --- Modem and its device information ---------------------------------------------------------

class FakeDeviceInformation final
    : public ComObject<FakeDeviceInformation, NO::IMobileBroadbandDeviceInformation> {
 public:
  static constexpr const wchar_t* kRuntimeClassName =
      L"Windows.Networking.NetworkOperators.MobileBroadbandDeviceInformation";
  explicit FakeDeviceInformation(std::shared_ptr<cellular::DeviceInformation> information) noexcept
      : information_(std::move(information)) {}

  HRESULT STDMETHODCALLTYPE get_NetworkDeviceStatus(NO::NetworkDeviceStatus* value) override {
    if (value == nullptr) return E_POINTER;
    *value = NO::NetworkDeviceStatus_DeviceNotReady;
    return Guard([&] {
      *value = static_cast<NO::NetworkDeviceStatus>(information_->NetworkDeviceStatus());
      return S_OK;
    });
  }

  // The caller owns the string; an empty identifier is the null string, as the runtime gives it.
  HRESULT STDMETHODCALLTYPE get_SimIccId(HSTRING* value) override {
    if (!ClearOut(value)) return E_POINTER;
    return Guard([&] {
      const std::u16string identifier = information_->SimIccId();
      return CreateHString(std::wstring_view(reinterpret_cast<const wchar_t*>(identifier.data()), identifier.size()),
                           value);
    });
  }

  HRESULT STDMETHODCALLTYPE get_Manufacturer(HSTRING*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_Model(HSTRING*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_FirmwareInformation(HSTRING*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_CellularClass(ABI::Windows::Devices::Sms::CellularClass*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE get_DataClasses(NO::DataClasses*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_CustomDataClass(HSTRING*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_MobileEquipmentId(HSTRING*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_TelephoneNumbers(WF::Collections::IVectorView<HSTRING>**) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE get_SubscriberId(HSTRING*) override { return E_NOTIMPL; }

 private:
  std::shared_ptr<cellular::DeviceInformation> information_;
};

class FakeModem final : public ComObject<FakeModem, NO::IMobileBroadbandModem> {
 public:
  static constexpr const wchar_t* kRuntimeClassName = L"Windows.Networking.NetworkOperators.MobileBroadbandModem";
  explicit FakeModem(std::shared_ptr<cellular::Modem> modem) noexcept : modem_(std::move(modem)) {}

  HRESULT STDMETHODCALLTYPE get_DeviceInformation(NO::IMobileBroadbandDeviceInformation** value) override {
    if (!ClearOut(value)) return E_POINTER;
    return Guard([&] { return GiveOut(Make<FakeDeviceInformation>(modem_->DeviceInformation()), value); });
  }

  HRESULT STDMETHODCALLTYPE GetDeviceService(GUID id, NO::IMobileBroadbandDeviceService** value) override {
    if (!ClearOut(value)) return E_POINTER;
    return Guard([&] {
      cellular::Guid serviceId{id.Data1, id.Data2, id.Data3, {}};
      for (int i = 0; i < 8; ++i) serviceId.data4[i] = id.Data4[i];
      return GiveOut(Make<FakeDeviceService>(modem_->GetDeviceService(serviceId)), value);
    });
  }

  HRESULT STDMETHODCALLTYPE GetCurrentConfigurationAsync(abi::ModemConfigurationOperation** operation) override {
    if (!ClearOut(operation)) return E_POINTER;
    return Guard([&] { return GiveOut(Make<FakeConfigurationOperation>(modem_->GetCurrentConfigurationAsync()), operation); });
  }

  HRESULT STDMETHODCALLTYPE get_CurrentAccount(NO::IMobileBroadbandAccount**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_MaxDeviceServiceCommandSizeInBytes(UINT32*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_MaxDeviceServiceDataSizeInBytes(UINT32*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_DeviceServices(
      WF::Collections::IVectorView<NO::MobileBroadbandDeviceServiceInformation*>**) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE get_IsResetSupported(boolean*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE ResetAsync(WF::IAsyncAction**) override { return E_NOTIMPL; }

 private:
  std::shared_ptr<cellular::Modem> modem_;
};

// The activation factory of MobileBroadbandModem, whose statics give the default modem.
class ModemFactory final : public ComObject<ModemFactory, IActivationFactory, NO::IMobileBroadbandModemStatics> {
 public:
  HRESULT STDMETHODCALLTYPE ActivateInstance(IInspectable** instance) override {
    ClearOut(instance);
    return E_NOTIMPL;  // the class has no default constructor
  }

  HRESULT STDMETHODCALLTYPE GetDefault(NO::IMobileBroadbandModem** value) override {
    if (!ClearOut(value)) return E_POINTER;
    return Guard([&] {
      auto modem = ProviderNotebook::Get().modem().GetDefault();
      if (!modem) return S_OK;  // the notebook has no mobile-broadband modem
      return GiveOut(Make<FakeModem>(std::move(modem)), value);
    });
  }

  HRESULT STDMETHODCALLTYPE GetDeviceSelector(HSTRING*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE FromId(HSTRING, NO::IMobileBroadbandModem**) override { return E_NOTIMPL; }
};

}  // namespace

HRESULT GetMobileBroadbandModemFactory(IActivationFactory** factory) noexcept {
  if (!ClearOut(factory)) return E_POINTER;
  return Guard([&] { return GiveOut(Make<ModemFactory>(), factory); });
}

}  // namespace korvi::fake
