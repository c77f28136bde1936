#include "sim/runtime/terminal_view.h"

#include <string>

#include "sim/model/screen_view.h"

namespace sim {

void TerminalView::draw(const ObservableState& state) {
  std::string picture;
  // ESC [ n A moves the terminal cursor up n lines; ESC [ K clears the rest of a line.
  if (drawn_) picture += "\x1b[" + std::to_string(kScreenViewLines) + "A\r";
  for (const std::string& line : render_screen(state, true)) picture += line + "\x1b[K\n";
  // A terminal that went away is no reason to stop serving the port.
  std::fputs(picture.c_str(), out_);
  std::fflush(out_);
  drawn_ = true;
}

}  // namespace sim
