// Text conversion to the display's code pages: the bytes of characters each page holds, '?' for
// what it lacks, never a control byte, and the default low-byte rule kept.

#include "service_object/core/character_set.h"

#include <gtest/gtest.h>

#include <array>
#include <sstream>
#include <string>
#include <vector>

namespace varnel {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes encode(std::int32_t character_set, std::u16string_view text, bool* truncated = nullptr) {
  CharacterSet set;
  EXPECT_TRUE(set.select(character_set)) << character_set;
  std::array<std::uint8_t, kTransmitBufferSize> out{};
  const TextBytes result = set.encode(text, out);
  if (truncated != nullptr) *truncated = result.truncated;
  return {out.begin(), out.begin() + static_cast<std::ptrdiff_t>(result.count)};
}

struct ConversionCase {
  const char* name;
  std::int32_t character_set;
  std::u16string text;
  Bytes bytes;
};

void PrintTo(const ConversionCase& c, std::ostream* os) { *os << c.name; }

class Conversion : public ::testing::TestWithParam<ConversionCase> {};

TEST_P(Conversion, GivesTheCodePageBytes) {
  const ConversionCase& c = GetParam();
  EXPECT_EQ(encode(c.character_set, c.text), c.bytes);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Conversion,
    ::testing::Values(
        // The default keeps the low byte of each unit, command bytes included.
        ConversionCase{"default Cyrillic Pe is its low byte", 998, u"\u041F", {0x1F}},
        ConversionCase{"default C caron clears the display", 998, u"\u010C", {0x0C}},
        ConversionCase{"default euro is 0xAC", 998, u"\u20AC", {0xAC}},
        ConversionCase{"Cyrillic in 866", 866, u"\u041F\u0440", {0x8F, 0xE0}},
        ConversionCase{"Cyrillic in 1251", 1251, u"\u041F", {0xCF}},
        ConversionCase{"C caron in 852", 852, u"\u010C", {0xAC}},
        ConversionCase{"euro in 858", 858, u"\u20AC", {0xD5}},
        ConversionCase{"euro in 1252", 1252, u"\u20AC 9.99", {0x80, ' ', '9', '.', '9', '9'}},
        ConversionCase{"euro lacking in 437", 437, u"\u20AC", {'?'}},
        ConversionCase{"e acute in 437", 437, u"\u00E9", {0x82}},
        ConversionCase{"e acute in 863", 863, u"\u00E9", {0x82}},
        ConversionCase{"a tilde in 860", 860, u"\u00E3", {0x84}},
        ConversionCase{"o slash in 865", 865, u"\u00F8", {0x9B}},
        ConversionCase{"sharp s in 850", 850, u"\u00DF", {0xE1}},
        ConversionCase{"omega in 737", 737, u"\u03A9", {0x97}},
        ConversionCase{"omega in 1253", 1253, u"\u03A9", {0xD9}},
        ConversionCase{"a ogonek in 1257", 1257, u"\u0105", {0xE0}},
        ConversionCase{"alef in 862", 862, u"\u05D0", {0x80}},
        ConversionCase{"alef in ISO 8859-8", 28598, u"\u05D0", {0xE0}},
        ConversionCase{"Arabic alef shown by its isolated form in 864", 864, u"\u0627", {0xC7}},
        ConversionCase{
            "plain and Arabic percent sign both show as 0x25 in 864", 864, u"%\u066A", {0x25, 0x25}},
        ConversionCase{"price with percent in 864", 864, u"50% OFF", {'5', '0', '%', ' ', 'O', 'F', 'F'}},
        ConversionCase{"Cyrillic lacking in 1252", 1252, u"\u041F", {'?'}},
        // Nothing below 0x20 and no 0x7F: the display would take them as commands.
        ConversionCase{"control characters", 866, u"\u000C\u001F\u0001\u007F", {'?', '?', '?', '?'}},
        ConversionCase{"C1 control in ISO 8859-8", 28598, u"\u0085", {'?'}},
        ConversionCase{"character beyond 16 bits is one cell", 1252, u"a\U0001F600b", {'a', '?', 'b'}},
        ConversionCase{"lone surrogates", 1252, u"\xD800x\xDC00", {'?', 'x', '?'}},
        ConversionCase{"text ends at the first NUL", 866, std::u16string(u"AB\0C", 4), {'A', 'B'}},
        ConversionCase{"empty text", 866, u"", {}}));

TEST(CharacterSetLimit, CountsCodeUnitsAsTheDefaultDoes) {
  bool truncated = false;
  EXPECT_EQ(encode(866, std::u16string(64, u'\u0416'), &truncated), Bytes(64, 0x86));
  EXPECT_FALSE(truncated);
  EXPECT_EQ(encode(866, std::u16string(65, u'\u0416'), &truncated), Bytes(64, 0x86));
  EXPECT_TRUE(truncated);

  // A pair cut by the limit leaves its first half, which shows as '?'.
  std::u16string text(63, u'a');
  text += u"\U0001F600";
  Bytes expected(63, 'a');
  expected.push_back('?');
  EXPECT_EQ(encode(1252, text, &truncated), expected);
  EXPECT_TRUE(truncated);
}

TEST(CharacterSetTables, HoldNoCommandByteAndAreSortedForTheSearch) {
  for (const CodePage& page : offered_code_pages()) {
    ASSERT_FALSE(page.mappings.empty()) << page.number;
    for (std::size_t i = 0; i < page.mappings.size(); ++i) {
      const CodePageMapping& m = page.mappings[i];
      EXPECT_GE(m.byte, 0x20) << page.number << " U+" << std::hex << int(m.unit);
      EXPECT_NE(m.byte, 0x7F) << page.number;
      if (i > 0) {
        EXPECT_LT(page.mappings[i - 1].unit, m.unit) << page.number;
      }
      EXPECT_EQ(encode_unit(page, m.unit), m.byte);
    }
  }
}

// Plain ASCII text reads the same in every code page: each printable character has a byte.
TEST(CharacterSetTables, EveryPageShowsEveryPrintableAsciiCharacter) {
  for (const CodePage& page : offered_code_pages()) {
    for (char16_t unit = 0x20; unit <= 0x7E; ++unit) {
      EXPECT_TRUE(encode_unit(page, unit).has_value())
          << "code page " << page.number << " has no byte for '" << static_cast<char>(unit) << "'";
    }
  }
}

TEST(CharacterSetList, NamesExactlyWhatCanBeSelected) {
  const std::u16string list = character_set_list();
  EXPECT_TRUE(list.starts_with(u"998,437,")) << "the default first, then the code pages";
  std::istringstream numbers(std::string(list.begin(), list.end()));
  std::size_t listed = 0;
  for (std::string number; std::getline(numbers, number, ',');) {
    CharacterSet set;
    EXPECT_TRUE(set.select(std::stoi(number))) << number;
    EXPECT_EQ(set.number(), std::stoi(number));
    ++listed;
  }
  EXPECT_EQ(listed, offered_code_pages().size() + 1);

  for (const std::int32_t refused : {0, -1, 997, 999, 1250, 65001, 2147483647}) {
    CharacterSet set;
    ASSERT_TRUE(set.select(866));
    EXPECT_FALSE(set.select(refused)) << refused;
    EXPECT_EQ(set.number(), 866) << "a refused number keeps the character set in force";
  }
}

}  // namespace
}  // namespace varnel
