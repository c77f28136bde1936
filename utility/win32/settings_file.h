#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "utility/core/dialog_view.h"

namespace utility {

// config.data on Windows: CreateFileA with OPEN_EXISTING, so only an existing
// file is written, over its start, sharing it with readers and writers as the C runtime's fopen
// does. The name is in the system's ANSI code page. A file that exists but cannot be opened for
// writing is a write failure, not a missing file.
class DiskSettingsFile final : public SettingsFile {
 public:
  Result OverwriteStart(std::string_view fileName, std::span<const std::uint8_t> bytes) override;
};

}  // namespace utility
