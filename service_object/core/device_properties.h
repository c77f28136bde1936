#pragma once
// The property answers that the device itself fixes: its geometry (two lines of twenty
// characters, one window), its capabilities, and the state and character set of the object that
// asks. The object's own flags (Claimed, DeviceEnabled, ResultCode, ServiceObjectVersion) and
// texts (DeviceName, DeviceDescription, ServiceObjectDescription) are answered by the object.
//
// An index that names nothing the service object knows answers 0 (numbers) or an empty string:
// an application that lays out text by Columns reads 20, and one that reads a
// property this display lacks reads what OPOS defines for "not supported". The integrator's guide's table
// lists every answer.

#include <cstdint>
#include <string>

#include "service_object/core/character_set.h"

namespace varnel {

inline constexpr std::int32_t kDisplayRows = 2;
inline constexpr std::int32_t kDisplayColumns = 20;

// What the object answering knows of itself.
struct PropertyContext {
  bool opened = false;
  const CharacterSet& character_set;
};

// The numeric answer for `index`, or 0 when the device fixes none.
[[nodiscard]] std::int32_t device_number_property(std::int32_t index, const PropertyContext& context);

// The string answer for `index`, or an empty string when the device fixes none.
[[nodiscard]] std::u16string device_string_property(std::int32_t index);

}  // namespace varnel
