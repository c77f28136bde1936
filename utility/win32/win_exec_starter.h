#pragma once

#include <string_view>

#include "utility/core/dialog_view.h"

namespace utility {

// Starts the firmware tool the way the utility always has: WinExec with SW_SHOW, so that the
// system searches for a bare name (the program's own folder first). Does not wait for it.
class WinExecStarter final : public ProgramStarter {
 public:
  bool Start(std::string_view commandLine) override;
};

}  // namespace utility
