#include "service_object/win32/serial_device_path.h"

#include <algorithm>

#include "shared/win32/utf16.h"

namespace varnel::win32 {
namespace {

constexpr std::wstring_view kDeviceNamespacePrefix = L"\\\\.\\";

bool is_com_port_name(std::u16string_view name) {
  if (name.size() <= 3) return false;
  const auto upper = [](char16_t c) { return (c >= u'a' && c <= u'z') ? char16_t(c - u'a' + u'A') : c; };
  if (upper(name[0]) != u'C' || upper(name[1]) != u'O' || upper(name[2]) != u'M') return false;
  return std::all_of(name.begin() + 3, name.end(), [](char16_t c) { return c >= u'0' && c <= u'9'; });
}

}  // namespace

std::wstring serial_device_path(std::u16string_view port_name) {
  if (!is_com_port_name(port_name)) return kit::win32::to_wide(port_name);
  return std::wstring(kDeviceNamespacePrefix) + kit::win32::to_wide(port_name);
}

}  // namespace varnel::win32
