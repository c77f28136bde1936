// The files through which the simulator's state and trace can be watched.
#pragma once

#include <string>
#include <string_view>
#include <utility>

#include "shared/posix/unique_fd.h"
#include "sim/model/flash_settings.h"
#include "sim/model/input_layer.h"
#include "sim/model/observable_state.h"

namespace sim {

// A file rewritten whole. The text goes to a temporary file beside it that is
// then renamed over it, so a reader always finds one complete text, old or new.
class WholeFile {
 public:
  explicit WholeFile(std::string path);
  void write(std::string_view text);
  const std::string& path() const { return path_; }

 private:
  std::string path_;
  std::string temporary_path_;
};

// Rewrites the state file whole after every change.
class StateFile {
 public:
  explicit StateFile(std::string path) : file_(std::move(path)) {}
  void write(const ObservableState& state) { file_.write(format_state(state)); }

 private:
  WholeFile file_;
};

// The display's flash, kept across runs: read once at start, rewritten
// whole after every change.
class FlashFile {
 public:
  explicit FlashFile(std::string path) : file_(std::move(path)) {}

  // The settings in the file; defaults if there is no file yet. Throws
  // std::runtime_error, naming the file and the problem, if it cannot be
  // read or parsed: a damaged flash is reported, never overwritten.
  FlashSettings load() const;
  void write(const FlashSettings& flash) { file_.write(format_flash(flash)); }

 private:
  WholeFile file_;
};

// Trace lines, one decoded command each. The file is emptied when the
// simulator starts; each batch goes out in one write.
class TraceFile {
 public:
  explicit TraceFile(const std::string& path);
  void append(const TraceLines& lines);

 private:
  std::string path_;
  kit::posix::UniqueFd fd_;
};

}  // namespace sim
