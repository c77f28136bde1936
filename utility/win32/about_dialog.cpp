#include "utility/win32/about_dialog.h"

#include "utility/win32/resource.h"

namespace utility {

INT_PTR CAboutDlg::DoModal(HWND owner) const {
  return DialogBoxParamA(m_hInstance, MAKEINTRESOURCEA(IDD_ABOUTBOX), owner, &CAboutDlg::DialogProcedure, 0);
}

INT_PTR CALLBACK CAboutDlg::DialogProcedure(HWND dialog, UINT message, WPARAM wParam, LPARAM /*lParam*/) {
  switch (message) {
    case WM_INITDIALOG: return TRUE;  // the dialog manager sets the focus
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
        EndDialog(dialog, LOWORD(wParam));
        return TRUE;
      }
      return FALSE;
    default: return FALSE;
  }
}

}  // namespace utility
