// Any UTF-16 text in every character set the service object offers: at most 64 bytes, one per
// character (a surrogate pair counting once), never a byte the display takes as a command once a
// code page is selected, and in the default each code unit's low byte.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

#include "service_object/core/character_set.h"

namespace {

void require(bool condition) {
  if (!condition) __builtin_trap();
}

bool is_high_surrogate(char16_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool is_low_surrogate(char16_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

void check_code_page(const varnel::CodePage& page, std::u16string_view text) {
  varnel::CharacterSet set;
  require(set.select(page.number));
  std::array<std::uint8_t, varnel::kTransmitBufferSize> out{};
  const varnel::TextBytes bytes = set.encode(text, out);

  const std::u16string_view sent = text.substr(0, std::min(text.find(u'\0'), varnel::kTransmitBufferSize));
  require(bytes.truncated == (text.substr(0, text.find(u'\0')).size() > varnel::kTransmitBufferSize));
  std::size_t written = 0;
  for (std::size_t i = 0; i < sent.size(); ++i, ++written) {
    require(written < bytes.count);
    const std::uint8_t byte = out[written];
    require(byte >= 0x20 && byte != 0x7F);
    if (is_high_surrogate(sent[i]) && i + 1 < sent.size() && is_low_surrogate(sent[i + 1])) {
      require(byte == varnel::kUnmappableByte);
      ++i;
    } else if (byte != varnel::kUnmappableByte) {
      require(varnel::encode_unit(page, sent[i]) == byte);
    }
  }
  require(written == bytes.count);
}

void check_default(std::u16string_view text) {
  varnel::CharacterSet set;
  std::array<std::uint8_t, varnel::kTransmitBufferSize> out{};
  const varnel::TextBytes bytes = set.encode(text, out);
  const std::u16string_view sent = text.substr(0, std::min(text.find(u'\0'), varnel::kTransmitBufferSize));
  require(bytes.count == sent.size());
  for (std::size_t i = 0; i < sent.size(); ++i) require(out[i] == (sent[i] & 0xFF));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::u16string text;
  for (std::size_t i = 0; i + 1 < size; i += 2)
    text.push_back(static_cast<char16_t>(data[i] | (data[i + 1] << 8)));
  check_default(text);
  for (const varnel::CodePage& page : varnel::offered_code_pages()) check_code_page(page, text);
  return 0;
}
