#pragma once
// The name CreateFileW needs for a serial port.

#include <string>
#include <string_view>

namespace varnel::win32 {

// The configured port name ("COM12") as CreateFileW opens it: every COM name with the device
// namespace prefix \\.\, any other name unchanged (kit::win32::serial_device_path). The
// configured name is what is stored and shown in messages.
std::wstring serial_device_path(std::u16string_view port_name);

}  // namespace varnel::win32
