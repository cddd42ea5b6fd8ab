// The restart schedule over sequences of lives, and what each exit code is taken to mean.
#include <gtest/gtest.h>

#include <optional>
#include <vector>

#include "restart_policy.h"

namespace korvi::supervisor {
namespace {

using std::chrono::minutes;
using std::chrono::seconds;

struct Life {
  std::optional<std::uint32_t> code;  // none: could not start
  milliseconds lasted;
  milliseconds delay;  // the delay expected after it
};

struct ScheduleCase {
  const char* name;
  std::vector<Life> lives;
};

class ScheduleTest : public testing::TestWithParam<ScheduleCase> {};

TEST_P(ScheduleTest, ChoosesEachDelay) {
  RestartPolicy policy;
  int index = 0;
  for (const Life& life : GetParam().lives) {
    EXPECT_EQ(policy.AfterLife(life.code, life.lasted).delay, life.delay) << "after life " << ++index;
  }
}

const milliseconds k1s = seconds(1), k2s = seconds(2), k4s = seconds(4), k8s = seconds(8), k16s = seconds(16),
                   k30s = seconds(30);
const milliseconds kQuick = seconds(2);

INSTANTIATE_TEST_SUITE_P(
    Cases, ScheduleTest,
    testing::Values(
        ScheduleCase{"quick_lives_double_to_30_s",
                     {{0, kQuick, k1s}, {0, kQuick, k2s}, {0, kQuick, k4s}, {0, kQuick, k8s}, {0, kQuick, k16s},
                      {0, kQuick, k30s}, {0, kQuick, k30s}}},
        // Just under a minute still counts as quick; a minute no longer doubles.
        ScheduleCase{"the_minute_bound",
                     {{0, seconds(59), k1s}, {0, seconds(59), k2s}, {0, minutes(1), k4s}, {0, minutes(9), k4s},
                      {0, kQuick, k4s}, {0, kQuick, k8s}}},
        ScheduleCase{"a_healthy_life_starts_again_at_1_s",
                     {{0, kQuick, k1s}, {0, kQuick, k2s}, {0, kQuick, k4s}, {0, minutes(10), k1s}, {0, kQuick, k1s},
                      {0, kQuick, k2s}}},
        ScheduleCase{"just_under_ten_minutes_is_not_healthy",
                     {{0, kQuick, k1s}, {0, kQuick, k2s}, {0, minutes(10) - milliseconds(1), k4s}}},
        // Every exit code but 3 follows the same schedule: a fault that repeats is not hammered.
        ScheduleCase{"faults_back_off_too",
                     {{1, kQuick, k1s}, {0xC0000005, kQuick, k2s}, {std::nullopt, milliseconds(0), k4s},
                      {std::nullopt, milliseconds(0), k8s}}},
        ScheduleCase{"another_instance_every_30_s",
                     {{3, milliseconds(50), k30s}, {3, milliseconds(50), k30s}, {3, minutes(20), k30s}}},
        // Whoever takes over after the other instance starts afresh.
        ScheduleCase{"another_instance_resets_the_backoff",
                     {{0, kQuick, k1s}, {0, kQuick, k2s}, {0, kQuick, k4s}, {3, kQuick, k30s}, {0, kQuick, k1s}}}),
    [](const auto& info) { return std::string(info.param.name); });

struct MeaningCase {
  std::optional<std::uint32_t> code;
  ExitMeaning meaning;
  const char* name;
};

TEST(ExitMeaningTest, EachCodeIsToldApart) {
  const MeaningCase cases[] = {
      {0, ExitMeaning::kOffOrNoModem, "off-or-no-modem"},     {1, ExitMeaning::kNotProtecting, "not-protecting"},
      {2, ExitMeaning::kBadInput, "bad-input"},                {3, ExitMeaning::kAnotherInstance, "another-instance"},
      {4, ExitMeaning::kTimelineSpent, "timeline-spent"},      {5, ExitMeaning::kNotTheServices, "not-the-services"},
      {0xC0000005, ExitMeaning::kNotTheServices, "not-the-services"},
      {std::nullopt, ExitMeaning::kCannotStart, "cannot-start"},
  };
  for (const MeaningCase& c : cases) {
    RestartPolicy policy;
    const Decision decision = policy.AfterLife(c.code, seconds(5));
    EXPECT_EQ(decision.meaning, c.meaning) << c.name;
    EXPECT_EQ(MeaningName(decision.meaning), c.name);
    EXPECT_FALSE(MeaningText(decision.meaning).empty()) << c.name;
  }
}

}  // namespace
}  // namespace korvi::supervisor
