#include "service_object/win32/com/dispatch_table.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <tuple>
#include <type_traits>
#include <utility>

#include "service_object/win32/com/com_resources.h"
#include "service_object/win32/com/control_object_events.h"
#include "shared/win32/automation_arguments.h"

namespace varnel::com {

namespace {

// How one parameter type of the service object's methods travels through a VARIANT: what holds
// it during the call, how it is read, and (for out-parameters) how a change goes back.
template <typename Parameter>
struct ParameterCodec;

template <>
struct ParameterCodec<bool> {
  using Storage = bool;
  static bool read(DispatchArguments& arguments, unsigned position, Storage& value) {
    return arguments.read_bool(position, value);
  }
  static bool pass(Storage& value) { return value; }
  static HRESULT write_back(DispatchArguments&, unsigned, const Storage&) { return S_OK; }
};

template <>
struct ParameterCodec<std::int32_t> {
  using Storage = std::int32_t;
  static bool read(DispatchArguments& arguments, unsigned position, Storage& value) {
    return arguments.read_long(position, value);
  }
  static std::int32_t pass(Storage& value) { return value; }
  static HRESULT write_back(DispatchArguments&, unsigned, const Storage&) { return S_OK; }
};

template <>
struct ParameterCodec<std::u16string_view> {
  using Storage = std::u16string;
  static bool read(DispatchArguments& arguments, unsigned position, Storage& value) {
    return arguments.read_string(position, value);
  }
  static std::u16string_view pass(Storage& value) { return value; }
  static HRESULT write_back(DispatchArguments&, unsigned, const Storage&) { return S_OK; }
};

// An out-parameter remembers what came in: only a changed value is written back.
template <typename Value>
struct OutParameter {
  Value value{};
  Value original{};
};

template <>
struct ParameterCodec<std::int32_t&> {
  using Storage = OutParameter<std::int32_t>;
  static bool read(DispatchArguments& arguments, unsigned position, Storage& out) {
    if (!arguments.read_long_ref(position, out.value)) return false;
    out.original = out.value;
    return true;
  }
  static std::int32_t& pass(Storage& out) { return out.value; }
  static HRESULT write_back(DispatchArguments& arguments, unsigned position, const Storage& out) {
    return out.value == out.original ? S_OK : arguments.write_long_ref(position, out.value);
  }
};

template <>
struct ParameterCodec<std::u16string&> {
  using Storage = OutParameter<std::u16string>;
  static bool read(DispatchArguments& arguments, unsigned position, Storage& out) {
    if (!arguments.read_string_ref(position, out.value)) return false;
    out.original = out.value;
    return true;
  }
  static std::u16string& pass(Storage& out) { return out.value; }
  static HRESULT write_back(DispatchArguments& arguments, unsigned position, const Storage& out) {
    return out.value == out.original ? S_OK : arguments.write_string_ref(position, out.value);
  }
};

// Results: nothing (VT_EMPTY), a long (VT_I4) or a fresh BSTR the caller frees.
HRESULT store_result(VARIANT* result, std::int32_t value) {
  if (result == nullptr) return S_OK;
  *result = kit::win32::LongArgument(value);
  return S_OK;
}

HRESULT store_result(VARIANT* result, const std::u16string& value) {
  if (result == nullptr) return S_OK;
  BSTR text = allocate_bstr(value);
  if (text == nullptr) return E_OUTOFMEMORY;
  result->vt = VT_BSTR;
  result->bstrVal = text;
  return S_OK;
}

template <typename Method>
struct MethodTraits;

template <typename Result, typename... Parameters>
struct MethodTraits<Result (ID_TARVO_VARNEL::*)(Parameters...)> {
  using ResultType = Result;
  static constexpr unsigned kArity = sizeof...(Parameters);

  template <Result (ID_TARVO_VARNEL::*Method)(Parameters...), std::size_t... Index>
  static HRESULT call(ID_TARVO_VARNEL& object, DispatchArguments& arguments, VARIANT* result,
                      std::index_sequence<Index...> /*positions*/) {
    std::tuple<typename ParameterCodec<Parameters>::Storage...> values;
    // Read in declared order; the first argument that fails stops the call.
    if (!(ParameterCodec<Parameters>::read(arguments, Index, std::get<Index>(values)) && ...)) {
      return arguments.error();
    }
    const auto write_back = [&arguments, &values] {
      HRESULT written = S_OK;
      ((written = SUCCEEDED(written)
                      ? ParameterCodec<Parameters>::write_back(arguments, Index, std::get<Index>(values))
                      : written),
       ...);
      return written;
    };
    if constexpr (std::is_void_v<Result>) {
      (object.*Method)(ParameterCodec<Parameters>::pass(std::get<Index>(values))...);
      return write_back();
    } else {
      const Result answer = (object.*Method)(ParameterCodec<Parameters>::pass(std::get<Index>(values))...);
      const HRESULT written = write_back();
      if (FAILED(written)) return written;
      return store_result(result, answer);
    }
  }
};

// The invoker of one service object method, made from its signature.
template <auto Method>
HRESULT invoke(ID_TARVO_VARNEL& object, DispatchArguments& arguments, VARIANT* result) {
  using Traits = MethodTraits<decltype(Method)>;
  return Traits::template call<Method>(object, arguments, result, std::make_index_sequence<Traits::kArity>());
}

template <auto Method>
constexpr unsigned arity() {
  return MethodTraits<decltype(Method)>::kArity;
}

// OpenService's third argument is the control object's IDispatch, through which the object's
// events go (a reference is kept until CloseService). Any other value is accepted: the object
// then fires no events.
HRESULT invoke_open_service(ID_TARVO_VARNEL& object, DispatchArguments& arguments, VARIANT* result) {
  std::u16string device_class;
  std::u16string device_name;
  if (!arguments.read_string(0, device_class) || !arguments.read_string(1, device_name) ||
      !arguments.read_present(2)) {
    return arguments.error();
  }
  std::shared_ptr<StatusSink> control;
  if (IDispatch* dispatch = arguments.dispatch_at(2))
    control = std::make_shared<ControlObjectEvents>(dispatch);
  return store_result(result, object.OpenService(device_class, device_name, std::move(control)));
}

#define VARNEL_METHOD(name, id)                                                                         \
  DispatchEntry {                                                                                       \
    L## #name, id, MemberKind::method, arity<&ID_TARVO_VARNEL::name>(), &invoke<&ID_TARVO_VARNEL::name> \
  }
#define VARNEL_PROPERTY(name, id) \
  DispatchEntry { L## #name, id, MemberKind::property, 0, nullptr }

constexpr std::array<DispatchEntry, 34> kTable = {
    VARNEL_METHOD(COFreezeEvents, 1),
    VARNEL_METHOD(GetPropertyNumber, 2),
    VARNEL_METHOD(SetPropertyNumber, 3),
    VARNEL_METHOD(GetPropertyString, 4),
    VARNEL_METHOD(SetPropertyString, 5),
    DispatchEntry{L"OpenService", 6, MemberKind::method, 3, &invoke_open_service},
    VARNEL_METHOD(CheckHealth, 7),
    VARNEL_METHOD(ClaimDevice, 8),
    VARNEL_METHOD(CloseService, 9),
    VARNEL_METHOD(DirectIO, 10),
    VARNEL_METHOD(ReleaseDevice, 11),
    VARNEL_METHOD(ClearDescriptors, 12),
    VARNEL_METHOD(ClearText, 13),
    VARNEL_METHOD(CreateWindow, 14),
    VARNEL_METHOD(DestroyWindow, 15),
    VARNEL_METHOD(DisplayText, 16),
    VARNEL_METHOD(DisplayTextAt, 17),
    VARNEL_METHOD(RefreshWindow, 18),
    VARNEL_METHOD(ScrollText, 19),
    VARNEL_METHOD(SetDescriptor, 20),
    VARNEL_METHOD(DefineGlyph, 21),
    VARNEL_METHOD(ReadCharacterAtCursor, 22),
    VARNEL_METHOD(DisplayBitmap, 23),
    VARNEL_METHOD(SetBitmap, 24),
    VARNEL_METHOD(ResetStatistics, 25),
    VARNEL_METHOD(RetrieveStatistics, 26),
    VARNEL_METHOD(UpdateStatistics, 27),
    VARNEL_METHOD(CompareFirmwareVersion, 28),
    VARNEL_METHOD(UpdateFirmware, 29),
    VARNEL_PROPERTY(ServiceObjectVersion, 1),
    VARNEL_PROPERTY(DeviceName, 2),
    VARNEL_PROPERTY(DeviceDescription, 3),
    VARNEL_PROPERTY(DeviceControlDescription, 4),
    VARNEL_PROPERTY(OnbDeviceEnable, 5),
};

#undef VARNEL_METHOD
#undef VARNEL_PROPERTY

}  // namespace

std::span<const DispatchEntry> dispatch_table() { return kTable; }

const DispatchEntry* find_member(std::wstring_view name) {
  for (const DispatchEntry& entry : kTable) {
    // CompareStringOrdinal: CSTR_EQUAL when equal; TRUE ignores case, by Unicode simple case
    // folding rather than a locale's rules, so "OPENSERVICE" matches in every locale.
    if (CompareStringOrdinal(entry.name.data(), static_cast<int>(entry.name.size()), name.data(),
                             static_cast<int>(name.size()), TRUE) == CSTR_EQUAL) {
      return &entry;
    }
  }
  return nullptr;
}

const DispatchEntry* find_method(DISPID id) {
  for (const DispatchEntry& entry : kTable) {
    if (entry.kind == MemberKind::method && entry.id == id) return &entry;
  }
  return nullptr;
}

}  // namespace varnel::com
