#include "utility/win32/zorn_utility_app.h"

#include <memory>
#include <new>

#include "utility/win32/main_dialog_window.h"

namespace utility {

bool CZorn_UtilityApp::InitInstance() {
  // The dialog object holds the port object with its ring; it lives on the heap, not the stack.
  const std::unique_ptr<MainDialogWindow> dialog(new (std::nothrow) MainDialogWindow(m_hInstance));
  if (dialog) dialog->DoModal();
  return false;
}

}  // namespace utility

int WINAPI WinMain(HINSTANCE instance, HINSTANCE /*previous*/, LPSTR /*commandLine*/, int /*show*/) {
  // No exception may leave the program's entry point.
  try {
    utility::CZorn_UtilityApp app(instance);
    app.InitInstance();
  } catch (...) {
    return 1;
  }
  return 0;
}
