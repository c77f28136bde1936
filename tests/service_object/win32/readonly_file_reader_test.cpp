// The file reader on real files: exact bytes, the size limit, and files that are not there.

#include "service_object/win32/readonly_file_reader.h"

#include <windows.h>
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "shared/win32/unique_handle.h"
#include "tests/support/handle_probe.h"

namespace varnel {
namespace {

std::wstring temp_folder() {
  wchar_t buffer[MAX_PATH + 1] = {};
  const DWORD length = GetTempPathW(MAX_PATH + 1, buffer);
  return std::wstring(buffer, length);
}

std::u16string u16(std::wstring_view text) { return std::u16string(text.begin(), text.end()); }

// A file in the temporary folder holding `content`, deleted at the end of the test.
class TempFile {
 public:
  explicit TempFile(const std::string& content)
      : path_(temp_folder() + L"kit-reader-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
              std::to_wstring(++counter_) + L".txt") {
    const kit::win32::UniqueFileHandle file(
        CreateFileW(path_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    EXPECT_TRUE(file) << "cannot create the test file";
    DWORD written = 0;
    EXPECT_TRUE(WriteFile(file.get(), content.data(), static_cast<DWORD>(content.size()), &written, nullptr));
    EXPECT_EQ(written, content.size());
  }
  ~TempFile() { DeleteFileW(path_.c_str()); }
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;

  std::u16string path() const { return u16(path_); }

 private:
  static inline int counter_ = 0;
  std::wstring path_;
};

TEST(Win32TextFileReader, ReadsTheStoredBytesUpToTheLimit) {
  std::string all_bytes;
  for (int code = 0; code < 256; ++code) all_bytes.push_back(static_cast<char>(code));
  std::string large(10000, 'x');
  large[4095] = 'a';  // last byte of the first 4 KiB
  large[4096] = 'b';  // first byte after it
  struct Case {
    const char* what;
    std::string content;
    std::size_t max_bytes;
    std::string expected;
  };
  const Case cases[] = {
      {"device name alone", "Kit display", 254, "Kit display"},
      {"line ends are not translated", "name\r\nsecond\n", 254, "name\r\nsecond\n"},
      {"every byte value, NUL and 0x1A included", all_bytes, 1000, all_bytes},
      {"limit cuts the text", "0123456789", 4, "0123"},
      {"limit equal to the size", "0123456789", 10, "0123456789"},
      {"limit zero", "0123456789", 0, ""},
      {"empty file", "", 254, ""},
      {"more than one read", large, 9000, large.substr(0, 9000)},
  };
  Win32TextFileReader reader;
  for (const Case& c : cases) {
    const TempFile file(c.content);
    EXPECT_EQ(reader.read(file.path(), c.max_bytes), c.expected) << c.what;
  }
}

TEST(Win32TextFileReader, FileHeldOpenForWritingByAnotherProgramIsStillRead) {
  const TempFile file("held");
  const std::u16string name = file.path();
  const std::wstring path(name.begin(), name.end());
  const kit::win32::UniqueFileHandle writer(CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  ASSERT_TRUE(writer);
  EXPECT_EQ(Win32TextFileReader().read(file.path(), 254), "held");
}

TEST(Win32TextFileReader, NothingWhenThePathNamesNoReadableFile) {
  Win32TextFileReader reader;
  const std::wstring folder = temp_folder();
  EXPECT_EQ(reader.read(u16(folder + L"kit-no-such-file.txt"), 254), std::nullopt) << "missing file";
  EXPECT_EQ(reader.read(u16(folder + L"kit-no-such-folder\\DeviceName.txt"), 254), std::nullopt)
      << "missing folder";
  EXPECT_EQ(reader.read(u16(folder), 254), std::nullopt) << "a folder";
  EXPECT_EQ(reader.read(u"", 254), std::nullopt) << "empty path";
  const TempFile file("content");
  EXPECT_EQ(reader.read(file.path() + std::u16string(u"\0.bak", 5), 254), std::nullopt)
      << "NUL inside the path";
}

// 8-bit text is the system's: under code page 1252 (the prefix's), 0x80 is the euro sign and
// 0x9F a Y with diaeresis, where a byte-by-byte copy would give control characters.
TEST(Win32TextFileReader, WidensThroughTheAnsiCodePage) {
  if (GetACP() != 1252)
    GTEST_SKIP() << "the expectations are those of code page 1252, this system uses " << GetACP();
  Win32TextFileReader reader;
  EXPECT_EQ(reader.widen("Caf\xE9 \x80\x9F"), u"Caf\u00E9 \u20AC\u0178");
  EXPECT_EQ(reader.widen(""), u"");
  EXPECT_EQ(reader.widen(std::string("A\0B", 3)), std::u16string(u"A\0B", 3)) << "the length is the text's";
}

TEST(Win32TextFileReader, EveryFileIsClosed) {
  const TempFile file("0123456789");
  const std::u16string path = file.path();
  EXPECT_TRUE(test_support::leaves_no_handle_open([&path] {
    Win32TextFileReader reader;
    reader.read(path, 4);
    reader.read(path, 254);
    reader.read(path + u".missing", 254);
  }));
}

}  // namespace
}  // namespace varnel
