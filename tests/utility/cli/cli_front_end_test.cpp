// The command-line front end over a scripted display: argument handling,
// exit codes and the exchanges it waits for.
#include "utility/cli/cli_front_end.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <functional>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "utility/cli/cli_commands.h"

namespace utility {
namespace {

using Bytes = std::vector<std::uint8_t>;

// A display behind a port: answers frames by queueing bytes and announcing
// them, as the watch thread would.
class ScriptedDisplay final : public UtilityLink, public NotificationWaiter {
 public:
  bool OpenLink(const std::string& deviceName, std::int32_t baudRate, std::uint16_t portNumber) override {
    opened.push_back(deviceName + "@" + std::to_string(baudRate) + "#" + std::to_string(portNumber));
    connected_ = openSucceeds;
    return openSucceeds;
  }
  void CloseLink() override {
    connected_ = false;
    ++closes;
  }
  bool IsConnected() const override { return connected_; }
  void AttachNotifications() override {}
  CByteQueue& ReceiveQueue() override { return queue_; }
  bool ApplyPendingClear() override { return false; }
  bool TakeLineLost() override { return std::exchange(lineLost_, false); }
  bool WaitUntilSent(std::uint32_t /*limitMs*/) override { return true; }
  std::uint32_t WriteBytes(const std::uint8_t* bytes, std::uint32_t length) override {
    if (!connected_) {
      return 0;
    }
    frames.emplace_back(bytes, bytes + length);
    if (frames.size() == hangUpAtFrame) {
      // The far end goes away: the watch thread's last notification.
      connected_ = false;
      lineLost_ = true;
      ++announced_;
      return length;
    }
    if (answer) {
      const Bytes reply = answer(frames.back());
      if (!reply.empty()) {
        for (const std::uint8_t byte : reply) {
          queue_.Put(byte);
        }
        ++announced_;
      }
    }
    return length;
  }
  bool WaitForNotification(std::uint32_t /*limitMs*/) override {
    if (announced_ == 0) {
      return false;
    }
    --announced_;
    return true;
  }

  bool openSucceeds = true;
  std::vector<std::string> opened;
  std::vector<Bytes> frames;
  int closes = 0;
  std::function<Bytes(const Bytes&)> answer;
  std::size_t hangUpAtFrame = 0;  // 0: never

 private:
  CByteQueue queue_;
  bool connected_ = false;
  bool lineLost_ = false;
  int announced_ = 0;
};

class FakeSettings final : public SettingsFile {
 public:
  Result OverwriteStart(std::string_view /*fileName*/, std::span<const std::uint8_t> bytes) override {
    written.assign(bytes.begin(), bytes.end());
    return result;
  }
  Result result = Result::Written;
  std::string written;
};

class FakeStarter final : public ProgramStarter {
 public:
  Places SearchPlaces() const override { return {"/opt/zorn", {"/usr/bin"}, PathStyle::Posix}; }
  bool IsProgramFile(const std::string& path) const override { return path == toolPath; }
  bool Start(const std::string& path) override {
    started.push_back(path);
    return startSucceeds;
  }
  bool startSucceeds = true;
  std::string toolPath = "/usr/bin/NuvoISP.exe";
  std::vector<std::string> started;
};

class CliTest : public ::testing::Test {
 protected:
  int Run(const std::vector<std::string>& arguments) {
    out.str({});
    err.str({});
    CliPlatform platform{display, display, settings, starter, out, err};
    return RunUtilityCli(arguments, platform);
  }

  ScriptedDisplay display;
  FakeSettings settings;
  FakeStarter starter;
  std::ostringstream out;
  std::ostringstream err;
};

TEST_F(CliTest, CommandLineMistakesAreRefusedBeforeThePortIsTouched) {
  const std::vector<std::vector<std::string>> cases = {
      {},
      {"--port"},
      {"info"},
      {"--port", "COM4"},
      {"--port", "COM4", "reboot"},
      {"--port", "COM21", "info"},
      {"--port", "COM0", "info"},
      {"--port", "COM4", "--baud", "4800", "info"},
      {"--port", "COM4", "--baud", "fast", "info"},
      {"--port", "COM4", "--timeout-ms", "0", "info"},
      {"--port", "COM4", "--verbose", "info"},
      {"--port", "COM4", "baud"},
      {"--port", "COM4", "baud", "12345"},
      {"--port", "COM4", "text", "a", "b", "c"},
      {"--port", "COM4", "command-set", "CD5221"},
      {"--port", "COM4", "font", "Euro"},
      {"--port", "COM4", "font-set", "XX"},
      {"--port", "COM4", "info", "extra"},
      {"--port", "/dev/ttyUSB0", "download"},
  };
  for (const auto& arguments : cases) {
    std::string shown;
    for (const auto& a : arguments) {
      shown += a + " ";
    }
    EXPECT_EQ(Run(arguments), kExitUsage) << shown;
    EXPECT_NE(err.str().find("zorn-utility-cli: "), std::string::npos) << shown;
  }
  EXPECT_TRUE(display.opened.empty());
  EXPECT_TRUE(display.frames.empty());
}

TEST_F(CliTest, HelpAndListNeedNoPort) {
  EXPECT_EQ(Run({"--help"}), kExitOk);
  EXPECT_NE(out.str().find("font-set LANGUAGE"), std::string::npos);
  EXPECT_EQ(Run({"list"}), kExitOk);
  EXPECT_NE(out.str().find("  (D2) Demark II\n"), std::string::npos);
  EXPECT_NE(out.str().find("  Hebrew(ISO/IEC 8859-8)\n"), std::string::npos);
  EXPECT_TRUE(display.opened.empty());
}

TEST_F(CliTest, SettingCommandsSendOneFrameAndReleaseThePort) {
  struct Case {
    std::vector<std::string> arguments;
    Bytes frame;
  };
  const std::vector<Case> cases = {
      {{"--port", "COM4", "command-set", "cd5220"}, {0x02, 0x02, 0x34, 0x07, 0x03, 0x32}},
      {{"--port", "com4", "font", "Euro(CP-858)"}, {0x02, 0x02, 0x35, 0x08, 0x03, 0x3C}},
      {{"--port", "COM4", "baud", "115200"}, {0x02, 0x02, 0x33, 0x04, 0x03, 0x36}},
  };
  for (const auto& c : cases) {
    display.frames.clear();
    EXPECT_EQ(Run(c.arguments), kExitOk) << c.arguments.back() << err.str();
    ASSERT_EQ(display.frames.size(), 1U);
    EXPECT_EQ(display.frames[0], c.frame);
    EXPECT_FALSE(display.IsConnected());
  }
  EXPECT_EQ(display.opened.front(), "COM4@9600#4");
}

TEST_F(CliTest, TextWarnsAboutLongLinesAndSendsTheirFirstTwentyCharacters) {
  EXPECT_EQ(Run({"--port", "COM2", "--baud", "19200", "text", "0123456789ABCDEFGHIJKLMNO"}), kExitOk);
  EXPECT_NE(err.str().find("line 1 has 25 characters"), std::string::npos);
  ASSERT_EQ(display.frames.size(), 1U);
  const Bytes& frame = display.frames[0];
  EXPECT_EQ(std::string(frame.begin() + 3, frame.begin() + 43),
            "0123456789ABCDEFGHIJ" + std::string(20, ' '));
  EXPECT_EQ(display.opened.back(), "COM2@19200#2");
}

// The lines arrive as UTF-8 and leave in the display's code page, one byte
// per character; the 20-character cut and the warning count those bytes.
TEST_F(CliTest, TextIsSentInTheChosenCodePage) {
  struct Case {
    std::vector<std::string> options;
    std::string line;
    std::string sent;  // the line's bytes, before the padding
    const char* warning;
  };
  const std::string privet = "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82";  // Привет
  const std::vector<Case> cases = {
      {{"--code-page", "858"}, "Prix 10\xE2\x82\xAC", "Prix 10\xD5", nullptr},
      {{"--code-page", "866"}, privet, "\x8F\xE0\xA8\xA2\xA5\xE2", nullptr},
      {{}, "Prix 10\xE2\x82\xAC", "Prix 10?", nullptr},  // 437 has no euro sign
      {{"--code-page", "1252"}, "Caf\xC3\xA9\ttab", "Caf\xE9?tab", nullptr},
      // A malformed sequence and a character beyond 16 bits: one '?' each.
      {{"--code-page", "850"},
       "a\xFF"
       "b\xF0\x9F\x98\x80"
       "c",
       "a?b?c",
       nullptr},
      // 20 Cyrillic letters are 40 bytes of UTF-8 and fill the line exactly.
      {{"--code-page", "866"},
       privet + privet + privet + "\xD0\x9F\xD1\x80",
       "\x8F\xE0\xA8\xA2\xA5\xE2\x8F\xE0\xA8\xA2\xA5\xE2\x8F\xE0\xA8\xA2\xA5\xE2\x8F\xE0",
       nullptr},
      {{"--code-page", "866"},
       privet + privet + privet + privet,
       "\x8F\xE0\xA8\xA2\xA5\xE2\x8F\xE0\xA8\xA2\xA5\xE2\x8F\xE0\xA8\xA2\xA5\xE2\x8F\xE0",
       "line 1 has 24 characters"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    display.frames.clear();
    std::vector<std::string> arguments = {"--port", "COM4"};
    arguments.insert(arguments.end(), c.options.begin(), c.options.end());
    arguments.insert(arguments.end(), {"text", c.line, "\xD0\x9F"});
    ASSERT_EQ(Run(arguments), kExitOk) << err.str();
    ASSERT_EQ(display.frames.size(), 1U);
    const Bytes& frame = display.frames[0];
    std::string line1 = c.sent;
    line1.resize(20, ' ');
    EXPECT_EQ(std::string(frame.begin() + 3, frame.begin() + 23), line1);
    // Line 2 ("П") is converted too: only 866 holds it.
    const bool cyrillic = std::find(c.options.begin(), c.options.end(), "866") != c.options.end();
    EXPECT_EQ(frame[23], cyrillic ? 0x8F : '?');
    EXPECT_EQ(err.str().find("characters;") != std::string::npos, c.warning != nullptr) << err.str();
    if (c.warning != nullptr) {
      EXPECT_NE(err.str().find(c.warning), std::string::npos) << err.str();
    }
  }
  for (const char* refused : {"1234", "65001", "cp866", ""}) {
    EXPECT_EQ(Run({"--port", "COM4", "--code-page", refused, "text", "A"}), kExitUsage) << refused;
    EXPECT_NE(err.str().find("--code-page must be one of 437, 737, 850"), std::string::npos) << err.str();
  }
}

TEST_F(CliTest, ADevicePathIsOpenedInPlaceOfTheComName) {
  EXPECT_EQ(Run({"--port", "/dev/ttyUSB0", "text", "A"}), kExitOk);
  EXPECT_EQ(display.opened.back(), "/dev/ttyUSB0@9600#1");
}

TEST_F(CliTest, PortThatCannotBeOpenedGivesExitThree) {
  display.openSucceeds = false;
  EXPECT_EQ(Run({"--port", "COM9", "info"}), kExitPort);
  EXPECT_NE(err.str().find("Com port open failed !"), std::string::npos);
  EXPECT_TRUE(display.frames.empty());
}

TEST_F(CliTest, InfoShowsTheRecordOrGivesUpAfterItsTimeout) {
  display.answer = [](const Bytes& frame) -> Bytes {
    if (frame[2] != 0x44) {
      return {};
    }
    Bytes reply = {0x02, 0x13, 0x44, 'Z', 'D',  'S',  ' ',  'V',  '1',  '.',  '0',
                   '0',  ' ',  ' ',  ' ', 0x07, 0x08, 0x01, 0x04, 0x00, 0x03, 0x00};
    return reply;
  };
  EXPECT_EQ(Run({"--port", "COM4", "info"}), kExitOk) << err.str();
  EXPECT_NE(out.str().find("Zorn Information: \n\nVersion :\nZDS V1.00   \n\nCommand Set :\n 7"),
            std::string::npos)
      << out.str();

  display.answer = nullptr;
  EXPECT_EQ(Run({"--port", "COM4", "--timeout-ms", "30", "info"}), kExitNoAnswer);
  EXPECT_NE(err.str().find("no complete information reply within 30 ms"), std::string::npos);
  EXPECT_FALSE(display.IsConnected());
}

TEST_F(CliTest, FontSetReportsEveryFrameOfTheDownload) {
  display.answer = [](const Bytes& frame) -> Bytes {
    return frame[2] == 0x41 || frame[2] == 0x42 ? Bytes{0x06} : Bytes{};
  };
  EXPECT_EQ(Run({"--port", "COM4", "font-set", "de"}), kExitOk) << err.str();
  ASSERT_EQ(display.frames.size(), 23U);
  EXPECT_EQ(display.frames.back(), (Bytes{0x02, 0x03, 0x43, 'D', 'E', 0x03, 0x42}));
  EXPECT_NE(out.str().find("font-set: frame 1/23 sent (international block)\n"), std::string::npos);
  EXPECT_NE(out.str().find("font-set: frame 3/23 sent (upper block)\n"), std::string::npos);
  EXPECT_NE(out.str().find("font-set: frame 23/23 sent (language code)\nfont-set: done\n"),
            std::string::npos);
}

TEST_F(CliTest, FontSetEndsAtOnceWhenTheLineGoesAway) {
  display.answer = [](const Bytes& frame) -> Bytes {
    return frame[2] == 0x41 || frame[2] == 0x42 ? Bytes{0x06} : Bytes{};
  };
  display.hangUpAtFrame = 5;
  EXPECT_EQ(Run({"--port", "COM4", "font-set", "de"}), kExitNoAnswer);
  EXPECT_EQ(display.frames.size(), 5U);
  EXPECT_NE(err.str().find("Com port disconnected !"), std::string::npos) << err.str();
  EXPECT_EQ(err.str().find("Response Timeout"), std::string::npos) << "ended by the hang-up, not the timer";
  EXPECT_FALSE(display.IsConnected());
}

TEST_F(CliTest, DownloadHandsOverOrSaysWhatFailed) {
  EXPECT_EQ(Run({"--port", "COM12", "download"}), kExitOk);
  EXPECT_EQ(display.frames.back(), (Bytes{0x02, 0x03, 0x40, 0xAA, 0x55, 0x03, 0xBF}));
  EXPECT_EQ(settings.written, "U,0,S,1,;,");
  EXPECT_EQ(starter.started, (std::vector<std::string>{"/usr/bin/NuvoISP.exe"}));
  EXPECT_NE(out.str().find("Com port closed !"), std::string::npos);

  starter.startSucceeds = false;
  EXPECT_EQ(Run({"--port", "COM12", "download"}), kExitHandOver);
  EXPECT_NE(err.str().find("could not start NuvoISP.exe"), std::string::npos);

  settings.result = SettingsFile::Result::WriteFailed;
  EXPECT_EQ(Run({"--port", "COM12", "download"}), kExitHandOver);
  EXPECT_EQ(starter.started.size(), 2U);

  display.frames.clear();
  starter.toolPath.clear();
  EXPECT_EQ(Run({"--port", "COM12", "download"}), kExitHandOver);
  EXPECT_NE(err.str().find("NuvoISP.exe was not found"), std::string::npos) << err.str();
  EXPECT_TRUE(display.frames.empty());
  EXPECT_EQ(starter.started.size(), 2U);
}

TEST_F(CliTest, EveryCommandRefusesOneArgumentTooManyOrTooFew) {
  for (const CliCommand& command : CliCommands()) {
    SCOPED_TRACE(std::string(command.name));
    const ArgumentCount allowed = CountArguments(command.arguments);
    std::vector<std::string> arguments = {"--port", "COM4", std::string(command.name)};
    arguments.resize(arguments.size() + allowed.most + 1, "9600");
    EXPECT_EQ(Run(arguments), kExitUsage);
    if (allowed.least > 0) {
      arguments.resize(3 + allowed.least - 1);
      EXPECT_EQ(Run(arguments), kExitUsage);
    }
  }
  EXPECT_TRUE(display.opened.empty());
}

}  // namespace
}  // namespace utility
