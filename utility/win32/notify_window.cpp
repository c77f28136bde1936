#include "utility/win32/notify_window.h"

namespace utility {

namespace {

constexpr const wchar_t* kClassName = L"ZornUtilityNotificationWaiter";

// Registers the window class once per process. RegisterClassExW: 0 on failure; a class that is
// already registered is fine.
bool RegisterWaiterClass(WNDPROC procedure) {
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.lpfnWndProc = procedure;
  windowClass.hInstance = GetModuleHandleW(nullptr);
  windowClass.lpszClassName = kClassName;
  return RegisterClassExW(&windowClass) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

}  // namespace

Win32NotificationWaiter::Win32NotificationWaiter() {
  if (!RegisterWaiterClass(&Win32NotificationWaiter::WindowProcedure)) return;
  // CreateWindowExW: null on failure. HWND_MESSAGE: never shown, receives posted messages only.
  window_ = CreateWindowExW(0, kClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                            GetModuleHandleW(nullptr), nullptr);
  if (window_ != nullptr) SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

Win32NotificationWaiter::~Win32NotificationWaiter() {
  if (window_ != nullptr) DestroyWindow(window_);
}

LRESULT CALLBACK Win32NotificationWaiter::WindowProcedure(HWND window, UINT message, WPARAM wParam,
                                                          LPARAM lParam) {
  if (message == kReceiveMessage) {
    // The waiter stored itself in the window's user data right after creating it.
    auto* waiter = reinterpret_cast<Win32NotificationWaiter*>(  // NOLINT(performance-no-int-to-ptr)
        GetWindowLongPtrW(window, GWLP_USERDATA));
    if (waiter != nullptr) {
      ++waiter->waiting_;
      waiter->lastWParam_ = wParam;
      waiter->lastLParam_ = lParam;
    }
    return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

void Win32NotificationWaiter::PumpMessages() {
  MSG message{};
  // PeekMessageW: nonzero while a message for this window was removed.
  while (PeekMessageW(&message, window_, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
}

bool Win32NotificationWaiter::WaitForNotification(std::uint32_t limitMs) {
  if (window_ == nullptr) return false;
  const ULONGLONG deadline = GetTickCount64() + limitMs;
  for (;;) {
    PumpMessages();
    if (waiting_ > 0) {
      --waiting_;
      return true;
    }
    const ULONGLONG now = GetTickCount64();
    if (now >= deadline) return false;
    // MsgWaitForMultipleObjects: returns when a message is posted to this thread or the time
    // is up; either way the loop looks again.
    MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(deadline - now), QS_POSTMESSAGE);
  }
}

}  // namespace utility
