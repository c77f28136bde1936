#include "utility/core/cli_front_end.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <chrono>
#include <map>
#include <optional>
#include <variant>
#include <vector>

#include "utility/core/language_font_table.h"
#include "utility/core/selection_lists.h"
#include "utility/core/utility_dialog.h"

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr std::uint32_t kDefaultReplyTimeoutMs = 3000;
constexpr std::uint32_t kMaxTimeoutMs = 600000;
constexpr int kDownloadFrames = 23;

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
         });
}

template <typename List>
int FindEntry(const List& list, std::string_view name) {
  for (std::size_t i = 0; i < list.size(); ++i) {
    if (EqualsIgnoringCase(list[i], name)) {
      return static_cast<int>(i);
    }
  }
  return kNoSelection;
}

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
  if (name.size() < 4 || !EqualsIgnoringCase(name.substr(0, 3), "COM")) {
    return std::nullopt;
  }
  const auto number = ParseNumber(name.substr(3));
  if (!number) {
    return std::nullopt;
  }
  return static_cast<int>(std::min<std::uint32_t>(*number, 1000));
}

// The dialog's controls as plain state; message boxes become lines of output.
class CliView final : public DialogView {
 public:
  CliView(std::ostream& out, std::ostream& err) : out_(out), err_(err) {}

  // The dialog's outcome, not its buttons, tells the command line what happened.
  void EnableControl(int /*controlId*/, bool /*enabled*/) override {}
  void AddListEntry(int listId, std::string_view entry) override { lists_[listId].emplace_back(entry); }
  void SelectListEntry(int listId, int index) override { selected_[listId] = index; }
  int SelectedIndex(int listId) const override {
    const auto found = selected_.find(listId);
    return found == selected_.end() ? kNoSelection : found->second;
  }
  std::string EditText(int editId, std::size_t maxChars) const override {
    const auto found = edits_.find(editId);
    return found == edits_.end() ? std::string() : found->second.substr(0, maxChars);
  }
  void ShowMessage(std::string_view text, std::string_view title, MessageIcon icon) override {
    std::ostream& stream = icon == MessageIcon::Information ? out_ : err_;
    stream << Trim(title) << ": " << Printable(text) << '\n';
    stream.flush();
  }
  void StartTimer(unsigned timerId, unsigned periodMs) override {
    timers_[timerId] = Clock::now() + milliseconds(periodMs);
  }
  void StopTimer(unsigned timerId) override { timers_.erase(timerId); }
  void EndDialog() override {}

  void SetEdit(int editId, std::string text) { edits_[editId] = std::move(text); }
  // The earliest running timer, if any.
  std::optional<std::pair<unsigned, Clock::time_point>> NextTimer() const {
    if (timers_.empty()) {
      return std::nullopt;
    }
    const auto first = std::min_element(timers_.begin(), timers_.end(),
                                        [](const auto& a, const auto& b) { return a.second < b.second; });
    return *first;
  }

 private:
  static std::string_view Trim(std::string_view text) {
    while (!text.empty() && text.front() == ' ') {
      text.remove_prefix(1);
    }
    while (!text.empty() && text.back() == ' ') {
      text.remove_suffix(1);
    }
    return text;
  }
  // Line breaks stay; other control bytes from the display are shown as
  // dots so a terminal never receives control sequences.
  static std::string Printable(std::string_view text) {
    std::string shown(text);
    for (char& c : shown) {
      const auto byte = static_cast<unsigned char>(c);
      if (byte < 0x20 && c != '\n') {
        c = '.';
      }
    }
    return shown;
  }

  std::ostream& out_;
  std::ostream& err_;
  std::map<int, std::vector<std::string>> lists_;
  std::map<int, int> selected_;
  std::map<int, std::string> edits_;
  std::map<unsigned, Clock::time_point> timers_;
};

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
    } else if (arg == "--port" || arg == "--baud" || arg == "--timeout-ms") {
      const auto text = value();
      if (!text) {
        return UsageError{arg + " needs a value"};
      }
      if (arg == "--port") {
        options.port = *text;
        continue;
      }
      const auto number = ParseNumber(*text);
      if (arg == "--baud") {
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

  CliView& View() { return view_; }
  CZorn_UtilityDlg& Dialog() { return dialog_; }

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

 private:
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
};

struct Command {
  std::string_view name;
  std::size_t minArgs;
  std::size_t maxArgs;
};

constexpr std::array<Command, 8> kCommands = {{
    {"info", 0, 0},
    {"baud", 1, 1},
    {"text", 1, 2},
    {"command-set", 1, 1},
    {"font", 1, 1},
    {"font-set", 1, 1},
    {"download", 0, 0},
    {"list", 0, 0},
}};

int Fail(CliPlatform& platform, const std::string& message, int code) {
  platform.err << "zorn-utility-cli: " << message << '\n';
  if (code == kExitUsage) {
    platform.err << "Try 'zorn-utility-cli --help'.\n";
  }
  return code;
}

// Chooses the list entry a command names, before the port is opened, so a
// misspelt name never touches the display.
int SelectFor(const std::vector<std::string>& command, CliView& view, CliPlatform& platform) {
  const std::string& verb = command[0];
  if (verb == "baud") {
    const auto rate = ParseNumber(command[1]);
    const int index = rate ? BaudRateIndex(*rate) : kNoSelection;
    if (index == kNoSelection) {
      return Fail(platform, "unknown speed \"" + command[1] + "\"; use 9600, 19200, 38400, 57600 or 115200",
                  kExitUsage);
    }
    view.SelectListEntry(control_id::kChangingBaud, index);
  } else if (verb == "command-set") {
    const int index = FindEntry(kCommandSets, command[1]);
    if (index == kNoSelection) {
      return Fail(platform, "unknown command set \"" + command[1] + "\"; 'list' shows the names", kExitUsage);
    }
    view.SelectListEntry(control_id::kCommandSetList, index);
  } else if (verb == "font") {
    const int index = FindEntry(kDefaultFonts, command[1]);
    if (index == kNoSelection) {
      return Fail(platform, "unknown default font \"" + command[1] + "\"; 'list' shows the names",
                  kExitUsage);
    }
    view.SelectListEntry(control_id::kDefaultFontList, index);
  } else if (verb == "font-set") {
    const int index = LanguageIndex(command[1]);
    if (index == kNoSelection) {
      return Fail(platform, "unknown language \"" + command[1] + "\"; 'list' shows the names", kExitUsage);
    }
    view.SelectListEntry(control_id::kLanguageList, index);
  } else if (verb == "text") {
    for (std::size_t line = 1; line < command.size(); ++line) {
      if (command[line].size() > kLineLength) {
        platform.err << "zorn-utility-cli: line " << line << " has " << command[line].size()
                     << " characters; the display shows the first 20\n";
      }
    }
    view.SetEdit(control_id::kLine1, command[1]);
    view.SetEdit(control_id::kLine2, command.size() > 2 ? command[2] : std::string());
  }
  return kExitOk;
}

int RunCommand(CliSession& session, const std::vector<std::string>& command, const CliOptions& options,
               CliPlatform& platform) {
  CZorn_UtilityDlg& dialog = session.Dialog();
  const std::string& verb = command[0];
  if (verb == "baud") {
    dialog.OnChange();
    platform.out << "speed change to " << command[1] << " bit/s sent; reopen the port at that speed\n";
  } else if (verb == "text") {
    dialog.OnInputString();
    platform.out << "text sent\n";
  } else if (verb == "command-set") {
    dialog.OnSetCommandSet();
    platform.out << "command set \""
                 << CommandSetAt(session.View().SelectedIndex(control_id::kCommandSetList)) << "\" sent\n";
  } else if (verb == "font") {
    dialog.OnSetDefaultFont();
    platform.out << "default font \""
                 << DefaultFontAt(session.View().SelectedIndex(control_id::kDefaultFontList)) << "\" sent\n";
  } else if (verb == "info") {
    dialog.OnInformation();
    if (!session.RunExchange(milliseconds(options.timeoutMs), false)) {
      return Fail(platform,
                  "no complete information reply within " + std::to_string(options.timeoutMs) + " ms",
                  kExitNoAnswer);
    }
  } else if (verb == "font-set") {
    dialog.OnFontSet();
    // The dialog's own 5000 ms response timer ends a silent or chattering
    // exchange; the outer limit is a last resort.
    const auto limit = milliseconds(std::max<std::uint32_t>(options.timeoutMs, 60000));
    const bool ended = session.RunExchange(limit, true);
    if (!ended || dialog.LastOutcome() != ActionOutcome::Downloaded) {
      return Fail(platform, "glyph download not completed", kExitNoAnswer);
    }
    platform.out << "font-set: done\n";
  } else if (verb == "download") {
    dialog.OnProgramDownLoad();
    if (dialog.LastOutcome() == ActionOutcome::SettingsWriteFailed) {
      return kExitHandOver;  // the dialog's message said why
    }
    if (dialog.LastOutcome() != ActionOutcome::ToolStarted) {
      return Fail(platform,
                  "could not start " + std::string(dialog_text::kFirmwareTool) +
                      "; the display waits in its download mode, start the tool by hand",
                  kExitHandOver);
    }
    platform.out << std::string(dialog_text::kFirmwareTool) << " started\n";
  }
  return kExitOk;
}

}  // namespace

std::string CliUsage() {
  return "Usage: zorn-utility-cli --port PORT [--baud RATE] [--timeout-ms N] COMMAND [ARGS]\n"
         "\n"
         "Configures the customer display on PORT over its serial line.\n"
         "\n"
         "Options:\n"
         "  --port PORT       COM1 to COM20, or a device path such as /dev/ttyUSB0\n"
         "  --baud RATE       the display's present speed: 9600 (default), 19200, 38400,\n"
         "                    57600 or 115200\n"
         "  --timeout-ms N    how long 'info' waits for the reply (default 3000)\n"
         "  -h, --help        this text\n"
         "\n"
         "Commands:\n"
         "  info                  show the firmware version and the four stored codes\n"
         "  baud RATE             set the display's speed (reopen at RATE afterwards)\n"
         "  text LINE1 [LINE2]    show two lines of up to 20 characters\n"
         "  command-set NAME      choose the command-set emulation, e.g. \"CD5220\"\n"
         "  font NAME             store the default code page, e.g. \"Euro(CP-858)\"\n"
         "  font-set LANGUAGE     download a national character set, e.g. \"(DE) Germany\" or DE\n"
         "  download              hand the display over to the firmware tool NuvoISP.exe\n"
         "                        (needs --port COMn: config.data names the port by number)\n"
         "  list                  show the names the commands accept\n"
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
  const auto known = std::find_if(kCommands.begin(), kCommands.end(),
                                  [&](const Command& c) { return c.name == options.command[0]; });
  if (known == kCommands.end()) {
    return Fail(platform, "unknown command \"" + options.command[0] + "\"", kExitUsage);
  }
  const std::size_t args = options.command.size() - 1;
  if (args < known->minArgs || args > known->maxArgs) {
    return Fail(platform, "wrong number of arguments for \"" + options.command[0] + "\"", kExitUsage);
  }
  if (known->name == "list") {
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
  if (known->name == "download" && !devicePath.empty()) {
    // config.data tells the firmware tool the port by the digit of its
    // COM number, which a device path does not have.
    return Fail(platform,
                "download needs the port as COM1 to COM20, the name the firmware tool knows it by"
                " (on Linux ZORN_COMn may name its device)",
                kExitUsage);
  }

  CliSession session(platform, options, devicePath);
  if (const int code = SelectFor(options.command, session.View(), platform); code != kExitOk) {
    return code;
  }
  if (const int code = session.Open(portIndex); code != kExitOk) {
    return code;
  }
  const int code = RunCommand(session, options.command, options, platform);
  session.Dialog().OnExit();
  return code;
}
