#include "service_object/win32/message_box.h"

#include <windows.h>

#include <string>

#include "service_object/win32/module_name.h"
#include "shared/win32/utf16.h"

namespace varnel {

void Win32MessageBox::show(std::u16string_view text) {
  const std::wstring message = kit::win32::to_wide(text);
  if (!surroundings_.someone_can_answer()) {
    // Nobody would ever press OK. Whether the log took the entry or not, the call goes on.
    static_cast<void>(surroundings_.record(win32::kEventSource, message));
    return;
  }
  const std::wstring caption = win32::this_module_stem();
  // MessageBoxW: the button pressed, or 0 when no box could be shown. Either way the caller
  // goes on; there is nowhere else to report to.
  MessageBoxW(nullptr, message.c_str(), caption.c_str(), MB_OK | MB_ICONWARNING | MB_TASKMODAL);
}

}  // namespace varnel
