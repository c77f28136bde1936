#include "sim/runtime/observers.h"

#include <unistd.h>

#include <cstdio>

#include "sim/model/display_picture.h"
#include "sim/model/dot_matrix.h"

namespace sim {

Observers::Observers(const SimOptions& options) {
  if (!options.state_file.empty()) state_file_.emplace(options.state_file);
  if (!options.trace_file.empty()) trace_file_.emplace(options.trace_file);
  if (!options.flash_file.empty()) flash_file_.emplace(options.flash_file);
  if (!options.dots_file.empty()) dots_file_.emplace(options.dots_file);
  if (!options.png_file.empty()) png_file_.emplace(options.png_file);
  if (!options.capture_file.empty()) capture_file_.emplace(options.capture_file);
  show_view_ = !options.quiet && ::isatty(STDOUT_FILENO);
}

void Observers::start_flash(const FlashSettings& flash) {
  if (!flash_file_) return;
  flash_file_->write(flash);
  written_flash_ = flash;
}

void Observers::start_view(const ObservableState& state) {
  if (!show_view_) return;
  view_.emplace(stdout);
  view_->draw(state);
}

void Observers::publish(DisplayFirmware& firmware, const TraceLines& extra) {
  TraceLines lines = firmware.take_trace();
  lines.insert(lines.end(), extra.begin(), extra.end());
  const ObservableState& state = firmware.state();
  if (state_file_) state_file_->write(state);
  if (flash_file_ && state.flash != written_flash_) {
    flash_file_->write(state.flash);
    written_flash_ = state.flash;
  }
  draw_pictures(state);
  if (trace_file_ && !lines.empty()) trace_file_->append(lines);
  if (view_) view_->draw(state);
}

void Observers::received(std::span<const std::uint8_t> bytes) {
  if (capture_file_) capture_file_->append(bytes);
}

void Observers::draw_pictures(const ObservableState& state) {
  if (!dots_file_ && !png_file_) return;
  if (pictures_written_ && state.rows == pictured_rows_ && state.flash == pictured_flash_) return;
  if (dots_file_) dots_file_->write(render_dots(state));
  if (png_file_) png_file_->write(draw_display(state));
  pictures_written_ = true;
  pictured_rows_ = state.rows;
  pictured_flash_ = state.flash;
}

}  // namespace sim
