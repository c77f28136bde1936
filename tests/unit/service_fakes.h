#pragma once
// In-memory stand-ins for the service object's platform: a port that records what it was
// asked to send, a registry of keys and values, a file table, and a message recorder.

#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "service_object/core/id_tarvo_varnel.h"

namespace varnel::testing {

using Bytes = std::vector<std::uint8_t>;

class FakeSerialPort final : public SerialPort {
 public:
  bool open(std::u16string_view name, ParitySelector parity, std::int32_t baud) override {
    opens.push_back({std::u16string(name), parity, baud});
    held = available_ports.contains(std::u16string(name));
    return held;
  }
  bool write(std::span<const std::uint8_t> bytes) override {
    return write_within(bytes, std::nullopt) == WriteResult::kWritten;
  }
  // Each write takes the next of `results` (kWritten once they run out); a write that does not
  // end as kWritten records nothing in `writes`.
  WriteResult write_within(std::span<const std::uint8_t> bytes,
                           std::optional<std::chrono::milliseconds> limit) override {
    if (!held || bytes.empty()) return WriteResult::kFailed;
    limits.push_back(limit);
    WriteResult result = WriteResult::kWritten;
    if (!results.empty()) {
      result = results.front();
      results.pop_front();
    }
    if (result == WriteResult::kWritten) writes.emplace_back(bytes.begin(), bytes.end());
    return result;
  }
  void close() override {
    ++closes;
    held = false;
  }
  bool is_open() const override { return held; }

  // All bytes written, in order.
  Bytes all_bytes() const {
    Bytes out;
    for (const auto& w : writes) out.insert(out.end(), w.begin(), w.end());
    return out;
  }

  struct Open {
    std::u16string name;
    ParitySelector parity;
    std::int32_t baud;
  };
  std::set<std::u16string, std::less<>> available_ports{u"COM3", u"COM4", u"COM10"};
  std::vector<Open> opens;
  std::vector<Bytes> writes;
  std::deque<WriteResult> results;
  std::vector<std::optional<std::chrono::milliseconds>> limits;  // one per write attempt
  int closes = 0;
  bool held = false;
};

class FakeRegistry final : public ConfigRegistry {
 public:
  using Values = std::map<std::u16string, std::u16string, std::less<>>;

  std::unique_ptr<RegistryKey> open_for_reading(std::u16string_view path) override {
    opened_paths.emplace_back(path);
    const auto it = keys.find(std::u16string(path));
    if (it == keys.end()) return nullptr;
    return std::make_unique<Key>(it->second, *this);
  }

  std::map<std::u16string, Values> keys;
  std::vector<std::u16string> opened_paths;
  int open_keys = 0;  // keys handed out and not yet closed

 private:
  class Key final : public RegistryKey {
   public:
    Key(const Values& values, FakeRegistry& owner) : values_(values), owner_(owner) { ++owner_.open_keys; }
    ~Key() override { --owner_.open_keys; }
    std::optional<std::u16string> read_string(std::u16string_view name) override {
      const auto it = values_.find(name);
      if (it == values_.end() || it->second.size() > kMaxValueChars) return std::nullopt;
      return it->second;
    }

   private:
    const Values& values_;
    FakeRegistry& owner_;
  };
};

class FakeFiles final : public TextFileReader {
 public:
  std::optional<std::string> read(std::u16string_view path, std::size_t max_bytes) override {
    ++reads;
    const auto it = files.find(std::u16string(path));
    if (it == files.end()) return std::nullopt;
    return it->second.substr(0, max_bytes);
  }
  // A system whose code page is Latin-1, unless a test gives another.
  std::u16string widen(std::string_view text) override {
    if (widen_8bit) return widen_8bit(text);
    std::u16string wide;
    for (const char byte : text) wide.push_back(static_cast<char16_t>(static_cast<unsigned char>(byte)));
    return wide;
  }
  std::map<std::u16string, std::string> files;
  Widen8Bit widen_8bit;
  int reads = 0;
};

class RecordingMessages final : public MessageSink {
 public:
  // `while_shown` stands for what the application does while a box is up (its timers and
  // incoming calls run in the box's modal loop); it runs once, for the next box.
  void show(std::u16string_view text) override {
    shown.emplace_back(text);
    if (auto nested = std::exchange(while_shown, nullptr)) nested();
  }
  std::vector<std::u16string> shown;
  std::function<void()> while_shown;
};

class FakeProcess final : public ProcessInfo {
 public:
  bool is_wow64() override { return wow64; }
  bool wow64 = false;
};

// Opens, claims and enables `so`, as an application does before output.
inline void open_claim_enable(ID_TARVO_VARNEL& so) {
  so.OpenService(u"", u"");
  so.ClaimDevice(0);
  so.SetPropertyNumber(opos::PIDX_DeviceEnabled, 1);
}

// A module wired to the fakes, with a device "PoleDisplay" at 9600 bits/s on COM3 and a
// device-name file naming it.
struct FakeWorld {
  FakeWorld() {
    files.files[std::u16string(kDeviceNameFilePath)] = "PoleDisplay";
    set_device_values(u"9600", u"3");
  }

  void set_device_values(std::optional<std::u16string> baud, std::optional<std::u16string> port) {
    auto& values = registry.keys[device_key()];
    values.clear();
    if (baud) values[u"Baudrate"] = *baud;
    if (port) values[u"Comport"] = *port;
  }

  std::u16string device_key(std::u16string_view name = u"PoleDisplay") const {
    return std::u16string(KeyPath::base_for(process.wow64)) + std::u16string(name);
  }

  FakeSerialPort port;
  FakeRegistry registry;
  FakeFiles files;
  RecordingMessages messages;
  FakeProcess process;
  ServiceModule module{ServicePlatform{port, registry, files, messages, process}};
};

}  // namespace varnel::testing
