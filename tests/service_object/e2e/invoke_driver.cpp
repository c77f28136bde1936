// A structure-aware random driver of IDispatch::Invoke on the real VARNEL.dll, created through
// COM by its ProgID as a control object creates it. Every call gets a random DISPID, call flags,
// interface id, argument count and named arguments, and arguments of every variant type: scalars,
// strings from empty to a million characters (embedded NULs included), dispatch and unknown
// pointers, error values, SAFEARRAYs, by-reference values, reference chains and cycles, and
// variant types that do not exist. The device key points at the simulator on COM7, so a random
// enable opens only that port; message boxes the library raises are answered by a collector.
//
//   invoke_driver [--calls N] [--seed S]
//
// Passes (exit 0) when every call answered one of the HRESULTs an automation server may answer,
// no call crashed, and the process's handles and private memory stayed flat once warmed up.
// Prints the figures: calls, answers by HRESULT, boxes answered, and the samples taken.

#include <windows.h>
// These need <windows.h> first.
#include <oleauto.h>
#include <psapi.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <limits>
#include <map>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "shared/win32/automation_arguments.h"
#include "tests/support/handle_probe.h"
#include "tests/support/installed_device.h"
#include "tests/support/message_box_watcher.h"
#include "tests/support/simulator_link.h"
#include "tests/support/varnel_client.h"

namespace varnel::test {
namespace {

using kit::win32::LongArgument;
using test_support::free_handle_slots;
using test_support::invoke_long;
using test_support::invoke_method;
using test_support::RegisteredVarnel;
using test_support::text_argument;

// A dispatch object of the driver's own, for arguments that carry one. Every call on it fails,
// as a control object's would if the service object called it (it never does).
class InertDispatch final : public IDispatch {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    if (iid != IID_IUnknown && iid != IID_IDispatch) return E_NOINTERFACE;
    *out = static_cast<IDispatch*>(this);
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }  // static lifetime
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                                   UINT*) override {
    return E_NOTIMPL;
  }
  virtual ~InertDispatch() = default;
};

InertDispatch g_inert;

// Everything the arguments of one call point to, released after the call. Variants whose
// content the driver owns are cleared; the service object may have replaced what a by-reference
// argument points to (a long or a string written back), which is then what gets freed.
class Arena {
 public:
  Arena() = default;
  Arena(const Arena&) = delete;
  Arena& operator=(const Arena&) = delete;
  ~Arena() {
    for (VARIANT& v : owned_) VariantClear(&v);
    for (BSTR text : strings_) SysFreeString(text);
    for (SAFEARRAY* array : arrays_) SafeArrayDestroy(array);
  }
  VARIANT& owned() { return owned_.emplace_back(); }
  VARIANT& link() { return links_.emplace_back(); }
  LONG& a_long() { return longs_.emplace_back(); }
  SHORT& a_short() { return shorts_.emplace_back(); }
  double& a_double() { return doubles_.emplace_back(); }
  VARIANT_BOOL& a_bool() { return bools_.emplace_back(); }
  BSTR& a_string() { return strings_.emplace_back(); }
  SAFEARRAY*& an_array() { return arrays_.emplace_back(); }
  IDispatch*& a_dispatch() { return dispatches_.emplace_back(); }

 private:
  std::deque<VARIANT> owned_;
  std::deque<VARIANT> links_;
  std::deque<LONG> longs_;
  std::deque<SHORT> shorts_;
  std::deque<double> doubles_;
  std::deque<VARIANT_BOOL> bools_;
  std::deque<BSTR> strings_;
  std::deque<SAFEARRAY*> arrays_;
  std::deque<IDispatch*> dispatches_;
};

class Generator {
 public:
  explicit Generator(std::uint64_t seed) : random_(seed) {}

  static bool is_invalid_type(VARTYPE type) {
    return std::find(std::begin(kInvalidTypes), std::end(kInvalidTypes), type) != std::end(kInvalidTypes);
  }

  std::uint64_t next() { return random_(); }
  bool chance(unsigned percent_tenths) { return random_() % 1000 < percent_tenths; }
  std::uint64_t below(std::uint64_t n) { return random_() % n; }

  long number() {
    switch (below(6)) {
      case 0: return static_cast<long>(below(8));
      case 1: return static_cast<long>(below(64)) - 8;
      case 2: return static_cast<long>(below(6000));
      case 3: return 1000000 + static_cast<long>(below(6000));  // string property indices
      case 4: return below(2) == 0 ? std::numeric_limits<LONG>::max() : std::numeric_limits<LONG>::min();
      default: return static_cast<long>(static_cast<std::uint32_t>(next()));
    }
  }

  // A string: mostly short, sometimes beyond the 64-unit limit, rarely huge; any code unit.
  BSTR string() {
    if (chance(20)) return nullptr;  // the null BSTR, an empty string to automation
    std::size_t length = below(24);
    if (chance(30)) length = 65 + below(200);
    if (chance(1)) length = 100000 + below(900001);
    std::wstring text(length, L'A');
    const unsigned flavour = static_cast<unsigned>(below(4));
    for (wchar_t& unit : text) {
      switch (flavour) {
        case 0: unit = static_cast<wchar_t>(L'0' + below(10)); break;  // digits convert to numbers
        case 1: unit = static_cast<wchar_t>(0x20 + below(0x5F)); break;
        case 2: unit = static_cast<wchar_t>(below(0x10000)); break;  // NULs, surrogates, controls
        default: unit = static_cast<wchar_t>(below(4) == 0 ? 0 : 0x400 + below(0x100)); break;
      }
    }
    return SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
  }

  // Fills `v` with a value of a random type (by value, or by reference into `arena`).
  void value(VARIANT& v, Arena& arena, int depth = 0) {
    VariantInit(&v);
    switch (below(30)) {
      case 0: v.vt = VT_EMPTY; break;
      case 1: v.vt = VT_NULL; break;
      case 2: v.vt = VT_I2, v.iVal = static_cast<SHORT>(number()); break;
      case 3:
      case 4:
      case 5: v.vt = VT_I4, v.lVal = number(); break;
      case 6: v.vt = VT_R8, v.dblVal = real(); break;
      case 7: v.vt = VT_R4, v.fltVal = static_cast<float>(real()); break;
      case 8: v.vt = VT_CY, v.cyVal.int64 = static_cast<LONGLONG>(next()); break;
      case 9: v.vt = VT_DATE, v.date = real(); break;
      case 10:
      case 11:
      case 12: v.vt = VT_BSTR, v.bstrVal = string(); break;
      case 13: v.vt = VT_DISPATCH, v.pdispVal = below(2) == 0 ? nullptr : &g_inert; break;
      case 14: v.vt = VT_UNKNOWN, v.punkVal = below(2) == 0 ? nullptr : &g_inert; break;
      case 15:
        v.vt = VT_ERROR, v.scode = below(2) == 0 ? DISP_E_PARAMNOTFOUND : static_cast<SCODE>(next());
        break;
      case 16:
        v.vt = VT_BOOL, v.boolVal = below(3) == 0 ? static_cast<VARIANT_BOOL>(next()) : VARIANT_TRUE;
        break;
      case 17: v.vt = VT_UI1, v.bVal = static_cast<BYTE>(next()); break;
      case 18: v.vt = VT_I8, v.llVal = static_cast<LONGLONG>(next()); break;
      case 19: v.vt = VT_UI4, v.ulVal = static_cast<ULONG>(next()); break;
      case 20:
        v.vt = VT_DECIMAL, v.decVal.Lo64 = next(), v.decVal.scale = static_cast<BYTE>(below(29));
        break;
      case 21: array(v); break;
      case 22:
        v.vt = VT_BYREF | VT_I4, v.plVal = below(8) == 0 ? nullptr : &(arena.a_long() = number());
        break;
      case 23: {
        BSTR* slot = below(8) == 0 ? nullptr : &(arena.a_string() = string());
        v.vt = VT_BYREF | VT_BSTR, v.pbstrVal = slot;
        break;
      }
      case 24:
      case 25: reference_chain(v, arena, depth); break;
      case 26: v.vt = VT_BYREF | VT_I2, v.piVal = &(arena.a_short() = static_cast<SHORT>(number())); break;
      case 27:
        v.vt = static_cast<VARTYPE>(VT_BYREF | (below(2) == 0 ? VT_R8 : VT_BOOL));
        if (v.vt == (VT_BYREF | VT_R8))
          v.pdblVal = &(arena.a_double() = real());
        else
          v.pboolVal = &(arena.a_bool() = VARIANT_TRUE);
        break;
      case 28: {
        v.vt = below(2) == 0 ? VT_BYREF | VT_DISPATCH : VT_BYREF | VT_ARRAY | VT_I4;
        if (v.vt == (VT_BYREF | VT_DISPATCH)) {
          v.ppdispVal = &(arena.a_dispatch() = below(2) == 0 ? nullptr : &g_inert);
        } else {
          VARIANT holder;
          array(holder);
          v.pparray = &(arena.an_array() = holder.parray);
        }
        break;
      }
      default: invalid_type(v); break;
    }
  }

 private:
  double real() {
    switch (below(5)) {
      case 0: return std::numeric_limits<double>::quiet_NaN();
      case 1: return below(2) == 0 ? std::numeric_limits<double>::infinity() : -1e300;
      case 2: return static_cast<double>(number()) + 0.5;
      default: return static_cast<double>(static_cast<std::int64_t>(next())) / 1e6;
    }
  }

  // A SAFEARRAY of longs, strings or variants, possibly empty.
  void array(VARIANT& v) {
    const VARTYPE element = below(3) == 0 ? VT_I4 : below(2) == 0 ? VT_BSTR : VT_VARIANT;
    const ULONG count = static_cast<ULONG>(below(6));
    SAFEARRAY* array = SafeArrayCreateVector(element, 0, count);
    for (LONG i = 0; array != nullptr && i < static_cast<LONG>(count); ++i) {
      if (element == VT_I4) {
        LONG value = number();
        SafeArrayPutElement(array, &i, &value);
      } else if (element == VT_BSTR) {
        BSTR text = SysAllocString(L"123");
        SafeArrayPutElement(array, &i, text);  // copies
        SysFreeString(text);
      } else {
        VARIANT item;
        VariantInit(&item);
        item.vt = VT_I4;
        item.lVal = number();
        SafeArrayPutElement(array, &i, &item);
      }
    }
    v.vt = static_cast<VARTYPE>(VT_ARRAY | element);
    v.parray = array;
    if (array == nullptr) v.vt = VT_EMPTY;
  }

  // VT_BYREF | VT_VARIANT through 1 to 12 links to a value, or a link that points to itself.
  void reference_chain(VARIANT& v, Arena& arena, int depth) {
    v.vt = VT_BYREF | VT_VARIANT;
    if (below(10) == 0) {
      VARIANT& loop = arena.link();
      loop.vt = VT_BYREF | VT_VARIANT;
      loop.pvarVal = &loop;
      v.pvarVal = &loop;
      return;
    }
    if (below(20) == 0) {
      v.pvarVal = nullptr;
      return;
    }
    VARIANT* next_link = &v;
    for (std::uint64_t links = below(12); links > 0; --links) {
      VARIANT& link = arena.link();
      link.vt = VT_BYREF | VT_VARIANT;
      next_link->pvarVal = &link;
      next_link = &link;
    }
    // The end of the chain is a value the driver owns (and clears), never another by-ref chain
    // beyond a few levels.
    VARIANT& target = arena.owned();
    if (depth < 2) {
      value(target, arena, depth + 1);
    } else {
      VariantInit(&target);
      target.vt = VT_I4;
      target.lVal = number();
    }
    next_link->pvarVal = &target;
  }

  // A variant type that does not exist, with nothing it could point to.
  void invalid_type(VARIANT& v) {
    v.vt = kInvalidTypes[below(std::size(kInvalidTypes))];
    v.llVal = 0;
  }

  static constexpr VARTYPE kInvalidTypes[] = {15, 0x0048, 0x0FFF, 0x7FFF, VT_BYREF | 0x0FFF};

  std::mt19937_64 random_;
};

// Method arities by DISPID 1..29, so most calls carry the right count.
constexpr unsigned kArity[30] = {0, 1, 1, 2, 1, 2, 3, 1, 1, 0, 3, 0, 0, 0, 6,
                                 0, 2, 4, 1, 2, 2, 2, 1, 4, 5, 1, 1, 1, 2, 1};

// What Invoke may answer: success, the dispatch errors a client expects, and out of memory.
bool expected_answer(HRESULT hr) {
  switch (hr) {
    case S_OK:
    case DISP_E_MEMBERNOTFOUND:
    case DISP_E_BADPARAMCOUNT:
    case DISP_E_TYPEMISMATCH:
    case DISP_E_PARAMNOTOPTIONAL:
    case DISP_E_NONAMEDARGS:
    case DISP_E_UNKNOWNINTERFACE:
    case E_INVALIDARG:
    case E_OUTOFMEMORY: return true;
    default: return false;
  }
}

// The result type a successful call of method `id` leaves.
VARTYPE result_type(DISPID id) {
  if (id == 4) return VT_BSTR;                         // GetPropertyString
  if (id == 1 || id == 3 || id == 5) return VT_EMPTY;  // COFreezeEvents, Set...
  return VT_I4;
}

struct Sample {
  unsigned long long call = 0;
  DWORD handle_count = 0;          // GetProcessHandleCount (Wine answers 0)
  SIZE_T private_usage = 0;        // GetProcessMemoryInfo's PrivateUsage (Wine answers 0)
  std::uintptr_t free_handle = 0;  // the highest of the next 64 free handle slots: rises with leaks
  SIZE_T committed_private = 0;    // private committed memory, summed over the address space
};

// What PrivateUsage stands for, counted region by region with VirtualQuery, which Wine answers
// (it answers 0 for PrivateUsage and for GetProcessHandleCount).
SIZE_T private_committed_bytes() {
  SIZE_T total = 0;
  MEMORY_BASIC_INFORMATION region{};
  for (auto* address = static_cast<const char*>(nullptr);
       VirtualQuery(address, &region, sizeof region) == sizeof region; address += region.RegionSize) {
    if (region.State == MEM_COMMIT && region.Type == MEM_PRIVATE) total += region.RegionSize;
    if (region.RegionSize == 0) break;
  }
  return total;
}

Sample take_sample(unsigned long long call) {
  Sample sample;
  sample.call = call;
  GetProcessHandleCount(GetCurrentProcess(), &sample.handle_count);
  PROCESS_MEMORY_COUNTERS_EX memory{};
  memory.cb = sizeof memory;
  if (GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory),
                           sizeof memory)) {
    sample.private_usage = memory.PrivateUsage;
  }
  sample.free_handle = reinterpret_cast<std::uintptr_t>(free_handle_slots(64).back());
  sample.committed_private = private_committed_bytes();
  return sample;
}

struct Options {
  unsigned long long calls = 30000;
  std::uint64_t seed = 20240611;
};

bool parse(int argc, char** argv, Options& options) {
  for (int i = 1; i < argc; ++i) {
    const std::string argument = argv[i];
    if (i + 1 >= argc) return false;
    char* end = nullptr;
    const unsigned long long value = std::strtoull(argv[++i], &end, 10);
    if (end == argv[i] || *end != '\0') return false;
    if (argument == "--calls" && value > 0) {
      options.calls = value;
    } else if (argument == "--seed") {
      options.seed = value;
    } else {
      return false;
    }
  }
  return true;
}

class Driver {
 public:
  Driver(const Options& options, const RegisteredVarnel& server)
      : options_(options), server_(server), random_(options.seed) {}

  // Answers the number of failed checks.
  int run() {
    renew_object();
    const unsigned long long warm_up = std::max<unsigned long long>(options_.calls / 20, 1000);
    const unsigned long long sample_every = std::max<unsigned long long>(options_.calls / 20, 500);
    for (unsigned long long call = 1; call <= options_.calls && failures_ < 20; ++call) {
      one_call();
      // A fresh object now and then: creation and final release are part of the life.
      if (random_.chance(1) && random_.chance(100)) renew_object();
      if (call >= warm_up && (call - warm_up) % sample_every == 0) sample(call);
    }
    sample(options_.calls);
    if (object_ != nullptr) object_->Release();
    return failures_ + check_flat();
  }

  void report(std::uint64_t seed, std::size_t boxes, double seconds) const {
    std::printf("invoke driver: %llu calls, seed %llu, %.1f s (%.1f us per call), %zu boxes answered\n",
                calls_made_, static_cast<unsigned long long>(seed), seconds, seconds * 1e6 / calls_made_,
                boxes);
    for (const auto& [hr, count] : answers_)
      std::printf("  %08lX  %llu\n", static_cast<unsigned long>(hr), count);
    std::printf(
        "  samples (call, GetProcessHandleCount, PrivateUsage, 64th free handle slot, private committed):\n");
    for (const Sample& s : samples_) {
      std::printf("    %10llu %6lu %10lu %#8lx %10lu\n", s.call, static_cast<unsigned long>(s.handle_count),
                  static_cast<unsigned long>(s.private_usage), static_cast<unsigned long>(s.free_handle),
                  static_cast<unsigned long>(s.committed_private));
    }
  }

 private:
  void renew_object() {
    if (object_ != nullptr) object_->Release();
    object_ = server_.create();
    if (object_ == nullptr) fail("cannot create the object");
  }

  void one_call() {
    if (object_ == nullptr) return;
    if (random_.chance(120)) {
      well_formed_call();
    } else {
      random_call();
    }
  }

  // A call as an application makes it, with arguments of the declared types: the device's life
  // (open, claim, enable) and its output, so that many random calls meet an enabled device and
  // their bytes reach the display.
  void well_formed_call() {
    const auto number = [this] { return LongArgument(random_.number()); };
    const auto text = [this] {
      VARIANT v;
      VariantInit(&v);
      v.vt = VT_BSTR;
      v.bstrVal = random_.string();
      return v;
    };
    static constexpr long kOutputSettings[] = {5018, 5019, 5012, 5001};
    // Windows, cursor and marquee: small numbers, so that many calls fit the screen.
    static constexpr long kScreenSettings[] = {5003, 5004, 5005, 5006, 5013, 5014, 5015, 5017};
    const auto small = [this] { return LongArgument(static_cast<long>(random_.below(25)) - 2); };
    switch (random_.below(14)) {
      case 0: {
        // Open, claim and enable in a row, as an application starts.
        VARIANT control;
        VariantInit(&control);
        control.vt = VT_DISPATCH;
        control.pdispVal = &g_inert;
        checked_call(6, {text_argument(L"LineDisplay"), text_argument(L"PoleDisplay"), control});
        checked_call(8, {number()});
        checked_call(3, {LongArgument(3), LongArgument(1)});
        break;
      }
      case 1: checked_call(16, {text(), number()}); break;
      case 2: checked_call(17, {number(), number(), text(), number()}); break;
      case 3: checked_call(13, {}); break;
      case 4: checked_call(19, {number(), number()}); break;
      case 5: checked_call(3, {LongArgument(kOutputSettings[random_.below(4)]), number()}); break;
      case 6: checked_call(2, {number()}); break;
      case 7: checked_call(4, {number()}); break;
      case 8: checked_call(14, {small(), small(), small(), small(), small(), small()}); break;
      case 9: checked_call(15, {}); break;
      case 10: checked_call(18, {small()}); break;
      case 11: {
        LONG character = 0;
        VARIANT out;
        VariantInit(&out);
        out.vt = VT_BYREF | VT_I4;
        out.plVal = &character;
        checked_call(22, {out});
        break;
      }
      case 12: {
        LONG data = 0;
        BSTR string = random_.string();
        VARIANT data_ref;
        VariantInit(&data_ref);
        data_ref.vt = VT_BYREF | VT_I4;
        data_ref.plVal = &data;
        VARIANT string_ref;
        VariantInit(&string_ref);
        string_ref.vt = VT_BYREF | VT_BSTR;
        string_ref.pbstrVal = &string;
        checked_call(10, {LongArgument(static_cast<long>(random_.below(4))), data_ref, string_ref});
        SysFreeString(string);
        break;
      }
      default:
        // The external check shows its pattern for two seconds: only the quick levels here.
        if (const std::uint64_t pick = random_.below(8); pick == 0) {
          checked_call(7, {LongArgument(random_.below(2) == 0 ? 1 : 3)});
        } else if (pick == 1) {
          // Power reports: PowerNotify (also a value it refuses), then events frozen or thawed,
          // and the messages that carry their deliveries run.
          checked_call(3, {LongArgument(13), LongArgument(static_cast<long>(random_.below(3)))});
          checked_call(1, {kit::win32::BoolArgument(random_.below(2) == 0)});
          MSG message;
          while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE) != 0) DispatchMessageW(&message);
        } else {
          checked_call(3, {LongArgument(kScreenSettings[random_.below(8)]), small()});
        }
        break;
    }
  }

  void checked_call(DISPID id, std::vector<VARIANT> arguments) {
    VARIANT result;
    VariantInit(&result);
    const HRESULT hr = invoke_method(*object_, id, std::move(arguments), &result);
    record(id, hr);
    if (hr != S_OK) fail("a well-formed call failed", id, hr);
    if (hr == S_OK && result.vt != result_type(id)) fail("wrong result type", id, hr);
    VariantClear(&result);
  }

  void record(DISPID id, HRESULT hr) {
    ++calls_made_;
    ++answers_[hr];
    if (!expected_answer(hr)) fail("unexpected HRESULT", id, hr);
  }

  void random_call() {
    Arena arena;
    DISPID id = random_.chance(900)   ? static_cast<DISPID>(1 + random_.below(29))
                : random_.chance(500) ? static_cast<DISPID>(random_.below(50)) - 10
                                      : static_cast<DISPID>(random_.next());
    // Closing and releasing end the enabled periods in which output reaches the display: most
    // of the calls that would do so go to another method.
    if ((id == 9 || id == 11) && !random_.chance(100)) id = 16;
    WORD flags = DISPATCH_METHOD;
    if (random_.chance(500)) flags |= DISPATCH_PROPERTYGET;
    if (random_.chance(50))
      flags = static_cast<WORD>(random_.below(2) == 0 ? DISPATCH_PROPERTYPUT : random_.next());
    const bool right_count = id >= 1 && id <= 29 && random_.chance(850);
    const UINT count = right_count ? kArity[id] : static_cast<UINT>(random_.below(9));

    std::vector<VARIANT> arguments(count);
    for (VARIANT& argument : arguments) random_.value(argument, arena);
    // By-value arguments are the driver's to clear after the call; by-reference ones point into
    // the arena, and a made-up type has nothing to clear.
    std::vector<bool> clear_after(count);
    for (UINT i = 0; i < count; ++i) {
      clear_after[i] = (arguments[i].vt & VT_BYREF) == 0 && !Generator::is_invalid_type(arguments[i].vt);
    }
    std::vector<DISPID> named(count, DISPID_PROPERTYPUT);
    DISPPARAMS params{arguments.data(), nullptr, count, 0};
    if (random_.chance(30) && count > 0) {
      params.cNamedArgs = static_cast<UINT>(1 + random_.below(count + 1));  // sometimes one too many
      params.rgdispidNamedArgs = random_.chance(100) ? nullptr : named.data();
    }
    if (random_.chance(5)) params.rgvarg = nullptr;
    DISPPARAMS* params_pointer = random_.chance(5) ? nullptr : &params;
    const IID& iid = random_.chance(10) ? IID_IDispatch : IID_NULL;

    VARIANT result;
    VariantInit(&result);
    EXCEPINFO exception{};
    UINT argument_error = 0xDEADBEEF;
    const bool want_result = !random_.chance(100);
    const HRESULT hr = object_->Invoke(
        id, iid, LOCALE_USER_DEFAULT, flags, params_pointer, want_result ? &result : nullptr,
        random_.chance(500) ? &exception : nullptr, random_.chance(800) ? &argument_error : nullptr);
    record(id, hr);
    if (hr == S_OK && want_result && result.vt != result_type(id)) fail("wrong result type", id, hr);
    if ((hr == DISP_E_TYPEMISMATCH || hr == DISP_E_PARAMNOTOPTIONAL) && argument_error != 0xDEADBEEF &&
        argument_error >= count) {
      fail("argument error index out of range", id, hr);
    }
    VariantClear(&result);
    SysFreeString(exception.bstrSource);
    SysFreeString(exception.bstrDescription);
    SysFreeString(exception.bstrHelpFile);
    for (UINT i = 0; i < count; ++i) {
      if (clear_after[i]) VariantClear(&arguments[i]);
    }
  }

  // Samples with the device closed, so that a port held or not does not count as a leak.
  void sample(unsigned long long call) {
    if (object_ != nullptr) invoke_long(*object_, 9, {});  // CloseService
    samples_.push_back(take_sample(call));
  }

  // Flat: from the first sample after the warm-up to the last, no handle slot lost and private
  // memory grown by less than 16 MB (a leak of a few bytes a call grows without bound instead).
  int check_flat() {
    if (samples_.size() < 2) return 0;
    const Sample& first = samples_.front();
    const Sample& last = samples_.back();
    int problems = 0;
    // Handle values are multiples of 4. Up to 8 more handles are let pass (Wine keeps some of its
    // own as it goes); a handle lost once in a thousand calls shows far beyond that.
    if (last.free_handle > first.free_handle + 4 * 8) {
      std::printf("FAIL: handles grew: 64th free slot %#lx -> %#lx\n",
                  static_cast<unsigned long>(first.free_handle),
                  static_cast<unsigned long>(last.free_handle));
      ++problems;
    }
    if (last.handle_count > first.handle_count + 4) {
      std::printf("FAIL: handle count grew: %lu -> %lu\n", static_cast<unsigned long>(first.handle_count),
                  static_cast<unsigned long>(last.handle_count));
      ++problems;
    }
    constexpr SIZE_T kMemoryBound = 16u << 20;
    if (last.private_usage > first.private_usage + kMemoryBound ||
        last.committed_private > first.committed_private + kMemoryBound) {
      std::printf("FAIL: private memory grew: PrivateUsage %lu -> %lu, committed %lu -> %lu bytes\n",
                  static_cast<unsigned long>(first.private_usage),
                  static_cast<unsigned long>(last.private_usage),
                  static_cast<unsigned long>(first.committed_private),
                  static_cast<unsigned long>(last.committed_private));
      ++problems;
    }
    return problems;
  }

  void fail(const char* what, DISPID id = 0, HRESULT hr = S_OK) {
    ++failures_;
    std::printf("FAIL: %s (call %llu, DISPID %ld, HRESULT %08lX)\n", what, calls_made_, static_cast<long>(id),
                static_cast<unsigned long>(hr));
  }

  const Options& options_;
  const RegisteredVarnel& server_;
  Generator random_;
  IDispatch* object_ = nullptr;
  unsigned long long calls_made_ = 0;
  int failures_ = 0;
  std::map<HRESULT, unsigned long long> answers_;
  std::vector<Sample> samples_;
};

}  // namespace
}  // namespace varnel::test

int main(int argc, char** argv) {
  using namespace varnel::test;
  using test_support::InstalledDevice;
  using test_support::MessageBoxCollector;
  using test_support::SimulatorLink;
  Options options;
  if (!parse(argc, argv, options)) {
    std::fprintf(stderr, "usage: invoke_driver [--calls N] [--seed S]\n");
    return 2;
  }
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  int failures = 0;
  {
    MessageBoxCollector boxes;
    const InstalledDevice device(L"KitInvokeDriverPole", L"7", L"9600");
    const RegisteredVarnel server;
    if (!server.ok()) {
      std::printf("FAIL: cannot register the library\n");
      return 1;
    }
    LARGE_INTEGER frequency{}, start{}, end{};
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    Driver driver(options, server);
    failures = driver.run();
    QueryPerformanceCounter(&end);
    boxes.stop();
    driver.report(
        options.seed, boxes.seen().size(),
        static_cast<double>(end.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart));
    if (const std::optional<SimulatorLink> sim = SimulatorLink::for_port(7)) {
      std::printf("  bytes that reached the display on COM7: %zu\n", sim->capture().size());
    }
  }
  CoUninitialize();
  std::printf(failures == 0 ? "invoke driver: passed\n" : "invoke driver: %d failures\n", failures);
  return failures == 0 ? 0 : 1;
}
