// korvi-capture's command line: options before the program, the program's own arguments left
// alone, and every misuse refused with one line that names it.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "command_line.h"

namespace korvi::capture {
namespace {

struct LineCase {
  const char* name;
  std::vector<std::string> arguments;
  bool help;
  std::optional<std::size_t> debugFile, trace, program;
};

class CommandLineTest : public testing::TestWithParam<LineCase> {};

TEST_P(CommandLineTest, Reads) {
  const LineCase& c = GetParam();
  const CommandLine line = ReadCommandLine(c.arguments);
  EXPECT_EQ(line.help, c.help);
  EXPECT_EQ(line.debugFile, c.debugFile);
  EXPECT_EQ(line.trace, c.trace);
  EXPECT_EQ(line.program, c.program);
}

const std::optional<std::size_t> kNone;

INSTANTIATE_TEST_SUITE_P(
    Cases, CommandLineTest,
    testing::Values(LineCase{"nothing", {}, false, kNone, kNone, kNone},
                    LineCase{"both_files_and_a_program", {"--trace", "t", "--debug-file", "d", "p.exe", "x"}, false, 3, 1, 4},
                    // After the program every argument is the program's, options included.
                    LineCase{"program_arguments_left_alone", {"p.exe", "--trace", "-h"}, false, kNone, kNone, 0},
                    LineCase{"double_dash_ends_the_options", {"--", "--trace"}, false, kNone, kNone, 1},
                    LineCase{"help", {"--help"}, true, kNone, kNone, kNone},
                    LineCase{"short_help", {"-h", "p.exe"}, true, kNone, kNone, 1}),
    [](const testing::TestParamInfo<LineCase>& info) { return std::string(info.param.name); });

struct RefusalCase {
  const char* name;
  std::vector<std::string> arguments;
  const char* says;
};

class CommandLineRefusalTest : public testing::TestWithParam<RefusalCase> {};

TEST_P(CommandLineRefusalTest, Refuses) {
  try {
    ReadCommandLine(GetParam().arguments);
    FAIL() << "accepted";
  } catch (const UsageError& error) {
    const std::string text = error.what();
    EXPECT_EQ(text, std::string(GetParam().says) + "; " + std::string(kUsage));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CommandLineRefusalTest,
    testing::Values(RefusalCase{"missing_file", {"--trace"}, "--trace needs a file name"},
                    RefusalCase{"empty_file", {"--debug-file", "", "p"}, "the file name after --debug-file is empty"},
                    RefusalCase{"twice", {"--trace", "a", "--trace", "b"}, "--trace is given twice"},
                    RefusalCase{"unknown_option", {"--speed", "p"}, "unknown option \"--speed\""},
                    RefusalCase{"long_unknown_option", {"--" + std::string(60, 'x')},
                                "unknown option \"--xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx...\""},
                    RefusalCase{"empty_program", {"--", ""}, "the program name is empty"},
                    RefusalCase{"same_file", {"--trace", "f", "--debug-file", "f"},
                                "--debug-file and --trace name the same file \"f\""}),
    [](const testing::TestParamInfo<RefusalCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace korvi::capture
