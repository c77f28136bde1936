#include "tester/core/chk_registry.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/tester/core/tester_fakes.h"

namespace zorntest {
namespace {

using test::FakeRegistry;

std::vector<std::string> Narrowed(const std::vector<std::u16string>& names) {
  std::vector<std::string> out;
  out.reserve(names.size());
  for (const auto& name : names) out.push_back(test::Narrow(name));
  return out;
}

TEST(ReadLineDisplayDevices, ListsTheSubkeysUpToTheFirstThatDoesNotFit) {
  const std::string name63(63, 'N');
  const std::string name64(64, 'O');
  const struct {
    const char* what;
    std::vector<FakeRegistry::Subkey> subkeys;
    std::vector<std::string> listed;
  } cases[] = {
      {"no subkeys", {}, {}},
      {"three, in the registry's order",
       {{"Alpha", ""}, {"Bravo", ""}, {"Delta", ""}},
       {"Alpha", "Bravo", "Delta"}},
      {"names as they stand", {{" Pole 1 ", ""}, {"pole", ""}, {"Pole", ""}}, {" Pole 1 ", "pole", "Pole"}},
      {"a 63-character name is listed whole", {{"Alpha", ""}, {name63, ""}}, {"Alpha", name63}},
      {"a 64-character name ends the list", {{"Alpha", ""}, {name64, ""}, {"Zulu", ""}}, {"Alpha"}},
      {"a 64-character class ends the list",
       {{"Alpha", ""}, {"Bravo", std::string(64, 'c')}, {"Zulu", ""}},
       {"Alpha"}},
      {"a 63-character class is no obstacle",
       {{"Alpha", std::string(63, 'c')}, {"Bravo", ""}},
       {"Alpha", "Bravo"}},
  };
  for (const auto& c : cases) {
    FakeRegistry registry;
    registry.subkeys = c.subkeys;
    const auto devices = ReadLineDisplayDevices(registry);
    ASSERT_TRUE(devices.has_value()) << c.what;
    EXPECT_EQ(Narrowed(*devices), c.listed) << c.what;
    EXPECT_EQ(registry.openKeys, 0) << c.what << ": the key is closed again";
  }
}

TEST(ReadLineDisplayDevices, NamesComeBackFromTheAnsiCodePage) {
  FakeRegistry registry;
  registry.subkeys = {
      {"Kasse \xDC"
       "bersicht",
       ""}};
  const auto devices = ReadLineDisplayDevices(registry);
  ASSERT_TRUE(devices.has_value());
  ASSERT_EQ(devices->size(), 1u);
  EXPECT_TRUE(devices->front() == u"Kasse \u00DCbersicht");
}

TEST(ReadLineDisplayDevices, AnAbsentKeyGivesNoList) {
  FakeRegistry registry;
  registry.present = false;
  EXPECT_FALSE(ReadLineDisplayDevices(registry).has_value());
  EXPECT_EQ(registry.opens, 1);
  EXPECT_EQ(registry.openKeys, 0);
}

}  // namespace
}  // namespace zorntest
