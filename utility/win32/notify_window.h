#pragma once

#include <windows.h>

#include <cstdint>

#include "utility/core/utility_link.h"

namespace utility {

// Receives the port object's WM_USER+1 notifications for a front end that has no dialog: a
// message-only window of its own class, counting each notification it is posted. The window
// belongs to the thread that constructs the waiter; only that thread may wait.
class Win32NotificationWaiter final : public NotificationWaiter {
 public:
  static constexpr UINT kReceiveMessage = WM_USER + 1;

  Win32NotificationWaiter();
  Win32NotificationWaiter(const Win32NotificationWaiter&) = delete;
  Win32NotificationWaiter& operator=(const Win32NotificationWaiter&) = delete;
  ~Win32NotificationWaiter() override;

  // The window to give CSerialLink::SetNotifyWindow; null if it could not be created.
  HWND Window() const { return window_; }

  // Pumps this window's messages until a notification not yet handed out has arrived (true)
  // or `limitMs` milliseconds have passed (false).
  bool WaitForNotification(std::uint32_t limitMs) override;

  // The parameters of the latest notification received.
  WPARAM LastWParam() const { return lastWParam_; }
  LPARAM LastLParam() const { return lastLParam_; }

 private:
  static LRESULT CALLBACK WindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  void PumpMessages();

  HWND window_ = nullptr;
  std::uint32_t waiting_ = 0;
  WPARAM lastWParam_ = 0;
  LPARAM lastLParam_ = 0;
};

}  // namespace utility
