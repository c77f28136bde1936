#pragma once

#include <string>

#include "utility/core/dialog_view.h"

namespace utility {

// Starts the firmware tool by its full path with CreateProcessW, shown (SW_SHOW), in the
// utility's current folder (where config.data lies), without waiting for it. The places are
// the folder of the running executable and the PATH's folders; a program file is an existing
// file that is not a folder. Paths cross the portable core as UTF-8 and reach Windows as
// UTF-16, so a folder name outside the ANSI code page still works.
class Win32ProgramStarter final : public ProgramStarter {
 public:
  Places SearchPlaces() const override;
  bool IsProgramFile(const std::string& path) const override;
  bool Start(const std::string& path) override;
};

}  // namespace utility
