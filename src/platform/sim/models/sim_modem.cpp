#include "platform/sim/models/sim_modem.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <optional>
#include <utility>

#include "platform/sim/models/apartments.h"
#include "platform/sim/models/error_text.h"
#include "platform/sim/models/object_count.h"

namespace korvi::sim {

using cellular::PlatformError;

namespace {
constexpr std::int32_t kInvalidArg = static_cast<std::int32_t>(0x80070057);
constexpr std::int32_t kPointer = static_cast<std::int32_t>(0x80004003);

[[noreturn]] void Fail(std::int32_t code) { throw PlatformError(code, ErrorText(code)); }
}  // namespace

struct SimModemPlatform::World : std::enable_shared_from_this<SimModemPlatform::World> {
  World(const std::optional<ModemSpec>& spec, FaultTable& faultTable, Scheduler& clock, Recorder& reportTo)
      : present(spec.has_value()),
        modem(spec.value_or(ModemSpec{})),
        faults(faultTable),
        scheduler(clock),
        recorder(reportTo) {
    deviceStatus = modem.deviceStatus;
    simIccId = modem.simIccId;
  }

  // Fails the call when the scenario says so, or when the modem has gone.
  void Check(std::string_view op, bool modemCall = true) {
    if (auto code = faults.Check(op)) Fail(*code);
    if (modemCall) {
      std::lock_guard lock(mutex);
      if (removed) Fail(kDeviceNotConnected);
    }
  }

  // False when nothing was delivered (monitoring not running, or the modem gone).
  bool Deliver(bool transmitting);
  void Transmission(std::int64_t atMs, bool transmitting);
  // Reports the cellular side going off or on, if it did since the last look.
  void ReportRadioChange();

  const bool present;
  const ModemSpec modem;
  FaultTable& faults;
  Scheduler& scheduler;
  Recorder& recorder;

  mutable std::mutex mutex;
  std::int32_t deviceStatus;
  std::u16string simIccId;
  bool removed = false;
  bool reportedOff = false;  // the radio state last reported to the recorder
  bool monitoring = false;
  bool transmitting = false;  // what the modem does
  bool reported = false;      // what it last reported
  std::uint64_t stopGeneration = 0;
  std::int64_t hysteresisMs = 5000;
  std::vector<std::shared_ptr<cellular::TransmissionStateChangedHandler>> handlers;
  std::weak_ptr<cellular::SarManager> sender;
  Counts counts;
};

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

// One asynchronous operation; completes at once or later on the platform thread.
template <class Base, class Result>
class SimAsync : public Base, CountedObject {
 public:
  explicit SimAsync(std::shared_ptr<World> world) : world_(std::move(world)) {}

  void SetCompleted(std::shared_ptr<cellular::CompletionHandler> handler) override {
    std::unique_lock lock(mutex_);
    if (handler_) Fail(kIllegalMethodCall);
    if (completed_) {
      lock.unlock();
      handler->OnCompleted();  // already complete: called at once, on the caller's thread
      return;
    }
    handler_ = std::move(handler);
  }

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
  Result Results() {
    if (auto code = world_->faults.Check("GetResults")) Fail(*code);
    std::lock_guard lock(mutex_);
    if (!completed_) Fail(kIllegalMethodCall);
    if (error_ < 0) Fail(error_);
    return result_;
  }

 private:
  std::shared_ptr<World> world_;
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

struct Nothing {};
class SimAction final : public SimAsync<cellular::AsyncAction, Nothing> {
 public:
  using SimAsync::SimAsync;
  void GetResults() override { Results(); }
};

class SimDeviceInformation final : public cellular::DeviceInformation, CountedObject {
 public:
  explicit SimDeviceInformation(std::shared_ptr<World> world) : world_(std::move(world)) {}
  std::int32_t NetworkDeviceStatus() override {
    world_->Check("NetworkDeviceStatus");
    std::lock_guard lock(world_->mutex);
    return world_->deviceStatus;
  }
  std::u16string SimIccId() override {
    world_->Check("SimIccId");
    std::lock_guard lock(world_->mutex);
    return world_->simIccId;
  }

 private:
  std::shared_ptr<World> world_;
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
    if (request == nullptr) Fail(kInvalidArg);
    {
      std::lock_guard lock(world_->mutex);
      ++world_->counts.setCommands;
    }
    using Result = std::shared_ptr<cellular::DeviceServiceCommandResult>;
    auto operation = std::make_shared<SimOperation<Result>>(world_);
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
    if (ticks < 0) Fail(kInvalidArg);
    {
      std::lock_guard lock(world_->mutex);
      world_->hysteresisMs = ticks / 10'000;
    }
    auto action = std::make_shared<SimAction>(world_);
    AnswerAfter(*world_, world_->modem.hysteresisMs, [action] { action->Complete(Nothing{}, 0); });
    return action;
  }

  std::int64_t AddTransmissionStateChanged(std::shared_ptr<cellular::TransmissionStateChangedHandler> handler) override {
    world_->Check("TransmissionStateChanged");
    if (!handler) Fail(kPointer);
    std::lock_guard lock(world_->mutex);
    world_->handlers.push_back(std::move(handler));
    return static_cast<std::int64_t>(world_->handlers.size());
  }

  void StartTransmissionStateMonitoring() override {
    world_->Check("StartTransmissionStateMonitoring");
    std::lock_guard lock(world_->mutex);
    world_->monitoring = true;
  }

  void StopTransmissionStateMonitoring() override {
    world_->Check("StopTransmissionStateMonitoring");
    std::lock_guard lock(world_->mutex);
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
    auto operation = std::make_shared<SimOperation<std::shared_ptr<cellular::ModemConfiguration>>>(world_);
    AnswerAfter(*world_, world_->modem.configurationMs,
                [operation, world = world_] { operation->Complete(std::make_shared<SimConfiguration>(world), 0); });
    return operation;
  }

 private:
  std::shared_ptr<World> world_;
};

}  // namespace

bool World::Deliver(bool value) {
  std::vector<std::shared_ptr<cellular::TransmissionStateChangedHandler>> targets;
  std::shared_ptr<cellular::SarManager> from;
  {
    std::lock_guard lock(mutex);
    if (!monitoring || removed) return false;
    targets = handlers;
    from = sender.lock();
  }
  for (const auto& handler : targets) {
    auto args = std::make_shared<SimEventArgs>(shared_from_this(), value);
    const std::int32_t result = handler->Invoke(from, args);
    recorder.Notification(value, result);
    std::lock_guard lock(mutex);
    ++counts.notifications;
    if (result < 0) ++counts.handlerFailures;
  }
  return true;
}

void World::ReportRadioChange() {
  if (!present) return;  // no modem, no radio to go off
  bool changed = false;
  bool off = false;
  bool gone = false;
  {
    std::lock_guard lock(mutex);
    // The service's own test: on while the SIM identifier is present or the device is ready.
    constexpr std::int32_t kDeviceReady = 1;
    gone = removed;
    off = removed || (simIccId.empty() && deviceStatus != kDeviceReady);
    changed = off != reportedOff;
    reportedOff = off;
  }
  if (!changed) return;
  if (off) {
    recorder.RadioOff(gone ? RadioOffCause::kRemoved : RadioOffCause::kStatus);
  } else {
    recorder.RadioOn();
  }
}

void World::Transmission(std::int64_t atMs, bool value) {
  bool notifyStart = false;
  {
    std::lock_guard lock(mutex);
    if (value == transmitting) return;
    transmitting = value;
    // Reported before any notification the edge causes; the recorder's lock is a leaf.
    recorder.Transmission(value, atMs);
    if (value) {
      ++stopGeneration;  // a start within the hysteresis cancels the pending end
      notifyStart = !reported;
      reported = true;
    } else if (reported) {
      const std::uint64_t generation = ++stopGeneration;
      // The end is reported only once the hysteresis has passed with no transmission.
      scheduler.Post(atMs + hysteresisMs, [self = shared_from_this(), generation] {
        bool notifyEnd = false;
        {
          std::lock_guard endLock(self->mutex);
          notifyEnd = self->stopGeneration == generation && !self->transmitting;
          if (notifyEnd) self->reported = false;
        }
        if (notifyEnd) self->Deliver(false);
      });
    }
  }
  if (notifyStart) Deliver(true);
}

SimModemPlatform::SimModemPlatform(const std::optional<ModemSpec>& modem, FaultTable& faults, Scheduler& scheduler,
                                   Recorder& recorder)
    : world_(std::make_shared<World>(modem, faults, scheduler, recorder)) {}

SimModemPlatform::~SimModemPlatform() { Shutdown(); }

void SimModemPlatform::Schedule(const std::vector<TimelineItem>& timeline) {
  if (world_->present) world_->ReportRadioChange();
  for (const TimelineItem& item : timeline) {
    world_->scheduler.Post(item.atMs, [world = world_, item] {
      {
        std::lock_guard lock(world->mutex);
        if (item.deviceStatus) world->deviceStatus = *item.deviceStatus;
        if (item.simIccId) world->simIccId = *item.simIccId;
      }
      world->ReportRadioChange();
      if (item.transmitting) world->Transmission(item.atMs, *item.transmitting);
      if (item.notify) world->Deliver(*item.notify);
      if (item.modemRemoved) {
        {
          std::lock_guard lock(world->mutex);
          world->removed = true;
        }
        world->ReportRadioChange();
      }
    });
  }
}

void SimModemPlatform::Shutdown() {
  std::lock_guard lock(world_->mutex);
  world_->handlers.clear();
  world_->monitoring = false;
}

bool SimModemPlatform::DeliverNow(bool transmitting) { return world_->Deliver(transmitting); }

bool SimModemPlatform::Monitoring() const {
  std::lock_guard lock(world_->mutex);
  return world_->monitoring;
}

SimModemPlatform::Counts SimModemPlatform::counts() const {
  std::lock_guard lock(world_->mutex);
  return world_->counts;
}

std::shared_ptr<cellular::Modem> SimModemPlatform::GetDefault() {
  // The runtime's class lookup needs COM on the thread; the process start-up runs before any
  // apartment, so the lookup keeps the multithreaded apartment alive and tries once more.
  auto lookUp = [this]() -> std::int32_t {
    if (auto code = world_->faults.Check("GetDefault")) return *code;
    return Apartments::ComUsable() ? 0 : kCoENotInitialized;
  };
  std::int32_t found = lookUp();
  if (found == kCoENotInitialized) {
    Apartments::IncrementMtaUsage();
    found = lookUp();
  }
  if (found < 0) Fail(found);
  if (!world_->present) return nullptr;
  return std::make_shared<SimModem>(world_);
}

std::int32_t SimModemPlatform::RoInitialize() noexcept {
  if (auto code = world_->faults.Check("RoInitialize")) return *code;
  return Apartments::EnterMultithreaded();
}

void SimModemPlatform::RoUninitialize() noexcept { Apartments::Leave(); }

std::shared_ptr<cellular::Buffer> SimModemPlatform::CreateFromByteArray(std::span<const std::uint8_t> bytes) {
  world_->Check("CreateFromByteArray", false);
  return std::make_shared<SimBuffer>(std::vector<std::uint8_t>(bytes.begin(), bytes.end()));
}

std::vector<std::uint8_t> SimModemPlatform::CopyToByteArray(const std::shared_ptr<cellular::Buffer>& buffer) {
  world_->Check("CopyToByteArray", false);
  const auto* simBuffer = dynamic_cast<const SimBuffer*>(buffer.get());
  if (simBuffer == nullptr) Fail(kPointer);
  return simBuffer->bytes;
}

}  // namespace korvi::sim
