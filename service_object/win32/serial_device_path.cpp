#include "service_object/win32/serial_device_path.h"

#include "service_object/win32/utf16.h"
#include "shared/win32/serial_port.h"

namespace varnel::win32 {

std::wstring serial_device_path(std::u16string_view port_name) {
  return kit::win32::serial_device_path(to_wide(port_name));
}

}  // namespace varnel::win32
