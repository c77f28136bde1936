#include "service_object/core/line_output.h"

#include <algorithm>

#include "service_object/core/opos.h"

namespace varnel {
namespace {

// Opens the vanished port again, with what it was opened with at the enable.
bool reopen(DeviceState& device, SerialPort& port) {
  if (!port.open(device.port_name, ParitySelector::kNone, device.baud_rate)) return false;
  device.port_open = true;
  device.line = LineCondition::kGood;
  return true;
}

OutputStatus send_one(DeviceState& device, SerialPort& port, std::span<const std::uint8_t> bytes) {
  std::copy(bytes.begin(), bytes.end(), device.transmit.begin());
  const std::span<const std::uint8_t> staged(device.transmit.data(), bytes.size());
  std::optional<std::chrono::milliseconds> limit;
  if (device.line == LineCondition::kStalled) limit = stalled_write_limit(bytes.size(), device.baud_rate);

  switch (port.write_within(staged, limit)) {
    case WriteResult::kWritten: device.line = LineCondition::kGood; return OutputStatus::kSent;
    case WriteResult::kTimedOut: device.line = LineCondition::kStalled; return OutputStatus::kTimedOut;
    case WriteResult::kPortLost:
      port.close();
      device.port_open = false;
      device.line = LineCondition::kLost;
      return OutputStatus::kPortLost;
    case WriteResult::kFailed: break;
  }
  return OutputStatus::kFailed;
}

}  // namespace

OutputStatus send_on_line(DeviceState& device, SerialPort& port,
                          std::initializer_list<std::span<const std::uint8_t>> writes) {
  return send_writes(device, port,
                     std::span<const std::span<const std::uint8_t>>(writes.begin(), writes.size()));
}

OutputStatus send_writes(DeviceState& device, SerialPort& port,
                         std::span<const std::span<const std::uint8_t>> writes) {
  const bool nothing_to_write = std::all_of(
      writes.begin(), writes.end(), [](std::span<const std::uint8_t> bytes) { return bytes.empty(); });
  if (nothing_to_write) return OutputStatus::kSent;
  if (!device.port_open) {
    // Only a port that vanished under an enabled device is wanted back.
    if (device.port_users == 0 || device.line != LineCondition::kLost) return OutputStatus::kNoPort;
    if (!reopen(device, port)) return OutputStatus::kPortLost;
  }
  for (const std::span<const std::uint8_t> bytes : writes) {
    if (bytes.empty()) continue;
    if (bytes.size() > device.transmit.size()) return OutputStatus::kFailed;
    if (const OutputStatus status = send_one(device, port, bytes); status != OutputStatus::kSent)
      return status;
  }
  return OutputStatus::kSent;
}

std::chrono::milliseconds stalled_write_limit(std::size_t byte_count, std::int32_t baud_rate) {
  constexpr long long kMarginMs = 50;
  constexpr long long kBitsPerByte = 10;  // start bit, 8 data bits, stop bit
  // A rate that is no rate (never the case for an open port) counts as 1000 bit/s.
  const long long rate = baud_rate > 0 ? baud_rate : 1000;
  const long long bits = static_cast<long long>(byte_count) * kBitsPerByte;
  const long long line_ms = (2 * bits * 1000 + rate - 1) / rate;
  return std::chrono::milliseconds(kMarginMs + line_ms);
}

std::int32_t result_code_for(OutputStatus status) {
  switch (status) {
    case OutputStatus::kSent:
    case OutputStatus::kNoPort: return opos::OPOS_SUCCESS;
    case OutputStatus::kFailed: return opos::OPOS_E_FAILURE;
    case OutputStatus::kTimedOut: return opos::OPOS_E_TIMEOUT;
    case OutputStatus::kPortLost: return opos::OPOS_E_NOHARDWARE;
  }
  return opos::OPOS_E_FAILURE;
}

}  // namespace varnel
