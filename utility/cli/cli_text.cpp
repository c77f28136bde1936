#include "utility/cli/cli_text.h"

#include <cstddef>
#include <span>
#include <vector>

#include "service_object/core/code_page.h"
#include "shared/utf8.h"

namespace utility {

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
  const std::u16string text = kit::utf16_from_utf8(utf8);
  std::vector<std::uint8_t> bytes(text.size());
  bytes.resize(varnel::encode_text(*page, text, bytes));
  return std::string(bytes.begin(), bytes.end());
}

}  // namespace utility
