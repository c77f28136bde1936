// The serial writer against the display simulator, through Wine's COM port mapping: COM7 and
// COM12 of the test prefix lead to simulators started by scripts/with-simulator.sh; COM9 leads
// nowhere. What arrives is read back from the simulators' traces.

#include "service_object/win32/serial_writer.h"

#include <windows.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "shared/win32/unique_handle.h"
#include "tests/support/handle_probe.h"
#include "tests/support/simulator_link.h"

namespace varnel {
namespace {

using test_support::SimulatorLink;
using Bytes = std::vector<std::uint8_t>;

std::string text_line(std::uint8_t code) {
  char line[32];
  std::snprintf(line, sizeof line, "text %02x %c", code, code >= 0x20 && code <= 0x7E ? code : '.');
  return line;
}

std::string cursor_type_line(std::uint8_t value) { return "cursor_type v=" + std::to_string(value); }

std::optional<DCB> line_settings(HANDLE port) {
  DCB dcb{};
  dcb.DCBlength = sizeof dcb;
  if (!GetCommState(port, &dcb)) return std::nullopt;
  return dcb;
}

// Changes the port's settings outside the writer, through a handle of our own; the simulator
// keeps the pseudo-terminal (and with it the settings) alive between opens.
template <typename Change>
void preset_port(const wchar_t* device, Change change) {
  const kit::win32::UniqueFileHandle port(
      CreateFileW(device, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(port) << "cannot open the port to preset it, error " << GetLastError();
  std::optional<DCB> dcb = line_settings(port.get());
  ASSERT_TRUE(dcb.has_value());
  change(*dcb);
  ASSERT_TRUE(SetCommState(port.get(), &*dcb)) << "error " << GetLastError();
}

class Win32SerialWriterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    com7_ = SimulatorLink::for_port(7);
    com12_ = SimulatorLink::for_port(12);
    ASSERT_TRUE(com7_ && com12_)
        << "needs the simulators: run through scripts/with-simulator.sh (ctest does)";
  }

  // Writes `bytes` in one write and answers the trace lines it produced once `line_count` of them
  // have arrived (or the wait ran out).
  static std::vector<std::string> write_and_trace(Win32SerialWriter& writer, const SimulatorLink& sim,
                                                  const Bytes& bytes, std::size_t line_count) {
    const std::size_t before = sim.trace().size();
    EXPECT_TRUE(writer.write(bytes));
    return sim.wait_for_trace(before, line_count);
  }

  std::optional<SimulatorLink> com7_;
  std::optional<SimulatorLink> com12_;
};

// A Linux pseudo-terminal always reports 8 data bits and no parity, whatever was set (its
// driver clears PARENB and forces CS8), so here the rate and the stop bits are what tell a
// writer that sets the line from one that leaves it as it was.
TEST_F(Win32SerialWriterTest, OpensWithEightDataBitsNoParityOneStopBitAtTheGivenRate) {
  for (const std::int32_t rate : {9600, 19200, 115200}) {
    SCOPED_TRACE(rate);
    preset_port(L"\\\\.\\COM7", [](DCB& dcb) {
      dcb.BaudRate = 38400;
      dcb.ByteSize = 7;
      dcb.Parity = EVENPARITY;
      dcb.StopBits = TWOSTOPBITS;
    });
    Win32SerialWriter writer;
    ASSERT_TRUE(writer.open(u"COM7", ParitySelector::kNone, rate));
    EXPECT_TRUE(writer.is_open());
    EXPECT_EQ(writer.port_name(), u"COM7");
    EXPECT_EQ(writer.baud_rate(), rate);
    const std::optional<DCB> dcb = line_settings(writer.native_handle());
    ASSERT_TRUE(dcb.has_value());
    EXPECT_EQ(dcb->BaudRate, static_cast<DWORD>(rate));
    EXPECT_EQ(dcb->ByteSize, 8);
    EXPECT_EQ(dcb->Parity, NOPARITY);
    EXPECT_EQ(dcb->StopBits, ONESTOPBIT);
  }
}

// The flow-control settings a pseudo-terminal can hold: XON/XOFF both ways (IXON, IXOFF) and
// CTS output flow (CRTSCTS). Wine reads CRTSCTS back as CTS flow with RTS merely enabled, and has
// no DTR/DSR flow control, so those fields are not compared.
TEST_F(Win32SerialWriterTest, FlowControlIsInheritedFromThePort) {
  const auto set_flow = [](bool on) {
    preset_port(L"\\\\.\\COM7", [on](DCB& dcb) {
      dcb.fOutX = on;
      dcb.fInX = on;
      dcb.fOutxCtsFlow = on;
      dcb.fRtsControl = on ? RTS_CONTROL_HANDSHAKE : RTS_CONTROL_ENABLE;
    });
  };
  // Leaves the port as the other tests expect it, however this one ends.
  struct FlowOffOnExit {
    decltype(set_flow)& set;
    ~FlowOffOnExit() { set(false); }
  } flow_off{set_flow};
  for (const bool on : {true, false}) {
    SCOPED_TRACE(on ? "flow control on" : "flow control off");
    set_flow(on);
    Win32SerialWriter writer;
    ASSERT_TRUE(writer.open(u"COM7", ParitySelector::kNone, 9600));
    const std::optional<DCB> dcb = line_settings(writer.native_handle());
    ASSERT_TRUE(dcb.has_value());
    EXPECT_EQ(dcb->fOutX, on);
    EXPECT_EQ(dcb->fInX, on);
    EXPECT_EQ(dcb->fOutxCtsFlow, on);
  }
}

TEST_F(Win32SerialWriterTest, EveryByteValueArrivesIntactAtEachRate) {
  // Each value is sent as the argument of the cursor-type command, whose trace line names it:
  // the display would take 0x0C and 0x1F on their own as commands, not as characters.
  Bytes bytes;
  std::vector<std::string> expected;
  for (int value = 0; value < 256; ++value) {
    bytes.insert(bytes.end(), {0x1F, 0x43, static_cast<std::uint8_t>(value)});
    expected.push_back(cursor_type_line(static_cast<std::uint8_t>(value)));
  }
  for (const std::int32_t rate : {9600, 19200}) {
    SCOPED_TRACE(rate);
    Win32SerialWriter writer;
    ASSERT_TRUE(writer.open(u"COM7", ParitySelector::kNone, rate));
    const std::size_t before = com7_->trace().size();
    // Blocks of 64 bytes, the service object's largest write; commands straddle the blocks.
    for (std::size_t offset = 0; offset < bytes.size(); offset += 64) {
      const std::span<const std::uint8_t> block(bytes.data() + offset,
                                                std::min<std::size_t>(64, bytes.size() - offset));
      EXPECT_TRUE(writer.write(block)) << "block at " << offset;
    }
    EXPECT_EQ(com7_->wait_for_trace(before, expected.size()), expected);
  }
}

TEST_F(Win32SerialWriterTest, WritesOfOneAndSixtyFourBytesArriveWhole) {
  Win32SerialWriter writer;
  ASSERT_TRUE(writer.open(u"COM7", ParitySelector::kNone, 9600));
  for (const std::size_t size : {1u, 2u, 63u, 64u}) {
    SCOPED_TRACE(size);
    Bytes bytes;
    std::vector<std::string> expected;
    for (std::size_t i = 0; i < size; ++i) {
      bytes.push_back(static_cast<std::uint8_t>(i % 2 ? 0x80 + i : 'A' + i % 26));
      expected.push_back(text_line(bytes.back()));
    }
    EXPECT_EQ(write_and_trace(writer, *com7_, bytes, expected.size()), expected);
  }
}

TEST_F(Win32SerialWriterTest, WriteWithoutBytesOrWithoutAnOpenPortAnswersFalseAndSendsNothing) {
  const Bytes text = {'X'};
  const std::size_t before = com7_->trace().size();

  Win32SerialWriter never_opened;
  EXPECT_FALSE(never_opened.is_open());
  EXPECT_FALSE(never_opened.write(text));

  Win32SerialWriter writer;
  ASSERT_TRUE(writer.open(u"COM7", ParitySelector::kNone, 9600));
  EXPECT_FALSE(writer.write({})) << "empty write";
  writer.close();
  EXPECT_FALSE(writer.is_open());
  EXPECT_EQ(writer.native_handle(), INVALID_HANDLE_VALUE);
  EXPECT_FALSE(writer.write(text)) << "write after close";
  writer.close();  // a second close is harmless

  // The next byte on the line is the marker: none of the refused writes sent anything.
  ASSERT_TRUE(writer.open(u"COM7", ParitySelector::kNone, 9600)) << "reopen after close";
  ASSERT_TRUE(writer.write(Bytes{'M'}));
  EXPECT_EQ(com7_->wait_for_trace(before, 1), std::vector<std::string>{text_line('M')});
}

TEST_F(Win32SerialWriterTest, OpenWhileOpenStartsAfresh) {
  Win32SerialWriter writer;
  ASSERT_TRUE(writer.open(u"COM7", ParitySelector::kNone, 9600));
  ASSERT_TRUE(writer.open(u"COM7", ParitySelector::kNone, 19200));
  EXPECT_EQ(line_settings(writer.native_handle()).value_or(DCB{}).BaudRate, 19200u);
  EXPECT_EQ(write_and_trace(writer, *com7_, {'2'}, 1), std::vector<std::string>{text_line('2')});
}

TEST_F(Win32SerialWriterTest, PortTwelveOpensThroughTheDeviceNamespaceUnderItsPlainName) {
  const std::size_t com7_before = com7_->trace().size();
  Win32SerialWriter writer;
  ASSERT_TRUE(writer.open(u"COM12", ParitySelector::kNone, 9600));
  EXPECT_EQ(writer.port_name(), u"COM12");
  EXPECT_EQ(write_and_trace(writer, *com12_, {'Z', 0x0C}, 2),
            (std::vector<std::string>{text_line('Z'), "clear"}));
  EXPECT_EQ(com7_->trace().size(), com7_before) << "bytes for COM12 went to COM7";
}

TEST_F(Win32SerialWriterTest, PortsThatLeadNowhereDoNotOpen) {
  const std::u16string names[] = {
      u"COM9",                       // not mapped in the prefix
      u"COM",                        // empty port text
      u"",                           //
      std::u16string(u"COM7\0", 5),  // would open COM7 if the NUL were not caught
      u"COM7x",                      // not a port name: no prefix, so a file name that is not there
  };
  for (const std::u16string& name : names) {
    SCOPED_TRACE(std::string(name.begin(), name.end()));
    Win32SerialWriter writer;
    EXPECT_FALSE(writer.open(name, ParitySelector::kNone, 9600));
    EXPECT_FALSE(writer.is_open());
    EXPECT_EQ(writer.port_name(), name) << "the port record keeps what open() was given";
    EXPECT_FALSE(writer.write(Bytes{'X'}));
  }
}

// Only a serial port that takes the line settings is opened: a file named as the port is left
// alone (and unchanged), and a speed the port does not apply fails the open.
TEST_F(Win32SerialWriterTest, NeitherAFileNorAPortKeepingAnotherSpeedIsOpened) {
  wchar_t folder[MAX_PATH + 1] = {};
  GetTempPathW(MAX_PATH + 1, folder);
  const std::wstring file = std::wstring(folder) + L"kit-not-a-port.txt";
  {
    const kit::win32::UniqueFileHandle made(
        CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(made);
    DWORD written = 0;
    ASSERT_TRUE(WriteFile(made.get(), "keep", 4, &written, nullptr));
  }
  Win32SerialWriter writer;
  EXPECT_FALSE(writer.open(std::u16string(file.begin(), file.end()), ParitySelector::kNone, 9600));
  EXPECT_FALSE(writer.is_open());
  EXPECT_FALSE(writer.write(Bytes{'X'}));
  {
    const kit::win32::UniqueFileHandle read(
        CreateFileW(file.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    char content[8] = {};
    DWORD got = 0;
    ASSERT_TRUE(ReadFile(read.get(), content, sizeof content, &got, nullptr));
    EXPECT_EQ(std::string(content, got), "keep");
  }
  DeleteFileW(file.c_str());

  // Wine takes any speed on a pseudo-terminal and keeps 38400 for one it has no setting for.
  EXPECT_FALSE(writer.open(u"COM7", ParitySelector::kNone, 12345));
  EXPECT_FALSE(writer.is_open()) << "a port that failed to open must not stay held";
  EXPECT_TRUE(writer.open(u"COM7", ParitySelector::kNone, 9600));
}

// The display's line pulled out: the next write says the port is lost, and the port opens
// again once the line is back.
TEST_F(Win32SerialWriterTest, UnpluggedLineIsLostAndOpensAgainWhenPluggedBackIn) {
  Win32SerialWriter writer;
  ASSERT_TRUE(writer.open(u"COM12", ParitySelector::kNone, 9600));
  ASSERT_EQ(write_and_trace(writer, *com12_, {'A'}, 1), std::vector<std::string>{text_line('A')});
  ASSERT_TRUE(com12_->unplug());
  EXPECT_EQ(writer.write_within(Bytes{'B'}, std::nullopt), WriteResult::kPortLost);
  EXPECT_FALSE(writer.open(u"COM12", ParitySelector::kNone, 9600)) << "the port is still out";
  ASSERT_TRUE(com12_->plug_in());
  ASSERT_TRUE(writer.open(u"COM12", ParitySelector::kNone, 9600));
  EXPECT_EQ(write_and_trace(writer, *com12_, {'C'}, 1), std::vector<std::string>{text_line('C')});
}

TEST_F(Win32SerialWriterTest, EveryHandleIsReleasedOnEveryPath) {
  EXPECT_TRUE(test_support::leaves_no_handle_open([] {
    Win32SerialWriter closed_by_close;
    closed_by_close.open(u"COM7", ParitySelector::kNone, 9600);
    closed_by_close.write(Bytes{'L'});
    closed_by_close.open(u"COM7", ParitySelector::kNone, 9600);  // over the held port
    closed_by_close.close();
    closed_by_close.open(u"COM9", ParitySelector::kNone, 9600);  // fails
    Win32SerialWriter closed_by_destructor;
    closed_by_destructor.open(u"COM12", ParitySelector::kNone, 9600);
  }));
}

// Resumes a paused simulator however the test ends.
struct ResumeOnExit {
  const SimulatorLink& sim;
  ~ResumeOnExit() { sim.resume(); }
};

TEST_F(Win32SerialWriterTest, WriteToADisplayThatStoppedReadingEndsWithinItsBoundAndAnswersFalse) {
  Win32SerialWriter writer;
  ASSERT_TRUE(writer.open(u"COM12", ParitySelector::kNone, 9600));
  ASSERT_TRUE(com12_->pause()) << "cannot stop the COM12 simulator";
  const ResumeOnExit resume{*com12_};

  // Fill the line's buffers until a write has to wait; it must end by the write time-out.
  const Bytes block(64, 'x');
  const DWORD bound_ms = 1000 + 10 * 64 + Win32SerialWriter::kWaitMarginMs + Win32SerialWriter::kCancelWaitMs;
  bool refused = false;
  for (int i = 0; i < 4096 && !refused; ++i) {
    const ULONGLONG start = GetTickCount64();
    refused = !writer.write(block);
    const ULONGLONG elapsed = GetTickCount64() - start;
    EXPECT_LE(elapsed, bound_ms + 500) << "write " << i;
    if (refused) {
      EXPECT_GE(elapsed, 1000u) << "a stalled write must wait for its time-out, not fail at once";
    }
  }
  EXPECT_TRUE(refused) << "256 KiB went into a line nobody reads";

  // A write given a short limit gives up after it, not after the port's whole time-out.
  const ULONGLONG start = GetTickCount64();
  EXPECT_EQ(writer.write_within(block, std::chrono::milliseconds(100)), WriteResult::kTimedOut);
  EXPECT_LT(GetTickCount64() - start, 1000u) << "the port's own time-out is 1640 ms for 64 bytes";

  // Once the display reads again, the port works: the marker arrives after the backlog.
  ASSERT_TRUE(com12_->resume());
  const std::size_t before = com12_->trace().size();
  EXPECT_TRUE(writer.write(Bytes{0x1F, 0x43, 0x99}));
  const ULONGLONG deadline = GetTickCount64() + 20000;
  std::vector<std::string> lines;
  do {
    lines = com12_->wait_for_trace(before, 1, 100);
  } while ((lines.empty() || lines.back() != cursor_type_line(0x99)) && GetTickCount64() < deadline);
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.back(), cursor_type_line(0x99));
}

}  // namespace
}  // namespace varnel
