#include "platform/sim/models/sim_modem.h"

#include <utility>

#include "platform/sim/models/apartments.h"
#include "platform/sim/models/modem_world.h"

namespace korvi::sim {

using World = SimModemPlatform::World;

bool World::Deliver(bool value) {
  std::vector<std::shared_ptr<cellular::TransmissionStateChangedHandler>> targets;
  std::shared_ptr<cellular::SarManager> from;
  {
    std::lock_guard lock(mutex);
    if (!monitoring || removed) return false;
    for (const auto& registered : handlers) targets.push_back(registered.second);
    from = sender.lock();
  }
  for (const auto& handler : targets) {
    auto args = MakeSimEventArgs(shared_from_this(), value);
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
    gone = removed;
    off = removed || !CellularOn(deviceStatus, simIccId);
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

SimModemPlatform::SimModemPlatform(const std::optional<ModemSetup>& modem, FaultTable& faults, Scheduler& scheduler,
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

// Not recorded: the service has ended, and its trace with it.
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
  if (found < 0) FailModemCall(found);
  if (!world_->present) return nullptr;
  return MakeSimModem(world_);
}

std::int32_t SimModemPlatform::RoInitialize() noexcept {
  if (auto code = world_->faults.Check("RoInitialize")) return *code;
  return Apartments::EnterMultithreaded();
}

void SimModemPlatform::RoUninitialize() noexcept { Apartments::Leave(); }

std::shared_ptr<cellular::Buffer> SimModemPlatform::CreateFromByteArray(std::span<const std::uint8_t> bytes) {
  world_->Check("CreateFromByteArray", false);
  return MakeSimBuffer(std::vector<std::uint8_t>(bytes.begin(), bytes.end()));
}

std::vector<std::uint8_t> SimModemPlatform::CopyToByteArray(const std::shared_ptr<cellular::Buffer>& buffer) {
  world_->Check("CopyToByteArray", false);
  const std::vector<std::uint8_t>* bytes = buffer ? SimBufferBytes(*buffer) : nullptr;
  if (bytes == nullptr) FailModemCall(kPointer);
  return *bytes;
}

}  // namespace korvi::sim
