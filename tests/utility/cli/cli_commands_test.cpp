// zorn-utility-cli's command table: argument counts read from the usage
// spelling, the usage block made from the rows, and the list entries a
// command's argument chooses.
#include "utility/cli/cli_commands.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "utility/core/language_font_table.h"

namespace utility {
namespace {

TEST(CliCommands, ArgumentCountsComeFromTheUsageSpelling) {
  struct Case {
    std::string_view arguments;
    std::size_t least;
    std::size_t most;
  };
  const std::vector<Case> cases = {
      {"", 0, 0}, {"RATE", 1, 1}, {"LINE1 [LINE2]", 1, 2}, {"[A] [B]", 0, 2}, {"A  B", 2, 2}, {" A ", 1, 1},
  };
  for (const Case& c : cases) {
    const ArgumentCount count = CountArguments(c.arguments);
    EXPECT_EQ(count.least, c.least) << '"' << c.arguments << '"';
    EXPECT_EQ(count.most, c.most) << '"' << c.arguments << '"';
  }
}

TEST(CliCommands, EveryRowIsFoundByItsNameAndListedInTheUsage) {
  const std::string usage = CommandUsage();
  ASSERT_FALSE(CliCommands().empty());
  for (const CliCommand& command : CliCommands()) {
    SCOPED_TRACE(std::string(command.name));
    EXPECT_EQ(FindCliCommand(command.name), &command);
    std::string head = "\n  " + std::string(command.name);
    if (!command.arguments.empty()) {
      head += " " + std::string(command.arguments);
    }
    const std::size_t at = usage.find(head + " ");
    ASSERT_NE(at, std::string::npos) << usage;
    // The help starts in the same column on every row.
    EXPECT_EQ(usage.find_first_not_of(' ', at + head.size()), at + 1 + 24);
    const std::string_view firstHelpLine = command.help.substr(0, command.help.find('\n'));
    EXPECT_EQ(usage.compare(at + 1 + 24, firstHelpLine.size(), firstHelpLine), 0);
  }
  EXPECT_EQ(FindCliCommand("INFO"), nullptr);
  EXPECT_EQ(FindCliCommand(""), nullptr);
  EXPECT_NE(usage.find("\n" + std::string(24, ' ') + "(needs --port COMn"), std::string::npos) << usage;
}

TEST(CliCommands, AnArgumentChoosesItsListEntryOrSaysWhatIsWrong) {
  struct Case {
    CliSelection selection;
    std::string_view argument;
    int listId;  // 0: refused
    int index;
    std::string_view entry;
  };
  const std::vector<Case> cases = {
      {CliSelection::ChangingBaud, "9600", control_id::kChangingBaud, 0, "9600"},
      {CliSelection::ChangingBaud, "115200", control_id::kChangingBaud, 4, "115200"},
      {CliSelection::ChangingBaud, "4800", 0, 0, ""},
      {CliSelection::ChangingBaud, "9600x", 0, 0, ""},
      {CliSelection::ChangingBaud, "", 0, 0, ""},
      {CliSelection::CommandSet, "cd5220", control_id::kCommandSetList, 7, "CD5220"},
      {CliSelection::CommandSet, "logic control", control_id::kCommandSetList, 9, "LOGIC CONTROL"},
      {CliSelection::CommandSet, "CD522", 0, 0, ""},
      {CliSelection::DefaultFont, "usa(cp-437)", control_id::kDefaultFontList, 0, "USA(CP-437)"},
      {CliSelection::DefaultFont, "Euro", 0, 0, ""},
      {CliSelection::Language, "de", control_id::kLanguageList, LanguageIndex("(DE) Germany"),
       "(DE) Germany"},
      {CliSelection::Language, "XX", 0, 0, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.argument));
    const ListChoiceOrError chosen = ChooseListEntry(c.selection, c.argument);
    if (c.listId == 0) {
      EXPECT_FALSE(chosen.choice.has_value());
      EXPECT_NE(chosen.error.find("\"" + std::string(c.argument) + "\""), std::string::npos) << chosen.error;
      continue;
    }
    ASSERT_TRUE(chosen.choice.has_value()) << chosen.error;
    EXPECT_EQ(chosen.choice->listId, c.listId);
    EXPECT_EQ(chosen.choice->index, c.index);
    EXPECT_EQ(chosen.choice->entry, c.entry);
  }
}

TEST(CliCommands, AnnouncementsNameTheArgumentAndTheEntry) {
  EXPECT_EQ(AnnounceText("speed change to {arg} bit/s sent", "0115200", "115200"),
            "speed change to 0115200 bit/s sent");
  EXPECT_EQ(AnnounceText("command set \"{entry}\" sent", "cd5220", "CD5220"), "command set \"CD5220\" sent");
  EXPECT_EQ(AnnounceText("text sent", "ABC", ""), "text sent");
}

}  // namespace
}  // namespace utility
