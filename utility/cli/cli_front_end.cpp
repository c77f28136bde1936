#include "utility/cli/cli_front_end.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <chrono>
#include <optional>
#include <variant>
#include <vector>

#include "utility/cli/cli_commands.h"
#include "utility/cli/cli_text.h"
#include "utility/cli/cli_view.h"
#include "utility/core/language_font_table.h"
#include "utility/core/selection_lists.h"
#include "utility/core/utility_dialog.h"

namespace utility {

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr std::uint32_t kDefaultReplyTimeoutMs = 3000;
constexpr std::uint32_t kMaxTimeoutMs = 600000;
constexpr int kDownloadFrames = 23;

std::optional<std::uint32_t> ParseNumber(std::string_view text) {
  std::uint32_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || text.empty()) {
    return std::nullopt;
  }
  return value;
}

// "COM4" (any case) gives port 4; anything else is not a COM name.
std::optional<int> ComPortNumber(std::string_view name) {
  if (name.size() < 4) {
    return std::nullopt;
  }
  for (std::size_t i = 0; i < 3; ++i) {
    if (std::toupper(static_cast<unsigned char>(name[i])) != "COM"[i]) {
      return std::nullopt;
    }
  }
  const auto number = ParseNumber(name.substr(3));
  if (!number) {
    return std::nullopt;
  }
  return static_cast<int>(std::min<std::uint32_t>(*number, 1000));
}

// The platform's link, with a port given as a device path in place of the
// dialog's "COMn" name.
class CliLink final : public UtilityLink {
 public:
  CliLink(UtilityLink& inner, std::string devicePath) : inner_(inner), devicePath_(std::move(devicePath)) {}

  bool OpenLink(const std::string& deviceName, std::int32_t baudRate, std::uint16_t portNumber) override {
    return inner_.OpenLink(devicePath_.empty() ? deviceName : devicePath_, baudRate, portNumber);
  }
  void CloseLink() override { inner_.CloseLink(); }
  bool IsConnected() const override { return inner_.IsConnected(); }
  void AttachNotifications() override { inner_.AttachNotifications(); }
  CByteQueue& ReceiveQueue() override { return inner_.ReceiveQueue(); }
  bool ApplyPendingClear() override { return inner_.ApplyPendingClear(); }
  bool TakeLineLost() override { return inner_.TakeLineLost(); }
  bool WaitUntilSent(std::uint32_t limitMs) override { return inner_.WaitUntilSent(limitMs); }
  std::uint32_t WriteBytes(const std::uint8_t* bytes, std::uint32_t length) override {
    return inner_.WriteBytes(bytes, length);
  }

 private:
  UtilityLink& inner_;
  std::string devicePath_;
};

struct CliOptions {
  std::string port;
  std::uint32_t baud = 9600;
  std::uint32_t timeoutMs = kDefaultReplyTimeoutMs;
  std::int32_t codePage = kDefaultTextCodePage;
  std::vector<std::string> command;  // the command and its arguments
  bool help = false;
};

struct UsageError {
  std::string message;
};

std::variant<CliOptions, UsageError> ParseArguments(std::span<const std::string> arguments) {
  CliOptions options;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& arg = arguments[i];
    const auto value = [&]() -> std::optional<std::string> {
      if (i + 1 >= arguments.size()) {
        return std::nullopt;
      }
      return arguments[++i];
    };
    if (arg == "--help" || arg == "-h") {
      options.help = true;
    } else if (arg == "--port" || arg == "--baud" || arg == "--timeout-ms" || arg == "--code-page") {
      const auto text = value();
      if (!text) {
        return UsageError{arg + " needs a value"};
      }
      if (arg == "--port") {
        options.port = *text;
        continue;
      }
      const auto number = ParseNumber(*text);
      if (arg == "--code-page") {
        if (!number || *number > 65535 || !IsOfferedCodePage(static_cast<std::int32_t>(*number))) {
          return UsageError{"--code-page must be one of " + OfferedCodePages() + " (got \"" + *text + "\")"};
        }
        options.codePage = static_cast<std::int32_t>(*number);
      } else if (arg == "--baud") {
        if (!number || BaudRateIndex(*number) == kNoSelection) {
          return UsageError{"--baud must be one of 9600, 19200, 38400, 57600, 115200 (got \"" + *text +
                            "\")"};
        }
        options.baud = *number;
      } else {
        if (!number || *number == 0 || *number > kMaxTimeoutMs) {
          return UsageError{"--timeout-ms must be a number from 1 to 600000 (got \"" + *text + "\")"};
        }
        options.timeoutMs = *number;
      }
    } else if (arg.size() > 1 && arg[0] == '-' && options.command.empty()) {
      return UsageError{"unknown option " + arg};
    } else {
      options.command.push_back(arg);
    }
  }
  return options;
}

std::string ListNames() {
  std::string text = "Speeds:";
  for (const std::uint32_t rate : kBaudRates) {
    text += " " + std::to_string(rate);
  }
  text += "\nCommand sets:\n";
  for (const std::string_view name : kCommandSets) {
    text += "  " + std::string(name) + "\n";
  }
  text += "Default fonts:\n";
  for (const std::string_view name : kDefaultFonts) {
    text += "  " + std::string(name) + "\n";
  }
  text += "Languages:\n";
  for (int row = 0; !LanguageEntryAt(row).empty(); ++row) {
    text += "  " + std::string(LanguageEntryAt(row)) + "\n";
  }
  return text;
}

const char* FrameName(int frame) {
  if (frame <= 2) {
    return "international block";
  }
  return frame == kDownloadFrames ? "language code" : "upper block";
}

int Fail(CliPlatform& platform, const std::string& message, int code) {
  platform.err << "zorn-utility-cli: " << message << '\n';
  if (code == kExitUsage) {
    platform.err << "Try 'zorn-utility-cli --help'.\n";
  }
  return code;
}

// One command's run: the dialog on the command line's view.
class CliSession {
 public:
  CliSession(CliPlatform& platform, const CliOptions& options, std::string devicePath)
      : platform_(platform),
        options_(options),
        view_(platform.out, platform.err),
        link_(platform.link, std::move(devicePath)),
        dialog_(view_, link_, platform.settings, platform.starter) {
    dialog_.OnInitDialog();
  }
  CliSession(const CliSession&) = delete;
  CliSession& operator=(const CliSession&) = delete;
  ~CliSession() { dialog_.OnDestroy(); }

  // Chooses what the command's arguments name, before the port is opened, so
  // a misspelt name never touches the display.
  int Select(const CliCommand& command, const std::vector<std::string>& arguments) {
    if (command.selects == CliSelection::Lines) {
      SetLines(arguments);
    } else if (command.selects != CliSelection::None) {
      const ListChoiceOrError chosen = ChooseListEntry(command.selects, arguments[1]);
      if (!chosen.choice) {
        return Fail(platform_, chosen.error, kExitUsage);
      }
      view_.SelectListEntry(chosen.choice->listId, chosen.choice->index);
      entry_ = chosen.choice->entry;
    }
    return kExitOk;
  }

  int Open(int portIndex) {
    view_.SelectListEntry(control_id::kPortList, portIndex);
    view_.SelectListEntry(control_id::kCurrentBaud, BaudRateIndex(options_.baud));
    dialog_.OnPortOpen();
    if (dialog_.LastOutcome() != ActionOutcome::PortOpened) {
      platform_.err << "cannot open " << options_.port << " at " << options_.baud << " bit/s\n";
      return kExitPort;
    }
    return kExitOk;
  }

  int Press(const CliCommand& command, const std::vector<std::string>& arguments) {
    (dialog_.*command.presses)();
    int code = kExitOk;
    switch (command.finish) {
      case CliFinish::Announce:
        platform_.out << AnnounceText(command.announce, arguments.size() > 1 ? arguments[1] : "", entry_)
                      << '\n';
        break;
      case CliFinish::Information: code = AwaitInformation(); break;
      case CliFinish::GlyphDownload: code = AwaitGlyphDownload(); break;
      case CliFinish::HandOver: code = ReportHandOver(); break;
      case CliFinish::ListNames: break;  // answered before any port is opened
    }
    dialog_.OnExit();
    return code;
  }

 private:
  // The lines in the display's code page: one byte per character, so the
  // dialog's cut after 20 bytes is a cut after 20 characters.
  void SetLines(const std::vector<std::string>& arguments) {
    std::array<std::string, 2> lines;
    for (std::size_t line = 1; line < arguments.size() && line <= lines.size(); ++line) {
      lines[line - 1] = DisplayBytes(arguments[line], options_.codePage).value_or(std::string());
      if (lines[line - 1].size() > kLineLength) {
        platform_.err << "zorn-utility-cli: line " << line << " has " << lines[line - 1].size()
                      << " characters; the display shows the first 20\n";
      }
    }
    view_.SetEdit(control_id::kLine1, lines[0]);
    view_.SetEdit(control_id::kLine2, lines[1]);
  }

  int AwaitInformation() {
    if (!RunExchange(milliseconds(options_.timeoutMs), false)) {
      return Fail(platform_,
                  "no complete information reply within " + std::to_string(options_.timeoutMs) + " ms",
                  kExitNoAnswer);
    }
    return kExitOk;
  }

  int AwaitGlyphDownload() {
    // The dialog's own 5000 ms response timer ends a silent or chattering
    // exchange; the outer limit is a last resort.
    const auto limit = milliseconds(std::max<std::uint32_t>(options_.timeoutMs, 60000));
    if (!RunExchange(limit, true) || dialog_.LastOutcome() != ActionOutcome::Downloaded) {
      return Fail(platform_, "glyph download not completed", kExitNoAnswer);
    }
    platform_.out << "font-set: done\n";
    return kExitOk;
  }

  int ReportHandOver() {
    const ActionOutcome outcome = dialog_.LastOutcome();
    if (outcome == ActionOutcome::SettingsWriteFailed) {
      return kExitHandOver;  // the dialog's message said why
    }
    if (outcome == ActionOutcome::ToolNotFound) {
      return Fail(platform_,
                  "put " + std::string(dialog_text::kFirmwareTool) +
                      " beside zorn-utility-cli or in a folder of the PATH; the display was not touched",
                  kExitHandOver);
    }
    if (outcome != ActionOutcome::ToolStarted) {
      return Fail(platform_,
                  "could not start " + std::string(dialog_text::kFirmwareTool) +
                      "; the display waits in its download mode, start the tool by hand",
                  kExitHandOver);
    }
    platform_.out << std::string(dialog_text::kFirmwareTool) << " started\n";
    return kExitOk;
  }

  // Handles notifications and timers until the exchange in progress ends
  // or `limit` passes. Answers whether it ended.
  bool RunExchange(milliseconds limit, bool showProgress) {
    const Clock::time_point giveUp = Clock::now() + limit;
    int reported = 0;
    Report(showProgress, reported);
    while (dialog_.Pending() != CZorn_UtilityDlg::PendingReply::None) {
      const Clock::time_point now = Clock::now();
      const auto timer = view_.NextTimer();
      if (timer && now >= timer->second) {
        dialog_.OnTimer(timer->first);
        continue;
      }
      if (now >= giveUp) {
        return false;
      }
      Clock::time_point until = giveUp;
      if (timer) {
        until = std::min(until, timer->second);
      }
      const auto wait = std::chrono::duration_cast<milliseconds>(until - now) + milliseconds(1);
      if (platform_.waiter.WaitForNotification(static_cast<std::uint32_t>(wait.count()))) {
        dialog_.OnReceiveNotification();
        const ActionOutcome outcome = dialog_.LastOutcome();
        if (outcome == ActionOutcome::QueueFull || outcome == ActionOutcome::Disconnected) {
          return false;
        }
      }
      Report(showProgress, reported);
    }
    return true;
  }

  void Report(bool showProgress, int& reported) {
    const int sent = dialog_.Progress().framesSent;
    for (; showProgress && reported < sent; ++reported) {
      platform_.out << "font-set: frame " << (reported + 1) << "/" << kDownloadFrames << " sent ("
                    << FrameName(reported + 1) << ")\n";
      platform_.out.flush();
    }
  }

  CliPlatform& platform_;
  const CliOptions& options_;
  CliView view_;
  CliLink link_;
  CZorn_UtilityDlg dialog_;
  std::string_view entry_;  // the list entry the command's argument chose
};

}  // namespace

std::string CliUsage() {
  return "Usage: zorn-utility-cli --port PORT [--baud RATE] [--timeout-ms N] [--code-page N] COMMAND [ARGS]\n"
         "\n"
         "Configures the customer display on PORT over its serial line.\n"
         "\n"
         "Options:\n"
         "  --port PORT       COM1 to COM20, or a device path such as /dev/ttyUSB0\n"
         "  --baud RATE       the display's present speed: 9600 (default), 19200, 38400,\n"
         "                    57600 or 115200\n"
         "  --timeout-ms N    how long 'info' waits for the reply (default 3000)\n"
         "  --code-page N     the display's code page, into which 'text' converts its\n"
         "                    lines: 437 (default), 737, 850, 852, 858, 860, 862, 863,\n"
         "                    864, 865, 866, 1251, 1252, 1253 or 1257\n"
         "  -h, --help        this text\n"
         "\n" +
         CommandUsage() +
         "\n"
         "Names are matched without regard to case. Exit codes: 0 done, 2 wrong command line,\n"
         "3 port not opened, 4 no answer from the display, 5 firmware hand-over failed.\n";
}

int RunUtilityCli(std::span<const std::string> arguments, CliPlatform& platform) {
  const auto parsed = ParseArguments(arguments);
  if (const auto* error = std::get_if<UsageError>(&parsed)) {
    return Fail(platform, error->message, kExitUsage);
  }
  const CliOptions& options = std::get<CliOptions>(parsed);
  if (options.help) {
    platform.out << CliUsage();
    return kExitOk;
  }
  if (options.command.empty()) {
    return Fail(platform, "no command given", kExitUsage);
  }
  const CliCommand* command = FindCliCommand(options.command[0]);
  if (command == nullptr) {
    return Fail(platform, "unknown command \"" + options.command[0] + "\"", kExitUsage);
  }
  const std::size_t args = options.command.size() - 1;
  const ArgumentCount allowed = CountArguments(command->arguments);
  if (args < allowed.least || args > allowed.most) {
    return Fail(platform, "wrong number of arguments for \"" + options.command[0] + "\"", kExitUsage);
  }
  if (command->finish == CliFinish::ListNames) {
    platform.out << ListNames();
    return kExitOk;
  }
  if (options.port.empty()) {
    return Fail(platform, "--port is required", kExitUsage);
  }
  int portIndex = 0;
  std::string devicePath;
  if (const auto number = ComPortNumber(options.port)) {
    if (*number < 1 || *number > kPortCount) {
      return Fail(platform, "--port must be COM1 to COM20 or a device path (got \"" + options.port + "\")",
                  kExitUsage);
    }
    portIndex = *number - 1;
  } else {
    devicePath = options.port;
  }
  if (command->needsComName && !devicePath.empty()) {
    return Fail(platform,
                "download needs the port as COM1 to COM20, the name the firmware tool knows it by"
                " (on Linux ZORN_COMn may name its device)",
                kExitUsage);
  }

  CliSession session(platform, options, devicePath);
  if (const int code = session.Select(*command, options.command); code != kExitOk) {
    return code;
  }
  if (const int code = session.Open(portIndex); code != kExitOk) {
    return code;
  }
  return session.Press(*command, options.command);
}

}  // namespace utility
