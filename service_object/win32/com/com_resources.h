#pragma once

// The service object's names for the shared automation resource owners.
#include "shared/win32/com_resources.h"

namespace varnel::com {
using kit::win32::ComPtr;
using kit::win32::UniqueBstr;
using kit::win32::UniqueVariant;
}  // namespace varnel::com
