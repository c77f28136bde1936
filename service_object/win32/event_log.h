#pragma once
// The Windows event log, where administrators look for the problems of programs nobody watches.

#include <string_view>

namespace varnel::win32 {

// The event source the service object's entries carry.
inline constexpr std::wstring_view kEventSource = L"VARNEL";

// Records `text` as a warning (event 1) in the Application log under `source`. The source is
// not registered with a message file, so the Event Viewer shows the text after its note that no
// description was found; the text itself is the entry's only string. Answers whether the log
// took the entry.
bool record_in_event_log(std::wstring_view source, std::wstring_view text);

}  // namespace varnel::win32
