// The registry source against the real (Wine) registry: which values count as text, the
// 100-byte limit, missing keys, and which registry view a 32-bit process under WOW64 and a
// 64-bit process read.

#include "service_object/win32/local_machine_registry.h"

#include <windows.h>
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "service_object/win32/wow64_process.h"
#include "shared/win32/unique_handle.h"
#include "tests/support/handle_probe.h"
#include "tests/support/word_size.h"

namespace varnel {
namespace {

using kit::win32::UniqueRegistryKey;

std::wstring unique_name(std::wstring_view stem) {
  return std::wstring(stem) + L"-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
         std::to_wstring(GetTickCount64());
}

std::u16string u16(std::wstring_view text) { return std::u16string(text.begin(), text.end()); }

// A key below HKEY_LOCAL_MACHINE made for one test in the given registry view, and removed
// afterwards together with any of its parents that did not exist before.
class TestKey {
 public:
  TestKey(std::wstring path, REGSAM view = 0) : path_(std::move(path)), view_(view) {
    for (std::size_t sep = path_.find(L'\\'); sep != std::wstring::npos; sep = path_.find(L'\\', sep + 1)) {
      const std::wstring parent = path_.substr(0, sep);
      UniqueRegistryKey probe;
      if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, parent.c_str(), 0, KEY_READ | view_, probe.put()) !=
          ERROR_SUCCESS) {
        created_parents_.push_back(parent);
      }
    }
    EXPECT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, path_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | view_,
                              nullptr, key_.put(), nullptr),
              ERROR_SUCCESS)
        << "cannot create HKLM\\" << std::string(path_.begin(), path_.end());
  }
  ~TestKey() {
    key_.reset();
    RegDeleteKeyExW(HKEY_LOCAL_MACHINE, path_.c_str(), view_, 0);
    for (auto parent = created_parents_.rbegin(); parent != created_parents_.rend(); ++parent) {
      RegDeleteKeyExW(HKEY_LOCAL_MACHINE, parent->c_str(), view_, 0);  // fails if someone else uses it
    }
  }
  TestKey(const TestKey&) = delete;
  TestKey& operator=(const TestKey&) = delete;

  void set(std::wstring_view name, DWORD type, const void* data, DWORD byte_count) {
    const std::wstring value_name(name);
    ASSERT_EQ(
        RegSetValueExW(key_.get(), value_name.c_str(), 0, type, static_cast<const BYTE*>(data), byte_count),
        ERROR_SUCCESS);
  }
  // A string stored with its terminator, as installers write it.
  void set_text(std::wstring_view name, std::wstring_view text) {
    const std::wstring copy(text);
    const std::size_t byte_count = (copy.size() + 1) * sizeof(wchar_t);
    set(name, REG_SZ, copy.c_str(), static_cast<DWORD>(byte_count));
  }

  const std::wstring& path() const { return path_; }

 private:
  std::wstring path_;
  REGSAM view_;
  UniqueRegistryKey key_;
  std::vector<std::wstring> created_parents_;
};

struct ValueCase {
  const char* what;
  DWORD type;
  std::wstring data;  // stored as UTF-16 code units
  DWORD extra_bytes;  // bytes stored beyond data.size() * 2 (an odd byte, say)
  std::optional<std::u16string> expected;
};

TEST(Win32ConfigRegistry, ReadsOnlyStringValuesThatFitInOneHundredBytes) {
  const std::wstring chars49(49, L'7');
  const std::wstring chars50(50, L'5');
  const ValueCase cases[] = {
      {"decimal text", REG_SZ, std::wstring(L"9600\0", 5), 0, u"9600"},
      {"port text", REG_SZ, std::wstring(L"12\0", 3), 0, u"12"},
      {"text kept as stored", REG_SZ, std::wstring(L" 19200 \0", 8), 0, u" 19200 "},
      {"non-ASCII text", REG_SZ, std::wstring(L"\u00c4\u20ac\0", 3), 0, u"\u00c4\u20ac"},
      {"empty text", REG_SZ, std::wstring(L"\0", 1), 0, u""},
      {"no data at all", REG_SZ, L"", 0, u""},
      {"text ends at the first NUL", REG_SZ,
       std::wstring(L"96\0"
                    L"00\0",
                    6),
       0, u"96"},
      {"odd byte count: the half character is dropped", REG_SZ, L"12", 1, u"12"},
      {"49 characters and terminator: exactly 100 bytes", REG_SZ, chars49 + L'\0', 0, u16(chars49)},
      {"49 characters without terminator", REG_SZ, chars49, 0, u16(chars49)},
      {"50 characters and terminator: too long", REG_SZ, chars50 + L'\0', 0, std::nullopt},
      {"50 characters without terminator fill the buffer unterminated", REG_SZ, chars50, 0, std::nullopt},
      {"expandable string", REG_EXPAND_SZ, std::wstring(L"9600\0", 5), 0, u"9600"},
      {"expandable string is not expanded", REG_EXPAND_SZ, std::wstring(L"%KIT_PORT%\0", 11), 0,
       u"%KIT_PORT%"},
      {"multi-string: its first string", REG_MULTI_SZ, std::wstring{L'7', L'\0', L'1', L'2', L'\0', L'\0'}, 0,
       u"7"},
      {"multi-string too long", REG_MULTI_SZ, chars50 + std::wstring(L"\0\0", 2), 0, std::nullopt},
      {"binary holding UTF-16 text", REG_BINARY, std::wstring(L"9600\0", 5), 0, std::nullopt},
  };
  TestKey key(L"SOFTWARE\\KitWin32Tests\\" + unique_name(L"values"));
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    const ValueCase& c = cases[i];
    const std::size_t stored = c.data.size() * sizeof(wchar_t) + c.extra_bytes;
    // RegSetValueExW counts a terminator the caller left out when the character after the data
    // is NUL (as Windows does); a non-NUL character there keeps an unterminated value unterminated.
    std::vector<BYTE> bytes(stored + 2 * sizeof(wchar_t), 0x31);
    std::copy_n(reinterpret_cast<const BYTE*>(c.data.data()), c.data.size() * sizeof(wchar_t), bytes.begin());
    key.set(L"value" + std::to_wstring(i), c.type, bytes.data(), static_cast<DWORD>(stored));
  }
  const DWORD number = 9600;
  key.set(L"number", REG_DWORD, &number, sizeof number);

  Win32ConfigRegistry registry;
  const std::unique_ptr<RegistryKey> opened = registry.open_for_reading(u16(key.path()));
  ASSERT_NE(opened, nullptr);
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    const std::wstring name = L"value" + std::to_wstring(i);
    EXPECT_EQ(opened->read_string(u16(name)), cases[i].expected) << cases[i].what;
  }
  EXPECT_EQ(opened->read_string(u"number"), std::nullopt) << "a REG_DWORD is not text";
  EXPECT_EQ(opened->read_string(u"absent"), std::nullopt) << "missing value";
  EXPECT_EQ(opened->read_string(std::u16string(u"value0\0x", 8)), std::nullopt) << "name with a NUL inside";
}

TEST(Win32ConfigRegistry, MissingOrUnnameableKeyGivesNoKey) {
  Win32ConfigRegistry registry;
  EXPECT_EQ(registry.open_for_reading(u"SOFTWARE\\KitWin32Tests\\" + u16(unique_name(L"absent"))), nullptr);

  TestKey key(L"SOFTWARE\\KitWin32Tests\\" + unique_name(L"nul"));
  // With a NUL inside, the part before it names an existing key: it must not be opened instead.
  EXPECT_EQ(registry.open_for_reading(u16(key.path()) + std::u16string(u"\0\\x", 3)), nullptr);
}

TEST(Win32ConfigRegistry, EveryKeyIsClosed) {
  TestKey key(L"SOFTWARE\\KitWin32Tests\\" + unique_name(L"handles"));
  key.set_text(L"Comport", L"7");
  const std::u16string path = u16(key.path());
  EXPECT_TRUE(test_support::leaves_no_handle_open([&path] {
    Win32ConfigRegistry registry;
    const auto opened = registry.open_for_reading(path);
    if (opened) opened->read_string(u"Comport");
    registry.open_for_reading(path + u"\\absent");
  }));
}

TEST(Win32ProcessInfo, RunsUnderWow64ExactlyWhenThirtyTwoBit) {
  EXPECT_EQ(Win32ProcessInfo().is_wow64(), test_support::kIs32Bit)
      << "the test prefix is 64-bit: a 32-bit program runs under WOW64, a 64-bit one natively";
}

// Where an installer's key is found. A 32-bit installer writes below SOFTWARE\OLEforRetail\...
// in the 32-bit view, which on 64-bit Windows lands below SOFTWARE\Wow6432Node\OLEforRetail\...:
// the path the service object reads when it runs under WOW64, and one a 64-bit process reaches
// as well. The plain path reaches only the process's own view.
TEST(Win32ConfigRegistry, InstallerKeyIsFoundThroughTheViewsOfItsWordSize) {
  struct Case {
    const char* what;
    REGSAM written_through;
    const char16_t* read_below;
    bool found;
  };
  const Case cases[] = {
      {"32-bit installer, Wow6432Node path", KEY_WOW64_32KEY, u"SOFTWARE\\Wow6432Node\\", true},
      {"32-bit installer, plain path", KEY_WOW64_32KEY, u"SOFTWARE\\", test_support::kIs32Bit},
      {"64-bit installer, plain path", KEY_WOW64_64KEY, u"SOFTWARE\\", !test_support::kIs32Bit},
      {"64-bit installer, Wow6432Node path", KEY_WOW64_64KEY, u"SOFTWARE\\Wow6432Node\\", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::wstring device = unique_name(L"Kit test display");
    TestKey installed(L"SOFTWARE\\OLEforRetail\\ServiceOPOS\\LineDisplay\\" + device, c.written_through);
    installed.set_text(L"Comport", L"7");
    installed.set_text(L"Baudrate", L"9600");

    Win32ConfigRegistry registry;
    const auto key = registry.open_for_reading(std::u16string(c.read_below) +
                                               u"OLEforRetail\\ServiceOPOS\\LineDisplay\\" + u16(device));
    ASSERT_EQ(key != nullptr, c.found);
    if (key) {
      EXPECT_EQ(key->read_string(u"Comport"), u"7");
      EXPECT_EQ(key->read_string(u"Baudrate"), u"9600");
    }
  }
}

}  // namespace
}  // namespace varnel
