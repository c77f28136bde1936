#pragma once
// The dispatch table of ID_TARVO_VARNEL: every name an automation client can ask for, its
// DISPID, and for methods the code that unpacks the arguments and calls the service object.
//
// The 29 methods carry DISPIDs 1 to 29; the five properties follow with DISPIDs 1 to 5, the same
// numbers as the first five methods. A call by DISPID is resolved against the methods only, so
// 1 to 5 always reach COFreezeEvents .. SetPropertyString. The plain consequence: a client that
// reads a property by name (GetIDsOfNames("DeviceName") gives 2, then Invoke(2, PROPERTYGET))
// reaches the method GetPropertyNumber with no arguments and gets DISP_E_BADPARAMCOUNT. The
// property values are reached through GetPropertyNumber / GetPropertyString, as a control object
// does.

// First: <windows.h> without the macros that clash with OPOS method names.
#include "service_object/win32/opos_names.h"
#include <oleauto.h>

#include <span>
#include <string_view>

#include "service_object/core/id_tarvo_varnel.h"
#include "service_object/win32/com/dispatch_arguments.h"

namespace varnel::com {

enum class MemberKind { method, property };

// Unpacks the arguments (already counted), calls the service object, writes changed
// out-parameters back and stores the result into `result` (may be null; VariantInit'd by the
// caller). Answers S_OK, the argument error recorded in `arguments`, or E_OUTOFMEMORY. May throw
// std::bad_alloc; the caller catches it.
using Invoker = HRESULT (*)(ID_TARVO_VARNEL& object, DispatchArguments& arguments, VARIANT* result);

struct DispatchEntry {
  std::wstring_view name;
  DISPID id;
  MemberKind kind;
  unsigned parameter_count;  // methods only
  Invoker invoke;            // methods only; null for properties
};

// All 34 entries: the methods in DISPID order, then the properties.
std::span<const DispatchEntry> dispatch_table();

// Case-insensitive, by ordinal comparison (no locale rules). Null when the name is unknown.
const DispatchEntry* find_member(std::wstring_view name);
// The method with this DISPID, or null: properties are never found by DISPID.
const DispatchEntry* find_method(DISPID id);

}  // namespace varnel::com
