#pragma once

namespace utility {

// Where the icon goes in the client area of the minimized dialog: centred, in integer
// arithmetic, with the odd pixel to the right and below.
struct IconOrigin {
  int x;
  int y;
};

inline IconOrigin CentredIconOrigin(int clientWidth, int clientHeight, int iconWidth, int iconHeight) {
  return {(clientWidth - iconWidth + 1) / 2, (clientHeight - iconHeight + 1) / 2};
}

}  // namespace utility
