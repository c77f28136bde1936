#include "bridge/core/http_message.h"

#include <algorithm>

namespace bridge {
namespace {

const std::string* find_header(const HeaderList& headers, std::string_view name) {
  const auto found = std::find_if(headers.begin(), headers.end(), [name](const auto& header) {
    return equal_ignoring_case(header.first, name);
  });
  return found == headers.end() ? nullptr : &found->second;
}

char lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

}  // namespace

bool equal_ignoring_case(std::string_view a, std::string_view b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return lower(x) == lower(y); });
}

const std::string* HttpRequest::header(std::string_view name) const { return find_header(headers, name); }

const std::string* HttpResponse::header(std::string_view name) const { return find_header(headers, name); }

}  // namespace bridge
