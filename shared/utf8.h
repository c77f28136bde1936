#pragma once
// Shared by the deliverables: header only, standard C++ only.
// UTF-8 decoding for the programs that take Unicode text as UTF-8 (the bridge's HTTP interface,
// zorn-utility-cli's command line) and hand it to the code-page tables as UTF-16.

#include <cstddef>
#include <string>
#include <string_view>

namespace kit {

// `utf8` as UTF-16 (a character beyond U+FFFF as a surrogate pair). A malformed sequence (a
// stray continuation byte, a cut sequence, an overlong form, a surrogate, a value beyond
// U+10FFFF) gives one U+FFFD for its first byte, and decoding goes on at the next byte; then
// `malformed`, when given, is set to true (it is left alone otherwise).
inline std::u16string utf16_from_utf8(std::string_view utf8, bool* malformed = nullptr) {
  std::u16string text;
  text.reserve(utf8.size());
  std::size_t at = 0;
  while (at < utf8.size()) {
    const auto lead = static_cast<unsigned char>(utf8[at]);
    std::size_t length = 0;
    char32_t point = 0;
    char32_t least = 0;
    if (lead < 0x80) {
      length = 1;
      point = lead;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
      length = 2;
      point = lead & 0x1FU;
      least = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      length = 3;
      point = lead & 0x0FU;
      least = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      length = 4;
      point = lead & 0x07U;
      least = 0x10000;
    }
    bool valid = length != 0 && at + length <= utf8.size();
    for (std::size_t i = 1; valid && i < length; ++i) {
      const auto next = static_cast<unsigned char>(utf8[at + i]);
      valid = (next & 0xC0U) == 0x80U;
      point = (point << 6U) | (next & 0x3FU);
    }
    valid = valid && point >= least && point <= 0x10FFFF && (point < 0xD800 || point > 0xDFFF);
    if (!valid) {
      text.push_back(u'\xFFFD');
      if (malformed != nullptr) *malformed = true;
      ++at;
      continue;
    }
    if (point >= 0x10000) {
      const char32_t offset = point - 0x10000;
      text.push_back(static_cast<char16_t>(0xD800 + (offset >> 10U)));
      text.push_back(static_cast<char16_t>(0xDC00 + (offset & 0x3FFU)));
    } else {
      text.push_back(static_cast<char16_t>(point));
    }
    at += length;
  }
  return text;
}

}  // namespace kit
