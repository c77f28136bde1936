// The display's firmware as seen from its serial line: the bytes it receives
// go in, and the ObservableState, a trace of decoded commands and the replies
// it means to send come out. It routes each unit of input to its decoder
// (text commands or configuration frames), which applies it through
// CommandEffects. No I/O; the program feeds it from the port and the tests
// feed it directly.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "sim/model/command_decoder.h"
#include "sim/model/command_effects.h"
#include "sim/model/flash_settings.h"
#include "sim/model/frame_layer.h"
#include "sim/model/input_layer.h"
#include "sim/model/observable_state.h"

namespace sim {

class DisplayFirmware {
 public:
  DisplayFirmware() = default;
  // Powers on with the flash as given; the line speed follows its baud code.
  explicit DisplayFirmware(const FlashSettings& flash) { effects_.load_flash(flash); }
  // The layers keep references to the command effects, the trace and the replies.
  DisplayFirmware(const DisplayFirmware&) = delete;
  DisplayFirmware& operator=(const DisplayFirmware&) = delete;

  // Takes bytes as read from the line. Any split of the same stream into calls
  // gives the same state, trace and replies: a unit left open at the end of
  // one call continues with the next. In download mode nothing is decoded any
  // more; each call traces `download-mode bytes n=<count>`.
  void receive(std::span<const std::uint8_t> bytes);

  // Takes `count` bytes that arrived at a line speed other than the display's
  // own: they are counted and traced as `garbage n=<count>`, never decoded. A
  // unit left open stays open.
  void receive_garbage(std::size_t count);

  // True while a configuration frame is unfinished.
  bool frame_open() const { return current_ == &frames_; }

  // Ends an unfinished frame: dropped, traced as `frame dropped idle`, or
  // decoded as characters if it has not yet shown itself to be a frame.
  void abandon_frame();

  const ObservableState& state() const { return effects_.state(); }

  // Trace lines added since the last call.
  TraceLines take_trace();

  // Replies produced since the last call, oldest first.
  Replies take_replies();

 private:
  // Chooses the layer that owns the unit starting with `first_byte`.
  InputLayer& select_layer(std::uint8_t first_byte);

  void decode(std::uint8_t byte);
  // Decodes what the frame layer handed back: the STX as a character, the
  // bytes after it afresh (one of them may start a real frame).
  void decode_unclaimed();

  CommandEffects effects_;
  TraceLines trace_;
  Replies replies_;
  CommandDecoder commands_{effects_, trace_};
  FrameLayer frames_{effects_, trace_, replies_};
  InputLayer* current_ = nullptr;  // the layer inside an open unit, if any
};

}  // namespace sim
