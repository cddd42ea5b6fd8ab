// korvi-supervisor's command line: its options, the program's own arguments left alone, and
// every misuse refused with one line that names it.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "command_line.h"

namespace korvi::supervisor {
namespace {

const std::optional<std::size_t> kNone;

struct LineCase {
  const char* name;
  std::vector<std::string> arguments;
  std::optional<std::size_t> logDir;
  std::optional<unsigned> lives;
  std::optional<std::size_t> program;
};

class CommandLineTest : public testing::TestWithParam<LineCase> {};

TEST_P(CommandLineTest, Reads) {
  const LineCase& c = GetParam();
  const CommandLine line = ReadCommandLine(c.arguments);
  EXPECT_EQ(line.logDir, c.logDir);
  EXPECT_EQ(line.lives, c.lives);
  EXPECT_EQ(line.program, c.program);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CommandLineTest,
    testing::Values(LineCase{"nothing", {}, kNone, std::nullopt, kNone},
                    LineCase{"all", {"--lives", "3", "--log-dir", "d", "p.exe", "x"}, 3, 3u, 4},
                    LineCase{"program_arguments_left_alone", {"p.exe", "--lives", "x"}, kNone, std::nullopt, 0},
                    LineCase{"double_dash_ends_the_options", {"--", "--lives"}, kNone, std::nullopt, 1},
                    LineCase{"most_lives", {"--lives", "1000000"}, kNone, 1000000u, kNone}),
    [](const auto& info) { return std::string(info.param.name); });

struct RefusalCase {
  const char* name;
  std::vector<std::string> arguments;
  const char* says;
};

class RefusalTest : public testing::TestWithParam<RefusalCase> {};

TEST_P(RefusalTest, NamesWhatIsWrong) {
  try {
    ReadCommandLine(GetParam().arguments);
    FAIL() << "accepted";
  } catch (const UsageError& error) {
    const std::string text = error.what();
    EXPECT_NE(text.find(GetParam().says), std::string::npos) << text;
    EXPECT_TRUE(text.ends_with(kUsage)) << text;
    EXPECT_EQ(text.find('\n'), std::string::npos) << text;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RefusalTest,
    testing::Values(RefusalCase{"unknown", {"--live", "3"}, "unknown option \"--live\""},
                    RefusalCase{"lives_missing", {"--lives"}, "--lives needs a number"},
                    RefusalCase{"lives_zero", {"--lives", "0"}, "got \"0\""},
                    RefusalCase{"lives_negative", {"--lives", "-1"}, "got \"-1\""},
                    RefusalCase{"lives_not_a_number", {"--lives", "3x"}, "got \"3x\""},
                    RefusalCase{"lives_too_many", {"--lives", "1000001"}, "got \"1000001\""},
                    RefusalCase{"lives_twice", {"--lives", "1", "--lives", "2"}, "--lives is given twice"},
                    RefusalCase{"log_dir_missing", {"--log-dir"}, "--log-dir needs a folder"},
                    RefusalCase{"log_dir_empty", {"--log-dir", ""}, "the folder after --log-dir is empty"},
                    RefusalCase{"program_empty", {""}, "the program name is empty"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(FindLogDirTest, TheRefusedLineStillNamesItsLog) {
  const struct {
    std::vector<std::string> arguments;
    std::optional<std::size_t> logDir;
  } cases[] = {
      {{"--lives", "0", "--log-dir", "d"}, 3},
      {{"--bogus", "--log-dir", "d"}, 2},
      {{"--lives", "--log-dir", "--log-dir", "d"}, 3},  // the first --log-dir is --lives' value
      {{"--log-dir", ""}, kNone},
      {{"p.exe", "--log-dir", "d"}, kNone},  // the program's own argument
      {{"--", "--log-dir", "d"}, kNone},
  };
  for (const auto& c : cases) EXPECT_EQ(FindLogDir(c.arguments), c.logDir) << testing::PrintToString(c.arguments);
}

}  // namespace
}  // namespace korvi::supervisor
