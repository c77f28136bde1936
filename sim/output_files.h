// The files through which the simulator's state and trace can be watched.
#pragma once

#include <string>

#include "sim/display_state.h"
#include "sim/input_layer.h"
#include "sim/unique_fd.h"

namespace sim {

// Rewrites the state file whole after every change. The text goes to a
// temporary file beside it that is then renamed over it, so a reader always
// finds one complete state, old or new.
class StateFile {
 public:
  explicit StateFile(std::string path);
  void write(const DisplayState& state);

 private:
  std::string path_;
  std::string temporary_path_;
};

// Trace lines, one decoded command each. The file is emptied when the
// simulator starts; each batch goes out in one write.
class TraceFile {
 public:
  explicit TraceFile(const std::string& path);
  void append(const TraceLines& lines);

 private:
  std::string path_;
  UniqueFd fd_;
};

}  // namespace sim
