#include "service_object/core/key_path.h"

namespace varnel {

void KeyPath::reset(bool wow64) { path_.assign(base_for(wow64)); }

bool KeyPath::append(std::u16string_view device_name) {
  if (path_.size() + device_name.size() > kMaxLength) return false;
  path_.append(device_name);
  return true;
}

}  // namespace varnel
