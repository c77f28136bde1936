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
