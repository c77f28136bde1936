#pragma once
// Shared by the deliverables' Windows layers: header only, nothing to link.
// What both serial layers know about Windows serial ports: the name CreateFile needs for a
// port, the errors with which a driver says that the port's device has gone, and how long a
// write may take.

#include <windows.h>

#include <algorithm>
#include <cstddef>
#include <string>
#include <string_view>

#include "shared/serial_write_limit.h"

namespace kit::win32 {

namespace detail {

template <typename Char>
constexpr bool is_com_port_name(std::basic_string_view<Char> name) {
  if (name.size() <= 3) return false;
  const auto upper = [](Char c) {
    return (c >= Char('a') && c <= Char('z')) ? Char(c - Char('a') + Char('A')) : c;
  };
  if (upper(name[0]) != Char('C') || upper(name[1]) != Char('O') || upper(name[2]) != Char('M')) return false;
  return std::all_of(name.begin() + 3, name.end(), [](Char c) { return c >= Char('0') && c <= Char('9'); });
}

template <typename Char>
std::basic_string<Char> serial_device_path(std::basic_string_view<Char> name) {
  if (!is_com_port_name(name)) return std::basic_string<Char>(name);
  const Char prefix[] = {Char('\\'), Char('\\'), Char('.'), Char('\\')};
  std::basic_string<Char> path(prefix, std::size(prefix));
  path.append(name);
  return path;
}

}  // namespace detail

// Whether `name` is "COM" (any case) followed by decimal digits only.
constexpr bool is_com_port_name(std::string_view name) { return detail::is_com_port_name(name); }
constexpr bool is_com_port_name(std::wstring_view name) { return detail::is_com_port_name(name); }

// The path CreateFile opens for a port name. Windows knows only COM1 to COM9 as plain DOS device
// names: "COM10" on its own is a file name relative to the current folder. Through the device
// namespace prefix \\.\ every port number opens, COM1 to COM9 included, so every COM name gets
// the prefix; any other name (a device path, a name that has the prefix) is passed on unchanged.
// The prefix is only for CreateFile: the configured name is what is stored and shown.
inline std::string serial_device_path(std::string_view name) { return detail::serial_device_path(name); }
inline std::wstring serial_device_path(std::wstring_view name) { return detail::serial_device_path(name); }

// Whether a failed request's error means that the port's device has gone (a USB adapter pulled
// out, a line that hung up), so that the port is to be closed and opened again, rather than a
// failure of one request on a port that still works. A layer that cancels its own request
// decides about that request before asking: the cancel also ends it with
// ERROR_OPERATION_ABORTED.
constexpr bool is_port_gone_error(DWORD error) {
  switch (error) {
    case ERROR_ACCESS_DENIED:         // USB serial drivers: every request after a surprise removal
    case ERROR_BAD_COMMAND:           // USB serial drivers (usbser.sys and others): adapter removed
    case ERROR_GEN_FAILURE:           // USB serial drivers: the device stopped answering
    case ERROR_DEVICE_NOT_CONNECTED:  // USB serial drivers: adapter unplugged
    case ERROR_DEVICE_REMOVED:        // Plug and Play drivers: the device was removed
    case ERROR_INVALID_HANDLE:        // virtual port drivers: the handle outlived its device
    case ERROR_FILE_NOT_FOUND:        // virtual (Bluetooth, network) ports: the port name is gone
    case ERROR_DEV_NOT_EXIST:         // network and redirected ports: the remote device is gone
    case ERROR_OPERATION_ABORTED:     // USB serial drivers: requests aborted as the device went
    case ERROR_IO_DEVICE:             // USB-to-serial chip drivers: the adapter went away mid-request
    case ERROR_NOT_READY:             // a line that hung up; Wine, once the far end of its pty closed
    case ERROR_BROKEN_PIPE:           // Wine: the far end of its pseudo-terminal closed
      return true;
    default: return false;
  }
}

// The time limit of one write of `byte_count` bytes in milliseconds (kit::serial_write_limit),
// never INFINITE however large the count.
inline DWORD write_limit_ms(std::size_t byte_count) {
  constexpr std::size_t kLongest = (INFINITE - 1 - kWriteLimitBaseMs) / kWriteLimitPerByteMs;
  const auto limit =
      static_cast<unsigned long long>(kit::serial_write_limit(std::min(byte_count, kLongest)).count());
  return static_cast<DWORD>(std::min<unsigned long long>(limit, INFINITE - 1));
}

}  // namespace kit::win32
