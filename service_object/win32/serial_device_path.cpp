#include "service_object/win32/serial_device_path.h"

#include "shared/win32/serial_port.h"
#include "shared/win32/utf16.h"

namespace varnel::win32 {

std::wstring serial_device_path(std::u16string_view port_name) {
  return kit::win32::serial_device_path(kit::win32::to_wide(port_name));
}

}  // namespace varnel::win32
