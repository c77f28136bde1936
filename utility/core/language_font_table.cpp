#include "utility/core/language_font_table.h"

namespace utility {

namespace {

// The glyph sets: kInternational<code> and kUpper<set>, generated from a 5x7
// bitmap font by tools/fontgen/generate.py, which also documents the
// character each byte shows.
#include "utility/core/language_font_data.inc"

constexpr std::array<LanguageFontRow, kLanguageCount> kTable = {{
    {{'U', 'S'}, "(US) USA", kInternationalUS, kUpperUS},
    {{'D', 'E'}, "(DE) Germany", kInternationalDE, kUpperEuropean},
    {{'I', 'T'}, "(IT) Italy", kInternationalIT, kUpperEuropean},
    {{'J', 'P'}, "(JP) Japan", kInternationalJP, kUpperJP},
    {{'U', 'K'}, "(UK) England.", kInternationalUK, kUpperEuropean},
    {{'F', 'R'}, "(FR) France", kInternationalFR, kUpperEuropean},
    {{'E', 'S'}, "(ES) Spain", kInternationalES, kUpperEuropean},
    {{'N', 'O'}, "(NO) Norway", kInternationalNO, kUpperEuropean},
    {{'S', 'E'}, "(SE) Sweden", kInternationalSE, kUpperEuropean},
    {{'D', '1'}, "(D1) Denmark I", kInternationalD1, kUpperEuropean},
    {{'D', '2'}, "(D2) Demark II", kInternationalD2, kUpperEuropean},
    {{'S', 'L'}, "(SL) Slavonic", kInternationalUS, kUpperSL},
    {{'R', 'U'}, "(RU) Russia", kInternationalUS, kUpperRU},
    {{'H', 'E'}, "(HE) Hebrew", kInternationalUS, kUpperHE},
    {{'G', '7'}, "(G7) Greek 737", kInternationalUS, kUpperG7},
    {{'P', 'T'}, "(PT) Portugal", kInternationalUS, kUpperPT},
    {{'G', '1'}, "(G1) Greek 1253", kInternationalUS, kUpperG1},
    {{'T', 'K'}, "(TK) Turkish", kInternationalUS, kUpperTK},
    {{'F', 'S'}, "(FS) Farsia", kInternationalUS, kUpperFS},
    {{'A', 'R'}, "(AR) Arabic", kInternationalUS, kUpperAR},
    {{'H', '8'}, "(H8) Hebrew", kInternationalUS, kUpperH8},
    {{'R', 'W'}, "(RW) Russia", kInternationalUS, kUpperRW},
}};

constexpr char UpperCase(char letter) {
  return letter >= 'a' && letter <= 'z' ? static_cast<char>(letter - 'a' + 'A') : letter;
}

bool MatchesCode(const LanguageFontRow& row, std::string_view code) {
  return code.size() == row.code.size() && UpperCase(code[0]) == row.code[0] &&
         UpperCase(code[1]) == row.code[1];
}

}  // namespace

const std::array<LanguageFontRow, kLanguageCount>& LanguageFontTable() { return kTable; }

int LanguageIndex(std::string_view entryOrCode) {
  for (std::size_t index = 0; index < kTable.size(); ++index) {
    if (kTable[index].listEntry == entryOrCode || MatchesCode(kTable[index], entryOrCode)) {
      return static_cast<int>(index);
    }
  }
  return -1;
}

std::string_view LanguageEntryAt(int index) {
  if (index < 0 || static_cast<std::size_t>(index) >= kTable.size()) {
    return {};
  }
  return kTable[static_cast<std::size_t>(index)].listEntry;
}

}  // namespace utility
