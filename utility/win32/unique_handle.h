#pragma once

// The utility's names for the shared Win32 handle owners.
#include "shared/win32/unique_handle.h"

namespace zorn {
using kit::win32::UniqueFileHandle;
using kit::win32::UniqueHandle;
using kit::win32::UniqueKernelHandle;
}  // namespace zorn
