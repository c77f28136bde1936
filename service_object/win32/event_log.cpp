#include "service_object/win32/event_log.h"

#include <windows.h>

#include <string>

namespace varnel::win32 {

bool record_in_event_log(std::wstring_view source, std::wstring_view text) {
  const std::wstring source_name(source);
  const std::wstring message(text);
  // RegisterEventSourceW: a handle, or null on failure; DeregisterEventSource closes it.
  HANDLE log = RegisterEventSourceW(nullptr, source_name.c_str());
  if (log == nullptr) return false;
  constexpr DWORD kEventId = 1;
  const wchar_t* strings[] = {message.c_str()};
  // ReportEventW: nonzero when the entry was written.
  const BOOL written = ReportEventW(log, EVENTLOG_WARNING_TYPE, 0, kEventId, nullptr, 1, 0, strings, nullptr);
  DeregisterEventSource(log);
  return written != FALSE;
}

}  // namespace varnel::win32
