// Fault modes: how the display's replies are altered, delayed or withheld on
// their way to the line, so tests can meet a misbehaving display.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "sim/model/frame_layer.h"
#include "sim/model/parsed.h"

namespace sim {

enum class AckShape {
  plain,      // 06
  nak_last,   // 06 15: ends in a byte other than ACK
  nak_first,  // 15 06: still ends in ACK
};

// The modes, by their names on the command line:
//
//   no-ack           glyph blocks are stored but never acknowledged
//   no-ack-after=N   the first N glyph blocks are acknowledged, later ones not
//   nak-last         acknowledgements are 06 15
//   nak-first        acknowledgements are 15 06
//   delay=MS         every reply goes out MS milliseconds later
//   silence          no reply at all
//   burst=N          the information reply is N bytes: the record, then zero
//                    bytes (the record cut short if N is below its size)
//   split-info       the information record goes out as its first 21 bytes
//                    and, kSplitInfoPause later, the rest
//   late-ack         an acknowledgement goes out before the information
//                    record, which follows kLateAckLead later: the answer to
//                    a glyph block that an information request interrupted
//   hangup-after=N   the first N glyph blocks are acknowledged; the next one
//                    makes the display drop the line (its end of the
//                    pseudo-terminal closes, which the host sees as a hang-up)
//   chatter=MS       glyph blocks that go unacknowledged (all of them, unless
//                    no-ack-after=N lets the first N through) start a NAK
//                    every MS milliseconds, without end
struct FaultModes {
  bool silence = false;
  std::optional<std::uint64_t> ack_limit;  // no-ack is a limit of 0
  AckShape ack_shape = AckShape::plain;
  std::chrono::milliseconds delay{0};
  std::optional<std::size_t> burst;
  bool split_info = false;
  bool late_ack = false;
  std::optional<std::uint64_t> hangup_after;
  std::optional<std::chrono::milliseconds> chatter;

  bool operator==(const FaultModes&) const = default;
};

inline constexpr std::chrono::milliseconds kSplitInfoPause{100};
inline constexpr std::size_t kSplitInfoFirstPart = 21;
inline constexpr std::chrono::milliseconds kLateAckLead{100};
inline constexpr std::size_t kMaxBurst = std::size_t{1} << 20;
inline constexpr std::chrono::milliseconds kMaxDelay{60'000};
inline constexpr std::chrono::milliseconds kMinChatter{1};

// `modes` with those of a comma-separated list added; or what is wrong (an
// unknown name, a bad number, nak-last together with nak-first).
Parsed<FaultModes> add_fault_modes(std::string_view list, FaultModes modes);

// Bytes to write after a delay counted from the moment the reply was made.
struct Transmission {
  std::chrono::milliseconds delay;
  Bytes bytes;
  bool operator==(const Transmission&) const = default;
};

class ReplyPolicy {
 public:
  explicit ReplyPolicy(const FaultModes& modes) : modes_(modes) {}

  // What goes on the line for one reply; empty for none.
  std::vector<Transmission> shape(const Reply& reply);

  // True once, after a reply that makes the display drop the line.
  bool take_hang_up();
  // The period of the display's unprompted NAKs once it chatters; nothing
  // before (or without chatter).
  std::optional<std::chrono::milliseconds> chatter_period() const;

 private:
  std::vector<Transmission> shape_acknowledgement();
  std::vector<Transmission> shape_information(const Bytes& record) const;

  FaultModes modes_;
  std::uint64_t acknowledged_ = 0;
  bool hang_up_ = false;
  bool line_dropped_ = false;
  bool chattering_ = false;
};

// What the host receives of bytes sent at another line speed than its own:
// every byte arrives as 0xFF (in place of a real UART's framing errors).
Bytes garble(std::span<const std::uint8_t> bytes);

}  // namespace sim
