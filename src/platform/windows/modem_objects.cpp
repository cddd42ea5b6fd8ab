#include "platform/windows/modem_objects.h"

#include <utility>

#include "platform/windows/async_wait.h"
#include "platform/windows/buffer_object.h"
#include "platform/windows/error_text.h"
#include "platform/windows/hstring.h"
#include "platform/windows/transmission_handler.h"

namespace korvi::windows {
namespace {

namespace NO = abi::NO;

// A call that gave S_OK but no object where the caller must have one.
template <class Interface>
void RequireObject(const ComPtr<Interface>& object) {
  if (!object) ThrowPlatformError(E_POINTER);
}

class DeviceInformationObject final : public cellular::DeviceInformation {
 public:
  explicit DeviceInformationObject(ComPtr<NO::IMobileBroadbandDeviceInformation> information) noexcept
      : information_(std::move(information)) {}

  std::int32_t NetworkDeviceStatus() override {
    NO::NetworkDeviceStatus status{};
    Check(information_->get_NetworkDeviceStatus(&status));
    return static_cast<std::int32_t>(status);
  }

  std::u16string SimIccId() override {
    UniqueHString text;
    Check(information_->get_SimIccId(text.put()));
    return Utf16FromHString(text.get());
  }

 private:
  ComPtr<NO::IMobileBroadbandDeviceInformation> information_;
};

class CommandResultObject final : public cellular::DeviceServiceCommandResult {
 public:
  explicit CommandResultObject(ComPtr<NO::IMobileBroadbandDeviceServiceCommandResult> result) noexcept
      : result_(std::move(result)) {}

  std::uint32_t StatusCode() override {
    UINT32 code = 0;
    Check(result_->get_StatusCode(&code));
    return code;
  }

  std::shared_ptr<cellular::Buffer> ResponseData() override {
    ComPtr<IBuffer> data;
    Check(result_->get_ResponseData(data.put()));
    if (!data) return nullptr;
    return std::make_shared<BufferObject>(std::move(data));
  }

 private:
  ComPtr<NO::IMobileBroadbandDeviceServiceCommandResult> result_;
};

std::shared_ptr<cellular::DeviceServiceCommandResult> WrapCommandResult(
    ComPtr<NO::IMobileBroadbandDeviceServiceCommandResult> result) {
  if (!result) return nullptr;
  return std::make_shared<CommandResultObject>(std::move(result));
}

using CommandOperationObject =
    AsyncOperationObject<std::shared_ptr<cellular::DeviceServiceCommandResult>, abi::CommandResultOperation,
                         abi::CommandResultCompletedHandler, NO::IMobileBroadbandDeviceServiceCommandResult,
                         &WrapCommandResult>;

class CommandSessionObject final : public cellular::DeviceServiceCommandSession {
 public:
  explicit CommandSessionObject(ComPtr<NO::IMobileBroadbandDeviceServiceCommandSession> session) noexcept
      : session_(std::move(session)) {}

  std::shared_ptr<cellular::AsyncOperation<std::shared_ptr<cellular::DeviceServiceCommandResult>>> SendSetCommandAsync(
      std::uint32_t commandId, const std::shared_ptr<cellular::Buffer>& data) override {
    // A buffer that is not one of ours cannot be handed to the platform.
    if (data && IBufferOf(data) == nullptr) ThrowPlatformError(E_INVALIDARG);
    ComPtr<abi::CommandResultOperation> operation;
    Check(session_->SendSetCommandAsync(commandId, IBufferOf(data), operation.put()));
    RequireObject(operation);
    return std::make_shared<CommandOperationObject>(std::move(operation));
  }

 private:
  ComPtr<NO::IMobileBroadbandDeviceServiceCommandSession> session_;
};

class DeviceServiceObject final : public cellular::DeviceService {
 public:
  explicit DeviceServiceObject(ComPtr<NO::IMobileBroadbandDeviceService> service) noexcept
      : service_(std::move(service)) {}

  std::shared_ptr<cellular::DeviceServiceCommandSession> OpenCommandSession() override {
    ComPtr<NO::IMobileBroadbandDeviceServiceCommandSession> session;
    Check(service_->OpenCommandSession(session.put()));
    if (!session) return nullptr;
    return std::make_shared<CommandSessionObject>(std::move(session));
  }

 private:
  ComPtr<NO::IMobileBroadbandDeviceService> service_;
};

class SarManagerObject final : public cellular::SarManager {
 public:
  explicit SarManagerObject(ComPtr<NO::IMobileBroadbandSarManager> manager) noexcept : manager_(std::move(manager)) {}

  std::shared_ptr<cellular::AsyncAction> SetTransmissionStateChangedHysteresisAsync(std::int64_t ticks) override {
    ComPtr<abi::WF::IAsyncAction> action;
    Check(manager_->SetTransmissionStateChangedHysteresisAsync(abi::WF::TimeSpan{ticks}, action.put()));
    RequireObject(action);
    return std::make_shared<AsyncActionObject>(std::move(action));
  }

  std::shared_ptr<cellular::AsyncOperation<bool>> GetIsTransmittingAsync() override {
    ComPtr<abi::TransmittingOperation> operation;
    Check(manager_->GetIsTransmittingAsync(operation.put()));
    RequireObject(operation);
    return std::make_shared<BooleanOperationObject>(std::move(operation));
  }

  std::int64_t AddTransmissionStateChanged(std::shared_ptr<cellular::TransmissionStateChangedHandler> handler) override {
    if (!handler) ThrowPlatformError(E_POINTER);
    ComPtr<abi::TransmissionStateChangedHandler> delegate(new TransmissionHandlerObject(std::move(handler)));
    EventRegistrationToken token{};
    Check(manager_->add_TransmissionStateChanged(delegate.get(), &token));
    return token.value;
  }

  void RemoveTransmissionStateChanged(std::int64_t token) override {
    Check(manager_->remove_TransmissionStateChanged(EventRegistrationToken{token}));
  }

  void StartTransmissionStateMonitoring() override { Check(manager_->StartTransmissionStateMonitoring()); }
  void StopTransmissionStateMonitoring() override { Check(manager_->StopTransmissionStateMonitoring()); }

 private:
  ComPtr<NO::IMobileBroadbandSarManager> manager_;
};

class ModemConfigurationObject final : public cellular::ModemConfiguration {
 public:
  explicit ModemConfigurationObject(ComPtr<NO::IMobileBroadbandModemConfiguration> configuration) noexcept
      : configuration_(std::move(configuration)) {}

  std::shared_ptr<cellular::SarManager> SarManager() override {
    ComPtr<NO::IMobileBroadbandModemConfiguration2> second;
    const HRESULT found = QueryAs(configuration_.get(), second);
    // A configuration from before the SAR interfaces has no manager to give.
    if (found == E_NOINTERFACE) return nullptr;
    Check(found);
    RequireObject(second);
    ComPtr<NO::IMobileBroadbandSarManager> manager;
    Check(second->get_SarManager(manager.put()));
    return WrapSarManager(std::move(manager));
  }

 private:
  ComPtr<NO::IMobileBroadbandModemConfiguration> configuration_;
};

std::shared_ptr<cellular::ModemConfiguration> WrapConfiguration(ComPtr<NO::IMobileBroadbandModemConfiguration> configuration) {
  if (!configuration) return nullptr;
  return std::make_shared<ModemConfigurationObject>(std::move(configuration));
}

using ConfigurationOperationObject =
    AsyncOperationObject<std::shared_ptr<cellular::ModemConfiguration>, abi::ModemConfigurationOperation,
                         abi::ModemConfigurationCompletedHandler, NO::IMobileBroadbandModemConfiguration,
                         &WrapConfiguration>;

class ModemObject final : public cellular::Modem {
 public:
  explicit ModemObject(ComPtr<NO::IMobileBroadbandModem> modem) noexcept : modem_(std::move(modem)) {}

  std::shared_ptr<cellular::DeviceInformation> DeviceInformation() override {
    ComPtr<NO::IMobileBroadbandDeviceInformation> information;
    Check(modem_->get_DeviceInformation(information.put()));
    if (!information) return nullptr;
    return std::make_shared<DeviceInformationObject>(std::move(information));
  }

  std::shared_ptr<cellular::DeviceService> GetDeviceService(const cellular::Guid& serviceId) override {
    GUID id{serviceId.data1, serviceId.data2, serviceId.data3, {}};
    for (int i = 0; i < 8; ++i) id.Data4[i] = serviceId.data4[i];
    ComPtr<NO::IMobileBroadbandDeviceService> service;
    Check(modem_->GetDeviceService(id, service.put()));
    if (!service) return nullptr;
    return std::make_shared<DeviceServiceObject>(std::move(service));
  }

  std::shared_ptr<cellular::AsyncOperation<std::shared_ptr<cellular::ModemConfiguration>>> GetCurrentConfigurationAsync()
      override {
    ComPtr<abi::ModemConfigurationOperation> operation;
    Check(modem_->GetCurrentConfigurationAsync(operation.put()));
    RequireObject(operation);
    return std::make_shared<ConfigurationOperationObject>(std::move(operation));
  }

 private:
  ComPtr<NO::IMobileBroadbandModem> modem_;
};

class EventArgsObject final : public cellular::TransmissionStateChangedEventArgs {
 public:
  explicit EventArgsObject(ComPtr<NO::IMobileBroadbandTransmissionStateChangedEventArgs> args) noexcept
      : args_(std::move(args)) {}

  bool IsTransmitting() override {
    boolean transmitting = 0;
    Check(args_->get_IsTransmitting(&transmitting));
    return transmitting != 0;
  }

 private:
  ComPtr<NO::IMobileBroadbandTransmissionStateChangedEventArgs> args_;
};

}  // namespace

std::shared_ptr<cellular::Modem> WrapModem(ComPtr<NO::IMobileBroadbandModem> modem) {
  if (!modem) return nullptr;
  return std::make_shared<ModemObject>(std::move(modem));
}

std::shared_ptr<cellular::SarManager> WrapSarManager(ComPtr<NO::IMobileBroadbandSarManager> manager) {
  if (!manager) return nullptr;
  return std::make_shared<SarManagerObject>(std::move(manager));
}

std::shared_ptr<cellular::TransmissionStateChangedEventArgs> WrapEventArgs(
    ComPtr<NO::IMobileBroadbandTransmissionStateChangedEventArgs> args) {
  if (!args) return nullptr;
  return std::make_shared<EventArgsObject>(std::move(args));
}

}  // namespace korvi::windows
