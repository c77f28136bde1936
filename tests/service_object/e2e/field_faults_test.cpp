// The service object through COM where the field differs from the bench: a call the
// application makes from inside one of the library's boxes, two objects of one process that
// open and close on their own, two apartment threads writing at once, a display that stops reading, and a
// line that hangs up in the middle of a write and is plugged back in. The display simulator on COM7 receives
// the bytes.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdio>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/installed_device.h"
#include "tests/support/loaded_server.h"
#include "tests/support/message_box_watcher.h"
#include "tests/support/simulator_link.h"

namespace varnel::test {
namespace {

using test_support::find_message_box;
using test_support::InstalledDevice;
using test_support::read_message_box;
using test_support::SimulatorLink;

constexpr DISPID kGetPropertyNumber = 2;
constexpr DISPID kSetPropertyNumber = 3;
constexpr DISPID kOpenService = 6;
constexpr DISPID kClaimDevice = 8;
constexpr DISPID kCloseService = 9;
constexpr DISPID kDisplayText = 16;
constexpr DISPID kDisplayTextAt = 17;

constexpr long kResultCode = 6;
constexpr long kDeviceEnabled = 3;
constexpr long kNoHardware = 107;
constexpr long kTimeout = 112;

std::string text_line(wchar_t c) {
  char line[32];
  std::snprintf(line, sizeof line, "text %02x %c", static_cast<unsigned>(c), static_cast<char>(c));
  return line;
}

std::vector<std::string> text_lines(std::wstring_view text) {
  std::vector<std::string> lines;
  for (const wchar_t c : text) lines.push_back(text_line(c));
  return lines;
}

// The trace of window 0's text from (`row`, `column`): a cursor move where it crosses a row's end
// (the lower row's end going on at the upper row).
std::vector<std::string> text_lines_from(std::wstring_view text, int row, int column) {
  std::vector<std::string> lines;
  for (const wchar_t c : text) {
    if (column == 20) {
      row = (row + 1) % 2;
      column = 0;
      lines.push_back("cursor col=0 row=" + std::to_string(row + 1));
    }
    lines.push_back(text_line(c));
    ++column;
  }
  return lines;
}

// The control object's dispatch interface as OpenService receives it when there is none.
VARIANT no_dispatch() {
  VARIANT value;
  VariantInit(&value);
  value.vt = VT_DISPATCH;
  value.pdispVal = nullptr;
  return value;
}

// One object of the library, made on the calling thread and used only there, opened, claimed
// and (unless told otherwise) enabled as an application does it; closed again at the end.
class Session {
 public:
  enum class Until { kClaimed, kEnabled };

  explicit Session(const LoadedServer& server, Until until = Until::kEnabled) : object_(server.create()) {
    if (!object_) return;
    const Call open(object_.get(), kOpenService,
                    Arguments().add_string(L"LineDisplay").add_string(L"Pole").add(no_dispatch()));
    const Call claim(object_.get(), kClaimDevice, Arguments().add_long(1000));
    if (until == Until::kEnabled) enable();
  }
  ~Session() {
    if (object_) close();
  }
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  // Answers the enable's result code.
  long enable() const {
    const Call call(object_.get(), kSetPropertyNumber, Arguments().add_long(kDeviceEnabled).add_long(1));
    return number(kResultCode);
  }
  long close() const { return answer(Call(object_.get(), kCloseService, Arguments())); }
  // The application lets go of its last reference without CloseService.
  void release_without_close() { object_.reset(); }

  long display_text(std::wstring_view text) const {
    return answer(Call(object_.get(), kDisplayText, Arguments().add_string(text).add_long(0)));
  }
  long display_text_at(long row, long column, std::wstring_view text) const {
    return answer(Call(object_.get(), kDisplayTextAt,
                       Arguments().add_long(row).add_long(column).add_string(text).add_long(0)));
  }
  long number(long index) const {
    return answer(Call(object_.get(), kGetPropertyNumber, Arguments().add_long(index)));
  }

 private:
  static long answer(const Call& call) {
    return call.hr == S_OK && call.result->vt == VT_I4 ? call.result->lVal : -1;
  }

  ComPtr<IDispatch> object_;
};

// A window of the application: what arrives for it in a modal loop (a timer's message, an
// incoming call) runs the application's code there.
class ApplicationWindow {
 public:
  explicit ApplicationWindow(std::function<void()> on_message) : on_message_(std::move(on_message)) {
    static const ATOM window_class = [] {
      WNDCLASSEXW description{};
      description.cbSize = sizeof description;
      description.lpfnWndProc = procedure;
      description.hInstance = GetModuleHandleW(nullptr);
      description.lpszClassName = L"KitApplicationWindow";
      return RegisterClassExW(&description);
    }();
    // A message-only window: it receives posted messages and shows nothing.
    window_ = CreateWindowExW(0, MAKEINTATOM(window_class), L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                              GetModuleHandleW(nullptr), this);
  }
  ~ApplicationWindow() {
    if (window_ != nullptr) DestroyWindow(window_);
  }
  ApplicationWindow(const ApplicationWindow&) = delete;
  ApplicationWindow& operator=(const ApplicationWindow&) = delete;

  HWND handle() const { return window_; }
  static constexpr UINT kMessage = WM_APP + 7;

 private:
  static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_NCCREATE) {
      // WM_NCCREATE hands the creation record over as an integer.
      const auto* creation =
          reinterpret_cast<const CREATESTRUCTW*>(lparam);  // NOLINT(performance-no-int-to-ptr)
      SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(creation->lpCreateParams));
    }
    // GWLP_USERDATA holds this object, put there at WM_NCCREATE.
    auto* self = reinterpret_cast<ApplicationWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));  // NOLINT
    if (message == kMessage && self != nullptr) {
      self->on_message_();
      return 0;
    }
    return DefWindowProcW(window, message, wparam, lparam);
  }

  std::function<void()> on_message_;
  HWND window_ = nullptr;
};

// Waits (at most `timeout_ms`) until `done` answers true.
bool wait_until(const std::function<bool()>& done, ULONGLONG timeout_ms) {
  const ULONGLONG deadline = GetTickCount64() + timeout_ms;
  while (!done()) {
    if (GetTickCount64() >= deadline) return false;
    Sleep(10);
  }
  return true;
}

// Resumes a paused simulator however the test ends.
struct ResumeOnExit {
  const SimulatorLink& sim;
  ~ResumeOnExit() { sim.resume(); }
};

class FieldFaults : public ::testing::Test {
 protected:
  void SetUp() override {
    sim_ = SimulatorLink::for_port(7);
    if (!sim_) GTEST_SKIP() << "needs the simulator on COM7 (run through scripts/with-simulator.sh)";
    ASSERT_TRUE(server_.complete()) << "cannot load VARNEL.dll";
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
    com_initialised_ = true;
  }
  void TearDown() override {
    if (com_initialised_) CoUninitialize();
  }

  InstalledDevice device_{L"KitFieldFaultsPole", L"7", L"9600"};
  LoadedServer server_;
  std::optional<SimulatorLink> sim_;
  bool com_initialised_ = false;
};

// The application's message arrives while the over-64 box is up, and its handler shows the
// total. Both calls reach the display whole: the total at its place, then the outer call's 64
// characters, none of them changed by the inner call.
TEST_F(FieldFaults, CallFromInsideTheBoxKeepsBothCallsBytesWhole) {
  const Session session(server_);
  ASSERT_EQ(session.number(kDeviceEnabled), 1);
  std::atomic<bool> inner_done{false};
  long inner_result = -1;
  const ApplicationWindow window([&] {
    inner_result = session.display_text_at(1, 0, L"TOTAL 9.99");
    inner_done = true;
  });
  ASSERT_NE(window.handle(), nullptr);

  const std::size_t first = sim_->trace().size();
  std::optional<SeenBox> seen;
  // The user: waits for the box, lets the application's message arrive while it is up, and
  // presses OK once the application has handled it.
  std::thread user([&] {
    HWND box = nullptr;
    if (!wait_until([&] { return (box = find_message_box()) != nullptr; }, 10000)) return;
    PostMessageW(window.handle(), ApplicationWindow::kMessage, 0, 0);
    wait_until([&] { return inner_done.load(); }, 10000);
    seen = read_message_box(box);
    PostMessageW(box, WM_COMMAND, IDOK, 0);
  });
  const long outer_result = session.display_text(std::wstring(65, L'A'));
  user.join();

  EXPECT_EQ(outer_result, 0);
  EXPECT_EQ(inner_result, 0);
  ASSERT_TRUE(seen.has_value());
  EXPECT_EQ(seen->text, L"Exceeded to max number of input chars! [limit to 64 chars]");
  std::vector<std::string> expected{"cursor col=0 row=2"};
  for (const std::string& line : text_lines(L"TOTAL 9.99")) expected.push_back(line);
  // The outer call's text goes on where the inner call left the cursor (the object's screen model
  // saw both), with a cursor move at each row's end.
  for (const std::string& line : text_lines_from(std::wstring(64, L'A'), 1, 10)) expected.push_back(line);
  EXPECT_EQ(sim_->wait_for_trace(first, expected.size()), expected);
}

// Two objects on two apartment threads of one process write at once: every call's cursor
// command and text arrive together, never with the other thread's bytes between or inside.
TEST_F(FieldFaults, TwoApartmentThreadsWriteWholeCalls) {
  MessageBoxCollector boxes;
  constexpr int kCalls = 40;
  const std::size_t first = sim_->trace().size();
  std::atomic<int> enabled{0};
  std::array<int, 2> failures{};
  const auto application = [&](int index, long row, wchar_t letter) {
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {
      failures[index] = -1;
      return;
    }
    {
      const Session session(server_);
      if (session.number(kDeviceEnabled) == 1) ++enabled;
      wait_until([&] { return enabled.load() == 2; }, 10000);  // both write at once
      for (int i = 0; i < kCalls; ++i) {
        if (session.display_text_at(row, 0, std::wstring(20, letter)) != 0) ++failures[index];
      }
    }
    CoUninitialize();
  };
  std::thread upper(application, 0, 0, L'a');
  std::thread lower(application, 1, 1, L'b');
  upper.join();
  lower.join();
  EXPECT_EQ(enabled.load(), 2);
  EXPECT_EQ(failures, (std::array<int, 2>{0, 0}));

  constexpr std::size_t kLinesPerCall = 21;
  const std::vector<std::string> lines = sim_->wait_for_trace(first, 2 * kCalls * kLinesPerCall, 30000);
  ASSERT_EQ(lines.size(), 2 * kCalls * kLinesPerCall);
  std::array<int, 2> calls{};
  for (std::size_t at = 0; at + kLinesPerCall <= lines.size(); at += kLinesPerCall) {
    const bool upper_row = lines[at] == "cursor col=0 row=1";
    ASSERT_TRUE(upper_row || lines[at] == "cursor col=0 row=2") << "line " << at << ": " << lines[at];
    ++calls[upper_row ? 0 : 1];
    const std::vector<std::string> text(lines.begin() + static_cast<std::ptrdiff_t>(at + 1),
                                        lines.begin() + static_cast<std::ptrdiff_t>(at + kLinesPerCall));
    ASSERT_EQ(text, text_lines(std::wstring(20, upper_row ? L'a' : L'b'))) << "the call at line " << at;
  }
  EXPECT_EQ(calls, (std::array<int, 2>{kCalls, kCalls}));
  EXPECT_TRUE(boxes.seen().empty());
}

// Two objects in one process: one object's CloseService leaves the other's device key as it
// was, so the other's enable after it reads the installed key and shows text, without a box;
// an object the application releases while enabled, without CloseService, gives the port back,
// and the next object's enable opens it and writes.
TEST_F(FieldFaults, ObjectsInOneProcessDoNotDisturbEachOther) {
  MessageBoxCollector boxes;
  Session first(server_);
  ASSERT_EQ(first.number(kDeviceEnabled), 1);
  Session second(server_, Session::Until::kClaimed);
  ASSERT_EQ(first.close(), 0);

  EXPECT_EQ(second.enable(), 0);
  EXPECT_EQ(second.number(kDeviceEnabled), 1);
  std::size_t first_line = sim_->trace().size();
  EXPECT_EQ(second.display_text(L"AB"), 0);
  EXPECT_EQ(sim_->wait_for_trace(first_line, 2), text_lines(L"AB"));

  second.release_without_close();
  const Session third(server_);
  EXPECT_EQ(third.number(kDeviceEnabled), 1);
  first_line = sim_->trace().size();
  EXPECT_EQ(third.display_text(L"C"), 0);
  EXPECT_EQ(sim_->wait_for_trace(first_line, 1), text_lines(L"C"));
  EXPECT_TRUE(boxes.seen().empty());
}

// A display that stops reading (switched off behind flow control): the write that finds the
// line full times out after its full time-out; the calls after it answer the time-out at once
// instead of waiting as long again; once the display reads again, the next call goes through.
TEST_F(FieldFaults, SilentDisplayFailsFastAfterATimeOutUntilItReadsAgain) {
  MessageBoxCollector boxes;
  const Session session(server_);
  ASSERT_EQ(session.number(kDeviceEnabled), 1);
  ASSERT_TRUE(sim_->pause()) << "cannot stop the simulator";
  const ResumeOnExit resume{*sim_};

  const std::wstring block(64, L'x');
  long result = 0;
  ULONGLONG timed_out_ms = 0;
  for (int i = 0; i < 4096 && result == 0; ++i) {
    const ULONGLONG start = GetTickCount64();
    result = session.display_text(block);
    timed_out_ms = GetTickCount64() - start;
  }
  ASSERT_EQ(result, kTimeout) << "256 KiB went into a line nobody reads";
  EXPECT_GE(timed_out_ms, 1000u) << "the first write into the full line waits for its time-out";
  EXPECT_EQ(session.number(kResultCode), kTimeout);

  ULONGLONG slowest_ms = 0;
  for (int i = 0; i < 5; ++i) {
    const ULONGLONG start = GetTickCount64();
    EXPECT_EQ(session.display_text_at(1, 0, L"TOTAL 9.99"), kTimeout);
    slowest_ms = std::max(slowest_ms, GetTickCount64() - start);
  }
  EXPECT_LT(slowest_ms, 1000u) << "a call on the stalled line waited for a whole write time-out again";
  RecordProperty("timed_out_call_ms", static_cast<int>(timed_out_ms));
  RecordProperty("stalled_call_ms", static_cast<int>(slowest_ms));
  std::printf("silent display: the call that timed out took %llu ms, each later call at most %llu ms\n",
              timed_out_ms, slowest_ms);

  ASSERT_TRUE(sim_->resume());
  long recovered = kTimeout;
  wait_until([&] { return (recovered = session.display_text(L"OK")) == 0; }, 20000);
  EXPECT_EQ(recovered, 0) << "the display reads again, but the calls still fail";
  EXPECT_EQ(session.number(kResultCode), 0);
  EXPECT_TRUE(wait_until(
      [&] {
        const std::vector<std::string> lines = sim_->trace();
        return lines.size() >= 2 && lines.back() == text_line(L'K') &&
               lines[lines.size() - 2] == text_line(L'O');
      },
      10000));
  EXPECT_TRUE(boxes.seen().empty());
}

// The line hangs up while a call waits in its write (an adapter pulled out): that call and the
// calls while the adapter is out answer at once that there is no hardware; the device stays
// enabled, and the first call after the replug shows its text again.
TEST_F(FieldFaults, LineThatHangsUpMidWriteRecoversAtTheNextCallOnceReplugged) {
  MessageBoxCollector boxes;
  const Session session(server_);
  ASSERT_EQ(session.display_text(L"A"), 0);
  ASSERT_TRUE(sim_->pause()) << "cannot stop the simulator";
  const ResumeOnExit resume{*sim_};

  // Fill the line until a call waits in its write, then pull the line out from under it.
  std::atomic<ULONGLONG> call_started{0};
  std::atomic<bool> writing_over{false};
  bool pulled = false;
  std::thread puller([&] {
    wait_until(
        [&] {
          const ULONGLONG started = call_started.load();
          return writing_over.load() || (started != 0 && GetTickCount64() - started >= 300);
        },
        60000);
    pulled = sim_->unplug() && sim_->resume();
  });
  const std::wstring block(64, L'x');
  long result = 0;
  for (int i = 0; i < 4096 && result == 0; ++i) {
    call_started = GetTickCount64();
    result = session.display_text(block);
    call_started = 0;
  }
  writing_over = true;
  puller.join();
  ASSERT_TRUE(pulled) << "cannot unplug the simulator";
  // The hang-up ends the waiting write; had its time-out come first, the call says so.
  EXPECT_TRUE(result == kNoHardware || result == kTimeout) << result;
  std::printf("hang-up: the call waiting in its write answered %ld\n", result);

  const ULONGLONG start = GetTickCount64();
  EXPECT_EQ(session.display_text(L"B"), kNoHardware);
  EXPECT_LT(GetTickCount64() - start, 1000u) << "with the adapter out, a call answers at once";
  EXPECT_EQ(session.display_text(L"B"), kNoHardware);
  EXPECT_EQ(session.number(kDeviceEnabled), 1) << "the device stays enabled";

  ASSERT_TRUE(sim_->plug_in());
  const std::size_t first = sim_->trace().size();
  EXPECT_EQ(session.display_text(L"C"), 0);
  EXPECT_EQ(session.number(kResultCode), 0);
  // The display is cleared and shows the model again, then the call's own text.
  EXPECT_TRUE(wait_until(
      [&] {
        const std::vector<std::string> lines = sim_->trace();
        return lines.size() > first + 1 && lines[first] == "clear" && lines.back() == text_line(L'C');
      },
      10000));
  EXPECT_TRUE(boxes.seen().empty());
}

}  // namespace
}  // namespace varnel::test
