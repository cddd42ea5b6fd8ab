// The objects the simulated modem hands out: the modem, its device information, device
// service, command session and result, configuration, SAR manager, the notification's
// arguments, buffers and asynchronous operations. Each one holds the modem's World.
#include <cstring>
#include <functional>
#include <optional>
#include <string_view>
#include <utility>

#include "platform/sim/models/modem_world.h"
#include "platform/sim/models/object_count.h"

namespace korvi::sim {

using cellular::PlatformError;

namespace {

using World = SimModemPlatform::World;

// Runs `answer` when the modem answers a request: at once (0 ms), after that many simulated
// ms on the platform thread, or never (none).
void AnswerAfter(World& world, const std::optional<std::int64_t>& ms, std::function<void()> answer) {
  if (!ms) return;
  if (*ms == 0) {
    answer();
  } else {
    world.scheduler.Post(world.scheduler.NowMs() + *ms, std::move(answer));
  }
}

class SimBuffer final : public cellular::Buffer, CountedObject {
 public:
  explicit SimBuffer(std::vector<std::uint8_t> bytes) : bytes(std::move(bytes)) {}
  const std::vector<std::uint8_t> bytes;
};

// One asynchronous operation; completes at once or later on the platform thread. `op` names
// the call that started it, for the trace.
template <class Base, class Result>
class SimAsync : public Base, CountedObject {
 public:
  SimAsync(std::shared_ptr<World> world, const char* op) : world_(std::move(world)), op_(op) {}

  void SetCompleted(std::shared_ptr<cellular::CompletionHandler> handler) override {
    std::unique_lock lock(mutex_);
    if (handler_) FailModemCall(kIllegalMethodCall);
    if (completed_) {
      lock.unlock();
      handler->OnCompleted();  // already complete: called at once, on the caller's thread
      return;
    }
    handler_ = std::move(handler);
  }

  // As the runtime does: a cancelled operation ends at once, its handler is told, and the
  // modem's later answer is dropped.
  void Cancel() override {
    std::shared_ptr<cellular::CompletionHandler> handler;
    {
      std::lock_guard lock(mutex_);
      if (completed_) return;  // too late to cancel: the answer stands
      completed_ = true;
      error_ = kCanceled;
      handler = std::move(handler_);
    }
    world_->recorder.Cancel(op_);
    if (handler) handler->OnCompleted();
  }

  // The modem's answer; none once the operation was cancelled.
  void Complete(Result result, std::int32_t error) {
    std::shared_ptr<cellular::CompletionHandler> handler;
    {
      std::lock_guard lock(mutex_);
      if (completed_) return;
      completed_ = true;
      result_ = std::move(result);
      error_ = error;
      handler = std::move(handler_);
    }
    if (handler) handler->OnCompleted();
  }

 protected:
  World& world() { return *world_; }

  Result Results() {
    if (auto code = world_->faults.Check("GetResults")) FailModemCall(*code);
    std::lock_guard lock(mutex_);
    if (!completed_) FailModemCall(kIllegalMethodCall);
    if (error_ < 0) FailModemCall(error_);
    return result_;
  }

 private:
  std::shared_ptr<World> world_;
  const char* const op_;
  std::mutex mutex_;
  bool completed_ = false;
  std::shared_ptr<cellular::CompletionHandler> handler_;
  Result result_{};
  std::int32_t error_ = 0;
};

template <class Result>
class SimOperation final : public SimAsync<cellular::AsyncOperation<Result>, Result> {
 public:
  using SimAsync<cellular::AsyncOperation<Result>, Result>::SimAsync;
  Result GetResults() override { return this->Results(); }
};

// GetIsTransmittingAsync's operation, which the service asks once, for the state at start:
// what the service gets from it is recorded, the modem's answer or the failure it met in
// reading it (one that never came is the service's cancel).
class SimStateRequest final : public SimAsync<cellular::AsyncOperation<bool>, bool> {
 public:
  using SimAsync::SimAsync;
  bool GetResults() override {
    try {
      const bool transmitting = Results();
      world().recorder.StateAtStart(transmitting, 0);
      return transmitting;
    } catch (const PlatformError& error) {
      world().recorder.StateAtStart(std::nullopt, error.code());
      throw;
    }
  }
};

struct Nothing {};
class SimAction final : public SimAsync<cellular::AsyncAction, Nothing> {
 public:
  using SimAsync::SimAsync;
  void GetResults() override { Results(); }
};

// The service's radio check reads the device status, then the SIM identifier: each check is
// recorded once it is decided, at the read that failed or at the identifier.
class SimDeviceInformation final : public cellular::DeviceInformation, CountedObject {
 public:
  explicit SimDeviceInformation(std::shared_ptr<World> world) : world_(std::move(world)) {}
  std::int32_t NetworkDeviceStatus() override {
    statusRead_.reset();
    CheckRead("NetworkDeviceStatus", true);
    std::lock_guard lock(world_->mutex);
    statusRead_ = world_->deviceStatus;
    return world_->deviceStatus;
  }
  std::u16string SimIccId() override {
    // A check begins with the status; an identifier read without one is no check.
    const std::optional<std::int32_t> status = std::exchange(statusRead_, std::nullopt);
    CheckRead("SimIccId", status.has_value());
    std::lock_guard lock(world_->mutex);
    if (status) world_->recorder.RadioCheck(CellularOn(*status, world_->simIccId), 0);
    return world_->simIccId;
  }

 private:
  // World::Check, the failure recorded as the check's when the read is part of one.
  void CheckRead(std::string_view op, bool inCheck) {
    const std::optional<std::int32_t> failure = world_->Failure(op);
    if (!failure) return;
    if (inCheck) world_->recorder.RadioCheck(std::nullopt, *failure);
    FailModemCall(*failure);
  }

  std::shared_ptr<World> world_;
  // The status of a check under way; only the thread that checks reads and writes it.
  std::optional<std::int32_t> statusRead_;
};

class SimCommandResult final : public cellular::DeviceServiceCommandResult, CountedObject {
 public:
  explicit SimCommandResult(std::shared_ptr<World> world) : world_(std::move(world)) {}
  std::uint32_t StatusCode() override {
    world_->Check("StatusCode");
    return world_->modem.sarStatusCode;
  }
  std::shared_ptr<cellular::Buffer> ResponseData() override {
    world_->Check("ResponseData");
    return std::make_shared<SimBuffer>(world_->modem.sarReply);
  }

 private:
  std::shared_ptr<World> world_;
};

class SimCommandSession final : public cellular::DeviceServiceCommandSession, CountedObject {
 public:
  explicit SimCommandSession(std::shared_ptr<World> world) : world_(std::move(world)) {}
  std::shared_ptr<cellular::AsyncOperation<std::shared_ptr<cellular::DeviceServiceCommandResult>>> SendSetCommandAsync(
      std::uint32_t commandId, const std::shared_ptr<cellular::Buffer>& data) override {
    world_->Check("SendSetCommandAsync");
    const auto* request = dynamic_cast<const SimBuffer*>(data.get());
    if (request == nullptr) FailModemCall(kInvalidArg);
    {
      std::lock_guard lock(world_->mutex);
      ++world_->counts.setCommands;
    }
    using Result = std::shared_ptr<cellular::DeviceServiceCommandResult>;
    auto operation = std::make_shared<SimOperation<Result>>(world_, "SendSetCommandAsync");
    // The modem knows one command of this service: the SAR configuration.
    const bool known = commandId == 1;
    auto complete = [operation, world = world_, known] {
      if (known) {
        operation->Complete(std::make_shared<SimCommandResult>(world), 0);
      } else {
        operation->Complete(nullptr, kInvalidArg);
      }
    };
    AnswerAfter(*world_, world_->modem.commandMs, std::move(complete));
    return operation;
  }

 private:
  std::shared_ptr<World> world_;
};

class SimDeviceService final : public cellular::DeviceService, CountedObject {
 public:
  explicit SimDeviceService(std::shared_ptr<World> world) : world_(std::move(world)) {}
  std::shared_ptr<cellular::DeviceServiceCommandSession> OpenCommandSession() override {
    world_->Check("OpenCommandSession");
    if (!world_->modem.commandSession) return nullptr;
    return std::make_shared<SimCommandSession>(world_);
  }

 private:
  std::shared_ptr<World> world_;
};

class SimEventArgs final : public cellular::TransmissionStateChangedEventArgs, CountedObject {
 public:
  SimEventArgs(std::shared_ptr<World> world, bool transmitting) : world_(std::move(world)), transmitting_(transmitting) {}
  bool IsTransmitting() override {
    world_->Check("IsTransmitting", false);
    return transmitting_;
  }

 private:
  std::shared_ptr<World> world_;
  bool transmitting_;
};

class SimSarManager final : public cellular::SarManager, CountedObject {
 public:
  explicit SimSarManager(std::shared_ptr<World> world) : world_(std::move(world)) {}

  std::shared_ptr<cellular::AsyncAction> SetTransmissionStateChangedHysteresisAsync(std::int64_t ticks) override {
    world_->Check("SetTransmissionStateChangedHysteresisAsync");
    if (ticks < 0) FailModemCall(kInvalidArg);
    {
      std::lock_guard lock(world_->mutex);
      world_->hysteresisMs = ticks / 10'000;
    }
    auto action = std::make_shared<SimAction>(world_, "SetTransmissionStateChangedHysteresisAsync");
    AnswerAfter(*world_, world_->modem.hysteresisMs, [action] { action->Complete(Nothing{}, 0); });
    return action;
  }

  // Answers what the modem does when it answers, not when it was asked.
  std::shared_ptr<cellular::AsyncOperation<bool>> GetIsTransmittingAsync() override {
    try {
      world_->Check("GetIsTransmittingAsync");
    } catch (const PlatformError& error) {
      world_->recorder.StateAtStart(std::nullopt, error.code());  // refused: no state to wait for
      throw;
    }
    auto operation = std::make_shared<SimStateRequest>(world_, "GetIsTransmittingAsync");
    AnswerAfter(*world_, world_->modem.isTransmittingMs, [operation, world = world_] {
      bool transmitting = false;
      {
        std::lock_guard lock(world->mutex);
        transmitting = world->transmitting;
      }
      operation->Complete(transmitting, 0);
    });
    return operation;
  }

  std::int64_t AddTransmissionStateChanged(std::shared_ptr<cellular::TransmissionStateChangedHandler> handler) override {
    world_->Check("TransmissionStateChanged");
    if (!handler) FailModemCall(kPointer);
    std::lock_guard lock(world_->mutex);
    const std::int64_t token = ++world_->lastToken;
    world_->handlers.emplace_back(token, std::move(handler));
    return token;
  }

  // As an event source does: a token it does not know is no error.
  void RemoveTransmissionStateChanged(std::int64_t token) override {
    world_->Check("RemoveTransmissionStateChanged", false);
    std::shared_ptr<cellular::TransmissionStateChangedHandler> removed;
    {
      std::lock_guard lock(world_->mutex);
      auto& handlers = world_->handlers;
      for (auto it = handlers.begin(); it != handlers.end(); ++it) {
        if (it->first == token) {
          removed = std::move(it->second);
          handlers.erase(it);
          break;
        }
      }
    }
    // released outside the lock: the handler may hold platform objects
  }

  // Recorded as the modem takes them. A handler added or removed is not: the process removes
  // its handler as it ends, on Windows before its exit and here after it, and the two traces
  // must tell one story.
  void StartTransmissionStateMonitoring() override {
    world_->Check("StartTransmissionStateMonitoring");
    std::lock_guard lock(world_->mutex);
    if (!world_->monitoring) world_->recorder.Monitoring(true);
    world_->monitoring = true;
  }

  void StopTransmissionStateMonitoring() override {
    world_->Check("StopTransmissionStateMonitoring");
    std::lock_guard lock(world_->mutex);
    if (world_->monitoring) world_->recorder.Monitoring(false);
    world_->monitoring = false;
  }

 private:
  std::shared_ptr<World> world_;
};

class SimConfiguration final : public cellular::ModemConfiguration, CountedObject {
 public:
  explicit SimConfiguration(std::shared_ptr<World> world) : world_(std::move(world)) {}
  std::shared_ptr<cellular::SarManager> SarManager() override {
    world_->Check("SarManager");
    if (!world_->modem.sarManager) return nullptr;
    auto manager = std::make_shared<SimSarManager>(world_);
    std::lock_guard lock(world_->mutex);
    world_->sender = manager;
    return manager;
  }

 private:
  std::shared_ptr<World> world_;
};

class SimModem final : public cellular::Modem, CountedObject {
 public:
  explicit SimModem(std::shared_ptr<World> world) : world_(std::move(world)) {}

  std::shared_ptr<cellular::DeviceInformation> DeviceInformation() override {
    world_->Check("DeviceInformation");
    return std::make_shared<SimDeviceInformation>(world_);
  }
  std::shared_ptr<cellular::DeviceService> GetDeviceService(const cellular::Guid& serviceId) override {
    world_->Check("GetDeviceService");
    static constexpr std::uint8_t kSarData4[8] = {0x82, 0x2D, 0x28, 0x44, 0x1F, 0xB7, 0x23, 0x40};
    const bool sar = serviceId.data1 == 0x68223D04 && serviceId.data2 == 0x9F6C && serviceId.data3 == 0x4E0F &&
                     std::memcmp(serviceId.data4, kSarData4, 8) == 0;
    if (!sar) throw PlatformError(static_cast<std::int32_t>(0x80070490), L"Element not found.");
    return std::make_shared<SimDeviceService>(world_);
  }
  std::shared_ptr<cellular::AsyncOperation<std::shared_ptr<cellular::ModemConfiguration>>> GetCurrentConfigurationAsync()
      override {
    world_->Check("GetCurrentConfigurationAsync");
    auto operation =
        std::make_shared<SimOperation<std::shared_ptr<cellular::ModemConfiguration>>>(world_, "GetCurrentConfigurationAsync");
    AnswerAfter(*world_, world_->modem.configurationMs,
                [operation, world = world_] { operation->Complete(std::make_shared<SimConfiguration>(world), 0); });
    return operation;
  }

 private:
  std::shared_ptr<World> world_;
};

}  // namespace

std::shared_ptr<cellular::Modem> MakeSimModem(std::shared_ptr<World> world) {
  return std::make_shared<SimModem>(std::move(world));
}

std::shared_ptr<cellular::TransmissionStateChangedEventArgs> MakeSimEventArgs(std::shared_ptr<World> world,
                                                                             bool transmitting) {
  return std::make_shared<SimEventArgs>(std::move(world), transmitting);
}

std::shared_ptr<cellular::Buffer> MakeSimBuffer(std::vector<std::uint8_t> bytes) {
  return std::make_shared<SimBuffer>(std::move(bytes));
}

const std::vector<std::uint8_t>* SimBufferBytes(const cellular::Buffer& buffer) {
  const auto* simBuffer = dynamic_cast<const SimBuffer*>(&buffer);
  return simBuffer != nullptr ? &simBuffer->bytes : nullptr;
}

}  // namespace korvi::sim
