#include "bridge/core/display_text.h"

#include <array>

#include "shared/utf8.h"

namespace bridge {
namespace {

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
  bool malformed = false;
  std::u16string text = kit::utf16_from_utf8(utf8, &malformed);
  if (malformed) return std::nullopt;
  return text;
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
