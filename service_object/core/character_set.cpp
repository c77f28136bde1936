#include "service_object/core/character_set.h"

namespace varnel {

bool CharacterSet::select(std::int32_t number) {
  if (number == kDefault) {
    page_ = nullptr;
    return true;
  }
  const CodePage* page = find_code_page(number);
  if (page == nullptr) return false;
  page_ = page;
  return true;
}

TextBytes CharacterSet::encode(std::u16string_view text,
                               std::span<std::uint8_t, kTransmitBufferSize> out) const {
  // The count and the cut are the default's, so the over-64 rule is the same in every character
  // set; only the bytes differ.
  TextBytes result = text_to_display_bytes(text, out);
  if (page_ == nullptr) return result;
  if (const auto nul = text.find(u'\0'); nul != std::u16string_view::npos) text = text.substr(0, nul);
  result.count = encode_text(*page_, text.substr(0, result.count), out);
  return result;
}

char16_t CharacterSet::decode(std::uint8_t byte) const {
  if (page_ == nullptr) return static_cast<char16_t>(byte);
  for (const CodePageMapping& mapping : page_->mappings)
    if (mapping.byte == byte) return mapping.unit;
  return u'?';
}

std::u16string character_set_list() {
  std::string list = std::to_string(CharacterSet::kDefault);
  for (const CodePage& page : offered_code_pages()) list += "," + std::to_string(page.number);
  return {list.begin(), list.end()};
}

}  // namespace varnel
