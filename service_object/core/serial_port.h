#pragma once
// The serial port the service object writes to. One port per loaded library: it is opened when
// the device is enabled and closed when it is disabled, released or closed.
//
// Implementations: win32/serial_writer (the product), posix/serial_writer (native tests and
// tools), and in-memory fakes in the tests.

#include <chrono>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace varnel {

// Parity selector as passed to SerialPort::open. The service object always passes kNone.
enum class ParitySelector : int { kNone = 0, kEven = 1, kOdd = 2, kMark = 3, kSpace = 4 };

// How a write ended.
enum class WriteResult {
  kWritten,   // every byte was written
  kFailed,    // nothing to write, no port held, or the port refused the write or cut it short
  kTimedOut,  // the line did not take the bytes within the time allowed (flow control held them)
  kPortLost,  // the port itself is gone (a USB adapter unplugged): only a new open can help
};

class SerialPort {
 public:
  virtual ~SerialPort() = default;

  // Opens `port_name` ("COM" followed by the configured port text, exactly as the user sees it)
  // exclusively, with 8 data bits, the given parity, one stop bit and `baud_rate`; other line
  // settings (flow control) keep the values the port already had. Both driver queues are
  // emptied. Answers true when the port is held afterwards. A device that is not a serial
  // port, or a port that refuses the line settings or the write time-outs, is not held: the
  // open fails. Must not be called while a port is held.
  virtual bool open(std::u16string_view port_name, ParitySelector parity, std::int32_t baud_rate) = 0;

  // Sends `bytes` and returns only when the write has finished or the write time-out
  // (1000 ms plus 10 ms per byte) has passed. Answers true when every byte was written; false
  // when no port is held, `bytes` is empty, or the write failed or was cut short. Never blocks
  // without a bound.
  virtual bool write(std::span<const std::uint8_t> bytes) = 0;

  // As write(), but waits at most `limit` (when given) for the line, however long the write
  // time-out would allow, and says how the write ended. A port that can tell neither a time-out
  // nor a lost device from other failures need not override this.
  virtual WriteResult write_within(std::span<const std::uint8_t> bytes,
                                   std::optional<std::chrono::milliseconds> limit) {
    static_cast<void>(limit);
    return write(bytes) ? WriteResult::kWritten : WriteResult::kFailed;
  }

  // Releases the port. Harmless when none is held.
  virtual void close() = 0;

  virtual bool is_open() const = 0;
};

}  // namespace varnel
