#pragma once

#include <windows.h>

namespace utility {

// The application object of Zorn_Utility.exe: runs the main dialog modally as the program's
// main window; the program ends when the dialog does.
class CZorn_UtilityApp {
 public:
  explicit CZorn_UtilityApp(HINSTANCE instance) : m_hInstance(instance) {}

  // Runs the dialog to its end. Answers false: no message loop follows, the program is to end.
  // The dialog holds only the system's standard controls, so no control container or common
  // control library needs setting up first.
  bool InitInstance();

 private:
  HINSTANCE m_hInstance;
};

}  // namespace utility
