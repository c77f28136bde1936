#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "utility/core/dialog_view.h"

namespace utility {

// config.data on a POSIX file system: open(2) without O_CREAT or O_TRUNC, so
// only an existing file is written, over its start. A file that exists but
// cannot be opened for writing is a write failure, not a missing file.
class DiskSettingsFile final : public SettingsFile {
 public:
  Result OverwriteStart(std::string_view fileName, std::span<const std::uint8_t> bytes) override;
};

}  // namespace utility
