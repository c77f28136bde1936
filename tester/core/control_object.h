#pragma once
// The OPOS LineDisplay Control Object as the form uses it: the members it calls, with the
// arguments it passes. The Windows form reaches the real control through late-bound
// automation; tests use a recorder.

#include <cstdint>
#include <optional>
#include <string_view>

namespace zorntest {

class ControlObject {
 public:
  virtual ~ControlObject() = default;

  // Each call answers whether it reached the control object: false when the automation call
  // itself failed (no control object, a member it does not have, an argument it refused, an
  // error it raised), so that no result code belongs to it. Return values of the methods are
  // not used by the form.
  virtual bool Open(std::u16string_view deviceName) = 0;
  virtual bool ClaimDevice(std::int32_t timeoutMs) = 0;
  virtual bool SetDeviceEnabled(bool enabled) = 0;
  // `attribute` is passed by reference, as the control declares it.
  virtual bool DisplayText(std::u16string_view data, std::int32_t& attribute) = 0;
  virtual bool DisplayTextAt(std::int32_t row, std::int32_t column, std::u16string_view data,
                             std::int32_t& attribute) = 0;
  virtual bool SetBlinkRate(std::int32_t rate) = 0;
  // The BlinkRate property converted to a 32-bit integer; nothing when the read failed.
  virtual std::optional<std::int32_t> BlinkRate() = 0;
  virtual bool ScrollText(std::int32_t direction, std::int32_t units) = 0;
  virtual bool ClearText() = 0;
  virtual bool ReleaseDevice() = 0;
  virtual bool Close() = 0;
  // The ResultCode property: the OPOS result of the call made just before.
  virtual std::optional<std::int32_t> ResultCode() = 0;
};

}  // namespace zorntest
