#include "service_object/win32/event_window.h"

namespace varnel::win32 {
namespace {

constexpr const wchar_t* kClassName = L"VARNEL event window";
constexpr UINT kDeliver = WM_APP + 1;

LRESULT CALLBACK window_procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message != kDeliver) return DefWindowProcW(window, message, wparam, lparam);
  // GWLP_USERDATA holds the receiver, put there when the window was made (null once it goes).
  auto* receiver = reinterpret_cast<EventReceiver*>(  // NOLINT(performance-no-int-to-ptr)
      GetWindowLongPtrW(window, GWLP_USERDATA));
  try {
    // May destroy this window (the Control Object closes the service object in its event):
    // nothing of it is used after the call.
    if (receiver != nullptr) receiver->deliver_events();
  } catch (...) {
    // Out of memory while delivering: the events that remain go with the next delivery.
  }
  return 0;
}

// The library's own module: the window class belongs to it.
HINSTANCE library_instance() {
  HMODULE module = nullptr;
  // GetModuleHandleExW: nonzero on success.
  if (GetModuleHandleExW(
          GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
          reinterpret_cast<LPCWSTR>(&window_procedure), &module) == 0) {
    return nullptr;
  }
  return module;
}

class WindowPoster final : public EventPoster {
 public:
  WindowPoster(HWND window, HINSTANCE instance) : window_(window), instance_(instance) {}
  ~WindowPoster() override {
    // The receiver goes first: a window destroyed from another thread (DestroyWindow then fails)
    // stays until its thread ends, and a delivery posted to it must find no receiver.
    SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
    DestroyWindow(window_);
    // Fails while another object's window of the class lives; the last one takes the class
    // with it, so a library loaded again registers its own.
    UnregisterClassW(kClassName, instance_);
  }
  WindowPoster(const WindowPoster&) = delete;
  WindowPoster& operator=(const WindowPoster&) = delete;

  // PostMessageW: nonzero on success; a full queue loses this delivery, and the next change or
  // thaw asks again.
  void post() override { PostMessageW(window_, kDeliver, 0, 0); }

 private:
  HWND window_;
  HINSTANCE instance_;
};

}  // namespace

std::unique_ptr<EventPoster> Win32EventPosters::open(EventReceiver& receiver) {
  const HINSTANCE instance = library_instance();
  if (instance == nullptr) return nullptr;
  WNDCLASSEXW window_class{};
  window_class.cbSize = sizeof window_class;
  window_class.lpfnWndProc = &window_procedure;
  window_class.hInstance = instance;
  window_class.lpszClassName = kClassName;
  // RegisterClassExW: zero on failure; a class another object of the library registered is
  // the same class.
  if (RegisterClassExW(&window_class) == 0 && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) return nullptr;
  // A message-only window: never shown, takes no broadcasts.
  const HWND window =
      CreateWindowExW(0, kClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, instance, nullptr);
  if (window == nullptr) return nullptr;
  SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&receiver));
  return std::make_unique<WindowPoster>(window, instance);
}

}  // namespace varnel::win32
