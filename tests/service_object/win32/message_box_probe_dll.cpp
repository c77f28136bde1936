// A small library holding the message box code, so the caption can be checked where it matters:
// inside a DLL, where "the module holding the code" and "the program" differ.

#include "service_object/win32/message_box.h"

extern "C" __declspec(dllexport) void show_message_box_from_dll(const char16_t* text) noexcept {
  try {
    varnel::Win32MessageBox().show(text);
  } catch (...) {
    // Nothing may cross the library boundary; the test sees that no box appeared.
  }
}
