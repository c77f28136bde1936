// config.data on the file system, as each platform writes it: over the start
// of an existing file only.
#include "utility/core/disk_settings_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>

#include "utility/core/utility_dialog.h"

namespace utility {
namespace {

// Whether the file opens for writing in spite of its read-only mark, as it
// does for root on POSIX.
bool WritableDespitePermissions(const std::string& path) {
  std::ofstream probe(path, std::ios::binary | std::ios::in | std::ios::out);
  return probe.is_open();
}

class SettingsFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    dir_ = std::filesystem::temp_directory_path() /
           (std::string("zorn_settings_") + info->name() + "_" + std::to_string(std::random_device{}()));
    std::filesystem::create_directories(dir_);
    path_ = (dir_ / "config.data").string();
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  std::filesystem::path dir_;
  std::string path_;
};

TEST_F(SettingsFileTest, OverwritesTheStartOfAnExistingFileOnly) {
  {
    std::ofstream out(path_, std::ios::binary);
    out << "abcdefghijklmnopqrst";
  }
  DiskSettingsFile file;
  const auto record = BuildSettingsRecord(3);
  EXPECT_EQ(file.OverwriteStart(path_, record), SettingsFile::Result::Written);
  std::ifstream in(path_, std::ios::binary);
  const std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(content, "U,0,S,1,3,klmnopqrst");
}

TEST_F(SettingsFileTest, CreatesNothingWhenTheFileIsMissing) {
  DiskSettingsFile file;
  EXPECT_EQ(file.OverwriteStart(path_, BuildSettingsRecord(0)), SettingsFile::Result::NotOpened);
  EXPECT_FALSE(std::filesystem::exists(path_));
}

// An existing config.data that refuses writing is not "no file": the tool
// must not start on a record it never got.
TEST_F(SettingsFileTest, AnExistingFileThatCannotBeWrittenIsAWriteFailure) {
  struct Case {
    const char* name;
    bool readOnlyFile;  // else a folder named config.data
  };
  for (const Case& c : {Case{"read-only file", true}, Case{"folder of that name", false}}) {
    SCOPED_TRACE(c.name);
    std::filesystem::remove_all(path_);
    // A privileged user (root on POSIX) writes read-only files: there the folder case stands in.
    bool refusesWriting = true;
    if (c.readOnlyFile) {
      std::ofstream(path_, std::ios::binary) << "abcdefghijklmnopqrst";
      std::filesystem::permissions(path_, std::filesystem::perms::owner_read |
                                              std::filesystem::perms::group_read |
                                              std::filesystem::perms::others_read);
      refusesWriting = !WritableDespitePermissions(path_);
    } else {
      std::filesystem::create_directory(path_);
    }
    if (refusesWriting) {
      DiskSettingsFile file;
      EXPECT_EQ(file.OverwriteStart(path_, BuildSettingsRecord(3)), SettingsFile::Result::WriteFailed);
    }
    if (c.readOnlyFile) {
      std::ifstream in(path_, std::ios::binary);
      EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "abcdefghijklmnopqrst");
      in.close();
      // Windows removes no read-only file.
      std::filesystem::permissions(path_, std::filesystem::perms::owner_write,
                                   std::filesystem::perm_options::add);
    }
  }
}

TEST_F(SettingsFileTest, WritesTheWholeRecordOverAShorterFile) {
  {
    std::ofstream out(path_, std::ios::binary);
    out << "xyz";
  }
  DiskSettingsFile file;
  EXPECT_EQ(file.OverwriteStart(path_, BuildSettingsRecord(12)), SettingsFile::Result::Written);
  std::ifstream in(path_, std::ios::binary);
  const std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(content, "U,0,S,1,<,");
}

}  // namespace
}  // namespace utility
