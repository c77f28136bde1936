#include "bridge/core/display_text.h"

#include <array>

namespace bridge {
namespace {

// The code point at `utf8[i]`, advancing `i`; nothing for a malformed or overlong sequence.
std::optional<char32_t> next_code_point(std::string_view utf8, std::size_t& i) {
  const auto lead = static_cast<unsigned char>(utf8[i++]);
  if (lead < 0x80) return lead;
  int extra = 0;
  char32_t value = 0;
  char32_t minimum = 0;
  if ((lead & 0xE0) == 0xC0) {
    extra = 1, value = lead & 0x1F, minimum = 0x80;
  } else if ((lead & 0xF0) == 0xE0) {
    extra = 2, value = lead & 0x0F, minimum = 0x800;
  } else if ((lead & 0xF8) == 0xF0) {
    extra = 3, value = lead & 0x07, minimum = 0x10000;
  } else {
    return std::nullopt;
  }
  for (int k = 0; k < extra; ++k) {
    if (i >= utf8.size()) return std::nullopt;
    const auto next = static_cast<unsigned char>(utf8[i++]);
    if ((next & 0xC0) != 0x80) return std::nullopt;
    value = (value << 6) | (next & 0x3F);
  }
  if (value < minimum || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return std::nullopt;
  return value;
}

void append_utf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

}  // namespace

std::optional<std::u16string> utf8_to_utf16(std::string_view utf8) {
  std::u16string out;
  for (std::size_t i = 0; i < utf8.size();) {
    const auto c = next_code_point(utf8, i);
    if (!c) return std::nullopt;
    if (*c < 0x10000) {
      out += static_cast<char16_t>(*c);
    } else {
      out += static_cast<char16_t>(0xD800 + ((*c - 0x10000) >> 10));
      out += static_cast<char16_t>(0xDC00 + ((*c - 0x10000) & 0x3FF));
    }
  }
  return out;
}

std::optional<std::vector<std::uint8_t>> to_display_bytes(const varnel::CodePage& page,
                                                          std::string_view utf8) {
  const auto text = utf8_to_utf16(utf8);
  if (!text) return std::nullopt;
  std::vector<std::uint8_t> bytes(text->size());
  bytes.resize(varnel::encode_text(page, *text, bytes));
  return bytes;
}

std::string to_utf8(const varnel::CodePage& page, const std::vector<std::uint8_t>& bytes) {
  std::array<char16_t, 256> shown{};
  shown.fill(u'?');
  for (const varnel::CodePageMapping& mapping : page.mappings) shown[mapping.byte] = mapping.unit;
  std::string out;
  for (const std::uint8_t byte : bytes) append_utf8(out, shown[byte]);
  return out;
}

}  // namespace bridge
