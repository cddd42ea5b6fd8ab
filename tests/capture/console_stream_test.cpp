// The console stream cut into messages: hex holes, messages that start with a shorter one,
// CR LF and messages split across reads at every point, unknown text passed over, and every
// scenario's expected console read into the same requests and notifications as the simulated
// notebook's own trace of the run.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "capture_run.h"
#include "console_stream.h"

namespace korvi::capture {
namespace {

struct MatchCase {
  const char* name;
  const char* pattern;
  const char* text;
  PatternMatch match;
  std::size_t length;
  std::uint32_t value;
};

class MatchPatternTest : public testing::TestWithParam<MatchCase> {};

TEST_P(MatchPatternTest, Matches) {
  const MatchCase& c = GetParam();
  const PatternResult result = MatchPattern(c.pattern, c.text);
  EXPECT_EQ(result.match, c.match);
  if (c.match == PatternMatch::kFull) {
    EXPECT_EQ(result.length, c.length);
    EXPECT_EQ(result.value, c.value);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MatchPatternTest,
    testing::Values(MatchCase{"literal", "Terminating normally\n", "Terminating normally\nrest", PatternMatch::kFull, 21, 0},
                    MatchCase{"literal_cut", "Terminating normally\n", "Termin", PatternMatch::kPartial, 0, 0},
                    MatchCase{"literal_differs", "Terminating normally\n", "Terminated", PatternMatch::kNo, 0, 0},
                    MatchCase{"hex_zero", "\nExecMethod returned 0x%x:", "\nExecMethod returned 0x0:", PatternMatch::kFull, 25, 0},
                    MatchCase{"hex_eight", "\nExecMethod returned 0x%x:", "\nExecMethod returned 0x8004102f:",
                              PatternMatch::kFull, 32, 0x8004102f},
                    MatchCase{"hex_cut_in_digits", "\nExecMethod returned 0x%x:", "\nExecMethod returned 0x800",
                              PatternMatch::kPartial, 0, 0},
                    MatchCase{"hex_nine_digits", "\nExecMethod returned 0x%x:", "\nExecMethod returned 0x123456789:",
                              PatternMatch::kNo, 0, 0},
                    MatchCase{"hex_upper_case", "\nExecMethod returned 0x%x:", "\nExecMethod returned 0xA:",
                              PatternMatch::kNo, 0, 0},
                    MatchCase{"hex_none", "\nExecMethod returned 0x%x:", "\nExecMethod returned 0x:", PatternMatch::kNo, 0, 0}),
    [](const testing::TestParamInfo<MatchCase>& info) { return std::string(info.param.name); });

std::string Crlf(const std::string& text) {
  std::string out;
  for (const char c : text) {
    if (c == '\n') out += '\r';
    out += c;
  }
  return out;
}

// The messages of `bytes` fed in pieces of `piece` bytes, each piece stamped with its index.
std::vector<ConsoleMessage> Cut(const std::string& bytes, std::size_t piece, std::size_t* unknown = nullptr) {
  ConsoleStream stream;
  std::vector<ConsoleMessage> all;
  std::int64_t us = 0;
  for (std::size_t at = 0; at < bytes.size(); at += piece) {
    for (const ConsoleMessage& m : stream.Feed(std::string_view(bytes).substr(at, piece), ++us)) all.push_back(m);
  }
  for (const ConsoleMessage& m : stream.Finish()) all.push_back(m);
  if (unknown != nullptr) *unknown = stream.unknownBytes();
  return all;
}

std::string Kinds(const std::vector<ConsoleMessage>& messages) {
  std::string kinds;
  for (const ConsoleMessage& m : messages) {
    switch (m.kind) {
      case ConsoleKind::kNotification: kinds += 'N'; break;
      case ConsoleKind::kRequestReport: kinds += 'r'; break;
      case ConsoleKind::kStatePut: kinds += 's' + std::to_string(m.value); break;
      case ConsoleKind::kExecMethod: kinds += 'X' + std::to_string(m.value); break;
      case ConsoleKind::kRequestEnd: kinds += 'T'; break;
      case ConsoleKind::kReduceAsked: kinds += '2'; break;
      case ConsoleKind::kNormalAsked: kinds += '1'; break;
      case ConsoleKind::kRadioOff: kinds += 'O'; break;
      case ConsoleKind::kOutOfMemory: kinds += 'M'; break;
    }
  }
  return kinds;
}

constexpr char kHandler[] = "\n [Korvi] - TxStatusMonitor() SetEvent(TxEvent).";

// The handler's line between two messages that run together, with a CR LF, a shorter message
// that starts a longer one ("Err: Get" and "Err: GetObject"), and unknown text.
const std::string kMixed = Crlf(std::string("\nKorvi::TxStatusMonitor") + kHandler +
                                "CoInitialize returned 0x80010106:\n[-] Err: CoInitialize" + kHandler +
                                "CoInitializeSecurity returned 0x80010119:\n[-] Err: CoInitializeSecurity"
                                "\nGetObject returned 0x80041002:\n[-] Err: GetObject\npObj Get returned 0x1:\n[-] Err: Get"
                                "\nExecMethod returned 0x8004102f:\n[-] Err: ExecMethodTerminating normally\n" +
                                kHandler + "\nSetWLANTxState_WLANREDUCE()\nsomething unforeseen\n[-] Err: Get");

TEST(ConsoleStreamTest, EveryCutGivesTheSameMessages) {
  const std::string wanted = "NrrNrrrrrrX" + std::to_string(0x8004102fu) + "rTN2r";
  // Unknown: only "\nKorvi::TxStatusMonitor" and "\nsomething unforeseen"; a longer message
  // cut after a shorter one it starts with would leave its rest unknown.
  constexpr std::size_t kUnknown = 23 + 21;
  for (std::size_t piece = 1; piece <= kMixed.size(); ++piece) {
    std::size_t unknown = 0;
    EXPECT_EQ(Kinds(Cut(kMixed, piece, &unknown)), wanted) << "pieces of " << piece << " bytes";
    EXPECT_EQ(unknown, kUnknown) << "pieces of " << piece << " bytes";
  }
}

TEST(ConsoleStreamTest, MessageIsStampedWhenItsLastByteArrives) {
  ConsoleStream stream;
  const std::string line = Crlf(kHandler);
  EXPECT_TRUE(stream.Feed(line.substr(0, 1), 10).empty());  // a CR alone: its LF may follow
  EXPECT_TRUE(stream.Feed(line.substr(1, 20), 20).empty());
  const std::vector<ConsoleMessage> messages = stream.Feed(line.substr(21), 30);
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].kind, ConsoleKind::kNotification);
  EXPECT_EQ(messages[0].us, 30);
}

TEST(ConsoleStreamTest, ShorterMessageWaitsForWhatFollows) {
  ConsoleStream stream;
  EXPECT_TRUE(stream.Feed("\r\n[-] Err: Get", 1).empty());  // may still become "Err: GetObject"
  const std::vector<ConsoleMessage> messages = stream.Feed("Terminating normally\r\n", 2);
  ASSERT_EQ(messages.size(), 2u);
  EXPECT_EQ(messages[0].kind, ConsoleKind::kRequestReport);
  EXPECT_EQ(messages[0].us, 1);
  EXPECT_EQ(messages[1].kind, ConsoleKind::kRequestEnd);
}

TEST(ConsoleStreamTest, UnknownTextIsPassedOverAndCounted) {
  ConsoleStream stream;
  const std::vector<ConsoleMessage> messages = stream.Feed("\r\nKorvi::InitSAR()\r\nExit while loop", 1);
  EXPECT_TRUE(messages.empty());
  EXPECT_TRUE(stream.Finish().empty());
  EXPECT_EQ(stream.unknownBytes(), 33u);
}

// --- Every scenario's expected console, read as a capture reads it, against the simulated
// notebook's own trace of the run: the same notifications and firmware requests in the same
// order, with the same state and result. A request that never reached ExecMethod has no record
// in the simulated trace, so the capture's requests with a null result are left out.

std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// "notify", "start 2", "end 2 0x00000000" ... from trace lines (either kind of trace).
std::vector<std::string> Sequence(const std::vector<std::string>& lines) {
  auto field = [](const std::string& line, const std::string& key) -> std::string {
    const std::size_t at = line.find("\"" + key + "\":");
    if (at == std::string::npos) return "";
    const std::size_t from = at + key.size() + 3;
    const std::size_t to = line.find_first_of(",}", from);
    std::string value = line.substr(from, to - from);
    if (!value.empty() && value.front() == '"') value = value.substr(1, value.size() - 2);
    return value;
  };
  std::vector<std::string> sequence;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const std::string event = field(lines[i], "event");
    if (event == "notify") {
      sequence.push_back("notify");
    } else if (event == "firmware_start") {
      // A request that never reached ExecMethod: its end says so.
      std::size_t end = i + 1;
      while (end < lines.size() && field(lines[end], "event") != "firmware_end") ++end;
      if (end < lines.size() && field(lines[end], "result") == "null") {
        continue;
      }
      sequence.push_back("start " + field(lines[i], "wlan_state"));
    } else if (event == "firmware_end") {
      if (field(lines[i], "result") == "null") continue;
      sequence.push_back("end " + field(lines[i], "wlan_state") + " " + field(lines[i], "result"));
    }
  }
  return sequence;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

TEST(ConsoleStreamTest, EveryScenarioReadsAsTheSimulatedTraceHasIt) {
  std::size_t scenarios = 0;
  for (const auto& entry : std::filesystem::directory_iterator(KORVI_EXPECTED_DIR)) {
    if (entry.path().extension() != ".sim-trace") continue;
    std::filesystem::path stdoutPath = entry.path();
    stdoutPath.replace_extension(".stdout");
    const std::string console = Crlf(ReadFile(stdoutPath));
    for (const std::size_t piece : {std::size_t{1}, std::size_t{5}, console.size() + 1}) {
      std::vector<std::string> captured;
      CaptureRun run([&](const std::string& line) { captured.push_back(line); });
      std::int64_t us = 0;
      for (std::size_t at = 0; at < console.size(); at += piece) run.OnConsole(console.substr(at, piece), ++us);
      run.OnExit(0, ++us);
      EXPECT_EQ(Sequence(captured), Sequence(Lines(ReadFile(entry.path()))))
          << entry.path().stem() << " in pieces of " << piece << " bytes";
    }
    ++scenarios;
  }
  EXPECT_GT(scenarios, 50u);
}

}  // namespace
}  // namespace korvi::capture
