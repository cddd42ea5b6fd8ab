#include "bench_modem.h"

#include <mutex>
#include <string>
#include <utility>

#include "platform/sim/models/apartments.h"
#include "platform/sim/scenario/scenario.h"

namespace korvi::bench {

using cellular::PlatformError;

namespace {
constexpr std::int32_t kPointer = static_cast<std::int32_t>(0x80004003);
constexpr std::int32_t kInvalidArg = static_cast<std::int32_t>(0x80070057);
}  // namespace

struct BenchModemPlatform::State {
  mutable std::mutex mutex;
  bool monitoring = false;
  std::vector<std::shared_ptr<cellular::TransmissionStateChangedHandler>> handlers;
  std::weak_ptr<cellular::SarManager> sender;
  std::int64_t handlerFailures = 0;
};

namespace {

using State = BenchModemPlatform::State;

class BenchBuffer final : public cellular::Buffer {
 public:
  explicit BenchBuffer(std::vector<std::uint8_t> bytes) : bytes(std::move(bytes)) {}
  const std::vector<std::uint8_t> bytes;
};

// An asynchronous operation that has already completed: the completion handler is called at
// once, on the caller's thread, as the platform may do.
template <class Result>
class CompletedOperation final : public cellular::AsyncOperation<Result> {
 public:
  explicit CompletedOperation(Result result) : result_(std::move(result)) {}
  void SetCompleted(std::shared_ptr<cellular::CompletionHandler> handler) override {
    if (!handler) throw PlatformError(kPointer, L"No completion handler.");
    handler->OnCompleted();
  }
  Result GetResults() override { return result_; }

 private:
  Result result_;
};

class CompletedAction final : public cellular::AsyncAction {
 public:
  void SetCompleted(std::shared_ptr<cellular::CompletionHandler> handler) override {
    if (!handler) throw PlatformError(kPointer, L"No completion handler.");
    handler->OnCompleted();
  }
  void GetResults() override {}
};

// Always on: a SIM is present and the device is ready, so the loop never takes its radio-off
// exit on its own.
class BenchDeviceInformation final : public cellular::DeviceInformation {
 public:
  std::int32_t NetworkDeviceStatus() override { return cellular::kDeviceReady; }
  std::u16string SimIccId() override { return u"89490200001234567890"; }
};

// The modem accepts the SAR configuration and answers with the usual 32-byte reply.
class BenchCommandResult final : public cellular::DeviceServiceCommandResult {
 public:
  std::uint32_t StatusCode() override { return 0; }
  std::shared_ptr<cellular::Buffer> ResponseData() override {
    return std::make_shared<BenchBuffer>(sim::DefaultSarReply());
  }
};

class BenchCommandSession final : public cellular::DeviceServiceCommandSession {
 public:
  std::shared_ptr<cellular::AsyncOperation<std::shared_ptr<cellular::DeviceServiceCommandResult>>> SendSetCommandAsync(
      std::uint32_t /*commandId*/, const std::shared_ptr<cellular::Buffer>& data) override {
    if (dynamic_cast<const BenchBuffer*>(data.get()) == nullptr) throw PlatformError(kInvalidArg, L"Not a buffer.");
    using Result = std::shared_ptr<cellular::DeviceServiceCommandResult>;
    return std::make_shared<CompletedOperation<Result>>(std::make_shared<BenchCommandResult>());
  }
};

class BenchDeviceService final : public cellular::DeviceService {
 public:
  std::shared_ptr<cellular::DeviceServiceCommandSession> OpenCommandSession() override {
    return std::make_shared<BenchCommandSession>();
  }
};

class BenchEventArgs final : public cellular::TransmissionStateChangedEventArgs {
 public:
  explicit BenchEventArgs(bool transmitting) : transmitting_(transmitting) {}
  bool IsTransmitting() override { return transmitting_; }

 private:
  const bool transmitting_;
};

class BenchSarManager final : public cellular::SarManager {
 public:
  explicit BenchSarManager(std::shared_ptr<State> state) : state_(std::move(state)) {}

  std::shared_ptr<cellular::AsyncAction> SetTransmissionStateChangedHysteresisAsync(std::int64_t ticks) override {
    if (ticks < 0) throw PlatformError(kInvalidArg, L"A negative hysteresis.");
    return std::make_shared<CompletedAction>();
  }
  std::int64_t AddTransmissionStateChanged(std::shared_ptr<cellular::TransmissionStateChangedHandler> handler) override {
    if (!handler) throw PlatformError(kPointer, L"No handler.");
    std::lock_guard lock(state_->mutex);
    state_->handlers.push_back(std::move(handler));
    return static_cast<std::int64_t>(state_->handlers.size());
  }
  void StartTransmissionStateMonitoring() override {
    std::lock_guard lock(state_->mutex);
    state_->monitoring = true;
  }
  void StopTransmissionStateMonitoring() override {
    std::lock_guard lock(state_->mutex);
    state_->monitoring = false;
  }

 private:
  std::shared_ptr<State> state_;
};

class BenchConfiguration final : public cellular::ModemConfiguration {
 public:
  explicit BenchConfiguration(std::shared_ptr<State> state) : state_(std::move(state)) {}
  std::shared_ptr<cellular::SarManager> SarManager() override {
    auto manager = std::make_shared<BenchSarManager>(state_);
    std::lock_guard lock(state_->mutex);
    state_->sender = manager;
    return manager;
  }

 private:
  std::shared_ptr<State> state_;
};

class BenchModem final : public cellular::Modem {
 public:
  explicit BenchModem(std::shared_ptr<State> state) : state_(std::move(state)) {}
  std::shared_ptr<cellular::DeviceInformation> DeviceInformation() override {
    return std::make_shared<BenchDeviceInformation>();
  }
  std::shared_ptr<cellular::DeviceService> GetDeviceService(const cellular::Guid& /*serviceId*/) override {
    return std::make_shared<BenchDeviceService>();
  }
  std::shared_ptr<cellular::AsyncOperation<std::shared_ptr<cellular::ModemConfiguration>>> GetCurrentConfigurationAsync()
      override {
    using Result = std::shared_ptr<cellular::ModemConfiguration>;
    return std::make_shared<CompletedOperation<Result>>(std::make_shared<BenchConfiguration>(state_));
  }

 private:
  std::shared_ptr<State> state_;
};

}  // namespace

BenchModemPlatform::BenchModemPlatform() : state_(std::make_shared<State>()) {}

BenchModemPlatform::~BenchModemPlatform() { Shutdown(); }

std::optional<std::chrono::steady_clock::time_point> BenchModemPlatform::Notify(bool transmitting) {
  std::vector<std::shared_ptr<cellular::TransmissionStateChangedHandler>> targets;
  std::shared_ptr<cellular::SarManager> sender;
  {
    std::lock_guard lock(state_->mutex);
    if (!state_->monitoring) return std::nullopt;
    targets = state_->handlers;
    sender = state_->sender.lock();
  }
  // The platform makes a new arguments object for every notification.
  const auto args = std::make_shared<BenchEventArgs>(transmitting);
  const auto entered = std::chrono::steady_clock::now();
  std::int64_t failures = 0;
  for (const auto& handler : targets) {
    if (handler->Invoke(sender, args) < 0) ++failures;
  }
  if (failures > 0) {
    std::lock_guard lock(state_->mutex);
    state_->handlerFailures += failures;
  }
  return entered;
}

bool BenchModemPlatform::Monitoring() const {
  std::lock_guard lock(state_->mutex);
  return state_->monitoring;
}

std::int64_t BenchModemPlatform::HandlerFailures() const {
  std::lock_guard lock(state_->mutex);
  return state_->handlerFailures;
}

void BenchModemPlatform::Shutdown() {
  std::lock_guard lock(state_->mutex);
  state_->handlers.clear();
  state_->monitoring = false;
}

std::shared_ptr<cellular::Modem> BenchModemPlatform::GetDefault() { return std::make_shared<BenchModem>(state_); }

// The apartments are the simulated notebook's, so that the WLAN requests see the main thread
// in the multithreaded apartment exactly as in the Linux build.
std::int32_t BenchModemPlatform::RoInitialize() noexcept { return sim::Apartments::EnterMultithreaded(); }

void BenchModemPlatform::RoUninitialize() noexcept { sim::Apartments::Leave(); }

std::shared_ptr<cellular::Buffer> BenchModemPlatform::CreateFromByteArray(std::span<const std::uint8_t> bytes) {
  return std::make_shared<BenchBuffer>(std::vector<std::uint8_t>(bytes.begin(), bytes.end()));
}

std::vector<std::uint8_t> BenchModemPlatform::CopyToByteArray(const std::shared_ptr<cellular::Buffer>& buffer) {
  const auto* bytes = dynamic_cast<const BenchBuffer*>(buffer.get());
  if (bytes == nullptr) throw PlatformError(kPointer, L"Not a buffer.");
  return bytes->bytes;
}

}  // namespace korvi::bench
