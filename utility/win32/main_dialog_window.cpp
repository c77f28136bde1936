#include "utility/win32/main_dialog_window.h"

#include <array>

#include "utility/win32/about_dialog.h"
#include "utility/win32/minimized_icon.h"
#include "utility/win32/resource.h"

namespace utility {

static_assert((IDM_ABOUTBOX & 0x000F) == 0, "system-menu commands keep their four low bits clear");
static_assert(IDM_ABOUTBOX < 0xF000, "the system's own commands start at 0xF000");

const MainDialogWindow::MessageEntry MainDialogWindow::kMessageMap[] = {
    {WM_INITDIALOG, &MainDialogWindow::OnInitDialog},
    {WM_COMMAND, &MainDialogWindow::OnCommand},
    {WM_SYSCOMMAND, &MainDialogWindow::OnSysCommand},
    {WM_PAINT, &MainDialogWindow::OnPaint},
    {WM_QUERYDRAGICON, &MainDialogWindow::OnQueryDragIcon},
    {WM_TIMER, &MainDialogWindow::OnTimer},
    {CSerialLink::kReceiveMessage, &MainDialogWindow::OnReceiveNotification},
};

const MainDialogWindow::ClickEntry MainDialogWindow::kClickMap[] = {
    {control_id::kPortOpen, &CZorn_UtilityDlg::OnPortOpen},
    {control_id::kClose, &CZorn_UtilityDlg::OnClose},
    {control_id::kExit, &CZorn_UtilityDlg::OnExit},
    {control_id::kChange, &CZorn_UtilityDlg::OnChange},
    {control_id::kInputString, &CZorn_UtilityDlg::OnInputString},
    {control_id::kSetCommandSet, &CZorn_UtilityDlg::OnSetCommandSet},
    {control_id::kSetDefaultFont, &CZorn_UtilityDlg::OnSetDefaultFont},
    {control_id::kFontSet, &CZorn_UtilityDlg::OnFontSet},
    {control_id::kInformation, &CZorn_UtilityDlg::OnInformation},
    {control_id::kProgramDownLoad, &CZorn_UtilityDlg::OnProgramDownLoad},
};

MainDialogWindow::MainDialogWindow(HINSTANCE instance)
    : m_hInstance(instance),
      // LoadIconA: a shared icon at the system's icon size, never destroyed; null when missing.
      m_hIcon(LoadIconA(instance, MAKEINTRESOURCEA(IDR_MAINFRAME))),
      m_Dialog(m_View, m_Link, m_Settings, m_Starter) {}

INT_PTR MainDialogWindow::DoModal() {
  const INT_PTR result = DialogBoxParamA(m_hInstance, MAKEINTRESOURCEA(IDD_ZORN_UTILITY_DIALOG), nullptr,
                                         &MainDialogWindow::DialogProcedure, reinterpret_cast<LPARAM>(this));
  m_Link.CloseLink();
  return result;
}

INT_PTR CALLBACK MainDialogWindow::DialogProcedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    SetWindowLongPtrA(dialog, DWLP_USER, lParam);
    // NOLINTNEXTLINE(performance-no-int-to-ptr): DoModal passed the window object as lParam.
    reinterpret_cast<MainDialogWindow*>(lParam)->m_hWnd = dialog;
  }
  // NOLINTNEXTLINE(performance-no-int-to-ptr): stored at WM_INITDIALOG; null before it.
  auto* window = reinterpret_cast<MainDialogWindow*>(GetWindowLongPtrA(dialog, DWLP_USER));
  if (window == nullptr) return FALSE;
  // No exception may leave a window procedure; the message then gets the default handling.
  try {
    return window->Dispatch(message, wParam, lParam);
  } catch (...) {
    return FALSE;
  }
}

INT_PTR MainDialogWindow::Dispatch(UINT message, WPARAM wParam, LPARAM lParam) {
  for (const MessageEntry& entry : kMessageMap) {
    if (entry.message == message) return (this->*entry.handler)(wParam, lParam);
  }
  return FALSE;
}

INT_PTR MainDialogWindow::OnInitDialog(WPARAM /*wParam*/, LPARAM /*lParam*/) {
  m_View.Attach(m_hWnd);
  m_Link.SetNotifyWindow(m_hWnd);
  m_Dialog.OnInitDialog();
  AddAboutEntry();
  SendMessageA(m_hWnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIcon));
  SendMessageA(m_hWnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_hIcon));
  return TRUE;  // the dialog manager sets the focus
}

void MainDialogWindow::AddAboutEntry() {
  // GetSystemMenu: null for a window without a system menu.
  const HMENU menu = GetSystemMenu(m_hWnd, FALSE);
  if (menu == nullptr) return;
  std::array<char, 128> text{};
  // LoadStringA: the length of the string, 0 when the table has none.
  if (LoadStringA(m_hInstance, IDS_ABOUTBOX, text.data(), static_cast<int>(text.size())) <= 0) return;
  AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
  AppendMenuA(menu, MF_STRING, IDM_ABOUTBOX, text.data());
}

INT_PTR MainDialogWindow::OnCommand(WPARAM wParam, LPARAM /*lParam*/) {
  if (HIWORD(wParam) != BN_CLICKED) return FALSE;
  const int id = LOWORD(wParam);
  if (id == IDOK || id == IDCANCEL) {
    EndLikeCancel(id);
    return TRUE;
  }
  for (const ClickEntry& entry : kClickMap) {
    if (entry.controlId == id) {
      (m_Dialog.*entry.handler)();
      return TRUE;
    }
  }
  return FALSE;
}

void MainDialogWindow::EndLikeCancel(int result) {
  m_Dialog.OnDestroy();
  EndDialog(m_hWnd, result);
}

INT_PTR MainDialogWindow::OnSysCommand(WPARAM wParam, LPARAM /*lParam*/) {
  if ((wParam & 0xFFF0) != IDM_ABOUTBOX) return FALSE;  // the system's own commands
  CAboutDlg(m_hInstance).DoModal(m_hWnd);
  return TRUE;
}

INT_PTR MainDialogWindow::OnPaint(WPARAM /*wParam*/, LPARAM /*lParam*/) {
  if (!IsIconic(m_hWnd)) return FALSE;  // the dialog paints itself
  PAINTSTRUCT paint{};
  const HDC dc = BeginPaint(m_hWnd, &paint);
  SendMessageA(m_hWnd, WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
  RECT client{};
  GetClientRect(m_hWnd, &client);
  const IconOrigin origin = CentredIconOrigin(client.right - client.left, client.bottom - client.top,
                                              GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON));
  DrawIcon(dc, origin.x, origin.y, m_hIcon);
  EndPaint(m_hWnd, &paint);
  return TRUE;
}

INT_PTR MainDialogWindow::OnQueryDragIcon(WPARAM /*wParam*/, LPARAM /*lParam*/) {
  // One of the messages whose answer a dialog procedure returns directly.
  return reinterpret_cast<INT_PTR>(m_hIcon);
}

INT_PTR MainDialogWindow::OnTimer(WPARAM wParam, LPARAM /*lParam*/) {
  return m_Dialog.OnTimer(static_cast<unsigned>(wParam)) ? TRUE : FALSE;
}

INT_PTR MainDialogWindow::OnReceiveNotification(WPARAM /*wParam*/, LPARAM /*lParam*/) {
  // The parameters (port number, position in the last read) are not needed: the ring tells.
  m_Dialog.OnReceiveNotification();
  return TRUE;
}

}  // namespace utility
