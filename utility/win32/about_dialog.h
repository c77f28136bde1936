#pragma once

#include <windows.h>

namespace utility {

// The About box (template IDD_ABOUTBOX): the utility's icon, name and version, and OK.
class CAboutDlg {
 public:
  explicit CAboutDlg(HINSTANCE instance) : m_hInstance(instance) {}

  // Shows the box over `owner` and returns when it is closed.
  INT_PTR DoModal(HWND owner) const;

 private:
  static INT_PTR CALLBACK DialogProcedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

  HINSTANCE m_hInstance;
};

}  // namespace utility
