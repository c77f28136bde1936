#pragma once
// What one loaded library holds: the platform services the service object talks to the world
// through, and the device state that every object of the class shares.
//
// A process drives at most one display through the library, so the port, the transmit buffer
// and the key path belong to the library, not to an object: a second object shares the port,
// buffer and key path of the first. Calls arrive one at a time on the apartment thread that
// created the objects, so nothing here is locked (the object count excepted, which the COM
// entry points may read from any thread).

#include <array>
#include <atomic>
#include <cstdint>
#include <string>

#include "service_object/core/config_registry.h"
#include "service_object/core/device_config.h"
#include "service_object/core/display_commands.h"
#include "service_object/core/key_path.h"
#include "service_object/core/message_sink.h"
#include "service_object/core/process_info.h"
#include "service_object/core/serial_port.h"
#include "service_object/core/text_file_reader.h"

namespace varnel {

// Counts what keeps the library loaded: live objects (and, in the COM packaging, server locks).
class ModuleLock {
 public:
  void lock() { count_.fetch_add(1, std::memory_order_relaxed); }
  void unlock() { count_.fetch_sub(1, std::memory_order_relaxed); }
  [[nodiscard]] long count() const { return count_.load(std::memory_order_relaxed); }

 private:
  std::atomic<long> count_{0};
};

// The platform services. All references must outlive the module.
struct ServicePlatform {
  SerialPort& port;
  ConfigRegistry& registry;
  TextFileReader& files;
  MessageSink& messages;
  ProcessInfo& process;
  std::u16string device_name_file{kDeviceNameFilePath};
};

// The device state shared by every object of the class.
struct DeviceState {
  bool emulation = false;  // 32-bit process on 64-bit Windows: chooses the key's base path
  bool port_open = false;  // true exactly while the port is held
  std::array<std::uint8_t, kTransmitBufferSize> transmit{};
  KeyPath key_path;
};

class ServiceModule {
 public:
  explicit ServiceModule(ServicePlatform platform) : platform_(std::move(platform)) {}
  ServiceModule(const ServiceModule&) = delete;
  ServiceModule& operator=(const ServiceModule&) = delete;

  [[nodiscard]] ServicePlatform& platform() { return platform_; }
  [[nodiscard]] DeviceState& state() { return state_; }
  [[nodiscard]] ModuleLock& lock() { return lock_; }

 private:
  ServicePlatform platform_;
  DeviceState state_;
  ModuleLock lock_;
};

}  // namespace varnel
