#include "platform/sim/recorder/recorder.h"

namespace korvi::sim {
namespace {

class NothingRecorded final : public Recorder {
 public:
  void Run(double) noexcept override {}
  void Transmission(bool, std::int64_t) noexcept override {}
  void Notification(bool, std::int32_t) noexcept override {}
  void Wake(std::uint32_t) noexcept override {}
  void FirmwareStart(std::optional<std::uint32_t>) noexcept override {}
  void FirmwareEnd(std::optional<std::uint32_t>, std::int32_t) noexcept override {}
  void Cancel(const char*) noexcept override {}
  void RadioOff(RadioOffCause) noexcept override {}
  void RadioOn() noexcept override {}
  void Monitoring(bool) noexcept override {}
  void StateAtStart(std::optional<bool>, std::int32_t) noexcept override {}
  void RadioCheck(std::optional<bool>, std::int32_t) noexcept override {}
  void Exit(int) noexcept override {}
};

}  // namespace

Recorder& Recorder::Nothing() noexcept {
  static NothingRecorded nothing;
  return nothing;
}

}  // namespace korvi::sim
