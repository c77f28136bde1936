#include "tester/win32/form_window.h"

#include <new>

#include "tester/core/form_controls.h"
#include "tester/win32/form_font.h"

namespace zorntest::win32 {
namespace {

constexpr const wchar_t* kClassName = L"KelvoDravonOposTesterForm1";
constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
constexpr DWORD kExStyle = WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT;
// Room for the open list of a combo box below its selection field, in items.
constexpr int kDroppedItems = 8;

int ScreenDpi() {
  HDC dc = GetDC(nullptr);
  if (dc == nullptr) return 96;
  const int dpi = GetDeviceCaps(dc, LOGPIXELSY);
  ReleaseDC(nullptr, dc);
  return dpi > 0 ? dpi : 96;
}

struct WindowKind {
  const wchar_t* className;
  DWORD style;
  DWORD exStyle;
};

WindowKind KindOf(ControlKind kind) {
  switch (kind) {
    // A caption a little wider than its label ("Blink Rate :" at 96 DPI) is cut at the edge,
    // not wrapped onto a line the label has no room for.
    case ControlKind::Label: return {L"STATIC", SS_LEFTNOWORDWRAP | SS_NOPREFIX, 0};
    case ControlKind::Button: return {L"BUTTON", BS_PUSHBUTTON | WS_TABSTOP, 0};
    case ControlKind::TextBox: return {L"EDIT", ES_AUTOHSCROLL | WS_TABSTOP, WS_EX_CLIENTEDGE};
    case ControlKind::DropDownList: return {L"COMBOBOX", CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP, 0};
    case ControlKind::DropDownCombo:
      return {L"COMBOBOX", CBS_DROPDOWN | CBS_AUTOHSCROLL | WS_VSCROLL | WS_TABSTOP, 0};
    case ControlKind::Rule: return {L"STATIC", SS_ETCHEDHORZ, 0};
    case ControlKind::ControlObject: break;
  }
  return {nullptr, 0, 0};
}

bool IsCombo(ControlKind kind) {
  return kind == ControlKind::DropDownList || kind == ControlKind::DropDownCombo;
}

}  // namespace

FormWindow::FormWindow(HINSTANCE instance, std::wstring title) : title_(std::move(title)), dpi_(ScreenDpi()) {
  WNDCLASSEXW form_class{};
  form_class.cbSize = sizeof form_class;
  form_class.lpfnWndProc = WindowProcedure;
  form_class.hInstance = instance;
  form_class.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  form_class.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
  form_class.lpszClassName = kClassName;
  RegisterClassExW(&form_class);  // fails harmlessly when already registered

  owner_.reset(CreateWindowExW(0, L"STATIC", title_.c_str(), WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, instance,
                               nullptr));
  RECT frame{0, 0, Pixels(kClientWidthTwips), Pixels(kClientHeightTwips)};
  AdjustWindowRectEx(&frame, kStyle, FALSE, kExStyle);
  const std::wstring caption = kit::win32::to_wide(kFormCaption);
  // WM_NCCREATE hands `this` to the window procedure, which keeps it with the window.
  CreateWindowExW(kExStyle, kClassName, caption.c_str(), kStyle, CW_USEDEFAULT, CW_USEDEFAULT,
                  frame.right - frame.left, frame.bottom - frame.top, owner_.get(), nullptr, instance, this);
  if (!window_) return;
  font_ = CreateFormFont(dpi_);
  CreateControls(instance);
}

FormWindow::~FormWindow() {
  // The form may already be gone; the window's last messages must not reach it.
  form_ = nullptr;
  window_.reset();
}

void FormWindow::CreateControls(HINSTANCE instance) {
  for (const FormControl& control : FormControls()) {
    const WindowKind kind = KindOf(control.kind);
    if (kind.className == nullptr) continue;  // the Control Object has no window
    DWORD style = WS_CHILD | kind.style;
    if (control.visible) style |= WS_VISIBLE;
    if (!control.enabled) style |= WS_DISABLED;
    int height = Pixels(control.twips.height);
    if (IsCombo(control.kind)) height += kDroppedItems * height;  // a combo's height includes its open list
    const std::wstring text =
        control.kind == ControlKind::DropDownCombo ? L"" : kit::win32::to_wide(control.text);
    // A child window takes its identifier where a top-level window takes its menu.
    auto* id =
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(control.id));  // NOLINT(performance-no-int-to-ptr)
    HWND child = CreateWindowExW(kind.exStyle, kind.className, text.c_str(), style,
                                 Pixels(control.twips.left), Pixels(control.twips.top),
                                 Pixels(control.twips.width), height, window_.get(), id, instance, nullptr);
    if (child == nullptr) continue;
    SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), FALSE);
    if (control.id == control_id::kCombo2) {
      for (const std::u16string_view item : DirectionItems()) AddItem(control.id, item);
    } else if (control.id == control_id::kCombo3) {
      for (const std::u16string_view item : AttributeItems()) AddItem(control.id, item);
    }
    // The combo's starting text is shown in its edit field with no item selected.
    if (control.kind == ControlKind::DropDownCombo)
      SetWindowTextW(child, kit::win32::to_wide(control.text).c_str());
  }
}

void FormWindow::Show() {
  if (!window_) return;
  RECT work{};
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  RECT frame{};
  GetWindowRect(window_.get(), &frame);
  const int width = frame.right - frame.left;
  const int height = frame.bottom - frame.top;
  SetWindowPos(window_.get(), nullptr, work.left + (work.right - work.left - width) / 2,
               work.top + (work.bottom - work.top - height) / 2, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  ShowWindow(window_.get(), SW_SHOWNORMAL);
  UpdateWindow(window_.get());
  SetFocus(Control(control_id::kCombo1));
}

std::u16string FormWindow::Text(int controlId) const {
  HWND control = Control(controlId);
  if (control == nullptr) return {};
  std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(control)) + 1, L'\0');
  const int length = GetWindowTextW(control, text.data(), static_cast<int>(text.size()));
  text.resize(static_cast<std::size_t>(length > 0 ? length : 0));
  return kit::win32::to_u16(text);
}

void FormWindow::SetText(int controlId, std::u16string_view text) {
  if (HWND control = Control(controlId)) SetWindowTextW(control, kit::win32::to_wide(text).c_str());
}

void FormWindow::AddItem(int comboId, std::u16string_view item) {
  if (HWND combo = Control(comboId))
    SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(kit::win32::to_wide(item).c_str()));
}

int FormWindow::ListIndex(int comboId) const {
  HWND combo = Control(comboId);
  // CB_GETCURSEL answers CB_ERR (-1) when no item is selected.
  return combo == nullptr ? -1 : static_cast<int>(SendMessageW(combo, CB_GETCURSEL, 0, 0));
}

void FormWindow::SetListIndex(int comboId, int index) {
  if (HWND combo = Control(comboId)) SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

bool FormWindow::SetEnabled(int controlId, bool enabled) {
  HWND control = Control(controlId);
  if (control == nullptr) return false;
  EnableWindow(control, enabled ? TRUE : FALSE);
  return true;
}

void FormWindow::SetMousePointer(MousePointer pointer) {
  busy_ = pointer == MousePointer::Hourglass;
  SetCursor(LoadCursorW(nullptr, busy_ ? IDC_WAIT : IDC_ARROW));
}

void FormWindow::ShowMessage(std::u16string_view text, MessageIcon icon) {
  const UINT type = MB_OK | (icon == MessageIcon::Exclamation ? MB_ICONEXCLAMATION : 0);
  HWND owner = window_ && IsWindowVisible(window_.get()) ? window_.get() : nullptr;
  MessageBoxW(owner, kit::win32::to_wide(text).c_str(), title_.c_str(), type);
}

void FormWindow::EndProgram() {
  // WM_DESTROY ends the message loop; a form never shown has no loop to end.
  window_.reset();
}

LRESULT CALLBACK FormWindow::WindowProcedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  // The window's messages carry pointers as integers: the creation record, and `this` kept with
  // the window.
  if (message == WM_NCCREATE) {
    const auto* create = reinterpret_cast<CREATESTRUCTW*>(lparam);  // NOLINT(performance-no-int-to-ptr)
    auto* self = static_cast<FormWindow*>(create->lpCreateParams);
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    self->window_.reset(window);
  }
  const LONG_PTR kept = GetWindowLongPtrW(window, GWLP_USERDATA);
  auto* self = reinterpret_cast<FormWindow*>(kept);  // NOLINT(performance-no-int-to-ptr)
  if (self == nullptr) return DefWindowProcW(window, message, wparam, lparam);
  if (message == WM_NCDESTROY) {
    // The window is gone: nothing is left to destroy.
    SetWindowLongPtrW(window, GWLP_USERDATA, 0);
    self->window_.release();
    return DefWindowProcW(window, message, wparam, lparam);
  }
  // No exception may leave a window procedure.
  try {
    return self->Handle(window, message, wparam, lparam);
  } catch (const std::bad_alloc&) {
    return DefWindowProcW(window, message, wparam, lparam);
  }
}

LRESULT FormWindow::Handle(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_COMMAND:
      // While a call runs, the form takes no other input (a message box shown by the device's
      // software lets messages through; docs/developer.md: "While a call runs").
      if (HIWORD(wparam) == BN_CLICKED && form_ != nullptr && !busy_) {
        const FormControl* control = FindControl(LOWORD(wparam));
        if (control != nullptr && control->kind == ControlKind::Button) form_->OnClick(control->id);
      }
      return 0;
    case WM_CLOSE:
      if (busy_) return 0;
      if (form_ != nullptr) {
        form_->Form_Unload();
      } else {
        EndProgram();
      }
      return 0;
    case WM_DESTROY: PostQuitMessage(0); return 0;
    case WM_SETCURSOR:
      if (busy_) {
        SetCursor(LoadCursorW(nullptr, IDC_WAIT));
        return TRUE;
      }
      break;
    case WM_CTLCOLOREDIT: {
      // The status box has the button-face background. The message carries the box's window and
      // its drawing context as integers.
      HWND box = reinterpret_cast<HWND>(lparam);    // NOLINT(performance-no-int-to-ptr)
      HDC context = reinterpret_cast<HDC>(wparam);  // NOLINT(performance-no-int-to-ptr)
      if (GetDlgCtrlID(box) == control_id::kText5) {
        SetBkColor(context, GetSysColor(COLOR_BTNFACE));
        return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
      }
      break;
    }
    default: break;
  }
  return DefWindowProcW(window, message, wparam, lparam);
}

}  // namespace zorntest::win32
