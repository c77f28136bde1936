// Ten thousand random output calls through COM against the display simulator on COM7: the bytes
// the display received, taken raw from the simulator's capture, must be exactly the bytes a
// model of the display commands expects, each once and in order.
//
// The model builds every command from the OPOS arguments itself (the scaled settings, the limited
// scroll units, the row sent one higher, the low-byte text); only the text of a selected code page
// comes from the encoder the service object uses, whose tables are checked against Python's
// codecs elsewhere.

#include <windows.h>
#include <gtest/gtest.h>
#include <oleauto.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "service_object/core/character_set.h"
#include "service_object/core/screen_model.h"
#include "shared/win32/automation_arguments.h"
#include "tests/support/installed_device.h"
#include "tests/support/message_box_watcher.h"
#include "tests/support/simulator_link.h"
#include "tests/support/varnel_client.h"

namespace varnel::test {
namespace {

using kit::win32::LongArgument;
using test_support::InstalledDevice;
using test_support::invoke_long;
using test_support::MessageBoxCollector;
using test_support::RegisteredVarnel;
using test_support::SeenBox;
using test_support::SimulatorLink;
using test_support::text_argument;

constexpr int kCalls = 10000;

// DISPIDs of the methods the test calls.
enum Method : DISPID {
  kGetPropertyNumber = 2,
  kSetPropertyNumber = 3,
  kOpenService = 6,
  kClaimDevice = 8,
  kCloseService = 9,
  kClearText = 13,
  kDisplayText = 16,
  kDisplayTextAt = 17,
  kScrollText = 19,
};

std::uint8_t low_byte(long value) {
  return static_cast<std::uint8_t>(static_cast<unsigned long>(value) & 0xFF);
}

std::uint8_t scaled(long value) { return value < 100 ? 0 : low_byte(value / 50); }

// Numbers as applications send them, extremes included.
long random_number(std::mt19937& random) {
  switch (random() % 6) {
    case 0: return static_cast<long>(random() % 4);
    case 1: return static_cast<long>(random() % 40) - 5;
    case 2: return static_cast<long>(random() % 2000);
    case 3: return static_cast<long>(random() % 100000) - 50000;
    case 4: return random() % 2 == 0 ? 2147483647L : -2147483647L - 1;
    default: return static_cast<long>(random());
  }
}

std::wstring random_text(std::mt19937& random) {
  // Mostly what fits; now and then over the 64-unit limit (the box is answered by the collector).
  const std::size_t length = random() % 200 == 0 ? 65 + random() % 40 : random() % 30;
  std::wstring text;
  for (std::size_t i = 0; i < length; ++i) {
    switch (random() % 8) {
      case 0: text.push_back(static_cast<wchar_t>(0x0400 + random() % 0x60)); break;  // Cyrillic
      case 1: text.push_back(static_cast<wchar_t>(0x00A0 + random() % 0x60)); break;  // Latin-1
      case 2: text.push_back(static_cast<wchar_t>(1 + random() % 0xFFFE)); break;     // anything
      default: text.push_back(static_cast<wchar_t>(0x20 + random() % 0x5F)); break;   // ASCII
    }
  }
  return text;
}

// The byte stream the display must receive, with what the display shows after it: command bytes
// go as they are; text goes with a cursor move (0x1F 0x24 0x00 r) where it would run past a row's
// end, as the service object never leaves the display to wrap on its own.
class ExpectedStream {
 public:
  void command(const std::string& bytes) {
    bytes_ += bytes;
    for (const char byte : bytes) display_.feed(static_cast<std::uint8_t>(byte));
  }
  void text(std::string_view bytes) {
    for (const char byte : bytes) {
      const auto code = static_cast<std::uint8_t>(byte);
      if (!display_.in_sequence() && code != 0x1F && code != 0x0C && display_.past_row_end()) {
        const char next_row = static_cast<char>((display_.row() + 1) % kScreenRows + 1);
        command(std::string{'\x1F', '\x24', '\x00', next_row});
      }
      command(std::string(1, byte));
    }
  }
  [[nodiscard]] const std::string& bytes() const { return bytes_; }
  [[nodiscard]] std::string row(int index) const {
    const auto& cells = display_.cells()[static_cast<std::size_t>(index)];
    std::string text;
    for (const std::uint8_t code : cells)
      text.push_back(code >= 0x20 && code < 0x7F ? static_cast<char>(code) : '.');
    return text;
  }

 private:
  std::string bytes_;
  DisplayMirror display_;
};

class DataIntegrity : public ::testing::Test {
 protected:
  void SetUp() override {
    sim_ = SimulatorLink::for_port(7);
    if (!sim_) GTEST_SKIP() << "needs the simulator on COM7 (run through scripts/with-simulator.sh)";
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    server_.emplace();
    ASSERT_TRUE(server_->ok()) << "cannot register the library";
    so_ = server_->create();
    ASSERT_NE(so_, nullptr);
  }
  void TearDown() override {
    if (so_ != nullptr) {
      invoke_long(*so_, kCloseService, {});
      so_->Release();
    }
    server_.reset();
    CoUninitialize();
  }

  long call(Method id, std::vector<VARIANT> arguments) { return invoke_long(*so_, id, std::move(arguments)); }

  // The bytes of `text` as the display must receive them in the character set `set`.
  static std::string text_bytes(const CharacterSet& set, const std::wstring& text) {
    std::array<std::uint8_t, kTransmitBufferSize> out{};
    const std::u16string units(text.begin(), text.end());
    const TextBytes bytes = set.encode(units, out);
    return {out.begin(), out.begin() + static_cast<std::ptrdiff_t>(bytes.count)};
  }

  std::optional<SimulatorLink> sim_;
  std::optional<RegisteredVarnel> server_;
  IDispatch* so_ = nullptr;
};

TEST_F(DataIntegrity, RandomOutputReachesTheDisplayExactlyOnceInOrder) {
  InstalledDevice device(L"KitControlClientPole", L"7", L"9600");
  MessageBoxCollector boxes;
  ASSERT_EQ(
      call(kOpenService, {text_argument(L"LineDisplay"), text_argument(L"PoleDisplay"), LongArgument(0)}), 0);
  ASSERT_EQ(call(kClaimDevice, {LongArgument(1000)}), 0);
  call(kSetPropertyNumber, {LongArgument(3), LongArgument(1)});
  ASSERT_EQ(call(kGetPropertyNumber, {LongArgument(3)}), 1) << "not enabled";

  const std::size_t start = sim_->capture().size();
  const unsigned seed = 20240611;
  std::mt19937 random(seed);
  CharacterSet model_set;
  ExpectedStream expected;
  const std::array<long, 6> character_sets = {998, 866, 1252, 852, 437, 999 /* refused */};
  int long_texts = 0;

  for (int i = 0; i < kCalls; ++i) {
    switch (random() % 8) {
      case 0: {
        const std::wstring text = random_text(random);
        long_texts += text.size() > kTransmitBufferSize;
        ASSERT_EQ(call(kDisplayText, {text_argument(text), LongArgument(random_number(random))}), 0);
        expected.text(text_bytes(model_set, text));
        break;
      }
      case 1: {
        const long row = random_number(random);
        const long column = random_number(random);
        const std::wstring text = random_text(random);
        long_texts += text.size() > kTransmitBufferSize;
        ASSERT_EQ(call(kDisplayTextAt,
                       {LongArgument(row), LongArgument(column), text_argument(text), LongArgument(0)}),
                  0);
        // The row goes one higher, wrapping like every byte: 2147483647 gives 0x00.
        const auto next_row = static_cast<std::uint8_t>((static_cast<unsigned long>(row) + 1) & 0xFF);
        expected.command({'\x1F', '\x24', static_cast<char>(low_byte(column)), static_cast<char>(next_row)});
        expected.text(text_bytes(model_set, text));
        break;
      }
      case 2:
        ASSERT_EQ(call(kClearText, {}), 0);
        expected.command("\x0C");
        break;
      case 3: {
        const long direction = random_number(random);
        const long units = random_number(random);
        ASSERT_EQ(call(kScrollText, {LongArgument(direction), LongArgument(units)}), 0);
        const long limited = units > 19 ? 19 : units < 1 ? 1 : units;
        expected.command(
            {'\x1F', '\x04', static_cast<char>(low_byte(direction)), static_cast<char>(limited)});
        break;
      }
      case 4: {
        const long rate = random_number(random);
        call(kSetPropertyNumber, {LongArgument(5018), LongArgument(rate)});
        expected.command({'\x1F', '\x45', static_cast<char>(scaled(rate))});
        break;
      }
      case 5: {
        const long type = random_number(random);
        call(kSetPropertyNumber, {LongArgument(5019), LongArgument(type)});
        expected.command({'\x1F', '\x43', static_cast<char>(low_byte(type))});
        break;
      }
      case 6: {
        const long value = random_number(random);
        call(kSetPropertyNumber, {LongArgument(5012), LongArgument(value)});
        expected.command({'\x1F', '\x46', static_cast<char>(scaled(value))});
        break;
      }
      default: {
        const long set = character_sets[random() % character_sets.size()];
        call(kSetPropertyNumber, {LongArgument(5001), LongArgument(set)});
        model_set.select(set);  // a refused number changes nothing, in the model as in the object
        ASSERT_EQ(call(kGetPropertyNumber, {LongArgument(5001)}), model_set.number());
        break;
      }
    }
  }
  // A last text marks the end: once it is there, every byte sent before it is there too. The
  // display's screen then equals the model's (cleared first: a random STX in the text may have
  // started one of the display's configuration frames, whose bytes it does not show).
  ASSERT_EQ(call(kClearText, {}), 0);
  expected.command("\x0C");
  ASSERT_EQ(call(kDisplayTextAt,
                 {LongArgument(1), LongArgument(15), text_argument(L"END OF RUN"), LongArgument(0)}),
            0);
  expected.command({'\x1F', '\x24', '\x0F', '\x02'});
  expected.text("END OF RUN");

  const std::string received = sim_->wait_for_capture(start + expected.bytes().size(), 60000).substr(start);
  ASSERT_EQ(received.size(), expected.bytes().size()) << "seed " << seed;
  const auto mismatch = std::mismatch(received.begin(), received.end(), expected.bytes().begin());
  EXPECT_TRUE(mismatch.first == received.end())
      << "first difference at byte " << (mismatch.first - received.begin()) << " of "
      << expected.bytes().size() << " (seed " << seed << ")";
  EXPECT_TRUE(sim_->wait_for_state("row0_text", expected.row(0), 10000)) << expected.row(0);
  EXPECT_TRUE(sim_->wait_for_state("row1_text", expected.row(1), 10000)) << expected.row(1);
  boxes.stop();
  for (const SeenBox& box : boxes.seen()) {
    EXPECT_EQ(box.text, L"Exceeded to max number of input chars! [limit to 64 chars]") << "no other message";
  }
  std::printf("data integrity: %d calls, %zu bytes received as modelled, %d overlong texts\n", kCalls + 1,
              expected.bytes().size(), long_texts);
}

}  // namespace
}  // namespace varnel::test
