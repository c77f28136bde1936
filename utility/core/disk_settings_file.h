#pragma once
// config.data on the machine's own file system: only an existing file is written, over its
// start. Each platform folder defines it (utility/posix/settings_file.cpp,
// utility/win32/settings_file.cpp), the build picking one.

#include <cstdint>
#include <span>
#include <string_view>

#include "utility/core/dialog_view.h"

namespace utility {

class DiskSettingsFile final : public SettingsFile {
 public:
  Result OverwriteStart(std::string_view fileName, std::span<const std::uint8_t> bytes) override;
};

}  // namespace utility
