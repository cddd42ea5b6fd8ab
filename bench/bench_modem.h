// A modem of the benchmarks' own behind the cellular seam. It answers every start-up call at
// once, and delivers a transmission-state notification whenever a benchmark asks, on the
// benchmark's thread, straight into the handler the service registered.
//
// The simulated notebook's modem delivers only what a scenario timeline says, and only while
// the service's main thread is parked (so that test output is byte-exact). A benchmark needs
// a notification at the moment it chooses and as fast as one thread can make them, as the
// platform thread of a real modem raises them, so it brings this modem instead.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "cellular/modem_platform.h"

namespace korvi::bench {

class BenchModemPlatform final : public cellular::ModemPlatform {
 public:
  BenchModemPlatform();
  ~BenchModemPlatform() override;
  BenchModemPlatform(const BenchModemPlatform&) = delete;
  BenchModemPlatform& operator=(const BenchModemPlatform&) = delete;

  // Delivers one notification to every registered handler on the calling thread. Answers the
  // moment the notification entered the handler (read just before the call), or nothing when
  // monitoring has not been started (nothing is delivered then).
  std::optional<std::chrono::steady_clock::time_point> Notify(bool transmitting);

  bool Monitoring() const;
  // Handler calls that answered a failure code: the notification may not have reached the loop.
  std::int64_t HandlerFailures() const;
  // Drops the handlers, as the platform does when the process ends.
  void Shutdown();

  std::shared_ptr<cellular::Modem> GetDefault() override;
  std::int32_t RoInitialize() noexcept override;
  void RoUninitialize() noexcept override;
  std::shared_ptr<cellular::Buffer> CreateFromByteArray(std::span<const std::uint8_t> bytes) override;
  std::vector<std::uint8_t> CopyToByteArray(const std::shared_ptr<cellular::Buffer>& buffer) override;

  struct State;  // shared with the objects handed out

 private:
  std::shared_ptr<State> state_;
};

}  // namespace korvi::bench
