#include <algorithm>
#include <array>
#include <chrono>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

#include "utility/cli/cli_commands.h"
#include "utility/cli/cli_front_end.h"
#include "utility/cli/cli_options.h"
#include "utility/cli/cli_text.h"
#include "utility/cli/cli_usage.h"
#include "utility/cli/cli_view.h"
#include "utility/core/selection_lists.h"
#include "utility/core/utility_dialog.h"

namespace utility {

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr int kDownloadFrames = 23;

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

const char* FrameName(int frame) {
  if (frame <= 2) {
    return "international block";
  }
  return frame == kDownloadFrames ? "language code" : "upper block";
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
