#include "utility/core/config_frames.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <functional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "utility/core/selection_lists.h"

namespace utility {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Concat(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const Bytes& part : parts) {
    all.insert(all.end(), part.begin(), part.end());
  }
  return all;
}

Bytes Repeat(std::uint8_t value, std::size_t count) { return Bytes(count, value); }

Bytes Text(std::string_view text) { return Bytes(text.begin(), text.end()); }

constexpr std::array<std::uint8_t, kGlyphBlockSize> kZeroGlyphs{};

// 0, 1, ..., 31: each glyph byte distinct, so a shifted or dropped byte shows.
Bytes CountingGlyphBytes() {
  Bytes glyphs(kGlyphBlockSize);
  for (std::size_t i = 0; i < glyphs.size(); ++i) {
    glyphs[i] = static_cast<std::uint8_t>(i);
  }
  return glyphs;
}

struct FrameCase {
  const char* name;
  std::function<Frame()> build;
  Bytes expected;
};

void PrintTo(const FrameCase& frameCase, std::ostream* out) { *out << frameCase.name; }

class FrameVectorTest : public ::testing::TestWithParam<FrameCase> {};

TEST_P(FrameVectorTest, BuildsExactBytes) { EXPECT_EQ(GetParam().build(), GetParam().expected); }

constexpr std::string_view kTwenty = "ABCDEFGHIJKLMNOPQRST";

INSTANTIATE_TEST_SUITE_P(
    Commands, FrameVectorTest,
    ::testing::Values(
        FrameCase{"InformationRequest", [] { return InformationRequestFrame(); },
                  {0x02, 0x01, 0x44, 0x03, 0x46}},
        FrameCase{"Baud115200", [] { return BaudRateChangeFrame(BaudRateIndex(115200)); },
                  {0x02, 0x02, 0x33, 0x04, 0x03, 0x36}},
        FrameCase{"Baud9600", [] { return BaudRateChangeFrame(BaudRateIndex(9600)); },
                  {0x02, 0x02, 0x33, 0x00, 0x03, 0x32}},
        FrameCase{"BaudNoSelection", [] { return BaudRateChangeFrame(kNoSelection); },
                  {0x02, 0x02, 0x33, 0xFF, 0x03, 0xCD}},
        FrameCase{"CommandSetCD5220", [] { return CommandSetChangeFrame(CommandSetIndex("CD5220")); },
                  {0x02, 0x02, 0x34, 0x07, 0x03, 0x32}},
        FrameCase{"CommandSetLD220", [] { return CommandSetChangeFrame(CommandSetIndex("LD220")); },
                  {0x02, 0x02, 0x34, 0x00, 0x03, 0x35}},
        FrameCase{"CommandSetNoSelection", [] { return CommandSetChangeFrame(kNoSelection); },
                  {0x02, 0x02, 0x34, 0x0F, 0x03, 0x3A}},
        FrameCase{"FontEuro", [] { return DefaultFontChangeFrame(DefaultFontIndex("Euro(CP-858)")); },
                  {0x02, 0x02, 0x35, 0x08, 0x03, 0x3C}},
        FrameCase{"FontRussian1251",
                  [] { return DefaultFontChangeFrame(DefaultFontIndex("Russian(Windows-1251)")); },
                  {0x02, 0x02, 0x35, 0x11, 0x03, 0x25}},
        FrameCase{"FontNoSelection", [] { return DefaultFontChangeFrame(kNoSelection); },
                  {0x02, 0x02, 0x35, 0x1F, 0x03, 0x2B}},
        FrameCase{"EnterDownload", [] { return EnterDownloadFrame(); },
                  {0x02, 0x03, 0x40, 0xAA, 0x55, 0x03, 0xBF}},
        FrameCase{"InputBothEmpty", [] { return InputStringFrame("", ""); },
                  Concat({{0x02, 0x29, 0x32}, Repeat(0x20, 40), {0x03, 0x18}})},
        FrameCase{"InputExactTwentyNoPadding", [] { return InputStringFrame(kTwenty, "Hi"); },
                  Concat({{0x02, 0x29, 0x32}, Text(kTwenty), Text("Hi"), Repeat(0x20, 18), {0x03, 0x2D}})},
        FrameCase{"InputLongerLineCutAfterTwenty",
                  [] { return InputStringFrame("", std::string(kTwenty) + "UVWXYZ"); },
                  Concat({{0x02, 0x29, 0x32}, Repeat(0x20, 20), Text(kTwenty), {0x03, 0x0C}})},
        FrameCase{"LanguageUS", [] { return LanguageCodeFrame('U', 'S'); },
                  {0x02, 0x03, 0x43, 0x55, 0x53, 0x03, 0x45}},
        FrameCase{"LanguageRW", [] { return LanguageCodeFrame('R', 'W'); },
                  {0x02, 0x03, 0x43, 0x52, 0x57, 0x03, 0x46}},
        FrameCase{"InternationalGlyphZero", [] { return InternationalGlyphFrame(0, kZeroGlyphs); },
                  Concat({{0x02, 0x22, 0x41, 0x00}, Repeat(0x00, 32), {0x03, 0x60}})},
        FrameCase{"UpperGlyphLastBlock", [] {
                      const Bytes glyphs = CountingGlyphBytes();
                      return UpperGlyphFrame(19, GlyphBlock(glyphs.data(), kGlyphBlockSize));
                  },
                  Concat({{0x02, 0x22, 0x42, 0x13}, CountingGlyphBytes(),
                          {0x03, 0x70}})}),
    [](const ::testing::TestParamInfo<FrameCase>& info) { return std::string(info.param.name); });

TEST(ComputeBccTest, CountIsSixteenBitSigned) {
  const std::array<std::uint8_t, 4> bytes{0x01, 0x02, 0x04, 0x80};
  struct Case {
    std::int16_t count;
    std::uint8_t expected;
  };
  for (const Case& c : {Case{4, 0x87}, Case{1, 0x01}, Case{0, 0x00}, Case{-1, 0x00}, Case{INT16_MIN, 0x00}}) {
    EXPECT_EQ(ComputeBcc(bytes.data(), c.count), c.expected) << "count " << c.count;
  }
}

TEST(BuildFrameTest, DataMayContainFramingBytesUnescaped) {
  const std::array<std::uint8_t, 3> data{0x02, 0x03, 0x02};
  EXPECT_EQ(BuildFrame(0x41, data), (Bytes{0x02, 0x04, 0x41, 0x02, 0x03, 0x02, 0x03, 0x45}));
}

class RecordingWriter : public FrameWriter {
 public:
  explicit RecordingWriter(std::uint32_t result) : result_(result) {}
  std::uint32_t WriteBytes(const std::uint8_t* bytes, std::uint32_t length) override {
    writes.emplace_back(bytes, bytes + length);
    return result_;
  }
  std::vector<Bytes> writes;

 private:
  std::uint32_t result_;
};

TEST(SendFrameTest, WritesWholeFrameOnceEvenWhenTheWriteFails) {
  const std::array<std::uint8_t, 2> data{0xAA, 0x55};
  for (std::uint32_t result : {7U, 0U}) {
    RecordingWriter writer(result);
    SendFrame(writer, 0x40, data);
    ASSERT_EQ(writer.writes.size(), 1U) << "write result " << result;
    EXPECT_EQ(writer.writes[0], EnterDownloadFrame());
  }
}

TEST(SelectionListsTest, NamesAndIndicesRoundTrip) {
  for (int i = 0; i < static_cast<int>(kCommandSets.size()); ++i) {
    EXPECT_EQ(CommandSetIndex(CommandSetAt(i)), i);
    EXPECT_EQ(CommandSetCode(i), i);
  }
  for (int i = 0; i < static_cast<int>(kDefaultFonts.size()); ++i) {
    EXPECT_EQ(DefaultFontIndex(DefaultFontAt(i)), i);
    EXPECT_EQ(DefaultFontCode(i), i);
  }
  for (int i = 0; i < static_cast<int>(kBaudRates.size()); ++i) {
    EXPECT_EQ(BaudRateIndex(BaudRateAt(i)), i);
  }
}

TEST(SelectionListsTest, UnknownEntriesAndIndicesOutsideTheLists) {
  EXPECT_EQ(CommandSetIndex("ld220"), kNoSelection);
  EXPECT_EQ(DefaultFontIndex("Euro"), kNoSelection);
  EXPECT_EQ(BaudRateIndex(4800), kNoSelection);
  EXPECT_EQ(CommandSetAt(10), "");
  EXPECT_EQ(DefaultFontAt(-1), "");
  EXPECT_EQ(BaudRateAt(5), 0U);
  EXPECT_EQ(BaudCode(kNoSelection), 0xFF);
  EXPECT_EQ(CommandSetCode(kNoSelection), 0x0F);
  EXPECT_EQ(DefaultFontCode(kNoSelection), 0x1F);
}

}  // namespace
}  // namespace utility
