#pragma once

#include <windows.h>

#include "utility/core/disk_settings_file.h"
#include "utility/core/utility_dialog.h"
#include "utility/win32/dialog_window_view.h"
#include "utility/win32/program_starter.h"
#include "utility/win32/serial_link.h"

namespace utility {

// The utility's main dialog as a Win32 window (template IDD_ZORN_UTILITY_DIALOG). What each
// button, notification and timer does belongs to CZorn_UtilityDlg; this class owns the window,
// the port object and the other parts the behaviour works on, and routes the window's messages
// to the behaviour through two tables: one of messages, one of button clicks.
//
// However the dialog ends (EXIT, Enter, Escape, the close box), CZorn_UtilityDlg::OnDestroy runs
// while the window still exists, so an overflow or a lost line not yet reported is shown over
// it, and the port is released with the watch thread ended; DoModal releases the port once more
// after the window is gone, for an end that came some other way.
class MainDialogWindow {
 public:
  explicit MainDialogWindow(HINSTANCE instance);
  MainDialogWindow(const MainDialogWindow&) = delete;
  MainDialogWindow& operator=(const MainDialogWindow&) = delete;

  // Runs the dialog modally; returns IDOK or IDCANCEL when it ends, -1 when it could not be
  // created.
  INT_PTR DoModal();

 private:
  using MessageHandler = INT_PTR (MainDialogWindow::*)(WPARAM, LPARAM);
  struct MessageEntry {
    UINT message;
    MessageHandler handler;
  };
  using ClickHandler = void (CZorn_UtilityDlg::*)();
  struct ClickEntry {
    int controlId;
    ClickHandler handler;
  };
  static const MessageEntry kMessageMap[];
  static const ClickEntry kClickMap[];

  static INT_PTR CALLBACK DialogProcedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
  INT_PTR Dispatch(UINT message, WPARAM wParam, LPARAM lParam);

  INT_PTR OnInitDialog(WPARAM wParam, LPARAM lParam);
  INT_PTR OnCommand(WPARAM wParam, LPARAM lParam);
  INT_PTR OnSysCommand(WPARAM wParam, LPARAM lParam);
  INT_PTR OnPaint(WPARAM wParam, LPARAM lParam);
  INT_PTR OnQueryDragIcon(WPARAM wParam, LPARAM lParam);
  INT_PTR OnTimer(WPARAM wParam, LPARAM lParam);
  INT_PTR OnReceiveNotification(WPARAM wParam, LPARAM lParam);

  void AddAboutEntry();
  // Enter (IDOK), Escape and the close box (IDCANCEL) end the dialog alike.
  void EndLikeCancel(int result);

  HINSTANCE m_hInstance;
  HICON m_hIcon;
  HWND m_hWnd = nullptr;
  // Before the behaviour: destroyed after it, and its destructor ends the watch thread.
  CSerialLink m_Link;
  DialogWindowView m_View;
  DiskSettingsFile m_Settings;
  Win32ProgramStarter m_Starter;
  CZorn_UtilityDlg m_Dialog;
};

}  // namespace utility
