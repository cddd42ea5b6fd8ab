#include "restart_policy.h"

#include <algorithm>

namespace korvi::supervisor {

ExitMeaning MeaningOf(std::uint32_t exitCode) noexcept {
  switch (exitCode) {
    case 0: return ExitMeaning::kOffOrNoModem;
    case 1: return ExitMeaning::kNotProtecting;
    case 2: return ExitMeaning::kBadInput;
    case 3: return ExitMeaning::kAnotherInstance;
    case 4: return ExitMeaning::kTimelineSpent;
    default: return ExitMeaning::kNotTheServices;
  }
}

std::string_view MeaningName(ExitMeaning meaning) noexcept {
  switch (meaning) {
    case ExitMeaning::kOffOrNoModem: return "off-or-no-modem";
    case ExitMeaning::kNotProtecting: return "not-protecting";
    case ExitMeaning::kBadInput: return "bad-input";
    case ExitMeaning::kAnotherInstance: return "another-instance";
    case ExitMeaning::kTimelineSpent: return "timeline-spent";
    case ExitMeaning::kNotTheServices: return "not-the-services";
    case ExitMeaning::kCannotStart: return "cannot-start";
  }
  return "unknown";
}

std::string_view MeaningText(ExitMeaning meaning) noexcept {
  switch (meaning) {
    case ExitMeaning::kOffOrNoModem:
      return "the cellular side went off, the modem went away, or there is no modem (the console's last lines tell "
             "which); the notebook is unwatched until the next start";
    case ExitMeaning::kNotProtecting:
      return "the service stopped while the notebook runs unprotected: a safety fault (the console lines before say "
             "why)";
    case ExitMeaning::kBadInput: return "the simulated notebook refused its input";
    case ExitMeaning::kAnotherInstance: return "another instance already watches this notebook";
    case ExitMeaning::kTimelineSpent: return "the simulated notebook's timeline was spent";
    case ExitMeaning::kNotTheServices:
      return "not the service's own code: a crash or an end from outside; the notebook was unprotected from then";
    case ExitMeaning::kCannotStart: return "the program could not be started; the notebook is unprotected";
  }
  return "unknown";
}

Decision RestartPolicy::AfterLife(std::optional<std::uint32_t> exitCode, milliseconds lasted) noexcept {
  const ExitMeaning meaning = exitCode ? MeaningOf(*exitCode) : ExitMeaning::kCannotStart;
  if (meaning == ExitMeaning::kAnotherInstance) {
    // Not a life of ours: the instance that watches may run for hours. Whoever takes over
    // after it starts afresh.
    next_ = kFirstDelay;
    return {meaning, kAnotherInstanceDelay};
  }
  if (exitCode && lasted >= kHealthyLife) next_ = kFirstDelay;
  const milliseconds delay = next_;
  if (!exitCode || lasted < kQuickLife) next_ = std::min(next_ * 2, kLongestDelay);
  return {meaning, delay};
}

}  // namespace korvi::supervisor
