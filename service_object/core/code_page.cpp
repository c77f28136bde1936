#include "service_object/core/code_page.h"

#include <algorithm>

namespace varnel {
namespace {

#include "service_object/core/code_page_data.inc"

constexpr bool is_high_surrogate(char16_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
constexpr bool is_low_surrogate(char16_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

}  // namespace

std::span<const CodePage> offered_code_pages() { return kCodePages; }

const CodePage* find_code_page(std::int32_t number) {
  const auto found = std::find_if(kCodePages.begin(), kCodePages.end(),
                                  [number](const CodePage& page) { return page.number == number; });
  return found == kCodePages.end() ? nullptr : &*found;
}

std::optional<std::uint8_t> encode_unit(const CodePage& page, char16_t unit) {
  const auto found =
      std::lower_bound(page.mappings.begin(), page.mappings.end(), unit,
                       [](const CodePageMapping& mapping, char16_t key) { return mapping.unit < key; });
  if (found == page.mappings.end() || found->unit != unit) return std::nullopt;
  return found->byte;
}

std::size_t encode_text(const CodePage& page, std::u16string_view text, std::span<std::uint8_t> out) {
  std::size_t written = 0;
  for (std::size_t i = 0; i < text.size() && written < out.size(); ++i) {
    const char16_t unit = text[i];
    // The two halves of one character stand for one cell on the display.
    if (is_high_surrogate(unit) && i + 1 < text.size() && is_low_surrogate(text[i + 1])) ++i;
    out[written++] = encode_unit(page, unit).value_or(kUnmappableByte);
  }
  return written;
}

}  // namespace varnel
