// The main dialog's behaviour over a recording view, a scripted port object
// and fakes for the settings file and the firmware tool.
#include "utility/core/utility_dialog.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "utility/core/config_frames.h"
#include "utility/core/language_font_table.h"

namespace utility {
namespace {

using Bytes = std::vector<std::uint8_t>;

// One ordered log of everything the dialog did to the world, so tests can
// check the order of effects across the fakes.
using EventLog = std::vector<std::string>;

struct ShownMessage {
  std::string text;
  std::string title;
  MessageIcon icon;
};

class RecordingView final : public DialogView {
 public:
  explicit RecordingView(EventLog& log) : log_(log) {}

  void EnableControl(int controlId, bool enabled) override { enabled_[controlId] = enabled; }
  void AddListEntry(int listId, std::string_view entry) override { lists_[listId].emplace_back(entry); }
  void SelectListEntry(int listId, int index) override { selected_[listId] = index; }
  int SelectedIndex(int listId) const override {
    const auto found = selected_.find(listId);
    return found == selected_.end() ? -1 : found->second;
  }
  std::string EditText(int editId, std::size_t maxChars) const override {
    const auto found = edits_.find(editId);
    return found == edits_.end() ? std::string() : found->second.substr(0, maxChars);
  }
  void ShowMessage(std::string_view text, std::string_view title, MessageIcon icon) override {
    messages.push_back({std::string(text), std::string(title), icon});
    log_.push_back("message " + std::string(text));
  }
  void StartTimer(unsigned timerId, unsigned periodMs) override {
    timers_[timerId] = periodMs;
    ++timerStarts;
  }
  void StopTimer(unsigned timerId) override { timers_.erase(timerId); }
  void EndDialog() override { log_.emplace_back("end dialog"); }

  bool Enabled(int controlId) const {
    const auto found = enabled_.find(controlId);
    return found != enabled_.end() && found->second;
  }
  bool TimerRunning(unsigned timerId) const { return timers_.count(timerId) != 0; }
  unsigned TimerPeriod(unsigned timerId) const { return timers_.at(timerId); }
  const std::vector<std::string>& List(int listId) const { return lists_.at(listId); }
  void SetEdit(int editId, std::string text) { edits_[editId] = std::move(text); }

  std::vector<ShownMessage> messages;
  int timerStarts = 0;

 private:
  EventLog& log_;
  std::map<int, bool> enabled_;
  std::map<int, std::vector<std::string>> lists_;
  std::map<int, int> selected_;
  std::map<int, std::string> edits_;
  std::map<unsigned, unsigned> timers_;
};

// Plays the port object. Writes are recorded; `onWrite` lets a test answer a
// frame the way the display would, by queueing bytes.
class ScriptedLink final : public UtilityLink {
 public:
  explicit ScriptedLink(EventLog& log) : log_(log) {}

  bool OpenLink(const std::string& deviceName, std::int32_t baudRate, std::uint16_t portNumber) override {
    log_.push_back("open " + deviceName + " " + std::to_string(baudRate) + " " + std::to_string(portNumber));
    connected_ = openSucceeds;
    return openSucceeds;
  }
  void CloseLink() override {
    log_.emplace_back("close");
    connected_ = false;
  }
  bool IsConnected() const override { return connected_; }
  void AttachNotifications() override { log_.emplace_back("attach"); }
  CByteQueue& ReceiveQueue() override { return queue; }
  bool ApplyPendingClear() override {
    if (!overflowPending) {
      return false;
    }
    overflowPending = false;
    queue.Clear();
    return true;
  }
  bool TakeLineLost() override { return std::exchange(lineLost, false); }
  bool WaitUntilSent(std::uint32_t limitMs) override {
    log_.push_back("drain " + std::to_string(limitMs));
    return true;
  }
  // The far end goes away, as the watch thread reports it.
  void LoseLine() {
    connected_ = false;
    lineLost = true;
  }
  std::uint32_t WriteBytes(const std::uint8_t* bytes, std::uint32_t length) override {
    frames.emplace_back(bytes, bytes + length);
    log_.emplace_back("write");
    if (onWrite) {
      onWrite(frames.back());
    }
    return length;
  }

  void Receive(const Bytes& bytes) {
    for (const std::uint8_t byte : bytes) {
      ASSERT_TRUE(queue.Put(byte));
    }
  }

  bool openSucceeds = true;
  bool overflowPending = false;
  bool lineLost = false;
  std::vector<Bytes> frames;
  std::function<void(const Bytes&)> onWrite;
  CByteQueue queue;

 private:
  EventLog& log_;
  bool connected_ = false;
};

class RecordingSettings final : public SettingsFile {
 public:
  explicit RecordingSettings(EventLog& log) : log_(log) {}
  Result OverwriteStart(std::string_view fileName, std::span<const std::uint8_t> bytes) override {
    log_.push_back("settings " + std::string(fileName) + " " + std::string(bytes.begin(), bytes.end()));
    return result;
  }
  Result result = Result::Written;

 private:
  EventLog& log_;
};

// A file system of program files: the tool lies in the utility's own folder
// unless a test moves it.
class RecordingStarter final : public ProgramStarter {
 public:
  explicit RecordingStarter(EventLog& log) : log_(log) {}
  Places SearchPlaces() const override { return places; }
  bool IsProgramFile(const std::string& path) const override { return programFiles.count(path) != 0; }
  bool Start(const std::string& path) override {
    log_.push_back("start " + path);
    return starts;
  }
  bool starts = true;
  Places places{"C:\\Zorn", {"C:\\Windows\\system32", "D:\\Tools"}, PathStyle::Windows};
  std::set<std::string> programFiles{"C:\\Zorn\\NuvoISP.exe"};

 private:
  EventLog& log_;
};

// The dialog on its fakes, started as the window starts it.
struct DialogHarness {
  DialogHarness() { dialog.OnInitDialog(); }

  void OpenPort() {
    dialog.OnPortOpen();
    ASSERT_TRUE(link.IsConnected());
    log.clear();
    link.frames.clear();
  }

  std::size_t CountEvents(const std::string& event) const {
    return static_cast<std::size_t>(std::count(log.begin(), log.end(), event));
  }

  EventLog log;
  RecordingView view{log};
  ScriptedLink link{log};
  RecordingSettings settings{log};
  RecordingStarter starter{log};
  CZorn_UtilityDlg dialog{view, link, settings, starter};
};

class UtilityDialogTest : public ::testing::Test, public DialogHarness {};

constexpr std::array<int, 7> kCommandButtons = {
    control_id::kChange,         control_id::kInputString,     control_id::kSetCommandSet,
    control_id::kSetDefaultFont, control_id::kProgramDownLoad, control_id::kInformation,
    control_id::kFontSet,
};

TEST_F(UtilityDialogTest, StartsClosedWithTheListsFilledAndPortFourSelected) {
  const auto& ports = view.List(control_id::kPortList);
  ASSERT_EQ(ports.size(), 20U);
  EXPECT_EQ(ports.front(), " COM 1 ");
  EXPECT_EQ(ports.back(), " COM 20 ");
  EXPECT_EQ(view.SelectedIndex(control_id::kPortList), 3);
  EXPECT_EQ(view.List(control_id::kCurrentBaud).back(), "115200");
  EXPECT_EQ(view.List(control_id::kCommandSetList).size(), 10U);
  EXPECT_EQ(view.List(control_id::kDefaultFontList).size(), 18U);
  ASSERT_EQ(view.List(control_id::kLanguageList).size(), 22U);
  EXPECT_EQ(view.List(control_id::kLanguageList).front(), "(US) USA");
  EXPECT_EQ(view.List(control_id::kLanguageList).back(), "(RW) Russia");
  for (const int list : {control_id::kCurrentBaud, control_id::kChangingBaud, control_id::kCommandSetList,
                         control_id::kDefaultFontList, control_id::kLanguageList}) {
    EXPECT_EQ(view.SelectedIndex(list), 0) << list;
  }
  EXPECT_TRUE(view.Enabled(control_id::kPortOpen));
  for (const int button : kCommandButtons) {
    EXPECT_FALSE(view.Enabled(button)) << button;
  }
}

TEST_F(UtilityDialogTest, PortOpenUsesTheSelectedPortAndSpeedAndEnablesTheCommands) {
  view.SelectListEntry(control_id::kCurrentBaud, 4);
  dialog.OnPortOpen();
  EXPECT_EQ(log, (EventLog{"open COM4 115200 4", "attach"}));
  EXPECT_FALSE(view.Enabled(control_id::kPortOpen));
  for (const int button : kCommandButtons) {
    EXPECT_TRUE(view.Enabled(button)) << button;
  }
  EXPECT_TRUE(view.messages.empty());
}

TEST_F(UtilityDialogTest, FailedOpenShowsTheErrorKeepsTheControlsAndStillAttaches) {
  link.openSucceeds = false;
  view.SelectListEntry(control_id::kPortList, 11);
  dialog.OnPortOpen();
  EXPECT_EQ(log, (EventLog{"open COM12 9600 12", "message Com port open failed !", "attach"}));
  ASSERT_EQ(view.messages.size(), 1U);
  EXPECT_EQ(view.messages[0].title, " Zorn Utility Ver 2.03  ");
  EXPECT_EQ(view.messages[0].icon, MessageIcon::Error);
  EXPECT_TRUE(view.Enabled(control_id::kPortOpen));
  EXPECT_FALSE(view.Enabled(control_id::kInformation));
}

TEST_F(UtilityDialogTest, PortOpenWithoutASelectionOpensNothing) {
  for (const int list : {control_id::kPortList, control_id::kCurrentBaud}) {
    log.clear();
    view.SelectListEntry(control_id::kPortList, 3);
    view.SelectListEntry(control_id::kCurrentBaud, 0);
    view.SelectListEntry(list, -1);
    dialog.OnPortOpen();
    EXPECT_EQ(log, (EventLog{"message Com port open failed !", "attach"})) << list;
  }
}

TEST_F(UtilityDialogTest, CloseAlwaysReportsAndDisablesTheCommands) {
  dialog.OnClose();
  ASSERT_EQ(view.messages.size(), 1U);
  EXPECT_EQ(view.messages[0].text, "Com port closed !");
  EXPECT_EQ(view.messages[0].icon, MessageIcon::Information);
  EXPECT_TRUE(view.Enabled(control_id::kPortOpen));

  OpenPort();
  dialog.OnClose();
  EXPECT_EQ(log, (EventLog{"drain 1000", "close", "message Com port closed !"}));
  EXPECT_FALSE(link.IsConnected());
  EXPECT_TRUE(view.Enabled(control_id::kPortOpen));
  EXPECT_FALSE(view.Enabled(control_id::kFontSet));
}

TEST_F(UtilityDialogTest, ExitReleasesThePortWithoutAMessage) {
  OpenPort();
  dialog.OnExit();
  EXPECT_EQ(log, (EventLog{"drain 1000", "close", "end dialog"}));
  EXPECT_TRUE(view.messages.empty());
}

struct SettingFrameCase {
  const char* name;
  std::function<void(RecordingView&)> select;
  void (CZorn_UtilityDlg::*handler)();
  Bytes frame;
};

TEST_F(UtilityDialogTest, SettingButtonsSendTheirFramesFromTheSelections) {
  const std::vector<SettingFrameCase> cases = {
      {"change to 115200",
       [](RecordingView& v) { v.SelectListEntry(control_id::kChangingBaud, 4); },
       &CZorn_UtilityDlg::OnChange,
       {0x02, 0x02, 0x33, 0x04, 0x03, 0x36}},
      {"change, nothing selected",
       [](RecordingView& v) { v.SelectListEntry(control_id::kChangingBaud, -1); },
       &CZorn_UtilityDlg::OnChange,
       {0x02, 0x02, 0x33, 0xFF, 0x03, 0xCD}},
      {"LOGIC CONTROL",
       [](RecordingView& v) { v.SelectListEntry(control_id::kCommandSetList, 9); },
       &CZorn_UtilityDlg::OnSetCommandSet,
       {0x02, 0x02, 0x34, 0x09, 0x03, 0x3C}},
      {"CD5220",
       [](RecordingView& v) { v.SelectListEntry(control_id::kCommandSetList, 7); },
       &CZorn_UtilityDlg::OnSetCommandSet,
       {0x02, 0x02, 0x34, 0x07, 0x03, 0x32}},
      {"Russian(Windows-1251)",
       [](RecordingView& v) { v.SelectListEntry(control_id::kDefaultFontList, 17); },
       &CZorn_UtilityDlg::OnSetDefaultFont,
       {0x02, 0x02, 0x35, 0x11, 0x03, 0x25}},
      {"font, nothing selected",
       [](RecordingView& v) { v.SelectListEntry(control_id::kDefaultFontList, -1); },
       &CZorn_UtilityDlg::OnSetDefaultFont,
       {0x02, 0x02, 0x35, 0x1F, 0x03, 0x2B}},
  };
  OpenPort();
  for (const auto& c : cases) {
    link.frames.clear();
    c.select(view);
    (dialog.*c.handler)();
    ASSERT_EQ(link.frames.size(), 1U) << c.name;
    EXPECT_EQ(link.frames[0], c.frame) << c.name;
  }
  EXPECT_TRUE(link.IsConnected()) << "a speed change keeps the port open at its speed";
  EXPECT_TRUE(view.messages.empty());
}

TEST_F(UtilityDialogTest, InputStringCutsAndPadsBothLines) {
  OpenPort();
  view.SetEdit(control_id::kLine1, "ABCDEFGHIJKLMNOPQRSTUVWXY");  // 25 characters
  view.SetEdit(control_id::kLine2, "");
  dialog.OnInputString();
  ASSERT_EQ(link.frames.size(), 1U);
  const Bytes& frame = link.frames[0];
  ASSERT_EQ(frame.size(), 45U);
  EXPECT_EQ(std::string(frame.begin() + 3, frame.begin() + 23), "ABCDEFGHIJKLMNOPQRST");
  EXPECT_EQ(std::string(frame.begin() + 23, frame.begin() + 43), std::string(20, ' '));
}

// A record as the display sends it: 02 LEN 'D', the version, the four codes.
Bytes InformationReply(const std::string& version, const Bytes& codes, std::size_t size = 22) {
  Bytes reply(std::max<std::size_t>(size, 3 + version.size() + codes.size()), 0x03);
  reply[0] = 0x02;
  reply[1] = 0x13;
  reply[2] = 0x44;
  std::copy(version.begin(), version.end(), reply.begin() + 3);
  std::copy(codes.begin(), codes.end(), reply.begin() + 3 + static_cast<std::ptrdiff_t>(version.size()));
  return reply;
}

TEST_F(UtilityDialogTest, InformationEmptiesTheRingBeforeTheRequestSoAFastReplySurvives) {
  OpenPort();
  link.Receive({0x06, 0x06, 0x15});  // left over from earlier setting frames
  link.onWrite = [this](const Bytes&) { link.Receive(InformationReply("FW 1.23 ABCD", {7, 0, 0, 4})); };
  dialog.OnInformation();
  EXPECT_EQ(link.frames, (std::vector<Bytes>{{0x02, 0x01, 0x44, 0x03, 0x46}}));
  EXPECT_EQ(link.queue.Count(), 22);
  EXPECT_EQ(dialog.Pending(), CZorn_UtilityDlg::PendingReply::Information);

  dialog.OnReceiveNotification();
  ASSERT_EQ(view.messages.size(), 1U);
  EXPECT_EQ(view.messages[0].title, "Zorn Information");
  EXPECT_EQ(view.messages[0].icon, MessageIcon::Information);
  EXPECT_EQ(view.messages[0].text,
            "\n\nVersion :\nFW 1.23 ABCD"
            "\n\nCommand Set :\n 7\n\nDefault Font :\n 0\n\nLanguage :\n 0\n\nBPS :\n 4");
  EXPECT_EQ(dialog.Pending(), CZorn_UtilityDlg::PendingReply::None);
  EXPECT_EQ(link.queue.Count(), 0);
}

TEST_F(UtilityDialogTest, InformationWaitsForTwentyTwoBytesAcrossNotifications) {
  OpenPort();
  dialog.OnInformation();
  Bytes reply = InformationReply("ABCDEFGHIJKL", {0x1A, 0x05, 0x10, 0x00}, 26);
  link.Receive(Bytes(reply.begin(), reply.begin() + 21));
  dialog.OnReceiveNotification();
  EXPECT_TRUE(view.messages.empty());
  EXPECT_EQ(link.queue.Count(), 21);
  link.Receive(Bytes(reply.begin() + 21, reply.end()));
  dialog.OnReceiveNotification();
  ASSERT_EQ(view.messages.size(), 1U);
  EXPECT_EQ(view.messages[0].text,
            "\n\nVersion :\nABCDEFGHIJKL"
            "\n\nCommand Set :\n1A\n\nDefault Font :\n 5\n\nLanguage :\n10\n\nBPS :\n 0");
}

// "Zorn Information" interrupts a glyph download: the acknowledgement of the
// block in flight arrives after the ring was emptied, between the request and
// the reply. The reply is read from its start byte all the same.
TEST_F(UtilityDialogTest, BytesBeforeTheRepliesStartByteAreDiscarded) {
  struct Case {
    const char* name;
    Bytes early;            // what arrives after the request, before the reply
    bool ownNotification;   // announced before the reply arrives
    std::size_t firstPart;  // of the reply, in the first notification that carries it
  };
  const std::vector<Case> cases = {
      {"late ACK with the reply", {kAck}, false, 22},
      {"late ACK announced alone", {kAck}, true, 22},
      {"NAK and ACK, then a split reply", {0x15, kAck}, true, 21},
      {"ACK and the first 21 bytes, then one more", {kAck}, false, 21},
  };
  const Bytes reply = InformationReply("FW 1.23 ABCD", {7, 8, 1, 4});
  OpenPort();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    view.messages.clear();
    link.onWrite = [&](const Bytes&) { link.Receive(c.early); };
    dialog.OnFontSet();
    dialog.OnInformation();
    link.onWrite = nullptr;
    if (c.ownNotification) {
      dialog.OnReceiveNotification();
      EXPECT_EQ(link.queue.Count(), 0) << "bytes without a start byte are dropped";
    }
    link.Receive(Bytes(reply.begin(), reply.begin() + static_cast<std::ptrdiff_t>(c.firstPart)));
    dialog.OnReceiveNotification();
    if (c.firstPart < reply.size()) {
      EXPECT_TRUE(view.messages.empty()) << "21 bytes from the start byte are not yet a record";
      link.Receive(Bytes(reply.begin() + static_cast<std::ptrdiff_t>(c.firstPart), reply.end()));
      dialog.OnReceiveNotification();
    }
    ASSERT_EQ(view.messages.size(), 1U);
    EXPECT_EQ(view.messages[0].text,
              "\n\nVersion :\nFW 1.23 ABCD"
              "\n\nCommand Set :\n 7\n\nDefault Font :\n 8\n\nLanguage :\n 1\n\nBPS :\n 4");
    EXPECT_EQ(link.queue.Count(), 0);
    EXPECT_EQ(link.frames.size(), 2U) << "the first glyph block and the request; the late ACK sent nothing";
    link.frames.clear();
  }
}

TEST(FormatInformation, LeavesZeroVersionBytesOut) {
  Bytes reply = InformationReply(std::string("V1\0\0.0", 6) + "      ", {1, 2, 3, 4});
  const auto record = ReadInformationRecord(reply);
  ASSERT_TRUE(record.has_value());
  EXPECT_EQ(FormatInformation(*record).substr(0, 22), "\n\nVersion :\nV1.0      ");
}

TEST_F(UtilityDialogTest, ReplyLargerThanTheReplyBufferIsTakenWhole) {
  OpenPort();
  dialog.OnInformation();
  Bytes reply = InformationReply("ABCDEFGHIJKL", {1, 2, 3, 4}, 1500);
  link.Receive(reply);
  dialog.OnReceiveNotification();
  ASSERT_EQ(view.messages.size(), 1U);
  EXPECT_NE(view.messages[0].text.find("ABCDEFGHIJKL"), std::string::npos);
  EXPECT_EQ(link.queue.Count(), 0);
}

TEST_F(UtilityDialogTest, BytesWithoutAPendingExchangeStayQueued) {
  OpenPort();
  link.Receive(InformationReply("ABCDEFGHIJKL", {1, 2, 3, 4}));
  dialog.OnReceiveNotification();
  EXPECT_TRUE(view.messages.empty());
  EXPECT_EQ(link.queue.Count(), 22);
}

TEST_F(UtilityDialogTest, OverflowNotYetHandledIsReportedBeforeTheClose) {
  OpenPort();
  link.overflowPending = true;
  dialog.OnClose();
  EXPECT_EQ(log, (EventLog{"message m_QueueRead FULL!", "drain 1000", "close", "message Com port closed !"}));
  dialog.OnReceiveNotification();
  EXPECT_EQ(view.messages.size(), 2U);
}

TEST_F(UtilityDialogTest, OverflowIsReportedOnceOnTheDialogsThread) {
  OpenPort();
  link.Receive({1, 2, 3});
  link.overflowPending = true;
  dialog.OnReceiveNotification();
  dialog.OnReceiveNotification();
  ASSERT_EQ(view.messages.size(), 1U);
  EXPECT_EQ(view.messages[0].text, "m_QueueRead FULL!");
  EXPECT_EQ(link.queue.Count(), 0);
}

// Runs a download in which the display answers every block with `ack`;
// returns the frames sent.
std::vector<Bytes> DownloadWithReplies(UtilityDialogTest* /*unused*/, ScriptedLink& link,
                                       CZorn_UtilityDlg& dialog, const Bytes& ack) {
  link.frames.clear();
  dialog.OnFontSet();
  for (int guard = 0; guard < 40 && dialog.Pending() == CZorn_UtilityDlg::PendingReply::FontSet; ++guard) {
    link.Receive(ack);
    dialog.OnReceiveNotification();
  }
  return link.frames;
}

// `length` bytes of `source` from `offset`, padded with zeros to a block.
std::array<std::uint8_t, 32> Block(std::span<const std::uint8_t> source, std::size_t offset,
                                   std::size_t length) {
  std::array<std::uint8_t, 32> block{};
  std::copy_n(source.begin() + static_cast<std::ptrdiff_t>(offset), length, block.begin());
  return block;
}

TEST_F(UtilityDialogTest, GlyphDownloadSendsTwentyThreeFramesOnePerAcknowledgement) {
  OpenPort();
  view.SelectListEntry(control_id::kLanguageList, 21);  // (RW) Russia
  const LanguageFontRow& glyphs = LanguageFontTable()[21];
  const LanguageFontRow& us = LanguageFontTable()[0];
  const std::vector<Bytes> frames = DownloadWithReplies(this, link, dialog, {0x06});
  ASSERT_EQ(frames.size(), 23U);
  EXPECT_EQ(frames[0], InternationalGlyphFrame(0, Block(us.InternationalGlyphs, 0, 32)));
  EXPECT_EQ(frames[1], InternationalGlyphFrame(1, Block(us.InternationalGlyphs, 32, 28)));
  EXPECT_EQ(Bytes(frames[1].end() - 6, frames[1].end() - 2), (Bytes{0, 0, 0, 0}));
  for (std::size_t block = 0; block < 20; ++block) {
    EXPECT_EQ(frames[2 + block],
              UpperGlyphFrame(static_cast<std::uint8_t>(block), Block(glyphs.UpperGlyphs, block * 32, 32)))
        << block;
  }
  EXPECT_EQ(frames[22], (Bytes{0x02, 0x03, 0x43, 0x52, 0x57, 0x03, 0x46}));
  EXPECT_EQ(dialog.Pending(), CZorn_UtilityDlg::PendingReply::None);
  EXPECT_FALSE(view.TimerRunning(ID_TIMER_RESPONSE));
  EXPECT_TRUE(view.messages.empty());
  EXPECT_EQ(dialog.Progress().framesSent, 23);
}

TEST_F(UtilityDialogTest, OnlyAReplyEndingInAckAdvancesTheDownload) {
  OpenPort();
  EXPECT_EQ(DownloadWithReplies(this, link, dialog, {0x15, 0x06}).size(), 23U);

  link.frames.clear();
  dialog.OnFontSet();
  EXPECT_EQ(view.TimerPeriod(ID_TIMER_RESPONSE), 5000U);
  link.Receive({0x06, 0x15});
  dialog.OnReceiveNotification();
  dialog.OnReceiveNotification();  // nothing waiting
  EXPECT_EQ(link.frames.size(), 1U);
  EXPECT_EQ(dialog.Pending(), CZorn_UtilityDlg::PendingReply::FontSet);
}

// The response timer measures the display's silence about the download, not
// the line's: only an acknowledgement that sends the next frame restarts it.
TEST_F(UtilityDialogTest, OnlyAnAcknowledgementThatMovesTheDownloadRestartsTheTimer) {
  struct Case {
    const char* name;
    Bytes reply;
    int restarts;
  };
  const std::vector<Case> cases = {
      {"acknowledgement", {0x06}, 1},
      {"NAK", {0x15}, 0},
      {"noise ending in NAK", {0x06, 0x41, 0x15}, 0},
      {"nothing waiting", {}, 0},
  };
  OpenPort();
  for (const Case& c : cases) {
    dialog.OnFontSet();
    const int startsBefore = view.timerStarts;
    for (int repeat = 0; repeat < 50; ++repeat) {
      link.Receive(c.reply);
      dialog.OnReceiveNotification();
      if (c.restarts == 0) {
        continue;
      }
      break;
    }
    EXPECT_EQ(view.timerStarts - startsBefore, c.restarts) << c.name;
    // A chattering display times out like a silent one.
    EXPECT_TRUE(dialog.OnTimer(ID_TIMER_RESPONSE));
    EXPECT_EQ(dialog.Pending(), CZorn_UtilityDlg::PendingReply::None) << c.name;
    ASSERT_FALSE(view.messages.empty());
    EXPECT_EQ(view.messages.back().text, "Response Timeout !\n Try again") << c.name;
    view.messages.clear();
  }
}

// WM_TIMER ticks already queued when the timer stopped still arrive.
TEST_F(UtilityDialogTest, ATimerTickAfterTheDownloadEndedShowsNothing) {
  struct Case {
    const char* name;
    std::function<void()> end;
  };
  const std::vector<Case> cases = {
      {"no download ever", [] {}},
      {"download finished", [this] { DownloadWithReplies(this, link, dialog, {0x06}); }},
      {"information asked meanwhile",
       [this] {
         dialog.OnFontSet();
         dialog.OnInformation();
       }},
      {"timed out already",
       [this] {
         dialog.OnFontSet();
         dialog.OnTimer(ID_TIMER_RESPONSE);
       }},
  };
  OpenPort();
  for (const Case& c : cases) {
    c.end();
    const std::size_t shown = view.messages.size();
    const CZorn_UtilityDlg::PendingReply pending = dialog.Pending();
    EXPECT_TRUE(dialog.OnTimer(ID_TIMER_RESPONSE)) << c.name;
    EXPECT_EQ(view.messages.size(), shown) << c.name;
    EXPECT_EQ(dialog.Pending(), pending) << c.name;
    EXPECT_FALSE(view.TimerRunning(ID_TIMER_RESPONSE)) << c.name;
  }
}

TEST_F(UtilityDialogTest, ResponseTimeoutAbandonsTheDownload) {
  OpenPort();
  dialog.OnFontSet();
  EXPECT_FALSE(dialog.OnTimer(151));
  EXPECT_TRUE(view.messages.empty());
  EXPECT_TRUE(dialog.OnTimer(ID_TIMER_RESPONSE));
  ASSERT_EQ(view.messages.size(), 1U);
  EXPECT_EQ(view.messages[0].text, "Response Timeout !\n Try again");
  EXPECT_EQ(view.messages[0].title, " Zorn Utility Ver 2.03  ");
  EXPECT_EQ(view.messages[0].icon, MessageIcon::Information);
  EXPECT_EQ(dialog.Pending(), CZorn_UtilityDlg::PendingReply::None);
  EXPECT_FALSE(view.TimerRunning(ID_TIMER_RESPONSE));
  EXPECT_EQ(dialog.Progress().bytesToSend, 0);
  link.Receive({0x06});
  dialog.OnReceiveNotification();
  EXPECT_EQ(link.frames.size(), 1U) << "a late acknowledgement sends nothing";
}

TEST_F(UtilityDialogTest, InformationReportsAnOverflowBeforeItEmptiesTheRing) {
  OpenPort();
  link.Receive({1, 2, 3});
  link.overflowPending = true;
  dialog.OnInformation();
  EXPECT_EQ(log, (EventLog{"message m_QueueRead FULL!", "write"}));
  dialog.OnReceiveNotification();
  EXPECT_EQ(view.messages.size(), 1U) << "reported once";
}

// The line goes away under the open port: whatever was going on ends, the
// port is released and the user is told once.
TEST_F(UtilityDialogTest, ALostLineIsReportedOnceAndClosesThePort) {
  struct Case {
    const char* name;
    std::function<void(CZorn_UtilityDlg&)> start;
    std::function<void(CZorn_UtilityDlg&)> notice;
    EventLog noticed;
  };
  const auto notification = [](CZorn_UtilityDlg& d) { d.OnReceiveNotification(); };
  const std::vector<Case> cases = {
      {"idle", [](CZorn_UtilityDlg&) {}, notification, {"close", "message Com port disconnected !"}},
      {"glyph download",
       [](CZorn_UtilityDlg& d) { d.OnFontSet(); },
       notification,
       {"close", "message Com port disconnected !"}},
      {"information",
       [](CZorn_UtilityDlg& d) { d.OnInformation(); },
       notification,
       {"close", "message Com port disconnected !"}},
      {"information asked after the loss",
       [](CZorn_UtilityDlg&) {},
       [](CZorn_UtilityDlg& d) { d.OnInformation(); },
       {"close", "message Com port disconnected !"}},
      {"close pressed before the notification",
       [](CZorn_UtilityDlg&) {},
       [](CZorn_UtilityDlg& d) { d.OnClose(); },
       {"close", "message Com port disconnected !", "close", "message Com port closed !"}},
  };
  for (const Case& c : cases) {
    OpenPort();
    c.start(dialog);
    link.LoseLine();
    log.clear();
    link.frames.clear();
    view.messages.clear();
    c.notice(dialog);
    EXPECT_EQ(log, c.noticed) << c.name;
    EXPECT_TRUE(link.frames.empty()) << c.name;
    EXPECT_EQ(dialog.Pending(), CZorn_UtilityDlg::PendingReply::None) << c.name;
    EXPECT_FALSE(view.TimerRunning(ID_TIMER_RESPONSE)) << c.name;
    EXPECT_TRUE(view.Enabled(control_id::kPortOpen)) << c.name;
    EXPECT_FALSE(view.Enabled(control_id::kInformation)) << c.name;
    ASSERT_FALSE(view.messages.empty()) << c.name;
    EXPECT_EQ(view.messages[0].icon, MessageIcon::Error) << c.name;
    EXPECT_EQ(view.messages[0].title, " Zorn Utility Ver 2.03  ") << c.name;
    dialog.OnReceiveNotification();
    EXPECT_EQ(std::count(log.begin(), log.end(), "message Com port disconnected !"), 1) << c.name;
  }
}

// Releasing the port ends the exchange in progress: no timeout after the
// close (nor over the firmware tool), and nothing of the old exchange acts on
// what arrives after a reopen.
TEST(DialogRelease, EveryWayOfReleasingThePortEndsTheExchange) {
  struct Way {
    const char* name;
    void (CZorn_UtilityDlg::*release)();
  };
  const std::vector<Way> ways = {
      {"Close", &CZorn_UtilityDlg::OnClose},
      {"Program Down Load", &CZorn_UtilityDlg::OnProgramDownLoad},
      {"EXIT", &CZorn_UtilityDlg::OnExit},
      {"dialog ends", &CZorn_UtilityDlg::OnDestroy},
  };
  struct Exchange {
    const char* name;
    void (CZorn_UtilityDlg::*start)();
    int acknowledged;  // blocks acknowledged before the release
    Bytes lateReply;
  };
  const std::vector<Exchange> exchanges = {
      {"glyph download", &CZorn_UtilityDlg::OnFontSet, 0, {kAck}},
      {"glyph download at an upper block", &CZorn_UtilityDlg::OnFontSet, 2, {kAck}},
      {"information", &CZorn_UtilityDlg::OnInformation, 0, InformationReply("FW 1.23 ABCD", {7, 0, 0, 4})},
  };
  for (const Way& way : ways) {
    for (const Exchange& exchange : exchanges) {
      SCOPED_TRACE(std::string(way.name) + " during " + exchange.name);
      DialogHarness h;
      h.OpenPort();
      (h.dialog.*exchange.start)();
      for (int ack = 0; ack < exchange.acknowledged; ++ack) {
        h.link.Receive({kAck});
        h.dialog.OnReceiveNotification();
      }
      const std::size_t framesBefore = h.link.frames.size();
      (h.dialog.*way.release)();
      EXPECT_EQ(h.dialog.Pending(), CZorn_UtilityDlg::PendingReply::None);
      EXPECT_FALSE(h.view.TimerRunning(ID_TIMER_RESPONSE));
      // A tick already queued when the timer stopped announces nothing.
      const std::size_t shown = h.view.messages.size();
      EXPECT_TRUE(h.dialog.OnTimer(ID_TIMER_RESPONSE));
      EXPECT_EQ(h.view.messages.size(), shown);

      h.dialog.OnPortOpen();
      ASSERT_TRUE(h.link.IsConnected());
      const std::size_t framesAfterRelease = h.link.frames.size();
      EXPECT_LE(framesAfterRelease, framesBefore + 1) << "at most the enter-download request";
      h.link.Receive(exchange.lateReply);
      h.dialog.OnReceiveNotification();
      EXPECT_EQ(h.link.frames.size(), framesAfterRelease) << "a late reply sends nothing";
      EXPECT_EQ(h.view.messages.size(), shown) << "and shows nothing";
      EXPECT_FALSE(h.view.TimerRunning(ID_TIMER_RESPONSE));
    }
  }
}

TEST_F(UtilityDialogTest, InformationDuringADownloadEndsTheDownloadAndItsTimer) {
  OpenPort();
  dialog.OnFontSet();
  dialog.OnInformation();
  EXPECT_FALSE(view.TimerRunning(ID_TIMER_RESPONSE));
  EXPECT_EQ(dialog.Pending(), CZorn_UtilityDlg::PendingReply::Information);
}

TEST_F(UtilityDialogTest, FontSetWithoutALanguageSendsNothing) {
  OpenPort();
  view.SelectListEntry(control_id::kLanguageList, -1);
  dialog.OnFontSet();
  EXPECT_TRUE(link.frames.empty());
  EXPECT_EQ(dialog.Pending(), CZorn_UtilityDlg::PendingReply::None);
  ASSERT_EQ(view.messages.size(), 1U);
}

TEST_F(UtilityDialogTest, ProgramDownLoadHandsOverAfterTheCloseMessage) {
  OpenPort();
  dialog.OnProgramDownLoad();
  EXPECT_EQ(link.frames, (std::vector<Bytes>{{0x02, 0x03, 0x40, 0xAA, 0x55, 0x03, 0xBF}}));
  // The frame gets its time to leave the driver before the close purges it.
  EXPECT_EQ(log, (EventLog{"write", "drain 1000", "close", "message Com port closed !",
                           "settings config.data U,0,S,1,3,", "start C:\\Zorn\\NuvoISP.exe"}));
  EXPECT_TRUE(view.Enabled(control_id::kPortOpen));
  EXPECT_FALSE(view.Enabled(control_id::kProgramDownLoad));
}

// The tool is looked for before anything is sent: without it the display
// would wait in its download mode for a tool that never comes.
TEST_F(UtilityDialogTest, ProgramDownLoadStartsTheToolByItsFullPathOrSaysItWasNotFound) {
  struct Case {
    const char* name;
    std::set<std::string> programFiles;
    const char* started;  // null: not found
  };
  const std::vector<Case> cases = {
      {"own folder before PATH",
       {"C:\\Zorn\\NuvoISP.exe", "D:\\Tools\\NuvoISP.exe"},
       "C:\\Zorn\\NuvoISP.exe"},
      {"the first PATH folder that holds it", {"D:\\Tools\\NuvoISP.exe"}, "D:\\Tools\\NuvoISP.exe"},
      {"nowhere", {}, nullptr},
      {"only in the current folder", {"NuvoISP.exe", ".\\NuvoISP.exe"}, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    OpenPort();
    view.messages.clear();
    starter.programFiles = c.programFiles;
    dialog.OnProgramDownLoad();
    if (c.started != nullptr) {
      EXPECT_EQ(log.back(), std::string("start ") + c.started);
      EXPECT_EQ(dialog.LastOutcome(), ActionOutcome::ToolStarted);
      continue;
    }
    EXPECT_EQ(log, (EventLog{"message NuvoISP.exe was not found"}));
    EXPECT_TRUE(link.frames.empty()) << "the display is not sent into its download mode";
    EXPECT_TRUE(link.IsConnected());
    EXPECT_EQ(view.messages[0].icon, MessageIcon::Error);
    EXPECT_EQ(dialog.LastOutcome(), ActionOutcome::ToolNotFound);
    dialog.OnClose();
  }
}

TEST_F(UtilityDialogTest, ProgramDownLoadTakesTheDigitFromTheListAtTheClick) {
  const std::vector<std::pair<int, char>> cases = {{0, '0'}, {3, '3'}, {10, ':'}, {19, 'C'}};
  for (const auto& [index, digit] : cases) {
    OpenPort();
    view.SelectListEntry(control_id::kPortList, index);
    dialog.OnProgramDownLoad();
    EXPECT_EQ(log[4], std::string("settings config.data U,0,S,1,") + digit + ",") << index;
    view.SelectListEntry(control_id::kPortList, 3);
  }
}

TEST_F(UtilityDialogTest, ProgramDownLoadStartsTheToolUnlessTheRecordCouldNotBeWritten) {
  OpenPort();
  settings.result = SettingsFile::Result::NotOpened;
  dialog.OnProgramDownLoad();
  EXPECT_EQ(CountEvents("start C:\\Zorn\\NuvoISP.exe"), 1U);

  OpenPort();
  settings.result = SettingsFile::Result::WriteFailed;
  dialog.OnProgramDownLoad();
  EXPECT_EQ(CountEvents("start C:\\Zorn\\NuvoISP.exe"), 0U);
  EXPECT_EQ(view.messages.back().text, "An error occurred while writing config.data.");
}

// What each action comes to, as a front end without boxes reads it.
TEST(DialogOutcome, EachActionReportsWhatItCameTo) {
  const auto acknowledgeAll = [](DialogHarness& h) {
    for (int frame = 0; frame < 30 && h.dialog.Pending() != CZorn_UtilityDlg::PendingReply::None; ++frame) {
      h.link.Receive({kAck});
      h.dialog.OnReceiveNotification();
    }
  };
  struct Case {
    const char* action;
    bool open;
    std::function<void(DialogHarness&)> play;
    ActionOutcome expected;
  };
  const std::vector<Case> cases = {
      {"nothing yet", false, [](DialogHarness&) {}, ActionOutcome::None},
      {"port opened", false, [](DialogHarness& h) { h.dialog.OnPortOpen(); }, ActionOutcome::PortOpened},
      {"port refused", false,
       [](DialogHarness& h) {
         h.link.openSucceeds = false;
         h.dialog.OnPortOpen();
       },
       ActionOutcome::OpenFailed},
      {"close", true, [](DialogHarness& h) { h.dialog.OnClose(); }, ActionOutcome::PortClosed},
      {"speed change", true, [](DialogHarness& h) { h.dialog.OnChange(); }, ActionOutcome::Sent},
      {"input string", true, [](DialogHarness& h) { h.dialog.OnInputString(); }, ActionOutcome::Sent},
      {"command set", true, [](DialogHarness& h) { h.dialog.OnSetCommandSet(); }, ActionOutcome::Sent},
      {"default font", true, [](DialogHarness& h) { h.dialog.OnSetDefaultFont(); }, ActionOutcome::Sent},
      {"information unanswered", true, [](DialogHarness& h) { h.dialog.OnInformation(); },
       ActionOutcome::AwaitingReply},
      {"information answered", true,
       [](DialogHarness& h) {
         h.dialog.OnInformation();
         h.link.Receive(InformationReply("FW 1.23 ABCD", {7, 0, 0, 4}));
         h.dialog.OnReceiveNotification();
       },
       ActionOutcome::Answered},
      {"information on a lost line", true,
       [](DialogHarness& h) {
         h.link.LoseLine();
         h.dialog.OnInformation();
       },
       ActionOutcome::Disconnected},
      {"overflow during information", true,
       [](DialogHarness& h) {
         h.dialog.OnInformation();
         h.link.overflowPending = true;
         h.dialog.OnReceiveNotification();
       },
       ActionOutcome::QueueFull},
      {"overflow before information", true,
       [](DialogHarness& h) {
         h.link.overflowPending = true;
         h.dialog.OnInformation();
       },
       ActionOutcome::AwaitingReply},
      {"font set without a language", true,
       [](DialogHarness& h) {
         h.view.SelectListEntry(control_id::kLanguageList, -1);
         h.dialog.OnFontSet();
       },
       ActionOutcome::NoLanguage},
      {"font set under way", true, [](DialogHarness& h) { h.dialog.OnFontSet(); },
       ActionOutcome::AwaitingReply},
      {"font set acknowledged to the end", true,
       [&](DialogHarness& h) {
         h.dialog.OnFontSet();
         acknowledgeAll(h);
       },
       ActionOutcome::Downloaded},
      {"late timer tick after the download", true,
       [&](DialogHarness& h) {
         h.dialog.OnFontSet();
         acknowledgeAll(h);
         h.dialog.OnTimer(ID_TIMER_RESPONSE);
       },
       ActionOutcome::Downloaded},
      {"font set silent", true,
       [](DialogHarness& h) {
         h.dialog.OnFontSet();
         h.dialog.OnTimer(ID_TIMER_RESPONSE);
       },
       ActionOutcome::TimedOut},
      {"font set line lost", true,
       [](DialogHarness& h) {
         h.dialog.OnFontSet();
         h.link.LoseLine();
         h.dialog.OnReceiveNotification();
       },
       ActionOutcome::Disconnected},
      {"hand-over, tool started", true, [](DialogHarness& h) { h.dialog.OnProgramDownLoad(); },
       ActionOutcome::ToolStarted},
      {"hand-over, no config.data", true,
       [](DialogHarness& h) {
         h.settings.result = SettingsFile::Result::NotOpened;
         h.dialog.OnProgramDownLoad();
       },
       ActionOutcome::ToolStarted},
      {"hand-over, tool does not start", true,
       [](DialogHarness& h) {
         h.starter.starts = false;
         h.dialog.OnProgramDownLoad();
       },
       ActionOutcome::ToolNotStarted},
      {"hand-over, tool not found", true,
       [](DialogHarness& h) {
         h.starter.programFiles.clear();
         h.dialog.OnProgramDownLoad();
       },
       ActionOutcome::ToolNotFound},
      {"hand-over, config.data not written", true,
       [](DialogHarness& h) {
         h.settings.result = SettingsFile::Result::WriteFailed;
         h.dialog.OnProgramDownLoad();
       },
       ActionOutcome::SettingsWriteFailed},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.action);
    DialogHarness h;
    if (c.open) {
      h.OpenPort();
    }
    c.play(h);
    EXPECT_EQ(h.dialog.LastOutcome(), c.expected);
  }
}

}  // namespace
}  // namespace utility
