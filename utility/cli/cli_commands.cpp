#include "utility/cli/cli_commands.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <cstdint>
#include <utility>

#include "utility/core/language_font_table.h"
#include "utility/core/selection_lists.h"

namespace utility {

namespace {

constexpr std::size_t kHelpColumn = 24;

constexpr std::array<CliCommand, 8> kCommands = {{
    {"info", "", CliSelection::None, &CZorn_UtilityDlg::OnInformation, CliFinish::Information, "",
     "show the firmware version and the four stored codes"},
    {"baud", "RATE", CliSelection::ChangingBaud, &CZorn_UtilityDlg::OnChange, CliFinish::Announce,
     "speed change to {arg} bit/s sent; reopen the port at that speed",
     "set the display's speed (reopen at RATE afterwards)"},
    {"text", "LINE1 [LINE2]", CliSelection::Lines, &CZorn_UtilityDlg::OnInputString, CliFinish::Announce,
     "text sent", "show two lines of up to 20 characters, in the --code-page"},
    {"command-set", "NAME", CliSelection::CommandSet, &CZorn_UtilityDlg::OnSetCommandSet, CliFinish::Announce,
     "command set \"{entry}\" sent", "choose the command-set emulation, e.g. \"CD5220\""},
    {"font", "NAME", CliSelection::DefaultFont, &CZorn_UtilityDlg::OnSetDefaultFont, CliFinish::Announce,
     "default font \"{entry}\" sent", "store the default code page, e.g. \"Euro(CP-858)\""},
    {"font-set", "LANGUAGE", CliSelection::Language, &CZorn_UtilityDlg::OnFontSet, CliFinish::GlyphDownload,
     "", "download a national character set, e.g. \"(DE) Germany\" or DE"},
    {"download", "", CliSelection::None, &CZorn_UtilityDlg::OnProgramDownLoad, CliFinish::HandOver, "",
     "hand the display over to the firmware tool NuvoISP.exe\n"
     "(needs --port COMn: config.data names the port by number)",
     true},
    {"list", "", CliSelection::None, nullptr, CliFinish::ListNames, "", "show the names the commands accept"},
}};

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

int SpeedIndex(std::string_view text) {
  std::uint32_t rate = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), rate);
  if (text.empty() || error != std::errc() || end != text.data() + text.size()) {
    return kNoSelection;
  }
  return BaudRateIndex(rate);
}

std::string Quoted(std::string_view text) { return "\"" + std::string(text) + "\""; }

constexpr std::string_view kSeeList = "'list' shows the names";

// The lists a command's argument can choose from, and how a name finds its entry.
struct ListKind {
  CliSelection selection;
  int listId;
  std::string_view noun;
  int (*find)(std::string_view);
  std::string_view (*entryAt)(int);  // null: the argument is the entry's spelling
  std::string_view hint;
};

constexpr std::array<ListKind, 4> kListKinds = {{
    {CliSelection::ChangingBaud, control_id::kChangingBaud, "speed", SpeedIndex, nullptr,
     "use 9600, 19200, 38400, 57600 or 115200"},
    {CliSelection::CommandSet, control_id::kCommandSetList, "command set",
     [](std::string_view name) { return FindEntry(kCommandSets, name); }, CommandSetAt, kSeeList},
    {CliSelection::DefaultFont, control_id::kDefaultFontList, "default font",
     [](std::string_view name) { return FindEntry(kDefaultFonts, name); }, DefaultFontAt, kSeeList},
    {CliSelection::Language, control_id::kLanguageList, "language", LanguageIndex, LanguageEntryAt, kSeeList},
}};

}  // namespace

std::span<const CliCommand> CliCommands() { return kCommands; }

const CliCommand* FindCliCommand(std::string_view name) {
  const auto found = std::find_if(kCommands.begin(), kCommands.end(),
                                  [name](const CliCommand& c) { return c.name == name; });
  return found == kCommands.end() ? nullptr : &*found;
}

ArgumentCount CountArguments(std::string_view arguments) {
  ArgumentCount count;
  std::size_t start = 0;
  while (start < arguments.size()) {
    const std::size_t end = std::min(arguments.find(' ', start), arguments.size());
    if (end > start) {
      ++count.most;
      if (arguments[start] != '[') {
        ++count.least;
      }
    }
    start = end + 1;
  }
  return count;
}

std::string CommandUsage() {
  std::string text = "Commands:\n";
  for (const CliCommand& command : kCommands) {
    std::string head = "  " + std::string(command.name);
    if (!command.arguments.empty()) {
      head += " " + std::string(command.arguments);
    }
    head.resize(std::max(head.size() + 1, kHelpColumn), ' ');
    text += head;
    for (const char c : command.help) {
      text += c;
      if (c == '\n') {
        text += std::string(kHelpColumn, ' ');
      }
    }
    text += '\n';
  }
  return text;
}

ListChoiceOrError ChooseListEntry(CliSelection selection, std::string_view argument) {
  const auto kind = std::find_if(kListKinds.begin(), kListKinds.end(),
                                 [selection](const ListKind& k) { return k.selection == selection; });
  if (kind == kListKinds.end()) {
    return {std::nullopt, "no list entry to choose"};
  }
  const int index = kind->find(argument);
  if (index == kNoSelection) {
    return {std::nullopt,
            "unknown " + std::string(kind->noun) + " " + Quoted(argument) + "; " + std::string(kind->hint)};
  }
  return {ListChoice{kind->listId, index, kind->entryAt != nullptr ? kind->entryAt(index) : argument}, {}};
}

std::string AnnounceText(std::string_view announce, std::string_view argument, std::string_view entry) {
  using Marker = std::pair<std::string_view, std::string_view>;
  std::string text(announce);
  for (const auto& [marker, value] : {Marker{"{arg}", argument}, Marker{"{entry}", entry}}) {
    if (const std::size_t at = text.find(marker); at != std::string::npos) {
      text.replace(at, marker.size(), value);
    }
  }
  return text;
}

}  // namespace utility
