#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "utility/core/utility_dialog.h"

namespace utility {

// The commands of zorn-utility-cli, one row each: the usage text, the
// argument check, the list entry or edit boxes a command fills and the
// button it presses all come from this table.

// What a command's arguments choose in the dialog before the port opens.
enum class CliSelection {
  None,          // nothing: the command presses its button on the start selections
  ChangingBaud,  // the "Changing Baud" list, from a speed
  CommandSet,    // the command-set list, from an entry name
  DefaultFont,   // the default-font list, from an entry name
  Language,      // the language list, from an entry or a two-letter code
  Lines,         // the two text lines
};

// What the front end does once the button is pressed.
enum class CliFinish {
  Announce,       // prints `announce` and is done: the display does not answer
  Information,    // waits for the information record (--timeout-ms)
  GlyphDownload,  // follows the glyph download frame by frame
  HandOver,       // reports whether the firmware tool was started
  ListNames,      // no port: prints the names the commands accept
};

struct CliCommand {
  std::string_view name;
  // As the usage shows them; a word in brackets may be left out.
  std::string_view arguments;
  CliSelection selects;
  // The dialog's button; null for a command that needs no port.
  void (CZorn_UtilityDlg::*presses)();
  CliFinish finish;
  // For CliFinish::Announce: "{arg}" stands for the first argument, "{entry}"
  // for the list entry it selected.
  std::string_view announce;
  // The usage line; a line break continues it under the same column.
  std::string_view help;
  // config.data names the port by its COM number, which a device path lacks.
  bool needsComName = false;
};

// The row named `name` (exact spelling), or null.
const CliCommand* FindCliCommand(std::string_view name);

// The table itself, in the order the usage lists it.
std::span<const CliCommand> CliCommands();

struct ArgumentCount {
  std::size_t least = 0;
  std::size_t most = 0;
};

// How many arguments an argument text such as "LINE1 [LINE2]" takes.
ArgumentCount CountArguments(std::string_view arguments);

// The "Commands:" block of the usage text.
std::string CommandUsage();

// A list selection resolved from a command's argument.
struct ListChoice {
  int listId = 0;
  int index = 0;
  std::string_view entry;  // the entry's own spelling
};

// The list entry `argument` names for `selection` (one of the list kinds), or
// the usage error that says what is wrong with it.
struct ListChoiceOrError {
  std::optional<ListChoice> choice;
  std::string error;
};
ListChoiceOrError ChooseListEntry(CliSelection selection, std::string_view argument);

// Fills the announce text of a command with its argument and entry.
std::string AnnounceText(std::string_view announce, std::string_view argument, std::string_view entry);

}  // namespace utility
