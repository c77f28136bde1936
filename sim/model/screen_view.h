// A picture of the display for a terminal: the two rows in a frame, the
// cursor cell in reverse video, and a line with the cursor and settings.
#pragma once

#include <string>
#include <vector>

#include "sim/model/observable_state.h"

namespace sim {

inline constexpr std::size_t kScreenViewLines = 5;

// kScreenViewLines lines without line ends. Codes outside 0x20..0x7E show as
// '.', as the display's code page is not modelled. With `mark_cursor` the
// cursor cell is wrapped in ANSI reverse-video codes.
std::vector<std::string> render_screen(const ObservableState& state, bool mark_cursor);

}  // namespace sim
