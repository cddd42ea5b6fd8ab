// The report of the modem's reply: each entry read where its offset/size pair puts it, and one
// line instead of any byte the reply does not hold.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cellular/sar_reply_report.h"
#include "support/reply_words.h"

namespace korvi::cellular {
namespace {

using testing::Words;

// The header lines of a reply with SAR mode 1, back-off 0, Wifi integration 1.
std::string Header(std::uint32_t count, std::uint32_t offset, std::uint32_t size) {
  return "\nSAR Mode: 1\nSAR BackOff Status: 0\nSAR Wifi Integration: 1\nElement Count: " + std::to_string(count) +
         "\nSAR Config Status Offset: " + std::to_string(offset) + "\nSAR Config Status Size: " + std::to_string(size);
}

struct ReportCase {
  const char* name;
  std::vector<std::uint8_t> reply;
  std::string expected;
};

class SarReplyReportTest : public ::testing::TestWithParam<ReportCase> {};

TEST_P(SarReplyReportTest, ReadsEachEntryWhereItsPairSaysAndNothingPastTheEnd) {
  // An exact-size copy, so that AddressSanitizer sees any read past the end.
  const std::vector<std::uint8_t> reply = GetParam().reply;
  EXPECT_EQ(RenderSARConfigReply(reply), GetParam().expected);
}

const std::string kOrdinary =
    "\nSAR Mode: 1\nSAR BackOff Status: 0\nSAR Wifi Integration: 1\nElement Count: 1"
    "\nSAR Config Status Offset: 24\nSAR Config Status Size: 8\nSAR Antenna index: 0\nSAR Backoff index: 1";

std::vector<std::uint8_t> TwentyElements() {
  std::vector<std::uint8_t> reply = Words({1, 0, 1, 20});
  for (std::uint32_t i = 0; i < 20; ++i) {
    const std::vector<std::uint8_t> pair = Words({16 + 20 * 8 + i * 8, 8});
    reply.insert(reply.end(), pair.begin(), pair.end());
  }
  for (std::uint32_t i = 0; i < 20; ++i) {
    const std::vector<std::uint8_t> entry = Words({i, 100 + i});
    reply.insert(reply.end(), entry.begin(), entry.end());
  }
  return reply;
}

std::string SixteenOfTwentyElements() {
  std::string text = Header(20, 176, 8) + "\nSAR Antenna index: 0\nSAR Backoff index: 100";
  for (std::uint32_t i = 1; i < 16; ++i)
    text += "\nSAR Config Status Offset: " + std::to_string(176 + 8 * i) + "\nSAR Config Status Size: 8" +
            "\nSAR Antenna index: " + std::to_string(i) + "\nSAR Backoff index: " + std::to_string(100 + i);
  return text + "\nSAR Elements: 16 shown of 20";
}

INSTANTIATE_TEST_SUITE_P(
    Replies, SarReplyReportTest,
    ::testing::Values(
        ReportCase{"OrdinaryOneElementReply", Words({1, 0, 1, 1, 24, 8, 0, 1}), kOrdinary},
        ReportCase{"BytesAfterTheEntryAreIgnored", Words({1, 0, 1, 1, 24, 8, 0, 1, 0xFFFFFFFF}), kOrdinary},
        ReportCase{"EntryAfterPadding", Words({1, 0, 1, 1, 32, 8, 0xAAAAAAAA, 0xBBBBBBBB, 5, 2}),
                   Header(1, 32, 8) + "\nSAR Antenna index: 5\nSAR Backoff index: 2"},
        ReportCase{"EntryInsideTheHeaderIsStillWithinTheReply", Words({1, 0, 1, 1, 0, 8, 7, 9}),
                   Header(1, 0, 8) + "\nSAR Antenna index: 1\nSAR Backoff index: 0"},
        ReportCase{"EntryLongerThanItsTwoIndexes", Words({1, 0, 1, 1, 24, 12, 3, 4, 0xFFFFFFFF}),
                   Header(1, 24, 12) + "\nSAR Antenna index: 3\nSAR Backoff index: 4"},
        ReportCase{"TwoElements", Words({1, 0, 1, 2, 32, 8, 40, 8, 0, 3, 1, 4}),
                   Header(2, 32, 8) +
                       "\nSAR Antenna index: 0\nSAR Backoff index: 3"
                       "\nSAR Config Status Offset: 40\nSAR Config Status Size: 8\nSAR Antenna index: 1\nSAR Backoff index: 4"},
        ReportCase{"EntryEndingOnTheLastByte", Words({1, 0, 1, 1, 32, 8, 0, 0, 6, 7}),
                   Header(1, 32, 8) + "\nSAR Antenna index: 6\nSAR Backoff index: 7"},
        ReportCase{"EntryOneBytePastTheEnd", Words({1, 0, 1, 1, 33, 8, 0, 0, 6, 7}),
                   Header(1, 33, 8) + "\nSAR Antenna entry: outside the 40-byte reply"},
        ReportCase{"OffsetPastTheEnd", Words({1, 0, 1, 1, 4096, 8, 0, 1}),
                   Header(1, 4096, 8) + "\nSAR Antenna entry: outside the 32-byte reply"},
        ReportCase{"OffsetPlusSizeWrapsAround", Words({1, 0, 1, 1, 24, 0xFFFFFFFF, 0, 1}),
                   Header(1, 24, 4294967295) + "\nSAR Antenna entry: outside the 32-byte reply"},
        ReportCase{"OffsetNearTheTopWrapsAround", Words({1, 0, 1, 1, 0xFFFFFFFC, 8, 0, 1}),
                   Header(1, 4294967292, 8) + "\nSAR Antenna entry: outside the 32-byte reply"},
        ReportCase{"EntryTooShortForItsIndexes", Words({1, 0, 1, 1, 24, 4, 0, 1}),
                   Header(1, 24, 4) + "\nSAR Antenna entry: too short for its two indexes"},
        ReportCase{"SecondEntryOutsideTheReply", Words({1, 0, 1, 2, 32, 8, 48, 8, 0, 3, 1, 4}),
                   Header(2, 32, 8) +
                       "\nSAR Antenna index: 0\nSAR Backoff index: 3"
                       "\nSAR Config Status Offset: 48\nSAR Config Status Size: 8\nSAR Antenna entry: outside the 48-byte reply"},
        ReportCase{"NoElement", Words({1, 0, 1, 0, 24, 8, 0, 1}), Header(0, 24, 8)},
        ReportCase{"MoreElementsThanPairsFit", Words({1, 0, 1, 5, 32, 8, 40, 8, 0, 3, 1, 4}),
                   Header(5, 32, 8) +
                       "\nSAR Antenna index: 0\nSAR Backoff index: 3"
                       "\nSAR Config Status Offset: 40\nSAR Config Status Size: 8\nSAR Antenna index: 1\nSAR Backoff index: 4"
                       "\nSAR Config Status Offset: 0\nSAR Config Status Size: 3\nSAR Antenna entry: too short for its two indexes"
                       "\nSAR Config Status Offset: 1\nSAR Config Status Size: 4\nSAR Antenna entry: too short for its two indexes"
                       "\nSAR Elements: 5 counted, but the 48-byte reply has room for 4"},
        ReportCase{"HugeElementCount", Words({1, 0, 1, 0xFFFFFFFF, 24, 8, 0, 1}),
                   Header(4294967295, 24, 8) +
                       "\nSAR Antenna index: 0\nSAR Backoff index: 1"
                       "\nSAR Config Status Offset: 0\nSAR Config Status Size: 1\nSAR Antenna entry: too short for its two indexes"
                       "\nSAR Elements: 4294967295 counted, but the 32-byte reply has room for 2"},
        ReportCase{"AtMostSixteenElementsShown", TwentyElements(), SixteenOfTwentyElements()},
        // Shorter than one element's header, pair and entry: the fixed places, missing words 0.
        ReportCase{"ShortReply", Words({1, 0}),
                   "\nSAR Mode: 1\nSAR BackOff Status: 0\nSAR Wifi Integration: 0\nElement Count: 0"
                   "\nSAR Config Status Offset: 0\nSAR Config Status Size: 0\nSAR Antenna index: 0\nSAR Backoff index: 0"},
        ReportCase{"ReplyOneByteShort", std::vector<std::uint8_t>(31, 0x01),
                   "\nSAR Mode: 16843009\nSAR BackOff Status: 16843009\nSAR Wifi Integration: 16843009"
                   "\nElement Count: 16843009\nSAR Config Status Offset: 16843009\nSAR Config Status Size: 16843009"
                   "\nSAR Antenna index: 16843009\nSAR Backoff index: 65793"},
        ReportCase{"EmptyReply", {},
                   "\nSAR Mode: 0\nSAR BackOff Status: 0\nSAR Wifi Integration: 0\nElement Count: 0"
                   "\nSAR Config Status Offset: 0\nSAR Config Status Size: 0\nSAR Antenna index: 0\nSAR Backoff index: 0"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace korvi::cellular
