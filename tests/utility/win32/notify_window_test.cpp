// The utility's Windows layer without a line: the notification window, refused opens and the
// watch thread's message box. Run under Wine; no COM port has to lead anywhere.

#include "utility/win32/notify_window.h"

#include <windows.h>
#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "tests/support/message_box_watcher.h"
#include "utility/win32/minimized_icon.h"
#include "utility/win32/serial_link.h"

namespace utility {
namespace {

TEST(Win32NotificationWaiter, CountsEachPostOnceAndKeepsItsParameters) {
  Win32NotificationWaiter waiter;
  ASSERT_NE(waiter.Window(), nullptr);
  EXPECT_FALSE(waiter.WaitForNotification(0));

  ASSERT_TRUE(PostMessageA(waiter.Window(), WM_USER + 1, 7, 0));
  ASSERT_TRUE(PostMessageA(waiter.Window(), WM_USER + 2, 99, 99));  // not a notification
  ASSERT_TRUE(PostMessageA(waiter.Window(), WM_USER + 1, 12, 41));
  EXPECT_TRUE(waiter.WaitForNotification(0));
  EXPECT_TRUE(waiter.WaitForNotification(0));
  EXPECT_EQ(waiter.LastWParam(), 12U);
  EXPECT_EQ(waiter.LastLParam(), 41);
  EXPECT_FALSE(waiter.WaitForNotification(0)) << "a third notification was never posted";
}

TEST(Win32NotificationWaiter, WaitsForAPostFromAnotherThreadAndGivesUpAtItsLimit) {
  Win32NotificationWaiter waiter;
  ASSERT_NE(waiter.Window(), nullptr);
  const HWND window = waiter.Window();
  const ULONGLONG started = GetTickCount64();  // the poster's pause cannot begin sooner
  std::thread poster([window] {
    Sleep(100);
    PostMessageA(window, WM_USER + 1, 3, 0);
  });
  EXPECT_TRUE(waiter.WaitForNotification(5000));
  const ULONGLONG waited = GetTickCount64() - started;
  poster.join();
  EXPECT_GE(waited, 50U) << "returned before the post";
  EXPECT_LT(waited, 4500U) << "the post did not end the wait; its limit did";

  const ULONGLONG quietStart = GetTickCount64();
  EXPECT_FALSE(waiter.WaitForNotification(200));
  const ULONGLONG quiet = GetTickCount64() - quietStart;
  EXPECT_GE(quiet, 180U);
  EXPECT_LT(quiet, 2000U);
}

TEST(Win32NotificationWaiter, TwoWaitersOnOneThreadKeepTheirOwnCounts) {
  Win32NotificationWaiter first;
  Win32NotificationWaiter second;
  ASSERT_NE(first.Window(), nullptr);
  ASSERT_NE(second.Window(), nullptr);
  ASSERT_TRUE(PostMessageA(second.Window(), WM_USER + 1, 12, 0));
  EXPECT_FALSE(first.WaitForNotification(50));
  EXPECT_TRUE(second.WaitForNotification(0));
}

TEST(Win32SerialLinkOpen, RefusedOpensLeaveNothingOpenOrRunning) {
  struct Case {
    std::string name;
    std::int32_t baud;
  };
  const Case cases[] = {
      {"COM9", 9600},      // no such port in the test prefix
      {"COM201", 115200},  // far beyond any mapping
      {"", 9600},          // no name at all
  };
  CSerialLink link;
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "name of " << c.name.size() << " chars, baud " << c.baud);
    EXPECT_FALSE(link.OpenLink(c.name, c.baud, 9));
    EXPECT_FALSE(link.IsConnected());
    EXPECT_EQ(link.NativeHandle(), INVALID_HANDLE_VALUE);
    EXPECT_EQ(link.WatchThreadId(), 0U);
    const std::uint8_t byte = 0x55;
    EXPECT_EQ(link.WriteBytes(&byte, 1), 0U);
  }
  EXPECT_EQ(link.PortNumber(), 9);
  link.CloseLink();  // harmless on a closed link
  EXPECT_FALSE(link.ApplyPendingClear()) << "nothing overflowed";
  EXPECT_EQ(link.WriteBytes(nullptr, 5), 0U);
}

TEST(Win32SerialLinkMessage, BoxCarriesTheUtilityCaptionTheTextAndAnOkButton) {
  test_support::MessageBoxWatcher watcher(10000);
  CSerialLink::ShowMessageBox("Error while creating ThreadWatchComm, COM4");
  const std::optional<test_support::SeenBox> seen = watcher.finish();
  ASSERT_TRUE(seen.has_value()) << "no message box appeared";
  EXPECT_EQ(seen->caption, L" Zorn Utility Ver 2.03  ");
  EXPECT_EQ(seen->text, L"Error while creating ThreadWatchComm, COM4");
  EXPECT_TRUE(seen->has_ok_button);
  EXPECT_FALSE(seen->has_cancel_button);
}

// The minimized dialog draws its icon centred, the odd pixel going right and down.
TEST(MinimizedIcon, IsCentredInIntegerArithmetic) {
  struct Case {
    int width, height, iconWidth, iconHeight, x, y;
  };
  const Case cases[] = {
      {32, 32, 32, 32, 0, 0},   {33, 34, 32, 32, 1, 1},     {160, 31, 32, 32, 64, 0},
      {161, 27, 32, 16, 65, 6}, {100, 100, 48, 48, 26, 26}, {0, 0, 32, 32, -15, -15},
  };
  for (const Case& c : cases) {
    const IconOrigin origin = CentredIconOrigin(c.width, c.height, c.iconWidth, c.iconHeight);
    EXPECT_EQ(origin.x, c.x) << c.width << "x" << c.height;
    EXPECT_EQ(origin.y, c.y) << c.width << "x" << c.height;
  }
}

}  // namespace
}  // namespace utility
