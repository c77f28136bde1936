#pragma once
// What one loaded library holds: the platform services the service object talks to the world
// through, and the device state that every object of the class shares.
//
// A process drives at most one display through the library, so the port and the transmit buffer
// belong to the library, not to an object: a second object shares the port and buffer of the
// first. What an object was opened with (its device key path, its character set) stays its own,
// so one object's CloseService leaves the others as they are (docs/integrator.md: result codes).
// Each object's calls arrive on the apartment thread that created it, but two objects may live
// on two apartment threads, so the shared device state is guarded by one lock (the object count
// is atomic, as the COM entry points read it from any thread).
//
#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>

#include "service_object/core/config_registry.h"
#include "service_object/core/device_config.h"
#include "service_object/core/display_commands.h"
#include "service_object/core/event_delivery.h"
#include "service_object/core/marquee_timer.h"
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
  // The marquees' timer thread; without it marquees are set up but do not step.
  MarqueeTimers* timers = nullptr;
  // The way events reach the apartment thread; without it no events are delivered.
  EventPosters* events = nullptr;
  // Waits while the external health check's pattern stands; without it the check does not wait.
  std::function<void(std::chrono::milliseconds)> pause{};
};

// The state of the line to the display, as the writes on it found it.
enum class LineCondition {
  kGood,     // the last write went through (or none was made)
  kStalled,  // a write timed out: later writes wait only briefly until one goes through
  kLost,     // the port vanished and was closed: the next output call opens it again
};

// The device state shared by every object of the class. Every field is read and changed only
// with `lock` held, and no message box is shown while it is held (a box runs a modal loop in
// which calls of the same thread arrive).
struct DeviceState {
  std::mutex lock;
  bool port_open = false;  // true exactly while the port is held
  std::array<std::uint8_t, kTransmitBufferSize> transmit{};

  // The enabled objects that use the port. The port closes when the last of them disables,
  // releases, closes or is destroyed (released by the application without CloseService).
  int port_users = 0;
  // What the port was opened with, for opening it again after it vanished.
  std::u16string port_name;
  std::int32_t baud_rate = 0;
  LineCondition line = LineCondition::kGood;
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
