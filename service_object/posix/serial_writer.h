#pragma once
// The service object's serial writer over POSIX termios, with the same contract as the Windows
// one: used by native tests and tools to drive a display (or the simulator) from Linux.
//
// Port names are the Windows ones ("COM7"). A port map, like Wine's port table, says which
// device path serves each name; a name that is not in the map is opened as a path itself.

#include <chrono>
#include <map>
#include <string>

#include "service_object/core/serial_port.h"
#include "shared/posix/unique_fd.h"

namespace varnel {

class PosixSerialWriter final : public SerialPort {
 public:
  using PortMap = std::map<std::u16string, std::string, std::less<>>;

  explicit PosixSerialWriter(PortMap ports = {});
  ~PosixSerialWriter() override;
  PosixSerialWriter(const PosixSerialWriter&) = delete;
  PosixSerialWriter& operator=(const PosixSerialWriter&) = delete;

  bool open(std::u16string_view port_name, ParitySelector parity, std::int32_t baud_rate) override;
  bool write(std::span<const std::uint8_t> bytes) override;
  // A device that hung up or went away (EIO, ENXIO, ENODEV, a hang-up on poll) answers kPortLost.
  WriteResult write_within(std::span<const std::uint8_t> bytes,
                           std::optional<std::chrono::milliseconds> limit) override;
  // Gives up exclusive use (TIOCNXCL) before closing, so the next program may open the port.
  void close() override;
  [[nodiscard]] bool is_open() const override { return fd_.is_valid(); }

  // The port record of the last open.
  [[nodiscard]] const std::u16string& port_name() const { return port_name_; }
  [[nodiscard]] std::int32_t baud_rate() const { return baud_rate_; }
  [[nodiscard]] ParitySelector parity() const { return parity_; }
  // The open descriptor, for tests that inspect the line settings; -1 when closed.
  [[nodiscard]] int native_handle() const { return fd_.get(); }

 private:
  [[nodiscard]] std::string device_path(std::u16string_view port_name) const;
  bool configure(ParitySelector parity, std::int32_t baud_rate) const;
  WriteResult wait_until_sent(std::chrono::steady_clock::time_point deadline) const;

  PortMap ports_;
  std::u16string port_name_;
  ParitySelector parity_ = ParitySelector::kNone;
  std::int32_t baud_rate_ = 0;
  kit::posix::UniqueFd fd_;
};

}  // namespace varnel
