// The registry script format of VARNEL.rgs: parsing (the shipped script included) and applying
// it to a scratch key under HKEY_CURRENT_USER.

#include "service_object/win32/com/registry_script.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "shared/win32/unique_handle.h"

namespace varnel::com {
namespace {

constexpr std::wstring_view kAppId = L"{6FFB383E-86D7-4517-B583-FA0F439B65D2}";

TEST(RegistryScript, ParsesKeysValuesAndKeepMarks) {
  const ParsedRegistryScript parsed = parse_registry_script(
      "; comment\r\n"
      "\n"
      "AppID keep\r\n"
      "  AppID\\%APPID%   @ = \"VARNEL\"  \n"
      "AppID\\VARNEL.DLL AppID = \"%APPID%\"\n"
      "Plain\\Key",
      kAppId);
  ASSERT_FALSE(parsed.error.has_value()) << parsed.error->reason;
  ASSERT_EQ(parsed.lines.size(), 4u);
  EXPECT_EQ(parsed.lines[0].key, L"AppID");
  EXPECT_TRUE(parsed.lines[0].keep);
  EXPECT_FALSE(parsed.lines[0].has_value);
  EXPECT_EQ(parsed.lines[1].key, std::wstring(L"AppID\\") + std::wstring(kAppId));
  EXPECT_TRUE(parsed.lines[1].has_value);
  EXPECT_EQ(parsed.lines[1].value_name, L"") << "@ is the default value";
  EXPECT_EQ(parsed.lines[1].text, L"VARNEL");
  EXPECT_EQ(parsed.lines[2].value_name, L"AppID");
  EXPECT_EQ(parsed.lines[2].text, kAppId);
  EXPECT_EQ(parsed.lines[3].key, L"Plain\\Key");
  EXPECT_FALSE(parsed.lines[3].keep);
}

TEST(RegistryScript, MalformedLinesAreReportedWithTheirNumber) {
  struct Case {
    const char* script;
    unsigned line;
  };
  const Case cases[] = {
      {"Key frob", 1},
      {"; ok\nKey Name = unquoted", 2},
      {"Key Name = \"open", 1},
      {"Key @ = \"x\" trailing", 1},
      {"Key = \"no name\"", 1},
      {"\\Key", 1},
      {"Key\\", 1},
      {"A\n\nKey\\\\Sub", 3},
  };
  for (const Case& c : cases) {
    const ParsedRegistryScript parsed = parse_registry_script(c.script, kAppId);
    ASSERT_TRUE(parsed.error.has_value()) << c.script;
    EXPECT_EQ(parsed.error->line, c.line) << c.script;
    EXPECT_TRUE(parsed.lines.empty()) << c.script;
  }
  EXPECT_FALSE(parse_registry_script("", kAppId).error.has_value());
}

TEST(RegistryScript, TheShippedScriptWritesTheAppIdEntries) {
  std::ifstream file(KIT_VARNEL_RGS, std::ios::binary);
  ASSERT_TRUE(file) << "cannot read " KIT_VARNEL_RGS;
  std::stringstream text;
  text << file.rdbuf();
  const ParsedRegistryScript parsed = parse_registry_script(text.str(), kAppId);
  ASSERT_FALSE(parsed.error.has_value()) << parsed.error->reason;
  ASSERT_EQ(parsed.lines.size(), 3u);
  EXPECT_EQ(parsed.lines[0].key, L"AppID");
  EXPECT_TRUE(parsed.lines[0].keep) << "the AppID parent key is never removed";
  EXPECT_EQ(parsed.lines[1].key, std::wstring(L"AppID\\") + std::wstring(kAppId));
  EXPECT_EQ(parsed.lines[1].text, L"VARNEL");
  EXPECT_EQ(parsed.lines[2].key, L"AppID\\VARNEL.DLL");
  EXPECT_EQ(parsed.lines[2].value_name, L"AppID");
  EXPECT_EQ(parsed.lines[2].text, kAppId);
}

class RegistryScriptApply : public ::testing::Test {
 protected:
  void SetUp() override {
    RegDeleteTreeW(HKEY_CURRENT_USER, kRoot);
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, kRoot, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, root_.put(),
                              nullptr),
              ERROR_SUCCESS);
  }
  void TearDown() override {
    root_.reset();
    RegDeleteTreeW(HKEY_CURRENT_USER, kRoot);
  }

  bool exists(const wchar_t* key) {
    kit::win32::UniqueRegistryKey opened;
    return RegOpenKeyExW(root_.get(), key, 0, KEY_READ, opened.put()) == ERROR_SUCCESS;
  }
  std::wstring value(const wchar_t* key, const wchar_t* name) {
    wchar_t text[256] = {};
    DWORD bytes = sizeof text;
    if (RegGetValueW(root_.get(), key, name, RRF_RT_REG_SZ, nullptr, text, &bytes) != ERROR_SUCCESS)
      return L"<none>";
    return text;
  }

  static constexpr const wchar_t* kRoot = L"Software\\kit_varnel_registry_script_test";
  kit::win32::UniqueRegistryKey root_;
};

TEST_F(RegistryScriptApply, InstallWritesAndRemovalTakesAwayAllButKeptKeys) {
  const ParsedRegistryScript parsed = parse_registry_script(
      "Parent keep\n"
      "Parent\\%APPID% @ = \"Name\"\n"
      "Parent\\%APPID%\\Deep Flag = \"1\"\n"
      "Parent\\Other AppID = \"%APPID%\"\n",
      kAppId);
  ASSERT_FALSE(parsed.error.has_value());
  const std::wstring own = std::wstring(L"Parent\\") + std::wstring(kAppId);

  ASSERT_EQ(apply_registry_script(root_.get(), parsed.lines, true), S_OK);
  EXPECT_EQ(value(own.c_str(), nullptr), L"Name");
  EXPECT_EQ(value((own + L"\\Deep").c_str(), L"Flag"), L"1");
  EXPECT_EQ(value(L"Parent\\Other", L"AppID"), kAppId);
  // Installing twice changes nothing and succeeds.
  EXPECT_EQ(apply_registry_script(root_.get(), parsed.lines, true), S_OK);

  // Something else under the kept parent survives removal.
  kit::win32::UniqueRegistryKey foreign;
  ASSERT_EQ(RegCreateKeyExW(root_.get(), L"Parent\\Foreign", 0, nullptr, 0, KEY_WRITE, nullptr, foreign.put(),
                            nullptr),
            ERROR_SUCCESS);
  foreign.reset();

  ASSERT_EQ(apply_registry_script(root_.get(), parsed.lines, false), S_OK);
  EXPECT_FALSE(exists(own.c_str()));
  EXPECT_FALSE(exists(L"Parent\\Other"));
  EXPECT_TRUE(exists(L"Parent"));
  EXPECT_TRUE(exists(L"Parent\\Foreign"));
  // Removing what is already gone succeeds.
  EXPECT_EQ(apply_registry_script(root_.get(), parsed.lines, false), S_OK);
}

}  // namespace
}  // namespace varnel::com
