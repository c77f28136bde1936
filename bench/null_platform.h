#pragma once
// A platform for the service object that has no registry, no files and no one to show messages
// to: enough to time the output path, where only the port matters.

#include <memory>
#include <optional>
#include <string>

#include "service_object/core/service_module.h"

namespace varnel::bench {

class NoRegistry final : public ConfigRegistry {
 public:
  std::unique_ptr<RegistryKey> open_for_reading(std::u16string_view) override { return nullptr; }
};

class NoFiles final : public TextFileReader {
 public:
  std::optional<std::string> read(std::u16string_view, std::size_t) override { return std::nullopt; }
  std::u16string widen(std::string_view) override { return {}; }
};

class SilentMessages final : public MessageSink {
 public:
  void show(std::u16string_view) override {}
};

class NotWow64 final : public ProcessInfo {
 public:
  bool is_wow64() override { return false; }
};

// A module around `port` whose device counts as enabled (as after a successful enable).
class EnabledModule {
 public:
  explicit EnabledModule(SerialPort& port)
      : module_(ServicePlatform{port, registry_, files_, messages_, process_}) {
    module_.state().port_open = true;
  }
  ServiceModule& module() { return module_; }

 private:
  NoRegistry registry_;
  NoFiles files_;
  SilentMessages messages_;
  NotWow64 process_;
  ServiceModule module_;
};

}  // namespace varnel::bench
