#pragma once
// The name CreateFileW needs for a serial port.

#include <string>
#include <string_view>

namespace varnel::win32 {

// Windows knows only COM1 to COM9 as plain DOS device names; "COM10" on its own is taken as a
// file name relative to the current folder and the open fails. Through the device namespace
// prefix \\.\ every port number opens, COM1 to COM9 included, so any "COM" followed by decimal
// digits (any case) gets the prefix. Other names are passed on unchanged.
//
// The prefix exists only for CreateFileW: the port name the user configured ("COM12") is what
// is stored and shown in messages.
std::wstring serial_device_path(std::u16string_view port_name);

}  // namespace varnel::win32
