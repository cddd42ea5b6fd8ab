// The simulated mobile-broadband modem behind the cellular seam.
//
// The modem honours the hysteresis as modems do: a start of transmission is reported at once,
// an end only after the hysteresis has passed with no transmission. Notifications are
// delivered on the scheduler's platform thread. After "removed" every modem call fails. The
// recorder hears of each transmission edge, each notification handed to a handler, and each time
// the cellular side goes off or on again.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "cellular/modem_platform.h"
#include "platform/sim/recorder/recorder.h"
#include "platform/sim/scenario/fault_table.h"
#include "platform/sim/scenario/scenario.h"
#include "platform/sim/scheduler/scheduler.h"

namespace korvi::sim {

class SimModemPlatform final : public cellular::ModemPlatform {
 public:
  // modem empty: the notebook has no mobile-broadband modem.
  SimModemPlatform(const std::optional<ModemSetup>& modem, FaultTable& faults, Scheduler& scheduler,
                   Recorder& recorder);
  ~SimModemPlatform() override;

  // Queues the scenario's timeline on the scheduler; a radio that is off from the start is
  // reported as going off now.
  void Schedule(const std::vector<TimelineItem>& timeline);
  // Drops the handlers and every other reference the platform holds; called once the
  // scheduler has stopped.
  void Shutdown();

  // Delivers one notification now, on the calling thread, to every handler, as the platform
  // thread delivers a timeline's raw notification: for a host that raises changes itself, at
  // the moment it chooses and as fast as one thread can (the benchmarks). Answers false when
  // nothing was delivered: monitoring is not running, or the modem is gone.
  bool DeliverNow(bool transmitting);
  // Whether the service has started transmission-state monitoring and not stopped it.
  bool Monitoring() const;

  struct Counts {
    std::int64_t notifications = 0;    // handler calls
    std::int64_t handlerFailures = 0;  // handler calls that returned a failure
    std::int64_t setCommands = 0;
  };
  Counts counts() const;

  std::shared_ptr<cellular::Modem> GetDefault() override;
  std::int32_t RoInitialize() noexcept override;
  void RoUninitialize() noexcept override;
  std::shared_ptr<cellular::Buffer> CreateFromByteArray(std::span<const std::uint8_t> bytes) override;
  std::vector<std::uint8_t> CopyToByteArray(const std::shared_ptr<cellular::Buffer>& buffer) override;

  struct World;  // the modem's state, shared with the objects handed out

 private:
  std::shared_ptr<World> world_;
};

}  // namespace korvi::sim
