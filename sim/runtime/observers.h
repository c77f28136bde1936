// Everything that hears about a change of the simulated display: the state,
// flash, picture, trace and capture files, and the live view in the terminal.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>

#include "sim/model/display_firmware.h"
#include "sim/model/flash_settings.h"
#include "sim/model/input_layer.h"
#include "sim/model/observable_state.h"
#include "sim/runtime/output_files.h"
#include "sim/runtime/png_file.h"
#include "sim/runtime/sim_options.h"
#include "sim/runtime/terminal_view.h"

namespace sim {

class Observers {
 public:
  // Opens (and empties) the files the options name; nothing is written yet.
  explicit Observers(const SimOptions& options);

  // The flash as the file holds it (factory settings without a file).
  FlashSettings load_flash() const { return flash_file_ ? flash_file_->load() : FlashSettings{}; }

  // Writes the flash file as loaded, so it exists from the start.
  void start_flash(const FlashSettings& flash);

  // Draws the live view, unless the options or a non-terminal stdout rule it
  // out. The view goes below the port line, so this follows the announcement.
  void start_view(const ObservableState& state);

  // Writes the files and draws the view for the firmware's state, then
  // appends its trace lines. The files go out before the trace lines: whoever
  // has seen a trace line finds its effect in the state file already. `extra`
  // lines (replies that went out garbled or not at all) follow those of the
  // display.
  void publish(DisplayFirmware& firmware, const TraceLines& extra = {});

  // Bytes as read from the line, before anything decodes them.
  void received(std::span<const std::uint8_t> bytes);

 private:
  // Rewrites the pictures of the screen when what they show has changed.
  void draw_pictures(const ObservableState& state);

  std::optional<StateFile> state_file_;
  std::optional<TraceFile> trace_file_;
  std::optional<FlashFile> flash_file_;
  std::optional<WholeFile> dots_file_;
  std::optional<PngFile> png_file_;
  std::optional<CaptureFile> capture_file_;
  std::optional<TerminalView> view_;
  bool show_view_ = false;
  FlashSettings written_flash_;
  // What the pictures show: the rows and the glyphs of the flash.
  bool pictures_written_ = false;
  std::array<ScreenRow, kRows> pictured_rows_{};
  FlashSettings pictured_flash_;
};

}  // namespace sim
