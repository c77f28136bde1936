#include "utility/core/information_record.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace utility {
namespace {

std::vector<std::uint8_t> SampleReply() {
  // 3 leading bytes, 12 version characters, 4 codes, 3 trailing bytes.
  return {0x02, 0x15, 0x44, 'F', 'W',  ' ',  'V',  '1',  '.',  '2',  '3',
          ' ',  'A',  '0',  '7', 0x07, 0x11, 0x21, 0x04, 0x00, 0x03, 0x99};
}

TEST(InformationRecordTest, TwentyOneBytesAreNotYetARecordOneMoreCompletesIt) {
  std::vector<std::uint8_t> reply = SampleReply();
  ASSERT_EQ(reply.size(), 22U);
  const std::uint8_t last = reply.back();
  reply.pop_back();
  EXPECT_FALSE(IsInformationRecordComplete(reply.size()));
  EXPECT_FALSE(ReadInformationRecord(reply).has_value());
  reply.push_back(last);
  EXPECT_TRUE(IsInformationRecordComplete(reply.size()));
  EXPECT_TRUE(ReadInformationRecord(reply).has_value());
}

TEST(InformationRecordTest, ReadsVersionAndCodesByPosition) {
  std::vector<std::uint8_t> reply = SampleReply();
  reply.push_back(0xEE);  // extra bytes beyond 22 are ignored
  const auto record = ReadInformationRecord(reply);
  ASSERT_TRUE(record.has_value());
  EXPECT_EQ(record->firmwareVersion, "FW V1.23 A07");
  EXPECT_EQ(record->commandSetCode, 0x07);
  EXPECT_EQ(record->defaultFontCode, 0x11);
  EXPECT_EQ(record->languageCode, 0x21);
  EXPECT_EQ(record->baudCode, 0x04);
}

}  // namespace
}  // namespace utility
