#include "sim/model/reply_policy.h"

#include <charconv>
#include <limits>
#include <system_error>
#include <utility>

namespace sim {
namespace {

// The number after '=' of a fault mode (`has_value`: there is an '='), from `min` to `max`.
Parsed<std::uint64_t> mode_number(std::string_view name, bool has_value, std::string_view value,
                                  std::uint64_t min, std::uint64_t max) {
  std::uint64_t number = 0;
  const char* const last = value.data() + value.size();
  const auto [end, code] = std::from_chars(value.data(), last, number);
  if (has_value && !value.empty() && code == std::errc{} && end == last && number >= min && number <= max) {
    return Parsed<std::uint64_t>::success(number);
  }
  return Parsed<std::uint64_t>::failure("fault mode " + std::string(name) + " needs =N, N from " +
                                        std::to_string(min) + " to " + std::to_string(max));
}

// `modes` with one more mode.
Parsed<FaultModes> add_fault_mode(std::string_view mode, FaultModes modes) {
  using Result = Parsed<FaultModes>;
  const std::size_t equals = mode.find('=');
  const std::string_view name = mode.substr(0, equals);
  const bool has_value = equals != std::string_view::npos;
  const std::string_view value = has_value ? mode.substr(equals + 1) : std::string_view{};

  if (!has_value && name == "no-ack") {
    modes.ack_limit = 0;
  } else if (!has_value && name == "nak-last") {
    if (modes.ack_shape == AckShape::nak_first)
      return Result::failure("nak-last and nak-first exclude each other");
    modes.ack_shape = AckShape::nak_last;
  } else if (!has_value && name == "nak-first") {
    if (modes.ack_shape == AckShape::nak_last)
      return Result::failure("nak-last and nak-first exclude each other");
    modes.ack_shape = AckShape::nak_first;
  } else if (!has_value && name == "silence") {
    modes.silence = true;
  } else if (!has_value && name == "split-info") {
    modes.split_info = true;
  } else if (!has_value && name == "late-ack") {
    modes.late_ack = true;
  } else if (name == "no-ack-after") {
    const Parsed<std::uint64_t> number =
        mode_number(name, has_value, value, 0, std::numeric_limits<std::uint32_t>::max());
    if (!number.value) return Result::failure(number.error);
    modes.ack_limit = *number.value;
  } else if (name == "delay") {
    const Parsed<std::uint64_t> number =
        mode_number(name, has_value, value, 0, static_cast<std::uint64_t>(kMaxDelay.count()));
    if (!number.value) return Result::failure(number.error);
    modes.delay = std::chrono::milliseconds(*number.value);
  } else if (name == "hangup-after") {
    const Parsed<std::uint64_t> number =
        mode_number(name, has_value, value, 0, std::numeric_limits<std::uint32_t>::max());
    if (!number.value) return Result::failure(number.error);
    modes.hangup_after = *number.value;
  } else if (name == "chatter") {
    const Parsed<std::uint64_t> number =
        mode_number(name, has_value, value, static_cast<std::uint64_t>(kMinChatter.count()),
                    static_cast<std::uint64_t>(kMaxDelay.count()));
    if (!number.value) return Result::failure(number.error);
    modes.chatter = std::chrono::milliseconds(*number.value);
  } else if (name == "burst") {
    const Parsed<std::uint64_t> number = mode_number(name, has_value, value, 1, kMaxBurst);
    if (!number.value) return Result::failure(number.error);
    modes.burst = static_cast<std::size_t>(*number.value);
  } else {
    return Result::failure("unknown fault mode '" + std::string(mode) + "'");
  }
  return Result::success(modes);
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
