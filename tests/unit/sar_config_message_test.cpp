// The set-SAR-configuration payload byte for byte, and the reply read at fixed positions.
#include <gtest/gtest.h>

#include <vector>

#include "cellular/sar_config_message.h"
#include "cellular/sar_reply_report.h"
#include "support/reply_words.h"

namespace korvi::cellular {
namespace {

using testing::Words;

TEST(SarConfigMessageTest, PayloadIsTheFixed28Bytes) {
  const SARSetConfigMessage message = BuildSARSetConfigMessage();
  const std::vector<std::uint8_t> expected = {0x01, 0, 0, 0, 0x00, 0, 0, 0, 0x01, 0, 0, 0, 0x14, 0, 0, 0,
                                              0x08, 0, 0, 0, 0x00, 0, 0, 0, 0x01, 0, 0, 0};
  EXPECT_EQ(std::vector<std::uint8_t>(message.begin(), message.end()), expected);
}

TEST(SarConfigMessageTest, OneElementReply) {
  const SARConfigReply reply = ParseSARConfigReply(Words({1, 0, 1, 1, 24, 8, 0, 1}));
  EXPECT_EQ(reply.sarMode, 1);
  EXPECT_EQ(reply.backOffStatus, 0);
  EXPECT_EQ(reply.wifiIntegration, 1);
  EXPECT_EQ(reply.elementCount, 1u);
  EXPECT_EQ(reply.configStatusOffset, 24u);
  EXPECT_EQ(reply.configStatusSize, 8u);
  EXPECT_EQ(reply.antennaIndex, 0u);
  EXPECT_EQ(reply.backOffIndex, 1u);
}

TEST(SarConfigMessageTest, TwoElementReplyIsReadAtTheSamePositions) {
  // header, two offset/size pairs, two entries: words 6 and 7 are the second pair
  const SARConfigReply reply = ParseSARConfigReply(Words({1, 1, 0, 2, 32, 8, 40, 8, 0, 3, 1, 4}));
  EXPECT_EQ(reply.elementCount, 2u);
  EXPECT_EQ(reply.antennaIndex, 40u);
  EXPECT_EQ(reply.backOffIndex, 8u);
}

TEST(SarConfigMessageTest, SignedAndUnsignedFields) {
  const std::vector<std::uint8_t> bytes = Words({0xFFFFFFFF, 0x80000000, 0, 0xFFFFFFFF, 0, 0, 0, 0});
  const SARConfigReply reply = ParseSARConfigReply(bytes);
  EXPECT_EQ(reply.sarMode, -1);
  EXPECT_EQ(reply.backOffStatus, -2147483647 - 1);
  EXPECT_EQ(reply.elementCount, 4294967295u);
  const std::string report = RenderSARConfigReply(bytes);
  EXPECT_NE(report.find("\nSAR Mode: -1\n"), std::string::npos);
  EXPECT_NE(report.find("\nSAR BackOff Status: -2147483648\n"), std::string::npos);
  EXPECT_NE(report.find("\nElement Count: 4294967295\n"), std::string::npos);
}

TEST(SarConfigMessageTest, ShortRepliesReadMissingWordsAsZero) {
  for (std::size_t size = 0; size < kSarConfigReplySize; ++size) {
    std::vector<std::uint8_t> bytes(size, 0xAB);
    const SARConfigReply reply = ParseSARConfigReply(bytes);  // ASan sees any read past the end
    EXPECT_EQ(reply.backOffIndex & 0xFFu, size > 28 ? 0xABu : 0u) << size;
  }
  EXPECT_EQ(ParseSARConfigReply({}).sarMode, 0);
}

}  // namespace
}  // namespace korvi::cellular
