// When korvi-supervisor starts the service again after one of its lives, and what the exit
// code it ended with means. Plain code over durations, so every schedule is tested on Linux.
//
// A service that ends at once, again and again (a radio that stays off, a fault that a start
// does not mend) is started again after 1 s, then 2, 4, 8, 16 and at most 30 s while its lives
// keep ending within a minute; a life of 10 minutes or more counts as health, and the next
// restart is back at 1 s. A life between the two keeps the delay where it is. Exit code 3
// (another instance watches this notebook, from another logon session) is asked again every
// 30 s, so this session takes over soon after the other one logs off.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string_view>

namespace korvi::supervisor {

using std::chrono::milliseconds;

inline constexpr milliseconds kFirstDelay{1'000};
inline constexpr milliseconds kLongestDelay{30'000};
inline constexpr milliseconds kQuickLife{60'000};         // shorter: the delay doubles
inline constexpr milliseconds kHealthyLife{600'000};      // this long or longer: back to the first delay
inline constexpr milliseconds kAnotherInstanceDelay{30'000};

// The service's exit codes (src/controller/service.h) as the supervisor tells them apart.
enum class ExitMeaning {
  kOffOrNoModem,       // 0
  kNotProtecting,      // 1
  kBadInput,           // 2, the simulated notebook only
  kAnotherInstance,    // 3
  kTimelineSpent,      // 4, the simulated notebook only
  kNotTheServices,     // any other: a crash, or an end from outside
  kCannotStart,        // the program could not be started at all
};

ExitMeaning MeaningOf(std::uint32_t exitCode) noexcept;
// A short word for the log's records ("off-or-no-modem") and a sentence for people.
std::string_view MeaningName(ExitMeaning meaning) noexcept;
std::string_view MeaningText(ExitMeaning meaning) noexcept;

struct Decision {
  ExitMeaning meaning;
  milliseconds delay;  // before the next start
};

class RestartPolicy {
 public:
  // A life that ran for `lasted` and ended with `exitCode`; none: it could not be started.
  Decision AfterLife(std::optional<std::uint32_t> exitCode, milliseconds lasted) noexcept;

 private:
  milliseconds next_ = kFirstDelay;  // the delay after the next quick life
};

}  // namespace korvi::supervisor
