#pragma once

// The service object's names for the shared Win32 handle owners.
#include "shared/win32/unique_handle.h"

namespace varnel::win32 {
using kit::win32::FileHandleTraits;
using kit::win32::KernelHandleTraits;
using kit::win32::RegistryKeyTraits;
using kit::win32::UniqueEvent;
using kit::win32::UniqueFileHandle;
using kit::win32::UniqueHandle;
using kit::win32::UniqueKernelHandle;
using kit::win32::UniqueRegistryKey;
}  // namespace varnel::win32
