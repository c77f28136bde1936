#include "utility/core/selection_lists.h"

#include <algorithm>
#include <cstddef>

namespace utility {

namespace {
template <typename List, typename Value>
int IndexOf(const List& list, const Value& value) {
  const auto found = std::find(list.begin(), list.end(), value);
  return found == list.end() ? kNoSelection : static_cast<int>(found - list.begin());
}

template <typename List>
typename List::value_type EntryAt(const List& list, int index) {
  if (index < 0 || static_cast<std::size_t>(index) >= list.size()) {
    return {};
  }
  return list[static_cast<std::size_t>(index)];
}
}  // namespace

int BaudRateIndex(std::uint32_t bitsPerSecond) { return IndexOf(kBaudRates, bitsPerSecond); }
int CommandSetIndex(std::string_view name) { return IndexOf(kCommandSets, name); }
int DefaultFontIndex(std::string_view name) { return IndexOf(kDefaultFonts, name); }

std::uint32_t BaudRateAt(int index) { return EntryAt(kBaudRates, index); }
std::string_view CommandSetAt(int index) { return EntryAt(kCommandSets, index); }
std::string_view DefaultFontAt(int index) { return EntryAt(kDefaultFonts, index); }

// Two's complement truncation: -1 becomes 0xFF.
std::uint8_t BaudCode(int index) { return static_cast<std::uint8_t>(index); }
std::uint8_t CommandSetCode(int index) { return static_cast<std::uint8_t>(index & 0x0F); }
std::uint8_t DefaultFontCode(int index) { return static_cast<std::uint8_t>(index & 0x1F); }

}  // namespace utility
