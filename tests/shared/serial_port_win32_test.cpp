// The Windows serial-port rules both deliverables open and judge their ports by.

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>

#include "shared/win32/serial_port.h"

namespace kit::win32 {
namespace {

// Every COM name gets the device namespace prefix (COM1 to COM9 too); other names stay.
TEST(SerialDevicePath, ComNamesGetThePrefixOtherNamesStay) {
  const struct {
    std::string name;
    std::string path;
  } cases[] = {
      {"COM1", "\\\\.\\COM1"},
      {"COM9", "\\\\.\\COM9"},
      {"COM10", "\\\\.\\COM10"},
      {"COM256", "\\\\.\\COM256"},
      {"com7", "\\\\.\\com7"},
      {"CoM10", "\\\\.\\CoM10"},
      {"cOm12", "\\\\.\\cOm12"},
      {"COM", "COM"},
      {"COM1A", "COM1A"},
      {"COM 1", "COM 1"},
      {"COMX", "COMX"},
      {"LPT1", "LPT1"},
      {"XCOM1", "XCOM1"},
      {"\\\\.\\COM3", "\\\\.\\COM3"},
      {"C:\\port.txt", "C:\\port.txt"},
      {"", ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(serial_device_path(c.name), c.path) << c.name;
    // The wide form follows the same rule.
    const std::wstring wide_name(c.name.begin(), c.name.end());
    const std::wstring wide_path(c.path.begin(), c.path.end());
    EXPECT_EQ(serial_device_path(wide_name), wide_path) << c.name;
  }
}

TEST(PortGoneError, TheDriversGoneAnswersCountOthersDoNot) {
  const struct {
    DWORD error;
    bool gone;
  } cases[] = {
      {ERROR_ACCESS_DENIED, true},
      {ERROR_BAD_COMMAND, true},
      {ERROR_GEN_FAILURE, true},
      {ERROR_DEVICE_NOT_CONNECTED, true},
      {ERROR_DEVICE_REMOVED, true},
      {ERROR_INVALID_HANDLE, true},
      {ERROR_FILE_NOT_FOUND, true},
      {ERROR_DEV_NOT_EXIST, true},
      {ERROR_OPERATION_ABORTED, true},
      {ERROR_IO_DEVICE, true},
      {ERROR_NOT_READY, true},
      {ERROR_BROKEN_PIPE, true},
      // A request still running, a time-out, a bad argument: the port is still there.
      {ERROR_SUCCESS, false},
      {ERROR_IO_PENDING, false},
      {ERROR_IO_INCOMPLETE, false},
      {ERROR_SEM_TIMEOUT, false},
      {ERROR_TIMEOUT, false},
      {WAIT_TIMEOUT, false},
      {ERROR_INVALID_PARAMETER, false},
      {ERROR_NOT_ENOUGH_MEMORY, false},
      {ERROR_COUNTER_TIMEOUT, false},
  };
  for (const auto& c : cases) EXPECT_EQ(is_port_gone_error(c.error), c.gone) << "error " << c.error;
}

TEST(WriteLimit, ASecondPlusTenMillisecondsPerByteNeverInfinite) {
  const struct {
    std::size_t bytes;
    DWORD ms;
  } cases[] = {
      {0, 1000}, {1, 1010}, {4, 1040}, {64, 1640}, {8192, 82920},
  };
  for (const auto& c : cases) EXPECT_EQ(write_limit_ms(c.bytes), c.ms) << c.bytes << " bytes";
  for (const std::size_t huge : {std::size_t{0xFFFFFFFFu}, std::numeric_limits<std::size_t>::max()}) {
    EXPECT_LT(write_limit_ms(huge), INFINITE) << huge << " bytes";
    EXPECT_GT(write_limit_ms(huge), write_limit_ms(8192)) << huge << " bytes";
  }
}

}  // namespace
}  // namespace kit::win32
