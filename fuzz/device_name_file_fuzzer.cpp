// The device-name file as the installation (or a person with an editor) may leave it: any
// bytes. The name found must be one line of the file, whole, without its line end.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "service_object/core/device_config.h"
#include "service_object/core/key_path.h"

namespace {

void require(bool condition) {
  if (!condition) __builtin_trap();
}

// The system code page's part: one unit per byte, as any single-byte page gives (a double-byte
// page gives fewer).
std::u16string widen_bytes(std::string_view text) {
  std::u16string wide;
  wide.reserve(text.size());
  for (const char byte : text) wide.push_back(static_cast<char16_t>(static_cast<unsigned char>(byte)));
  return wide;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view raw(reinterpret_cast<const char*>(data), size);
  const std::u16string name = varnel::device_name_from_file(raw, widen_bytes);

  require(name.size() <= raw.size());
  for (const char16_t unit : name) require(unit != u'\r' && unit != u'\n' && unit != u'\0');

  // Whatever the name, the key path takes it whole or refuses it, never overflowing.
  varnel::KeyPath path;
  path.reset(false);
  const bool appended = path.append(name);
  require(path.text().size() <= varnel::KeyPath::kMaxLength);
  require(appended == (path.text().size() == varnel::kNativeBasePath.size() + name.size()));
  return 0;
}
