#include "utility/core/language_font_table.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <iomanip>
#include <map>
#include <set>
#include <span>
#include <sstream>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

namespace utility {
namespace {

using Glyph = std::array<std::uint8_t, kGlyphBytes>;

Glyph GlyphAt(std::span<const std::uint8_t> glyphs, std::size_t position) {
  Glyph glyph{};
  std::copy_n(glyphs.begin() + static_cast<std::ptrdiff_t>(position * kGlyphBytes), kGlyphBytes,
              glyph.begin());
  return glyph;
}

const LanguageFontRow& Row(std::string_view code) {
  const int index = LanguageIndex(code);
  EXPECT_GE(index, 0) << code;
  return LanguageFontTable().at(static_cast<std::size_t>(std::max(index, 0)));
}

// The glyph a row shows for one of its twelve replaceable ASCII characters.
Glyph InternationalGlyph(std::string_view code, std::uint8_t character) {
  const auto* found = std::find(kInternationalCharacters.begin(), kInternationalCharacters.end(), character);
  EXPECT_NE(found, kInternationalCharacters.end()) << static_cast<int>(character);
  return GlyphAt(Row(code).InternationalGlyphs,
                 static_cast<std::size_t>(found - kInternationalCharacters.begin()));
}

// The glyph a row shows for a byte 0x80 to 0xFF.
Glyph UpperGlyph(std::string_view code, std::uint8_t character) {
  return GlyphAt(Row(code).UpperGlyphs, static_cast<std::size_t>(character - 0x80));
}

// Column bytes of a picture drawn row by row, top row first, '#' lit:
// the display's format read back independently of the generator.
Glyph FromArt(const std::array<std::string_view, 8>& rows) {
  Glyph glyph{};
  for (std::size_t row = 0; row < rows.size(); ++row) {
    for (std::size_t column = 0; column < kGlyphBytes; ++column) {
      if (rows[row].at(column) == '#') {
        glyph[column] = static_cast<std::uint8_t>(glyph[column] | (0x80U >> row));
      }
    }
  }
  return glyph;
}

bool IsBlank(const Glyph& glyph) {
  return std::all_of(glyph.begin(), glyph.end(), [](std::uint8_t column) { return column == 0; });
}

TEST(LanguageFontTable, UsInternationalSetIsTheDisplaysOwn) {
  const std::array<std::uint8_t, kInternationalGlyphBytes> expected = {
      0x28, 0xFE, 0x28, 0xFE, 0x28, 0x24, 0x54, 0xFE, 0x54, 0x48, 0x7C, 0x92, 0xAA, 0xBA, 0x7A,
      0x00, 0x00, 0xFE, 0x82, 0x82, 0x40, 0x20, 0x10, 0x08, 0x04, 0x82, 0x82, 0xFE, 0x00, 0x00,
      0x20, 0x40, 0x80, 0x40, 0x20, 0x00, 0x80, 0x40, 0x00, 0x00, 0x00, 0x10, 0x6C, 0x82, 0x00,
      0x00, 0x00, 0xEE, 0x00, 0x00, 0x00, 0x82, 0x6C, 0x10, 0x00, 0x40, 0x80, 0xC0, 0x40, 0x80,
  };
  const auto& glyphs = LanguageFontTable()[0].InternationalGlyphs;
  EXPECT_TRUE(std::equal(glyphs.begin(), glyphs.end(), expected.begin(), expected.end()));
}

struct LanguageCase {
  int index;
  std::string_view entry;
  std::string_view code;
};

constexpr std::array<LanguageCase, kLanguageCount> kLanguages = {{
    {0, "(US) USA", "US"},       {1, "(DE) Germany", "DE"},     {2, "(IT) Italy", "IT"},
    {3, "(JP) Japan", "JP"},     {4, "(UK) England.", "UK"},    {5, "(FR) France", "FR"},
    {6, "(ES) Spain", "ES"},     {7, "(NO) Norway", "NO"},      {8, "(SE) Sweden", "SE"},
    {9, "(D1) Denmark I", "D1"}, {10, "(D2) Demark II", "D2"},  {11, "(SL) Slavonic", "SL"},
    {12, "(RU) Russia", "RU"},   {13, "(HE) Hebrew", "HE"},     {14, "(G7) Greek 737", "G7"},
    {15, "(PT) Portugal", "PT"}, {16, "(G1) Greek 1253", "G1"}, {17, "(TK) Turkish", "TK"},
    {18, "(FS) Farsia", "FS"},   {19, "(AR) Arabic", "AR"},     {20, "(H8) Hebrew", "H8"},
    {21, "(RW) Russia", "RW"},
}};

TEST(LanguageFontTable, RowsFollowTheLanguageList) {
  for (const LanguageCase& language : kLanguages) {
    SCOPED_TRACE(language.entry);
    const LanguageFontRow& row = LanguageFontTable().at(static_cast<std::size_t>(language.index));
    EXPECT_EQ(std::string_view(row.code.data(), row.code.size()), language.code);
    EXPECT_EQ(row.listEntry, language.entry);
    EXPECT_EQ(LanguageEntryAt(language.index), language.entry);
    EXPECT_EQ(LanguageIndex(language.entry), language.index);
    EXPECT_EQ(LanguageIndex(language.code), language.index);
    std::string lower(language.code);
    std::transform(lower.begin(), lower.end(), lower.begin(), [](char letter) {
      return letter >= 'A' && letter <= 'Z' ? static_cast<char>(letter + 32) : letter;
    });
    EXPECT_EQ(LanguageIndex(lower), language.index);
  }
}

TEST(LanguageFontTable, UnknownLanguagesAreRejected) {
  for (const std::string_view unknown :
       {"", "U", "USA", "XX", "USS", "(us) usa", "(US) USA ", "(US)", "Germany", "D3", "(DE) Germany\n"}) {
    EXPECT_EQ(LanguageIndex(unknown), -1) << '"' << unknown << '"';
  }
  EXPECT_EQ(LanguageIndex(std::string_view("U\0S", 3)), -1);
  for (const int index : {-1, 22, 1000}) {
    EXPECT_TRUE(LanguageEntryAt(index).empty()) << index;
  }
}

TEST(LanguageFontTable, RowsShareSetsAsTheDisplayExpects) {
  const auto& table = LanguageFontTable();
  const auto sameBytes = [](auto left, auto right) {
    return std::equal(left.begin(), left.end(), right.begin(), right.end());
  };
  for (std::size_t index = 1; index <= 10; ++index) {
    SCOPED_TRACE(table[index].listEntry);
    if (index == 3) {
      EXPECT_FALSE(sameBytes(table[index].UpperGlyphs, table[1].UpperGlyphs));
    } else {
      EXPECT_TRUE(sameBytes(table[index].UpperGlyphs, table[1].UpperGlyphs));
    }
    EXPECT_FALSE(sameBytes(table[index].InternationalGlyphs, table[0].InternationalGlyphs));
  }
  EXPECT_FALSE(sameBytes(table[1].UpperGlyphs, table[0].UpperGlyphs));
  for (std::size_t index = 11; index < table.size(); ++index) {
    SCOPED_TRACE(table[index].listEntry);
    EXPECT_TRUE(sameBytes(table[index].InternationalGlyphs, table[0].InternationalGlyphs));
  }

  std::set<std::vector<std::uint8_t>> internationalSets;
  std::set<std::vector<std::uint8_t>> upperSets;
  for (const LanguageFontRow& row : table) {
    internationalSets.emplace(row.InternationalGlyphs.begin(), row.InternationalGlyphs.end());
    upperSets.emplace(row.UpperGlyphs.begin(), row.UpperGlyphs.end());
  }
  EXPECT_EQ(internationalSets.size(), 11U);
  EXPECT_EQ(upperSets.size(), 14U);
}

// The same character in two places comes from the same font, so its glyphs
// must match: this pins every international replacement to a code page position
// and checks that each set sits in the right row at the right offset.
struct SameCharacterCase {
  const char* character;
  Glyph glyph;
  Glyph reference;
};

std::vector<SameCharacterCase> SameCharacterCases() {
  return {
      // International replacements of ASCII against the Latin-1 code page of the European rows.
      {"DE section sign", InternationalGlyph("DE", 0x40), UpperGlyph("DE", 0xF5)},
      {"DE A umlaut", InternationalGlyph("DE", 0x5B), UpperGlyph("DE", 0x8E)},
      {"DE O umlaut", InternationalGlyph("DE", 0x5C), UpperGlyph("DE", 0x99)},
      {"DE U umlaut", InternationalGlyph("DE", 0x5D), UpperGlyph("DE", 0x9A)},
      {"DE a umlaut", InternationalGlyph("DE", 0x7B), UpperGlyph("DE", 0x84)},
      {"DE o umlaut", InternationalGlyph("DE", 0x7C), UpperGlyph("DE", 0x94)},
      {"DE u umlaut", InternationalGlyph("DE", 0x7D), UpperGlyph("DE", 0x81)},
      {"DE sharp s", InternationalGlyph("DE", 0x7E), UpperGlyph("DE", 0xE1)},
      {"UK pound", InternationalGlyph("UK", 0x23), UpperGlyph("UK", 0x9C)},
      {"JP yen", InternationalGlyph("JP", 0x5C), UpperGlyph("US", 0x9D)},
      {"FR a grave", InternationalGlyph("FR", 0x40), UpperGlyph("FR", 0x85)},
      {"FR degree", InternationalGlyph("FR", 0x5B), UpperGlyph("FR", 0xF8)},
      {"FR c cedilla", InternationalGlyph("FR", 0x5C), UpperGlyph("FR", 0x87)},
      {"FR e acute", InternationalGlyph("FR", 0x7B), UpperGlyph("FR", 0x82)},
      {"FR u grave", InternationalGlyph("FR", 0x7C), UpperGlyph("FR", 0x97)},
      {"FR e grave", InternationalGlyph("FR", 0x7D), UpperGlyph("FR", 0x8A)},
      {"FR diaeresis", InternationalGlyph("FR", 0x7E), UpperGlyph("FR", 0xF9)},
      {"IT o grave", InternationalGlyph("IT", 0x7C), UpperGlyph("IT", 0x95)},
      {"IT i grave", InternationalGlyph("IT", 0x7E), UpperGlyph("IT", 0x8D)},
      {"ES peseta", InternationalGlyph("ES", 0x23), UpperGlyph("US", 0x9E)},
      {"ES inverted exclamation", InternationalGlyph("ES", 0x5B), UpperGlyph("ES", 0xAD)},
      {"ES N tilde", InternationalGlyph("ES", 0x5C), UpperGlyph("ES", 0xA5)},
      {"ES inverted question", InternationalGlyph("ES", 0x5D), UpperGlyph("ES", 0xA8)},
      {"ES n tilde", InternationalGlyph("ES", 0x7C), UpperGlyph("ES", 0xA4)},
      {"NO currency sign", InternationalGlyph("NO", 0x24), UpperGlyph("NO", 0xCF)},
      {"NO E acute", InternationalGlyph("NO", 0x40), UpperGlyph("NO", 0x90)},
      {"NO AE", InternationalGlyph("NO", 0x5B), UpperGlyph("NO", 0x92)},
      {"NO O stroke", InternationalGlyph("NO", 0x5C), UpperGlyph("NO", 0x9D)},
      {"NO o stroke", InternationalGlyph("NO", 0x7C), UpperGlyph("NO", 0x9B)},
      {"SE A ring", InternationalGlyph("SE", 0x5D), UpperGlyph("SE", 0x8F)},
      {"SE u umlaut", InternationalGlyph("SE", 0x7E), UpperGlyph("SE", 0x81)},
      {"D1 a ring", InternationalGlyph("D1", 0x7D), UpperGlyph("D1", 0x86)},
      {"D2 U umlaut", InternationalGlyph("D2", 0x5E), UpperGlyph("D2", 0x9A)},
      // Unchanged ASCII positions keep the US glyph.
      {"DE number sign", InternationalGlyph("DE", 0x23), InternationalGlyph("US", 0x23)},
      {"D1 tilde", InternationalGlyph("D1", 0x7E), InternationalGlyph("US", 0x7E)},
      // The same letter in two code pages.
      {"Cyrillic A", UpperGlyph("RU", 0x80), UpperGlyph("RW", 0xC0)},
      {"Cyrillic ya", UpperGlyph("RU", 0xEF), UpperGlyph("RW", 0xFF)},
      {"Hebrew alef", UpperGlyph("HE", 0x80), UpperGlyph("H8", 0xE0)},
      {"Hebrew tav", UpperGlyph("HE", 0x9A), UpperGlyph("H8", 0xFA)},
      {"Greek capital alpha", UpperGlyph("G7", 0x80), UpperGlyph("G1", 0xC1)},
      {"Greek small omega", UpperGlyph("G7", 0xE0), UpperGlyph("G1", 0xF9)},
      {"S cedilla", UpperGlyph("TK", 0x9E), UpperGlyph("SL", 0xB8)},
      {"C cedilla", UpperGlyph("PT", 0x80), UpperGlyph("US", 0x80)},
      {"a tilde", UpperGlyph("PT", 0x84), UpperGlyph("DE", 0xC6)},
      {"euro sign", UpperGlyph("DE", 0xD5), UpperGlyph("RW", 0x88)},
      {"full block", UpperGlyph("HE", 0xDB), UpperGlyph("US", 0xDB)},
      {"Arabic alef", UpperGlyph("AR", 0xC7), UpperGlyph("FS", 0xC7)},
      {"Arabic-Indic zero and Persian zero", UpperGlyph("AR", 0xB0), UpperGlyph("FS", 0xB0)},
      {"Arabic comma", UpperGlyph("AR", 0xAC), UpperGlyph("FS", 0xAC)},
  };
}

TEST(LanguageFontTable, SameCharacterHasSameGlyphEverywhere) {
  for (const SameCharacterCase& sameCharacter : SameCharacterCases()) {
    EXPECT_EQ(sameCharacter.glyph, sameCharacter.reference) << sameCharacter.character;
    EXPECT_FALSE(IsBlank(sameCharacter.glyph)) << sameCharacter.character;
  }
}

struct ArtCase {
  const char* character;
  Glyph glyph;
  std::array<std::string_view, 8> art;
};

TEST(LanguageFontTable, GlyphsHaveTheFontsShapes) {
  const std::vector<ArtCase> cases = {
      {"DE A umlaut",
       InternationalGlyph("DE", 0x5B),
       {"#..#.", ".##..", "#..#.", "####.", "#..#.", "#..#.", ".....", "....."}},
      {"JP yen",
       InternationalGlyph("JP", 0x5C),
       {".#.#.", ".#.#.", "..#..", ".###.", "..#..", "..#..", ".....", "....."}},
      {"UK pound",
       InternationalGlyph("UK", 0x23),
       {".....", "..##.", ".#...", "###..", ".#...", "#.##.", ".....", "....."}},
      {"US full block",
       UpperGlyph("US", 0xDB),
       {"#####", "#####", "#####", "#####", "#####", "#####", "#####", "....."}},
      {"US box horizontal",
       UpperGlyph("US", 0xC4),
       {".....", ".....", ".....", "#####", ".....", ".....", ".....", "....."}},
      {"JP katakana ko",
       UpperGlyph("JP", 0xBA),
       {".....", "#####", "....#", "....#", "....#", "....#", "#####", "....."}},
      {"NO E acute, the mark over a shortened E",
       InternationalGlyph("NO", 0x40),
       {"..#..", ".#...", "####.", "#....", "###..", "####.", ".....", "....."}},
      {"SL C caron",
       UpperGlyph("SL", 0xAC),
       {".#.#.", "..#..", ".###.", "#....", "#....", ".###.", ".....", "....."}},
  };
  for (const ArtCase& artCase : cases) {
    EXPECT_EQ(artCase.glyph, FromArt(artCase.art)) << artCase.character;
  }
}

// Blank glyphs are only where a set has no visible character: an undefined
// byte, a control character, a no-break space. Every other byte must show
// something, and nothing may show the outline of the whole cell that stands
// for a character the font lacks.
TEST(LanguageFontTable, OnlyPositionsWithoutCharactersAreBlank) {
  const auto range = [](int first, int last) {
    std::vector<int> bytes;
    for (int byte = first; byte <= last; ++byte) {
      bytes.push_back(byte);
    }
    return bytes;
  };
  const auto join = [](std::vector<int> left, const std::vector<int>& right) {
    left.insert(left.end(), right.begin(), right.end());
    return left;
  };
  struct BlankCase {
    std::string_view code;
    std::vector<int> blank;
  };
  const std::vector<BlankCase> cases = {
      {"US", {0xFF}},
      {"DE", {0xFF}},
      {"RU", {0xFF}},
      {"SL", {0xFF}},
      {"TK", {0xD5, 0xE7, 0xF2, 0xFF}},
      {"RW", {0x98, 0xA0}},
      {"AR", {0x9B, 0x9C, 0x9F, 0xA0, 0xA6, 0xA7, 0xFF}},
      {"JP", join(range(0x80, 0xA0), range(0xE0, 0xFF))},
      {"H8", join(join(range(0x80, 0xA1), range(0xBF, 0xDE)), range(0xFB, 0xFF))},
  };
  constexpr Glyph kMissingOutline = {0xFE, 0x82, 0x82, 0x82, 0xFE};
  for (const BlankCase& blankCase : cases) {
    std::vector<int> blank;
    for (int byte = 0x80; byte <= 0xFF; ++byte) {
      if (IsBlank(UpperGlyph(blankCase.code, static_cast<std::uint8_t>(byte)))) {
        blank.push_back(byte);
      }
    }
    EXPECT_EQ(blank, blankCase.blank) << blankCase.code;
  }
  for (const LanguageFontRow& row : LanguageFontTable()) {
    for (std::size_t position = 0; position < 128; ++position) {
      EXPECT_NE(GlyphAt(row.UpperGlyphs, position), kMissingOutline) << row.listEntry << " " << position;
    }
    for (std::size_t position = 0; position < kInternationalCharacters.size(); ++position) {
      EXPECT_FALSE(IsBlank(GlyphAt(row.InternationalGlyphs, position))) << row.listEntry << " " << position;
    }
  }
}

// An accented letter of one of the sets, listed by the glyph generator with
// the glyph of the letter it is built on.
struct AccentedLetter {
  std::string_view code;  // a language row that shows the set
  bool international;     // one of the twelve national positions, else 0x80 to 0xFF
  std::uint8_t byte;
  char32_t letter;
  char32_t base;
  Glyph baseGlyph;
};

#include "utility/core/language_font_accents.inc"

Glyph GlyphOf(const AccentedLetter& letter) {
  return letter.international ? InternationalGlyph(letter.code, letter.byte)
                              : UpperGlyph(letter.code, letter.byte);
}

std::string Describe(const AccentedLetter& letter) {
  std::ostringstream text;
  text << letter.code << (letter.international ? " international 0x" : " upper 0x") << std::hex
       << std::uppercase << static_cast<int>(letter.byte) << " U+" << std::setw(4) << std::setfill('0')
       << static_cast<std::uint32_t>(letter.letter);
  return text.str();
}

// An accent the font has no room for must not vanish: É shown as E reads as
// another word. Letters on the same base must differ from each other too, or
// two marks would share one drawing.
TEST(LanguageFontTable, AccentedLettersDifferFromTheirBaseLetters) {
  std::map<std::tuple<std::string_view, bool, char32_t, Glyph>, char32_t> drawnOnBase;
  for (const AccentedLetter& letter : kAccentedLetters) {
    const Glyph glyph = GlyphOf(letter);
    EXPECT_NE(glyph, letter.baseGlyph) << Describe(letter) << " looks like its base letter";
    const auto [twin, added] = drawnOnBase.try_emplace(
        std::make_tuple(letter.code, letter.international, letter.base, glyph), letter.letter);
    EXPECT_TRUE(added) << Describe(letter) << " looks like U+" << std::hex
                       << static_cast<std::uint32_t>(twin->second);
  }
}

// The capitals the 5x7 font draws without their accent are among the letters
// checked above, so the list cannot silently lose them.
TEST(LanguageFontTable, CapitalsWithoutRoomForTheAccentAreChecked) {
  struct Capital {
    std::string_view code;
    bool international;
    std::uint8_t byte;
    char32_t letter;
  };
  const std::vector<Capital> capitals = {
      {"NO", true, 0x40, U'\u00C9'},  {"SE", true, 0x40, U'\u00C9'},  {"D2", true, 0x40, U'\u00C9'},
      {"DE", false, 0x90, U'\u00C9'}, {"DE", false, 0xB7, U'\u00C0'}, {"DE", false, 0xE5, U'\u00D5'},
      {"DE", false, 0xED, U'\u00DD'}, {"SL", false, 0xAC, U'\u010C'}, {"SL", false, 0xE6, U'\u0160'},
      {"SL", false, 0xA6, U'\u017D'}, {"SL", false, 0xFC, U'\u0158'}, {"SL", false, 0xB7, U'\u011A'},
      {"SL", false, 0x8A, U'\u0150'}, {"SL", false, 0xDE, U'\u016E'}, {"TK", false, 0x98, U'\u0130'},
      {"TK", false, 0xA6, U'\u011E'}, {"PT", false, 0x8F, U'\u00C2'}, {"PT", false, 0x8E, U'\u00C3'},
      {"RU", false, 0xF0, U'\u0401'}, {"RW", false, 0xA1, U'\u040E'}, {"US", false, 0x90, U'\u00C9'},
  };
  for (const Capital& capital : capitals) {
    const auto* found =
        std::find_if(kAccentedLetters.begin(), kAccentedLetters.end(), [&](const AccentedLetter& letter) {
          return letter.code == capital.code && letter.international == capital.international &&
                 letter.byte == capital.byte;
        });
    ASSERT_NE(found, kAccentedLetters.end())
        << capital.code << " 0x" << std::hex << static_cast<int>(capital.byte);
    EXPECT_EQ(found->letter, capital.letter) << Describe(*found);
  }
}

// The glyphs are seven rows high: the eighth row (bit 0) is never lit, so a
// set shifted by a row shows here.
TEST(LanguageFontTable, EighthRowStaysClear) {
  for (const LanguageFontRow& row : LanguageFontTable()) {
    const auto lit = [](std::uint8_t column) { return (column & 0x01U) != 0; };
    EXPECT_TRUE(std::none_of(row.InternationalGlyphs.begin(), row.InternationalGlyphs.end(), lit))
        << row.listEntry;
    EXPECT_TRUE(std::none_of(row.UpperGlyphs.begin(), row.UpperGlyphs.end(), lit)) << row.listEntry;
  }
}

}  // namespace
}  // namespace utility
