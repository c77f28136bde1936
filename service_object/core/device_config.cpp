#include "service_object/core/device_config.h"

#include <limits>

namespace varnel {

std::u16string device_name_from_file(std::string_view raw, const Widen8Bit& widen_8bit) {
  std::u16string text = decode_file_text(raw, widen_8bit);
  if (const auto nul = text.find(u'\0'); nul != std::u16string::npos) text.resize(nul);

  std::u16string_view rest(text);
  while (!rest.empty()) {
    const auto end = rest.find_first_of(u"\r\n");
    const std::u16string_view line = rest.substr(0, end);
    if (!line.empty()) return std::u16string(line);
    if (end == std::u16string_view::npos) break;
    rest.remove_prefix(end + 1);
  }
  return {};
}

std::int32_t parse_leading_int(std::u16string_view text) {
  std::size_t i = 0;
  const auto is_space = [](char16_t c) { return c == u' ' || (c >= u'\t' && c <= u'\r'); };
  while (i < text.size() && is_space(text[i])) ++i;

  bool negative = false;
  if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) {
    negative = text[i] == u'-';
    ++i;
  }

  constexpr std::int64_t kLimit = std::numeric_limits<std::int32_t>::max();
  std::int64_t value = 0;
  for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i) {
    value = value * 10 + (text[i] - u'0');
    if (value > kLimit + 1) value = kLimit + 1;  // saturate; keeps the arithmetic in range
  }
  if (negative) return static_cast<std::int32_t>(-value);
  return static_cast<std::int32_t>(value > kLimit ? kLimit : value);
}

std::optional<std::int32_t> parse_port_number(std::u16string_view text) {
  const auto blank = [](char16_t c) { return c == u' ' || c == u'\t'; };
  while (!text.empty() && blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && blank(text.back())) text.remove_suffix(1);
  if (text.empty()) return std::nullopt;
  std::int32_t number = 0;
  for (const char16_t c : text) {
    if (c < u'0' || c > u'9') return std::nullopt;
    number = number * 10 + (c - u'0');
    if (number > kMaxPortNumber) return std::nullopt;  // also keeps the arithmetic in range
  }
  if (number < 1) return std::nullopt;
  return number;
}

std::u16string port_name_for(std::int32_t port_number) {
  std::u16string digits;
  for (std::uint32_t rest = static_cast<std::uint32_t>(port_number); rest > 0 || digits.empty(); rest /= 10) {
    digits.insert(digits.begin(), static_cast<char16_t>(u'0' + rest % 10));
  }
  return u"COM" + digits;
}

}  // namespace varnel
