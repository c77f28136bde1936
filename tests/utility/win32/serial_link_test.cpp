// The utility's Windows serial link on real Wine COM ports. with-linked-ports.sh joins COM7 and
// COM12 of the test prefix like a null-modem cable (a pseudo-terminal pair), so the link under
// test sits on COM7 while a second link on COM12 plays the display's side of the line.

#include "utility/win32/serial_link.h"

#include <windows.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "utility/win32/notify_window.h"

namespace utility {
namespace {

using Bytes = std::vector<std::uint8_t>;
using Clock = std::chrono::steady_clock;

constexpr std::uint16_t kLinkPort = 7;
constexpr std::uint16_t kPeerPort = 12;

Bytes AllByteValues() {
  Bytes bytes(256);
  for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<std::uint8_t>(i);
  return bytes;
}

Bytes Pattern(std::size_t size) {
  Bytes bytes(size);
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<std::uint8_t>((i * 7 + i / 256) & 0xFF);
  return bytes;
}

// Takes everything queued, as the dialog does.
Bytes Drain(CSerialLink& link) {
  Bytes bytes;
  std::uint8_t byte = 0;
  while (link.ReceiveQueue().Get(byte)) bytes.push_back(byte);
  return bytes;
}

// True once the thread with this identifier has ended (or is gone altogether).
bool ThreadEnded(DWORD threadId) {
  // OpenThread: null when no such thread exists any more.
  const kit::win32::UniqueKernelHandle thread(OpenThread(SYNCHRONIZE, FALSE, threadId));
  return !thread || WaitForSingleObject(thread.get(), 0) == WAIT_OBJECT_0;
}

std::optional<DCB> LineSettings(HANDLE port) {
  DCB dcb{};
  dcb.DCBlength = sizeof dcb;
  if (!GetCommState(port, &dcb)) return std::nullopt;
  return dcb;
}

class LinkedPorts : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_GT(GetEnvironmentVariableA("KIT_LINKED_PORTS", nullptr, 0), 0U)
        << "needs COM7 and COM12 joined: run through with-linked-ports.sh (ctest does)";
    ASSERT_NE(waiter_.Window(), nullptr);
    ASSERT_NE(peerWaiter_.Window(), nullptr);
    link_.SetNotifyWindow(waiter_.Window());
    peer_.SetNotifyWindow(peerWaiter_.Window());
  }

  void OpenBoth() {
    ASSERT_TRUE(link_.OpenLink("COM7", 115200, kLinkPort)) << "error " << GetLastError();
    link_.AttachNotifications();
    ASSERT_TRUE(peer_.OpenLink("COM12", 115200, kPeerPort)) << "error " << GetLastError();
    peer_.AttachNotifications();
  }

  // Sends from the display's side of the line.
  void Send(const Bytes& bytes) {
    ASSERT_EQ(peer_.WriteBytes(bytes.data(), static_cast<std::uint32_t>(bytes.size())), bytes.size());
  }

  // Takes notifications until `link` holds `count` bytes; answers how many notifications came.
  static int WaitForCount(CSerialLink& link, Win32NotificationWaiter& waiter, std::int32_t count,
                          DWORD limitMs = 10000) {
    const ULONGLONG deadline = GetTickCount64() + limitMs;
    int notifications = 0;
    while (link.ReceiveQueue().Count() < count && GetTickCount64() < deadline) {
      if (waiter.WaitForNotification(100)) ++notifications;
    }
    return notifications;
  }

  // Notifications that arrive within `quietMs`.
  static int CountQuietly(Win32NotificationWaiter& waiter, DWORD quietMs) {
    const ULONGLONG deadline = GetTickCount64() + quietMs;
    int notifications = 0;
    for (ULONGLONG now = GetTickCount64(); now < deadline; now = GetTickCount64()) {
      if (waiter.WaitForNotification(static_cast<std::uint32_t>(deadline - now))) ++notifications;
    }
    return notifications;
  }

  Win32NotificationWaiter waiter_;
  Win32NotificationWaiter peerWaiter_;
  // After the waiters: the links stop their threads before the windows go.
  CSerialLink link_;
  CSerialLink peer_;
};

// Settings made through a handle of our own before the link opens; the pseudo-terminal keeps
// them between opens. A pty always reports 8 data bits and no parity, so the rate, the stop
// bits and software flow control are what tell a link that sets the line from one that does
// not; hardware flow control must come through as it was. Wine answers a fixed 10 for XonLim and
// XoffLim whatever was set, so the limits of 100 cannot be seen from here.
TEST_F(LinkedPorts, OpenSetsTheLineAndKeepsHardwareFlowControl) {
  for (const bool ctsFlow : {true, false}) {
    SCOPED_TRACE(ctsFlow ? "CTS flow control on before open" : "CTS flow control off before open");
    {
      const kit::win32::UniqueFileHandle port(
          CreateFileA("\\\\.\\COM7", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
      ASSERT_TRUE(port) << "error " << GetLastError();
      std::optional<DCB> preset = LineSettings(port.get());
      ASSERT_TRUE(preset.has_value());
      preset->BaudRate = 9600;
      preset->StopBits = TWOSTOPBITS;
      preset->fOutX = 1;
      preset->fInX = 1;
      preset->XonChar = 0x11;
      preset->XoffChar = 0x13;
      preset->fOutxCtsFlow = ctsFlow ? 1 : 0;
      preset->fRtsControl = ctsFlow ? RTS_CONTROL_HANDSHAKE : RTS_CONTROL_ENABLE;
      ASSERT_TRUE(SetCommState(port.get(), &*preset)) << "error " << GetLastError();
    }
    std::optional<DCB> before;
    {
      const kit::win32::UniqueFileHandle port(
          CreateFileA("\\\\.\\COM7", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
      ASSERT_TRUE(port);
      before = LineSettings(port.get());
      ASSERT_TRUE(before.has_value());
      ASSERT_EQ(before->BaudRate, 9600U) << "the preset did not hold";
      ASSERT_EQ(before->fOutxCtsFlow, ctsFlow ? 1U : 0U) << "the preset did not hold";
    }

    ASSERT_TRUE(link_.OpenLink("COM7", 115200, kLinkPort));
    const std::optional<DCB> after = LineSettings(link_.NativeHandle());
    ASSERT_TRUE(after.has_value());
    EXPECT_EQ(after->BaudRate, 115200U);
    EXPECT_EQ(after->ByteSize, 8);
    EXPECT_EQ(after->Parity, NOPARITY);
    EXPECT_EQ(after->StopBits, ONESTOPBIT);
    EXPECT_EQ(after->fOutX, 0U);
    EXPECT_EQ(after->fInX, 0U);
    EXPECT_EQ(after->fOutxCtsFlow, before->fOutxCtsFlow);
    EXPECT_EQ(after->fOutxDsrFlow, before->fOutxDsrFlow);
    EXPECT_EQ(after->fRtsControl, before->fRtsControl);
    EXPECT_EQ(after->fDtrControl, before->fDtrControl);
    EXPECT_EQ(after->fBinary, before->fBinary);
    link_.CloseLink();
  }
}

// The port is there; what is asked of it is not.
TEST_F(LinkedPorts, RefusedRequestsOnAnExistingPortOpenNothing) {
  struct Case {
    std::string name;
    std::int32_t baud;
  };
  const Case cases[] = {
      {std::string("COM7\0junk", 9), 9600},  // must not open the port its first part names
      {"COM7", 0},
      {"COM7", -9600},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "name of " << c.name.size() << " chars, baud " << c.baud);
    EXPECT_FALSE(link_.OpenLink(c.name, c.baud, kLinkPort));
    EXPECT_FALSE(link_.IsConnected());
    EXPECT_EQ(link_.NativeHandle(), INVALID_HANDLE_VALUE);
    EXPECT_EQ(link_.WatchThreadId(), 0U);
  }
  EXPECT_TRUE(link_.OpenLink("COM7", 9600, kLinkPort)) << "the port itself is there";
}

TEST_F(LinkedPorts, OneByteGivesOneNotificationAfterTwoPauses) {
  OpenBoth();
  const auto sent = Clock::now();  // the link cannot have the byte sooner
  Send({0x41});
  ASSERT_TRUE(waiter_.WaitForNotification(3000));
  const auto delay = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - sent);
  EXPECT_GE(delay.count(), 30) << "a read, 15 ms, an empty read and 15 ms more come first";
  EXPECT_EQ(waiter_.LastWParam(), kLinkPort);
  EXPECT_EQ(waiter_.LastLParam(), 0);
  EXPECT_EQ(link_.ReceiveQueue().Count(), 1);
  EXPECT_EQ(CountQuietly(waiter_, 200), 0);
  EXPECT_EQ(Drain(link_), Bytes({0x41}));
}

TEST_F(LinkedPorts, BytesApartGiveANotificationEachAndABurstOfReadsGivesOne) {
  OpenBoth();
  // Far more than the 15 ms pause apart: two bursts.
  Send({0x01});
  ASSERT_TRUE(waiter_.WaitForNotification(3000));
  Sleep(100);
  Send({0x02});
  ASSERT_TRUE(waiter_.WaitForNotification(3000));
  EXPECT_EQ(CountQuietly(waiter_, 150), 0);
  EXPECT_EQ(Drain(link_), Bytes({0x01, 0x02}));

  // More than one read holds (2068 bytes each): the reads follow each other 15 ms apart until
  // one finds nothing, and the burst ends with one notification. The bytes reach the driver as
  // the pseudo-terminal hands them over; a loaded machine can pause that hand-over past 15 ms and
  // so split the burst, which a link that notifies per read does in every round. So the rule
  // holds when some round of a few gives one notification; every round must bring all bytes.
  const Bytes many = Pattern(6000);
  int fewest = INT_MAX;
  for (int round = 0; round < 5 && fewest > 1; ++round) {
    Send(many);
    int notifications = WaitForCount(link_, waiter_, 6000);
    notifications += CountQuietly(waiter_, 200);
    fewest = std::min(fewest, notifications);
    EXPECT_LT(waiter_.LastLParam(), static_cast<LPARAM>(CSerialLink::kReadChunk)) << "round " << round;
    EXPECT_EQ(Drain(link_), many) << "round " << round;
  }
  EXPECT_EQ(fewest, 1) << "no round of reads ended in a single notification";
}

TEST_F(LinkedPorts, EveryByteValueCrossesIntactBothWays) {
  OpenBoth();
  const Bytes all = AllByteValues();
  ASSERT_EQ(link_.WriteBytes(all.data(), static_cast<std::uint32_t>(all.size())), all.size());
  WaitForCount(peer_, peerWaiter_, 256);
  EXPECT_EQ(Drain(peer_), all) << "COM7 to COM12";

  Send(all);
  WaitForCount(link_, waiter_, 256);
  EXPECT_EQ(Drain(link_), all) << "COM12 to COM7";
}

// The ring holds 8191 bytes. A chunk that would leave more queued is dropped whole, the ring is
// emptied on the owner's side and the link stops serving the port.
TEST_F(LinkedPorts, AChunkThatDoesNotFitIsDroppedAndTheLinkStops) {
  struct Case {
    std::size_t queuedFirst;
    bool overflows;
  };
  const Case cases[] = {{8000, false}, {8001, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.queuedFirst << " queued, then 191 more");
    OpenBoth();
    const Bytes first = Pattern(c.queuedFirst);
    Send(first);
    WaitForCount(link_, waiter_, static_cast<std::int32_t>(c.queuedFirst), 30000);
    while (waiter_.WaitForNotification(150)) {
      // the burst that brought the last bytes ends with a notification of its own
    }
    ASSERT_EQ(link_.ReceiveQueue().Count(), static_cast<std::int32_t>(c.queuedFirst));
    const DWORD threadId = link_.WatchThreadId();

    Send(Bytes(191, 0xA5));
    if (!c.overflows) {
      WaitForCount(link_, waiter_, CByteQueue::kCapacity);
      EXPECT_EQ(link_.ReceiveQueue().Count(), CByteQueue::kCapacity);
      EXPECT_TRUE(link_.IsConnected());
      EXPECT_FALSE(link_.ApplyPendingClear());
      Bytes expected = first;
      expected.insert(expected.end(), 191, 0xA5);
      EXPECT_EQ(Drain(link_), expected);
    } else {
      const ULONGLONG deadline = GetTickCount64() + 10000;
      while (link_.IsConnected() && GetTickCount64() < deadline) waiter_.WaitForNotification(50);
      EXPECT_FALSE(link_.IsConnected());
      EXPECT_TRUE(link_.ApplyPendingClear());
      EXPECT_EQ(link_.ReceiveQueue().Count(), 0);
      EXPECT_FALSE(link_.ApplyPendingClear()) << "one overflow, one clear";
      const std::uint8_t byte = 0x30;
      EXPECT_EQ(link_.WriteBytes(&byte, 1), 0U);
      const ULONGLONG ended = GetTickCount64() + 2000;
      while (!ThreadEnded(threadId) && GetTickCount64() < ended) Sleep(10);
      EXPECT_TRUE(ThreadEnded(threadId)) << "the watch thread ends after its last notification";
    }
    link_.CloseLink();
    peer_.CloseLink();
    Drain(link_);
    CountQuietly(waiter_, 50);
  }

  // The port serves again once reopened.
  OpenBoth();
  Send({0x7E});
  WaitForCount(link_, waiter_, 1);
  EXPECT_EQ(Drain(link_), Bytes({0x7E}));
}

TEST_F(LinkedPorts, CloseEndsAnIdleWatchThreadPromptlyAndKeepsTheRing) {
  OpenBoth();
  Send({0x21, 0x22});
  WaitForCount(link_, waiter_, 2);
  Sleep(50);  // the thread is back in its event wait
  const DWORD threadId = link_.WatchThreadId();
  ASSERT_NE(threadId, 0U);
  ASSERT_FALSE(ThreadEnded(threadId));

  const auto started = Clock::now();
  link_.CloseLink();
  const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - started);
  EXPECT_LT(took.count(), static_cast<long long>(CSerialLink::kThreadStopLimitMs));
  EXPECT_TRUE(ThreadEnded(threadId));
  EXPECT_FALSE(link_.IsConnected());
  EXPECT_EQ(link_.NativeHandle(), INVALID_HANDLE_VALUE);
  EXPECT_EQ(link_.ReceiveQueue().Count(), 2) << "closing keeps what was received";
}

TEST_F(LinkedPorts, OpeningAnOpenLinkClosesItFirst) {
  OpenBoth();
  const DWORD firstThread = link_.WatchThreadId();
  ASSERT_TRUE(link_.OpenLink("COM7", 19200, kLinkPort));
  link_.AttachNotifications();
  EXPECT_TRUE(ThreadEnded(firstThread));
  EXPECT_NE(link_.WatchThreadId(), firstThread);
  const std::optional<DCB> dcb = LineSettings(link_.NativeHandle());
  ASSERT_TRUE(dcb.has_value());
  EXPECT_EQ(dcb->BaudRate, 19200U);

  ASSERT_TRUE(peer_.OpenLink("COM12", 19200, kPeerPort));
  Send({0x55});
  WaitForCount(link_, waiter_, 1);
  EXPECT_EQ(Drain(link_), Bytes({0x55})) << "exactly one thread serves the reopened port";
}

}  // namespace
}  // namespace utility
