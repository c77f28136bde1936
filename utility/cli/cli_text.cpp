#include "utility/cli/cli_text.h"

#include <cstddef>
#include <span>
#include <vector>

#include "service_object/core/code_page.h"

namespace utility {

namespace {

constexpr char32_t kReplacement = 0xFFFD;  // shown as '?': no code page holds it

// The code points of `utf8`; a malformed sequence (a stray continuation byte, a cut sequence,
// an overlong form, a surrogate, a value beyond U+10FFFF) gives one U+FFFD per byte it spoils.
std::u16string Utf16FromUtf8(std::string_view utf8) {
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
      text.push_back(static_cast<char16_t>(kReplacement));
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

}  // namespace

bool IsOfferedCodePage(std::int32_t number) { return varnel::find_code_page(number) != nullptr; }

std::string OfferedCodePages() {
  std::string list;
  for (const varnel::CodePage& page : varnel::offered_code_pages()) {
    list += (list.empty() ? "" : ", ") + std::to_string(page.number);
  }
  return list;
}

std::optional<std::string> DisplayBytes(std::string_view utf8, std::int32_t codePage) {
  const varnel::CodePage* page = varnel::find_code_page(codePage);
  if (page == nullptr) {
    return std::nullopt;
  }
  const std::u16string text = Utf16FromUtf8(utf8);
  std::vector<std::uint8_t> bytes(text.size());
  bytes.resize(varnel::encode_text(*page, text, bytes));
  return std::string(bytes.begin(), bytes.end());
}

}  // namespace utility
