#include "sim/model/reply_policy.h"

#include <charconv>
#include <limits>
#include <system_error>
#include <utility>

namespace sim {
namespace {

// A mode written without a value, and what it sets.
struct FlagMode {
  std::string_view name;
  void (*set)(FaultModes& modes);
};

constexpr FlagMode kFlagModes[] = {
    {"no-ack", [](FaultModes& modes) { modes.ack_limit = 0; }},
    {"nak-last", [](FaultModes& modes) { modes.ack_shape = AckShape::nak_last; }},
    {"nak-first", [](FaultModes& modes) { modes.ack_shape = AckShape::nak_first; }},
    {"silence", [](FaultModes& modes) { modes.silence = true; }},
    {"split-info", [](FaultModes& modes) { modes.split_info = true; }},
    {"late-ack", [](FaultModes& modes) { modes.late_ack = true; }},
};

// A mode written as NAME=N, the range of N, and what it sets.
struct NumberMode {
  std::string_view name;
  std::uint64_t min;
  std::uint64_t max;
  void (*set)(FaultModes& modes, std::uint64_t number);
};

constexpr std::uint64_t kMaxCount = std::numeric_limits<std::uint32_t>::max();
constexpr auto kMaxDelayMs = static_cast<std::uint64_t>(kMaxDelay.count());

constexpr NumberMode kNumberModes[] = {
    {"no-ack-after", 0, kMaxCount, [](FaultModes& modes, std::uint64_t n) { modes.ack_limit = n; }},
    {"delay", 0, kMaxDelayMs,
     [](FaultModes& modes, std::uint64_t n) { modes.delay = std::chrono::milliseconds(n); }},
    {"hangup-after", 0, kMaxCount, [](FaultModes& modes, std::uint64_t n) { modes.hangup_after = n; }},
    {"chatter", static_cast<std::uint64_t>(kMinChatter.count()), kMaxDelayMs,
     [](FaultModes& modes, std::uint64_t n) { modes.chatter = std::chrono::milliseconds(n); }},
    {"burst", 1, kMaxBurst,
     [](FaultModes& modes, std::uint64_t n) { modes.burst = static_cast<std::size_t>(n); }},
};

// The number after '=' of a fault mode (`has_value`: there is an '='), within the mode's range.
Parsed<std::uint64_t> mode_number(const NumberMode& mode, bool has_value, std::string_view value) {
  std::uint64_t number = 0;
  const char* const last = value.data() + value.size();
  const auto [end, code] = std::from_chars(value.data(), last, number);
  if (has_value && !value.empty() && code == std::errc{} && end == last && number >= mode.min &&
      number <= mode.max) {
    return Parsed<std::uint64_t>::success(number);
  }
  return Parsed<std::uint64_t>::failure("fault mode " + std::string(mode.name) + " needs =N, N from " +
                                        std::to_string(mode.min) + " to " + std::to_string(mode.max));
}

// `modes` with one more mode.
Parsed<FaultModes> add_fault_mode(std::string_view mode, FaultModes modes) {
  using Result = Parsed<FaultModes>;
  const std::size_t equals = mode.find('=');
  const std::string_view name = mode.substr(0, equals);
  const bool has_value = equals != std::string_view::npos;
  const std::string_view value = has_value ? mode.substr(equals + 1) : std::string_view{};

  for (const FlagMode& flag : kFlagModes) {
    if (has_value || name != flag.name) continue;
    const AckShape shape = modes.ack_shape;
    flag.set(modes);
    // One acknowledgement cannot end both ways.
    if (shape != AckShape::plain && modes.ack_shape != shape)
      return Result::failure("nak-last and nak-first exclude each other");
    return Result::success(modes);
  }
  for (const NumberMode& number_mode : kNumberModes) {
    if (name != number_mode.name) continue;
    const Parsed<std::uint64_t> number = mode_number(number_mode, has_value, value);
    if (!number.value) return Result::failure(number.error);
    number_mode.set(modes, *number.value);
    return Result::success(modes);
  }
  return Result::failure("unknown fault mode '" + std::string(mode) + "'");
}

}  // namespace

Parsed<FaultModes> add_fault_modes(std::string_view list, FaultModes modes) {
  if (list.empty()) return Parsed<FaultModes>::failure("--fault needs a mode");
  while (true) {
    const std::size_t comma = list.find(',');
    Parsed<FaultModes> added = add_fault_mode(list.substr(0, comma), modes);
    if (!added.value || comma == std::string_view::npos) return added;
    modes = *added.value;
    list.remove_prefix(comma + 1);
  }
}

std::vector<Transmission> ReplyPolicy::shape(const Reply& reply) {
  if (modes_.silence) return {};
  std::vector<Transmission> transmissions;
  switch (reply.kind) {
    case ReplyKind::information: transmissions = shape_information(reply.bytes); break;
    case ReplyKind::acknowledge: transmissions = shape_acknowledgement(); break;
    case ReplyKind::refusal: transmissions = {{std::chrono::milliseconds(0), reply.bytes}}; break;
  }
  for (Transmission& transmission : transmissions) transmission.delay += modes_.delay;
  return transmissions;
}

bool ReplyPolicy::take_hang_up() { return std::exchange(hang_up_, false); }

std::optional<std::chrono::milliseconds> ReplyPolicy::chatter_period() const {
  if (!chattering_) return std::nullopt;
  return modes_.chatter;
}

std::vector<Transmission> ReplyPolicy::shape_acknowledgement() {
  if (modes_.hangup_after && acknowledged_ >= *modes_.hangup_after) {
    // The line goes once; a display without a line answers nothing more.
    hang_up_ = !line_dropped_;
    line_dropped_ = true;
    return {};
  }
  // A chattering display acknowledges nothing unless no-ack-after lets some through.
  const std::optional<std::uint64_t> limit = modes_.chatter ? modes_.ack_limit.value_or(0) : modes_.ack_limit;
  if (limit && acknowledged_ >= *limit) {
    if (modes_.chatter) chattering_ = true;
    return {};
  }
  ++acknowledged_;
  switch (modes_.ack_shape) {
    case AckShape::plain: return {{std::chrono::milliseconds(0), {kAck}}};
    case AckShape::nak_last: return {{std::chrono::milliseconds(0), {kAck, kNak}}};
    case AckShape::nak_first: return {{std::chrono::milliseconds(0), {kNak, kAck}}};
  }
  return {};
}

std::vector<Transmission> ReplyPolicy::shape_information(const Bytes& record) const {
  Bytes bytes = record;
  if (modes_.burst) bytes.resize(*modes_.burst, 0x00);
  std::vector<Transmission> transmissions;
  if (!modes_.split_info || bytes.size() <= kSplitInfoFirstPart) {
    transmissions = {{std::chrono::milliseconds(0), bytes}};
  } else {
    const auto split = bytes.begin() + static_cast<std::ptrdiff_t>(kSplitInfoFirstPart);
    transmissions = {{std::chrono::milliseconds(0), Bytes(bytes.begin(), split)},
                     {kSplitInfoPause, Bytes(split, bytes.end())}};
  }
  if (modes_.late_ack) {
    for (Transmission& transmission : transmissions) transmission.delay += kLateAckLead;
    transmissions.insert(transmissions.begin(), {std::chrono::milliseconds(0), {kAck}});
  }
  return transmissions;
}

Bytes garble(std::span<const std::uint8_t> bytes) { return Bytes(bytes.size(), 0xFF); }

}  // namespace sim
