// Everything of the simulated display that can be observed from outside, as plain data, and its
// text form. The data only: CommandEffects (command_effects.h) changes it by the display's rules,
// and DisplayFirmware (display_firmware.h) turns received bytes into those changes.
//
// The simulator writes this text to its state file after every change; tests
// and tools read it back with parse_state(). One `key=value` pair a line, in
// this order:
//
//   row0_hex=<40 lowercase hex digits: the 20 character codes of the upper line>
//   row1_hex=<the same for the lower line>
//   row0_text=<20 characters: printable ASCII as is, every other code as '.'>
//   row1_text=<the same for the lower line>
//   cursor_row=<0..1>
//   cursor_col=<0..19>
//   blink=<0..255>
//   cursor_type=<0..255>
//   inter_character_wait=<0..255>
//   bytes_received=<decimal count of every byte read from the line>
//   line_speed=<the display's own line speed in bits per second>
//   mode=<normal, or download once the firmware download mode is entered>
//   frames_ok=<decimal count of configuration frames applied>
//   frames_rejected=<decimal count of frames refused or dropped unfinished>
//   garbage_bytes=<decimal count of bytes received at a mismatched speed>
//   then the flash keys, as in the flash file (sim/model/flash_settings.h)
//
// The keys up to bytes_received are required; parse_state() takes those from
// line_speed on as optional, so a file with the required keys alone reads.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "sim/model/flash_settings.h"
#include "sim/model/parsed.h"

namespace sim {

inline constexpr std::size_t kRows = 2;
inline constexpr std::size_t kColumns = 20;
inline constexpr std::uint8_t kBlank = 0x20;

using ScreenRow = std::array<std::uint8_t, kColumns>;

enum class DisplayMode : std::uint8_t { normal, download };

struct ObservableState {
  std::array<ScreenRow, kRows> rows{};
  std::size_t cursor_row = 0;
  std::size_t cursor_col = 0;
  std::uint8_t blink = 0;
  std::uint8_t cursor_type = 0;
  std::uint8_t inter_character_wait = 0;  // the last value of the 0x1F 0x46 command
  std::uint64_t bytes_received = 0;
  std::uint32_t line_speed = 9600;
  DisplayMode mode = DisplayMode::normal;
  std::uint64_t frames_ok = 0;
  std::uint64_t frames_rejected = 0;
  std::uint64_t garbage_bytes = 0;
  FlashSettings flash;

  ObservableState() { clear_rows(); }
  void clear_rows() {
    for (ScreenRow& row : rows) row.fill(kBlank);
  }
  bool operator==(const ObservableState&) const = default;
};

// True for the codes shown as themselves in traces and in the *_text lines.
constexpr bool is_printable_ascii(std::uint8_t code) { return code >= 0x20 && code <= 0x7E; }

// The row as 20 characters, '.' standing for every code outside 0x20..0x7E.
std::string row_text(const ScreenRow& row);

std::string format_state(const ObservableState& state);

// Reads the text written by format_state(). Every key up to bytes_received
// must appear exactly once, the optional ones at most once; keys it does not
// know are skipped, so a reader keeps working when a writer adds settings. The
// *_text lines must agree with the *_hex lines (they are derived from them),
// which catches a hand-edited or torn file.
Parsed<ObservableState> parse_state(std::string_view text);

}  // namespace sim
