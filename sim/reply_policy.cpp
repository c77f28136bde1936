#include "sim/reply_policy.h"

#include <charconv>
#include <limits>
#include <system_error>
#include <utility>

namespace sim {
namespace {

bool parse_count(std::string_view text, std::uint64_t max, std::uint64_t& out) {
  std::uint64_t value = 0;
  const auto [end, code] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || code != std::errc{} || end != text.data() + text.size() || value > max) return false;
  out = value;
  return true;
}

std::string add_fault_mode(std::string_view mode, FaultModes& modes) {
  const std::size_t equals = mode.find('=');
  const std::string_view name = mode.substr(0, equals);
  const bool has_value = equals != std::string_view::npos;
  const std::string_view value = has_value ? mode.substr(equals + 1) : std::string_view{};
  std::uint64_t number = 0;
  auto needs_number = [&](std::uint64_t min, std::uint64_t max) -> std::string {
    if (has_value && parse_count(value, max, number) && number >= min) return {};
    return "fault mode " + std::string(name) + " needs =N, N from " + std::to_string(min) + " to " +
           std::to_string(max);
  };

  if (!has_value && name == "no-ack") {
    modes.ack_limit = 0;
  } else if (!has_value && name == "nak-last") {
    if (modes.ack_shape == AckShape::nak_first) return "nak-last and nak-first exclude each other";
    modes.ack_shape = AckShape::nak_last;
  } else if (!has_value && name == "nak-first") {
    if (modes.ack_shape == AckShape::nak_last) return "nak-last and nak-first exclude each other";
    modes.ack_shape = AckShape::nak_first;
  } else if (!has_value && name == "silence") {
    modes.silence = true;
  } else if (!has_value && name == "split-info") {
    modes.split_info = true;
  } else if (name == "no-ack-after") {
    if (std::string error = needs_number(0, std::numeric_limits<std::uint32_t>::max()); !error.empty())
      return error;
    modes.ack_limit = number;
  } else if (name == "delay") {
    if (std::string error = needs_number(0, static_cast<std::uint64_t>(kMaxDelay.count())); !error.empty())
      return error;
    modes.delay = std::chrono::milliseconds(number);
  } else if (name == "hangup-after") {
    if (std::string error = needs_number(0, std::numeric_limits<std::uint32_t>::max()); !error.empty())
      return error;
    modes.hangup_after = number;
  } else if (name == "chatter") {
    if (std::string error = needs_number(static_cast<std::uint64_t>(kMinChatter.count()),
                                         static_cast<std::uint64_t>(kMaxDelay.count()));
        !error.empty())
      return error;
    modes.chatter = std::chrono::milliseconds(number);
  } else if (name == "burst") {
    if (std::string error = needs_number(1, kMaxBurst); !error.empty()) return error;
    modes.burst = static_cast<std::size_t>(number);
  } else {
    return "unknown fault mode '" + std::string(mode) + "'";
  }
  return {};
}

}  // namespace

std::string add_fault_modes(std::string_view list, FaultModes& modes) {
  if (list.empty()) return "--fault needs a mode";
  while (true) {
    const std::size_t comma = list.find(',');
    if (std::string error = add_fault_mode(list.substr(0, comma), modes); !error.empty()) return error;
    if (comma == std::string_view::npos) return {};
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
  if (!modes_.split_info || bytes.size() <= kSplitInfoFirstPart)
    return {{std::chrono::milliseconds(0), bytes}};
  const auto split = bytes.begin() + static_cast<std::ptrdiff_t>(kSplitInfoFirstPart);
  return {{std::chrono::milliseconds(0), Bytes(bytes.begin(), split)},
          {kSplitInfoPause, Bytes(split, bytes.end())}};
}

Bytes garble(std::span<const std::uint8_t> bytes) { return Bytes(bytes.size(), 0xFF); }

}  // namespace sim
