// Where the service object looks for its device: the device-name file, the key path and the
// numbers read from the registry.

#include "service_object/core/device_config.h"

#include <gtest/gtest.h>

#include "tests/fixtures/service_fakes.h"

namespace varnel::testing {
namespace {

// A code page as Windows 1252 widens the bytes the tests use: 0x80 is the euro sign, the rest
// of 0xA0..0xFF Latin-1; Latin-1 would make 0x80 a control character.
std::u16string widen_1252(std::string_view text) {
  std::u16string wide;
  for (const char byte : text) {
    const auto code = static_cast<unsigned char>(byte);
    wide.push_back(code == 0x80 ? u'\u20AC' : static_cast<char16_t>(code));
  }
  return wide;
}

std::string utf16(std::u16string_view text, bool little_endian) {
  std::string bytes = little_endian ? "\xFF\xFE" : "\xFE\xFF";
  for (const char16_t unit : text) {
    const char low = static_cast<char>(unit & 0xFF);
    const char high = static_cast<char>(unit >> 8);
    bytes += little_endian ? std::string{low, high} : std::string{high, low};
  }
  return bytes;
}

TEST(DeviceNameFromFile, TakesTheFirstLineWithoutItsLineEnd) {
  const struct {
    std::string raw;
    std::u16string_view name;
  } cases[] = {
      {"PoleDisplay", u"PoleDisplay"},
      {"PoleDisplay\n", u"PoleDisplay"},
      {"PoleDisplay\r\n", u"PoleDisplay"},
      {"PoleDisplay\r", u"PoleDisplay"},
      {"PoleDisplay\nSecond\n", u"PoleDisplay"},
      {"\r\n\nPoleDisplay\n", u"PoleDisplay"},
      {"Pole Display ", u"Pole Display "},  // blanks inside a key name are kept
      {std::string("Pole\0junk", 9), u"Pole"},
      {"", u""},
      {"\r\n", u""},
      // 8-bit text is in the system's code page, not Latin-1.
      {"Caf\xE9 \x80", u"Caf\u00E9 \u20AC"},
      // With a byte-order mark: UTF-8 and UTF-16 in both byte orders, as editors save them.
      {"\xEF\xBB\xBFPoleDisplay", u"PoleDisplay"},
      {"\xEF\xBB\xBF\xD0\x9F\xC3\xA9\xE2\x82\xAC\r\n", u"\u041F\u00E9\u20AC"},
      {"\xEF\xBB\xBF\xF0\x9F\x98\x80", u"\U0001F600"},
      // A cut sequence, an overlong form and a surrogate each become one U+FFFD.
      {"\xEF\xBB\xBF"
       "A\xC3("
       "\xE0\x80\x80"
       "\xED\xA0\x80"
       "Z",
       u"A\uFFFD(\uFFFD\uFFFDZ"},
      {utf16(u"Pole\u041F\r\nSecond", true), u"Pole\u041F"},
      {utf16(u"Pole\u041F\r\nSecond", false), u"Pole\u041F"},
      {utf16(u"\r\nPole", true) + "\x41", u"Pole"},  // an odd last byte is no character
      {utf16(u"Po\0le", true), u"Po"},
      {"\xFF\xFE", u""},
  };
  for (const auto& c : cases) EXPECT_EQ(device_name_from_file(c.raw, widen_1252), c.name) << c.raw;
}

// The key path of OpenService comes from the platform's widening, not from a byte-by-byte copy.
TEST(DeviceNameFromFile, OpenServiceWidensThroughThePlatform) {
  FakeWorld world;
  world.files.files[std::u16string(kDeviceNameFilePath)] = "Pole\x80";
  world.files.widen_8bit = widen_1252;
  ID_TARVO_VARNEL so(world.module);
  so.OpenService(u"", u"");
  EXPECT_EQ(so.key_path(), world.device_key(u"Pole\u20AC"));
}

TEST(ParseLeadingInt, ReadsLikeTheRuntimeConversion) {
  const struct {
    std::u16string_view text;
    std::int32_t value;
  } cases[] = {
      {u"9600", 9600},
      {u"19200 ", 19200},
      {u"  38400", 38400},
      {u"\t115200", 115200},
      {u"abc", 0},
      {u"", 0},
      {u"12ab", 12},
      {u"+57600", 57600},
      {u"-9600", -9600},
      {u"- 1", 0},
      {u"99999999999", 2147483647},
      {u"-99999999999", -2147483647 - 1},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(parse_leading_int(c.text), c.value) << std::string(c.text.begin(), c.text.end());
  }
}

TEST(ParsePortNumber, AcceptsPortNumbersOnly) {
  const struct {
    std::u16string_view text;
    std::optional<std::int32_t> number;
  } cases[] = {
      {u"4", 4},
      {u"12", 12},
      {u" 7\t", 7},
      {u"007", 7},
      {u"256", 256},
      {u"257", std::nullopt},
      {u"0", std::nullopt},
      {u"", std::nullopt},
      {u"  ", std::nullopt},
      {u"-4", std::nullopt},
      {u"+4", std::nullopt},
      {u"4x", std::nullopt},
      {u"1 2", std::nullopt},
      {u"99999999999999", std::nullopt},
      {u"\uFF14", std::nullopt},
      {u"4\\..\\..\\file.txt", std::nullopt},
      {u"COM4", std::nullopt},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(parse_port_number(c.text), c.number) << std::string(c.text.begin(), c.text.end());
  }
  EXPECT_EQ(port_name_for(4), u"COM4");
  EXPECT_EQ(port_name_for(256), u"COM256");
}

// Only a port number reaches the port: a text that names anything else is refused before any
// open, with the port's message and OPOS_E_DISABLED.
TEST(ComportText, NothingButAPortNumberIsOpened) {
  for (const std::u16string_view text : {u"3x", u"..\\x", u"\\\\.\\PIPE\\p", u"-3", u"0"}) {
    FakeWorld world;
    world.set_device_values(u"9600", std::u16string(text));
    world.port.available_ports.insert(u"COM" + std::u16string(text));  // would open if tried
    ID_TARVO_VARNEL so(world.module);
    so.OpenService(u"", u"");
    so.ClaimDevice(0);
    so.SetPropertyNumber(opos::PIDX_DeviceEnabled, 1);
    const std::string shown(text.begin(), text.end());
    EXPECT_TRUE(world.port.opens.empty()) << shown;
    EXPECT_EQ(so.result_code(), opos::OPOS_E_DISABLED) << shown;
    EXPECT_EQ(world.messages.shown,
              std::vector<std::u16string>{u"COM" + std::u16string(text) + u" Open Error !"})
        << shown;
  }
}

TEST(KeyPathTest, BaseChosenByEmulationAndNameAppended) {
  KeyPath path;
  EXPECT_EQ(path.text(), kNativeBasePath);
  path.reset(true);
  EXPECT_EQ(path.text(), u"SOFTWARE\\Wow6432Node\\OLEforRetail\\ServiceOPOS\\LineDisplay\\");
  ASSERT_TRUE(path.append(u"Pole"));
  EXPECT_EQ(path.text(), u"SOFTWARE\\Wow6432Node\\OLEforRetail\\ServiceOPOS\\LineDisplay\\Pole");
  path.reset(false);
  EXPECT_EQ(path.text(), u"SOFTWARE\\OLEforRetail\\ServiceOPOS\\LineDisplay\\");
}

TEST(KeyPathTest, RefusesANameThatWouldOverflowTheBuffer) {
  for (const bool wow64 : {false, true}) {
    const std::size_t room = KeyPath::kMaxLength - KeyPath::base_for(wow64).size();
    KeyPath path;
    path.reset(wow64);
    EXPECT_FALSE(path.append(std::u16string(room + 1, u'x')));
    EXPECT_EQ(path.text(), KeyPath::base_for(wow64)) << "a refused name leaves the base path";
    EXPECT_TRUE(path.append(std::u16string(room, u'x')));
    EXPECT_EQ(path.text().size(), KeyPath::kMaxLength);
  }
}

// The key the enable reads, seen from the registry, after OpenService read the file.
TEST(OpenServiceKeyPath, FileContentDecidesTheKey) {
  const struct {
    const char* name;
    bool wow64;
    std::optional<std::string> file;
    std::u16string expected_key;
    std::vector<std::u16string> messages;  // shown at OpenService
  } cases[] = {
      {"native", false, "PoleDisplay", std::u16string(kNativeBasePath) + u"PoleDisplay", {}},
      {"wow64", true, "PoleDisplay", std::u16string(kWow64BasePath) + u"PoleDisplay", {}},
      {"lineEnd", false, "PoleDisplay\r\n", std::u16string(kNativeBasePath) + u"PoleDisplay", {}},
      {"missing",
       false,
       std::nullopt,
       std::u16string(kNativeBasePath),
       {std::u16string(messages::kFileOpenError)}},
      {"tooLong",
       true,
       std::string(60, 'n'),
       std::u16string(kWow64BasePath),
       {std::u16string(messages::kDeviceNameTooLong)}},
  };
  for (const auto& c : cases) {
    FakeWorld world;
    world.process.wow64 = c.wow64;
    world.files.files.clear();
    if (c.file) world.files.files[std::u16string(kDeviceNameFilePath)] = *c.file;
    ID_TARVO_VARNEL so(world.module);
    so.OpenService(u"LineDisplay", u"Whatever");
    EXPECT_EQ(world.messages.shown, c.messages) << c.name;
    EXPECT_EQ(so.result_code(), opos::OPOS_SUCCESS) << c.name;
    so.ClaimDevice(0);
    so.SetPropertyNumber(opos::PIDX_DeviceEnabled, 1);
    ASSERT_FALSE(world.registry.opened_paths.empty()) << c.name;
    EXPECT_EQ(world.registry.opened_paths.back(), c.expected_key) << c.name;
  }
}

TEST(OpenServiceKeyPath, OpenCloseOpenAppendsTheNameOnce) {
  FakeWorld world;
  ID_TARVO_VARNEL so(world.module);
  so.OpenService(u"", u"");
  so.OpenService(u"", u"");  // second open does not read the file again
  EXPECT_EQ(world.files.reads, 1);
  so.CloseService();
  EXPECT_EQ(so.key_path(), kNativeBasePath);
  so.OpenService(u"", u"");
  EXPECT_EQ(world.files.reads, 2);
  EXPECT_EQ(so.key_path(), world.device_key());
}

TEST(OpenServiceKeyPath, ReadsTheConfiguredFilePath) {
  FakeWorld world;
  world.module.platform().device_name_file = u"/tmp/elsewhere.txt";
  world.files.files[u"/tmp/elsewhere.txt"] = "Other";
  ID_TARVO_VARNEL so(world.module);
  so.OpenService(u"", u"");
  EXPECT_EQ(so.key_path(), world.device_key(u"Other"));
}

}  // namespace
}  // namespace varnel::testing
