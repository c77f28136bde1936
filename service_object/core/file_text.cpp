#include "service_object/core/file_text.h"

#include <cstdint>

namespace varnel {
namespace {

constexpr std::string_view kUtf16LittleMark = "\xFF\xFE";
constexpr std::string_view kUtf16BigMark = "\xFE\xFF";
constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";
constexpr char16_t kReplacement = u'\uFFFD';

std::uint8_t byte_at(std::string_view text, std::size_t i) { return static_cast<std::uint8_t>(text[i]); }

std::u16string decode_utf16(std::string_view bytes, bool little_endian) {
  std::u16string text;
  text.reserve(bytes.size() / 2);
  for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
    const unsigned first = byte_at(bytes, i);
    const unsigned second = byte_at(bytes, i + 1);
    text.push_back(static_cast<char16_t>(little_endian ? first | (second << 8) : (first << 8) | second));
  }
  return text;
}

void append_code_point(std::u16string& text, char32_t code_point) {
  if (code_point < 0x10000) {
    text.push_back(static_cast<char16_t>(code_point));
    return;
  }
  code_point -= 0x10000;
  text.push_back(static_cast<char16_t>(0xD800 + (code_point >> 10)));
  text.push_back(static_cast<char16_t>(0xDC00 + (code_point & 0x3FF)));
}

// The length of the sequence a lead byte starts and the bits it carries; 0 for a byte that
// cannot start one.
struct Lead {
  std::size_t length;
  char32_t bits;
};
Lead lead_of(std::uint8_t byte) {
  if (byte < 0x80) return {1, byte};
  if (byte >= 0xC2 && byte <= 0xDF) return {2, byte & 0x1Fu};
  if (byte >= 0xE0 && byte <= 0xEF) return {3, byte & 0x0Fu};
  if (byte >= 0xF0 && byte <= 0xF4) return {4, byte & 0x07u};
  return {0, 0};
}

std::u16string decode_utf8(std::string_view bytes) {
  constexpr char32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
  std::u16string text;
  std::size_t i = 0;
  while (i < bytes.size()) {
    const Lead lead = lead_of(byte_at(bytes, i));
    std::size_t taken = 1;
    char32_t code_point = lead.bits;
    bool whole = lead.length > 0;
    for (; whole && taken < lead.length; ++taken) {
      if (i + taken >= bytes.size() || (byte_at(bytes, i + taken) & 0xC0u) != 0x80u) {
        whole = false;
        break;
      }
      code_point = (code_point << 6) | (byte_at(bytes, i + taken) & 0x3Fu);
    }
    // Overlong forms, surrogates and values beyond U+10FFFF are malformed too.
    if (whole && (code_point < kSmallest[lead.length] || (code_point >= 0xD800 && code_point <= 0xDFFF) ||
                  code_point > 0x10FFFF)) {
      whole = false;
    }
    if (whole) {
      append_code_point(text, code_point);
    } else {
      text.push_back(kReplacement);
    }
    i += taken;
  }
  return text;
}

}  // namespace

std::u16string decode_file_text(std::string_view raw, const Widen8Bit& widen_8bit) {
  if (raw.starts_with(kUtf16LittleMark)) return decode_utf16(raw.substr(kUtf16LittleMark.size()), true);
  if (raw.starts_with(kUtf16BigMark)) return decode_utf16(raw.substr(kUtf16BigMark.size()), false);
  if (raw.starts_with(kUtf8Mark)) return decode_utf8(raw.substr(kUtf8Mark.size()));
  return widen_8bit(raw);
}

}  // namespace varnel
