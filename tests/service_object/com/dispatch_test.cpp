// The dispatch interface of ID_TARVO_VARNEL as a late-bound client uses it: names to DISPIDs,
// Invoke with arguments in every form a client may send them, the errors automation clients
// expect, and a short OPOS session. Message boxes the library raises are answered by a watcher.

#include <gtest/gtest.h>

#include <algorithm>
#include <cwctype>
#include <string>
#include <tuple>
#include <vector>

#include "tests/support/loaded_server.h"
#include "tests/support/service_method_names.h"

namespace varnel::test {
namespace {

constexpr const wchar_t* kPropertyNames[] = {L"ServiceObjectVersion", L"DeviceName", L"DeviceDescription",
                                             L"DeviceControlDescription", L"OnbDeviceEnable"};

constexpr DISPID kGetPropertyNumber = 2;
constexpr DISPID kGetPropertyString = 4;
constexpr DISPID kCOFreezeEvents = 1;
constexpr DISPID kOpenService = 6;
constexpr DISPID kClaimDevice = 8;
constexpr DISPID kCloseService = 9;
constexpr DISPID kDirectIO = 10;
constexpr DISPID kReleaseDevice = 11;
constexpr DISPID kDisplayText = 16;
constexpr DISPID kDisplayTextAt = 17;
constexpr DISPID kReadCharacterAtCursor = 22;
constexpr DISPID kRetrieveStatistics = 26;
constexpr DISPID kCompareFirmwareVersion = 28;

constexpr const wchar_t* kTooManyChars = L"Exceeded to max number of input chars! [limit to 64 chars]";

class DispatchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(server_.complete()) << "cannot load VARNEL.dll";
    object_ = server_.create();
    ASSERT_TRUE(object_);
  }
  void TearDown() override {
    if (object_) Call(object_.get(), kCloseService, Arguments());
    object_.reset();
    boxes_.stop();
    // Whatever a test did, every box came from the library and carried its name.
    for (const SeenBox& box : boxes_.seen()) EXPECT_EQ(box.caption, L"VARNEL") << box.text;
  }

  std::int32_t number(std::int32_t index) {
    Call call(object_.get(), kGetPropertyNumber, Arguments().add_long(index));
    EXPECT_EQ(call.hr, S_OK);
    EXPECT_EQ(call.result->vt, VT_I4);
    return call.result->lVal;
  }

  std::vector<std::wstring> box_texts() const {
    std::vector<std::wstring> texts;
    for (const SeenBox& box : boxes_.seen()) texts.push_back(box.text);
    return texts;
  }

  LoadedServer server_;
  MessageBoxCollector boxes_;
  ComPtr<IDispatch> object_;
};

std::wstring with_case(std::wstring name, wint_t (*change)(wint_t)) {
  std::transform(name.begin(), name.end(), name.begin(),
                 [change](wchar_t c) { return static_cast<wchar_t>(change(c)); });
  return name;
}

wint_t alternate(wint_t c) { return std::iswupper(c) ? std::towlower(c) : std::towupper(c); }

TEST_F(DispatchTest, EveryNameMapsToItsDispidInAnyCase) {
  struct Name {
    const wchar_t* name;
    DISPID id;
  };
  std::vector<Name> names;
  for (DISPID i = 0; i < 29; ++i) names.push_back({test_support::kServiceMethodNames[i], i + 1});
  for (DISPID i = 0; i < 5; ++i) names.push_back({kPropertyNames[i], i + 1});
  for (const Name& entry : names) {
    for (const std::wstring& spelled :
         {std::wstring(entry.name), with_case(entry.name, std::towlower),
          with_case(entry.name, std::towupper), with_case(entry.name, alternate)}) {
      EXPECT_EQ(id_of(object_.get(), spelled.c_str()), entry.id)
          << std::string(spelled.begin(), spelled.end());
    }
  }
}

TEST_F(DispatchTest, UnknownNamesAndParameterNamesAreRefused) {
  for (const wchar_t* unknown :
       {L"Open", L"OpenServiceX", L"", L"Display Text", L"ResultCode", L"DeviceEnabled"}) {
    LPOLESTR names[] = {const_cast<LPOLESTR>(unknown)};
    DISPID id = 1234;
    EXPECT_EQ(object_->GetIDsOfNames(IID_NULL, names, 1, 0, &id), DISP_E_UNKNOWNNAME);
    EXPECT_EQ(id, DISPID_UNKNOWN);
  }
  // Member plus a parameter name: the member is found, the parameter is not.
  LPOLESTR names[] = {const_cast<LPOLESTR>(L"displaytext"), const_cast<LPOLESTR>(L"Data")};
  DISPID ids[2] = {0, 0};
  EXPECT_EQ(object_->GetIDsOfNames(IID_NULL, names, 2, 0, ids), DISP_E_UNKNOWNNAME);
  EXPECT_EQ(ids[0], kDisplayText);
  EXPECT_EQ(ids[1], DISPID_UNKNOWN);

  DISPID id = 0;
  EXPECT_EQ(object_->GetIDsOfNames(IID_IDispatch, names, 1, 0, &id), DISP_E_UNKNOWNINTERFACE);
  EXPECT_EQ(object_->GetIDsOfNames(IID_NULL, nullptr, 1, 0, &id), E_INVALIDARG);
  EXPECT_EQ(object_->GetIDsOfNames(IID_NULL, names, 0, 0, &id), E_INVALIDARG);
  EXPECT_EQ(object_->GetIDsOfNames(IID_NULL, names, 1, 0, nullptr), E_INVALIDARG);
}

// Every argument form a client may send for a long parameter: GetPropertyNumber(8) answers the
// version only when the index arrived as 8.
TEST_F(DispatchTest, LongArgumentsAreCoercedFromEveryCompatibleForm) {
  VARIANT eight = LongArgument(8);
  LONG eight_long = 8;
  VARIANT empty_variable;
  VariantInit(&empty_variable);
  VARIANT eight_in_chain = reference_to(&eight);

  struct Case {
    const char* what;
    VARIANT value;
    bool owns_bstr;
    HRESULT expected;
    std::int32_t answer;
  };
  const auto make = [](VARTYPE type, auto assign) {
    VARIANT v;
    VariantInit(&v);
    v.vt = type;
    assign(v);
    return v;
  };
  std::vector<Case> cases = {
      {"VT_I2", make(VT_I2, [](VARIANT& v) { v.iVal = 8; }), false, S_OK, 1013001},
      {"VT_I4", LongArgument(8), false, S_OK, 1013001},
      {"VT_UI1", make(VT_UI1, [](VARIANT& v) { v.bVal = 8; }), false, S_OK, 1013001},
      {"VT_R8 8.0", make(VT_R8, [](VARIANT& v) { v.dblVal = 8.0; }), false, S_OK, 1013001},
      {"VT_R8 7.6 rounds", make(VT_R8, [](VARIANT& v) { v.dblVal = 7.6; }), false, S_OK, 1013001},
      {"VT_BSTR \"8\"", make(VT_BSTR, [](VARIANT& v) { v.bstrVal = SysAllocString(L"8"); }), true, S_OK,
       1013001},
      {"VT_BYREF|VT_I4", make(VT_BYREF | VT_I4, [&](VARIANT& v) { v.plVal = &eight_long; }), false, S_OK,
       1013001},
      {"VT_BYREF|VT_VARIANT", reference_to(&eight), false, S_OK, 1013001},
      {"reference to a reference", reference_to(&eight_in_chain), false, S_OK, 1013001},
      {"VT_BOOL true is -1", make(VT_BOOL, [](VARIANT& v) { v.boolVal = VARIANT_TRUE; }), false, S_OK, 0},
      {"empty variable by reference is 0", reference_to(&empty_variable), false, S_OK, 0},
      {"VT_BSTR \"abc\"", make(VT_BSTR, [](VARIANT& v) { v.bstrVal = SysAllocString(L"abc"); }), true,
       DISP_E_TYPEMISMATCH, 0},
      {"VT_R8 too large", make(VT_R8, [](VARIANT& v) { v.dblVal = 1e12; }), false, DISP_E_TYPEMISMATCH, 0},
      {"reference to nothing", reference_to(nullptr), false, DISP_E_TYPEMISMATCH, 0},
      {"VT_BYREF|VT_I4 to nothing", make(VT_BYREF | VT_I4, [](VARIANT& v) { v.plVal = nullptr; }), false,
       DISP_E_TYPEMISMATCH, 0},
      {"VT_EMPTY", make(VT_EMPTY, [](VARIANT&) {}), false, DISP_E_PARAMNOTOPTIONAL, 0},
      {"omitted", make(VT_ERROR, [](VARIANT& v) { v.scode = DISP_E_PARAMNOTFOUND; }), false,
       DISP_E_PARAMNOTOPTIONAL, 0},
  };
  for (Case& c : cases) {
    VARIANT argument = c.value;
    DISPPARAMS params{&argument, nullptr, 1, 0};
    UniqueVariant result;
    UINT argument_error = Call::kUnset;
    const HRESULT hr =
        object_->Invoke(kGetPropertyNumber, IID_NULL, 0, DISPATCH_METHOD | DISPATCH_PROPERTYGET, &params,
                        result.get(), nullptr, &argument_error);
    EXPECT_EQ(hr, c.expected) << c.what;
    if (c.expected == S_OK) {
      EXPECT_EQ(result->vt, VT_I4) << c.what;
      EXPECT_EQ(result->lVal, c.answer) << c.what;
    } else {
      EXPECT_EQ(argument_error, 0u) << c.what;
      EXPECT_EQ(result->vt, VT_EMPTY) << c.what;
    }
    if (c.owns_bstr) VariantClear(&c.value);
  }
}

// A bad argument is reported by its index in rgvarg, which holds the arguments last first.
TEST_F(DispatchTest, TypeMismatchNamesTheBadArgumentsRgvargIndex) {
  for (unsigned bad = 0; bad < 4; ++bad) {
    Arguments arguments;
    for (unsigned position = 0; position < 4; ++position) {
      if (position == bad) {
        arguments = std::move(arguments).add_string(L"abc");
      } else if (position == 2) {
        arguments = std::move(arguments).add_string(L"text");  // Data is a string: "abc" fits it
      } else {
        arguments = std::move(arguments).add_long(0);
      }
    }
    Call call(object_.get(), kDisplayTextAt, std::move(arguments));
    if (bad == 2) {
      EXPECT_EQ(call.hr, S_OK) << "any value converts to a string";
    } else {
      EXPECT_EQ(call.hr, DISP_E_TYPEMISMATCH) << "bad position " << bad;
      EXPECT_EQ(call.argument_error, 3 - bad) << "bad position " << bad;
    }
  }
  // Without a place for the index the error still comes back.
  VARIANT bad = LongArgument(0);
  bad.vt = VT_BSTR;
  bad.bstrVal = SysAllocString(L"abc");
  DISPPARAMS params{&bad, nullptr, 1, 0};
  EXPECT_EQ(
      object_->Invoke(kGetPropertyNumber, IID_NULL, 0, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr),
      DISP_E_TYPEMISMATCH);
  VariantClear(&bad);
}

TEST_F(DispatchTest, BooleanArgumentsAcceptTruthValuesAndRefuseText) {
  EXPECT_EQ(Call(object_.get(), kCOFreezeEvents, Arguments().add_long(1)).hr, S_OK);
  EXPECT_EQ(Call(object_.get(), kCOFreezeEvents, Arguments().add_string(L"True")).hr, S_OK);
  Call bad(object_.get(), kCOFreezeEvents, Arguments().add_string(L"abc"));
  EXPECT_EQ(bad.hr, DISP_E_TYPEMISMATCH);
  EXPECT_EQ(bad.argument_error, 0u);
  EXPECT_EQ(bad.result->vt, VT_EMPTY);
}

// DisplayText counts the code units it is given: 65 of them raise the library's box, 64 do not.
// So the box tells whether a string argument arrived whole, in every form.
TEST_F(DispatchTest, StringArgumentsArriveWholeInEveryForm) {
  const std::wstring long_text(65, L'x');
  UniqueBstr by_reference(SysAllocStringLen(long_text.data(), 65));
  BSTR by_reference_raw = by_reference.get();
  VARIANT inner;
  VariantInit(&inner);
  inner.vt = VT_BSTR;
  inner.bstrVal = SysAllocStringLen(long_text.data(), 65);

  struct Case {
    const char* what;
    VARIANT data;
    bool expect_box;
  };
  VARIANT direct;
  VariantInit(&direct);
  direct.vt = VT_BSTR;
  direct.bstrVal = SysAllocStringLen(long_text.data(), 65);
  VARIANT fits = direct;
  fits.bstrVal = SysAllocStringLen(long_text.data(), 64);
  VARIANT null_bstr = direct;
  null_bstr.bstrVal = nullptr;
  VARIANT bstr_reference;
  VariantInit(&bstr_reference);
  bstr_reference.vt = VT_BYREF | VT_BSTR;
  bstr_reference.pbstrVal = &by_reference_raw;

  const Case cases[] = {
      {"VT_BSTR of 65", direct, true},
      {"VT_BSTR of 64", fits, false},
      {"null BSTR is empty", null_bstr, false},
      {"VT_BYREF|VT_BSTR of 65", bstr_reference, true},
      {"VT_BYREF|VT_VARIANT holding 65", reference_to(&inner), true},
      {"a number converts to text", LongArgument(12345), false},
  };
  for (const Case& c : cases) {
    boxes_.clear();
    Call call(object_.get(), kDisplayText, Arguments().add(c.data).add_long(0));
    EXPECT_EQ(call.hr, S_OK) << c.what;
    EXPECT_EQ(call.result->vt, VT_I4) << c.what;
    const std::vector<std::wstring> texts = box_texts();
    if (c.expect_box) {
      EXPECT_EQ(texts, std::vector<std::wstring>{kTooManyChars}) << c.what;
    } else {
      EXPECT_TRUE(texts.empty()) << c.what;
    }
  }
  // Arguments took over the BSTRs of the direct cases; the referenced ones are still ours.
  EXPECT_EQ(by_reference_raw, by_reference.get()) << "an in-parameter passed by reference is not replaced";
  VariantClear(&inner);
}

TEST_F(DispatchTest, MessageBoxesCarryTheLibrarysName) {
  Call call(object_.get(), kDisplayText, Arguments().add_string(std::wstring(65, L'z')).add_long(0));
  EXPECT_EQ(call.hr, S_OK);
  const std::vector<SeenBox> seen = boxes_.seen();
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].caption, L"VARNEL");
  EXPECT_EQ(seen[0].text, kTooManyChars);
}

TEST_F(DispatchTest, CallsWithTheWrongShapeAreRefused) {
  struct Case {
    const char* what;
    DISPID id;
    unsigned arguments;
    WORD flags;
    HRESULT expected;
  };
  const Case cases[] = {
      {"GetPropertyNumber without its index", kGetPropertyNumber, 0, DISPATCH_METHOD, DISP_E_BADPARAMCOUNT},
      {"GetPropertyNumber with two", kGetPropertyNumber, 2, DISPATCH_METHOD, DISP_E_BADPARAMCOUNT},
      {"CloseService with one", kCloseService, 1, DISPATCH_METHOD, DISP_E_BADPARAMCOUNT},
      {"DISPID 0", 0, 0, DISPATCH_METHOD, DISP_E_MEMBERNOTFOUND},
      {"DISPID 30", 30, 0, DISPATCH_METHOD, DISP_E_MEMBERNOTFOUND},
      {"DISPID -1", -1, 0, DISPATCH_METHOD, DISP_E_MEMBERNOTFOUND},
      {"property put", kGetPropertyNumber, 1, DISPATCH_PROPERTYPUT, DISP_E_MEMBERNOTFOUND},
      {"no call flag", kGetPropertyNumber, 1, 0, DISP_E_MEMBERNOTFOUND},
      {"method and get", kGetPropertyNumber, 1, DISPATCH_METHOD | DISPATCH_PROPERTYGET, S_OK},
      {"get alone", kGetPropertyNumber, 1, DISPATCH_PROPERTYGET, S_OK},
      // A property read by name lands on the method with the same DISPID: COFreezeEvents.
      {"ServiceObjectVersion read as a property", 1, 0, DISPATCH_PROPERTYGET, DISP_E_BADPARAMCOUNT},
  };
  for (const Case& c : cases) {
    Arguments arguments;
    for (unsigned i = 0; i < c.arguments; ++i) arguments = std::move(arguments).add_long(8);
    EXPECT_EQ(Call(object_.get(), c.id, std::move(arguments), c.flags).hr, c.expected) << c.what;
  }
  // DISPID 2 is DeviceName's too, but reaches GetPropertyNumber.
  EXPECT_EQ(id_of(object_.get(), L"DeviceName"), kGetPropertyNumber);
  EXPECT_EQ(number(8), 1013001);
}

TEST_F(DispatchTest, HostileDispParamsAreRefusedWithoutHarm) {
  VARIANT argument = LongArgument(8);
  DISPID named = DISPID_PROPERTYPUT;
  struct Case {
    const char* what;
    DISPPARAMS params;
    HRESULT expected;
  };
  const Case cases[] = {
      {"arguments without an array", {nullptr, nullptr, 1, 0}, E_INVALIDARG},
      {"more named than arguments", {&argument, &named, 1, 2}, E_INVALIDARG},
      {"named without their ids", {&argument, nullptr, 1, 1}, E_INVALIDARG},
      {"a named argument", {&argument, &named, 1, 1}, DISP_E_NONAMEDARGS},
  };
  for (const Case& c : cases) {
    DISPPARAMS params = c.params;
    UniqueVariant result;
    UINT argument_error = Call::kUnset;
    EXPECT_EQ(object_->Invoke(kGetPropertyNumber, IID_NULL, 0, DISPATCH_METHOD, &params, result.get(),
                              nullptr, &argument_error),
              c.expected)
        << c.what;
  }
  EXPECT_EQ(
      object_->Invoke(kGetPropertyNumber, IID_NULL, 0, DISPATCH_METHOD, nullptr, nullptr, nullptr, nullptr),
      E_INVALIDARG);
  DISPPARAMS params{&argument, nullptr, 1, 0};
  EXPECT_EQ(object_->Invoke(kGetPropertyNumber, IID_IDispatch, 0, DISPATCH_METHOD, &params, nullptr, nullptr,
                            nullptr),
            DISP_E_UNKNOWNINTERFACE);
  // No result wanted: the call still runs.
  EXPECT_EQ(
      object_->Invoke(kGetPropertyNumber, IID_NULL, 0, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr),
      S_OK);
}

// Each of the 29 methods, called by name with arguments of its declared types: the kinds
// L = long, B = BOOL, S = BSTR, D = IDispatch, l = long by reference, s = BSTR by reference.
TEST_F(DispatchTest, EveryMethodRunsByNameWithItsDeclaredParametersAndResultType) {
  struct Method {
    const wchar_t* name;
    const char* parameters;
    VARTYPE result;
  };
  const Method methods[] = {
      {L"COFreezeEvents", "B", VT_EMPTY},
      {L"GetPropertyNumber", "L", VT_I4},
      {L"SetPropertyNumber", "LL", VT_EMPTY},
      {L"GetPropertyString", "L", VT_BSTR},
      {L"SetPropertyString", "LS", VT_EMPTY},
      {L"OpenService", "SSD", VT_I4},
      {L"CheckHealth", "L", VT_I4},
      {L"ClaimDevice", "L", VT_I4},
      {L"CloseService", "", VT_I4},
      {L"DirectIO", "Lls", VT_I4},
      {L"ReleaseDevice", "", VT_I4},
      {L"ClearDescriptors", "", VT_I4},
      {L"ClearText", "", VT_I4},
      {L"CreateWindow", "LLLLLL", VT_I4},
      {L"DestroyWindow", "", VT_I4},
      {L"DisplayText", "SL", VT_I4},
      {L"DisplayTextAt", "LLSL", VT_I4},
      {L"RefreshWindow", "L", VT_I4},
      {L"ScrollText", "LL", VT_I4},
      {L"SetDescriptor", "LL", VT_I4},
      {L"DefineGlyph", "LS", VT_I4},
      {L"ReadCharacterAtCursor", "l", VT_I4},
      {L"DisplayBitmap", "SLLL", VT_I4},
      {L"SetBitmap", "LSLLL", VT_I4},
      {L"ResetStatistics", "S", VT_I4},
      {L"RetrieveStatistics", "s", VT_I4},
      {L"UpdateStatistics", "S", VT_I4},
      {L"CompareFirmwareVersion", "Sl", VT_I4},
      {L"UpdateFirmware", "S", VT_I4},
  };
  ASSERT_EQ(std::size(methods), 29u);
  for (const Method& method : methods) {
    LONG long_out = 0;
    BSTR string_out = nullptr;
    Arguments arguments;
    for (const char* kind = method.parameters; *kind != '\0'; ++kind) {
      VARIANT value;
      VariantInit(&value);
      switch (*kind) {
        case 'L': value = LongArgument(0); break;
        case 'B':
          value.vt = VT_BOOL;
          value.boolVal = VARIANT_FALSE;
          break;
        case 'S':
          value.vt = VT_BSTR;
          value.bstrVal = SysAllocString(L"");
          break;
        case 'D':
          value.vt = VT_DISPATCH;
          value.pdispVal = nullptr;
          break;
        case 'l':
          value.vt = VT_BYREF | VT_I4;
          value.plVal = &long_out;
          break;
        case 's':
          value.vt = VT_BYREF | VT_BSTR;
          value.pbstrVal = &string_out;
          break;
        default: FAIL() << "unknown kind";
      }
      arguments = std::move(arguments).add(value);
    }
    const std::string name(method.name, method.name + wcslen(method.name));
    const DISPID id = id_of(object_.get(), method.name);
    ASSERT_NE(id, DISPID_UNKNOWN) << name;
    Call call(object_.get(), id, std::move(arguments));
    EXPECT_EQ(call.hr, S_OK) << name;
    EXPECT_EQ(call.result->vt, method.result) << name;
    EXPECT_EQ(long_out, 0) << name;
    EXPECT_EQ(string_out, nullptr) << name;
  }
}

TEST_F(DispatchTest, OpenClaimAndReadPropertiesThroughInvoke) {
  // OpenService with another object as the control object: one reference is kept for the status
  // events until CloseService gives it back.
  ComPtr<IDispatch> control = server_.create();
  ASSERT_TRUE(control);
  control->AddRef();
  const ULONG references_before = control->Release();
  VARIANT control_argument;
  VariantInit(&control_argument);
  control_argument.vt = VT_DISPATCH;
  control_argument.pdispVal = control.get();
  control->AddRef();  // the argument list owns one reference and releases it

  // The device-name file may be absent from the prefix: then the library says so in a box, and
  // opening still succeeds.
  Call open(object_.get(), kOpenService,
            Arguments().add_string(L"LineDisplay").add_string(L"Pole").add(control_argument));
  EXPECT_EQ(open.hr, S_OK);
  EXPECT_EQ(open.result->lVal, 0);
  for (const std::wstring& text : box_texts()) EXPECT_EQ(text, L"File open error...");
  control->AddRef();
  EXPECT_EQ(control->Release(), references_before + 1) << "the control object is kept once while open";

  Call claim(object_.get(), kClaimDevice, Arguments().add_long(1000));
  EXPECT_EQ(claim.hr, S_OK);
  EXPECT_EQ(claim.result->lVal, 0);
  EXPECT_EQ(number(1), 1) << "PIDX_Claimed";
  EXPECT_EQ(number(8), 1013001) << "PIDX_ServiceObjectVersion";
  EXPECT_EQ(number(6), 0) << "PIDX_ResultCode";

  // Each GetPropertyString answer is a fresh string the caller frees.
  Call first(object_.get(), kGetPropertyString, Arguments().add_long(1000003));
  Call second(object_.get(), kGetPropertyString, Arguments().add_long(1000003));
  ASSERT_EQ(first.hr, S_OK);
  ASSERT_EQ(first.result->vt, VT_BSTR);
  ASSERT_EQ(second.result->vt, VT_BSTR);
  EXPECT_NE(first.result->bstrVal, second.result->bstrVal);
  EXPECT_EQ(std::wstring(first.result->bstrVal, SysStringLen(first.result->bstrVal)),
            L"ORM-PDX-QA404K LineDisplay");
  Call description(object_.get(), kGetPropertyString, Arguments().add_long(1000004));
  EXPECT_EQ(std::wstring(description.result->bstrVal).rfind(L"LineDisplay OPOS Driver", 0), 0u);
  Call health_text(object_.get(), kGetPropertyString, Arguments().add_long(1000001));
  ASSERT_EQ(health_text.result->vt, VT_BSTR);
  EXPECT_EQ(SysStringLen(health_text.result->bstrVal), 0u);

  EXPECT_EQ(Call(object_.get(), kReleaseDevice, Arguments()).result->lVal, 0);
  EXPECT_EQ(number(1), 0);
  EXPECT_EQ(Call(object_.get(), kCloseService, Arguments()).result->lVal, 0);
  control->AddRef();
  EXPECT_EQ(control->Release(), references_before) << "CloseService gives the control object back";
  EXPECT_EQ(Call(object_.get(), kClaimDevice, Arguments().add_long(0)).result->lVal, -1);
  EXPECT_EQ(number(6), 101) << "OPOS_E_CLOSED";
}

TEST_F(DispatchTest, OutParametersComeBackUnchangedInEveryForm) {
  LONG data = 42;
  BSTR text = SysAllocString(L"keep me");
  const BSTR text_before = text;
  VARIANT data_variant = LongArgument(7);
  VARIANT text_variant;
  VariantInit(&text_variant);
  text_variant.vt = VT_BSTR;
  text_variant.bstrVal = SysAllocString(L"also kept");
  const BSTR variant_text_before = text_variant.bstrVal;

  VARIANT data_reference;
  VariantInit(&data_reference);
  data_reference.vt = VT_BYREF | VT_I4;
  data_reference.plVal = &data;
  VARIANT text_reference;
  VariantInit(&text_reference);
  text_reference.vt = VT_BYREF | VT_BSTR;
  text_reference.pbstrVal = &text;

  for (const auto& [what, pdata, pstring] :
       {std::tuple{"VT_BYREF|VT_I4 and VT_BYREF|VT_BSTR", data_reference, text_reference},
        std::tuple{"VT_BYREF|VT_VARIANT", reference_to(&data_variant), reference_to(&text_variant)},
        std::tuple{"values", LongArgument(3), LongArgument(4)}}) {
    Call call(object_.get(), kDirectIO, Arguments().add_long(99).add(pdata).add(pstring));
    EXPECT_EQ(call.hr, S_OK) << what;
    EXPECT_EQ(call.result->lVal, 0) << what;
  }
  EXPECT_EQ(data, 42);
  EXPECT_EQ(text, text_before);
  EXPECT_EQ(std::wstring(text), L"keep me");
  EXPECT_EQ(data_variant.vt, VT_I4);
  EXPECT_EQ(data_variant.lVal, 7);
  EXPECT_EQ(text_variant.bstrVal, variant_text_before);

  EXPECT_EQ(Call(object_.get(), kReadCharacterAtCursor, Arguments().add(data_reference)).hr, S_OK);
  EXPECT_EQ(Call(object_.get(), kRetrieveStatistics, Arguments().add(text_reference)).hr, S_OK);
  EXPECT_EQ(
      Call(object_.get(), kCompareFirmwareVersion, Arguments().add_string(L"fw.bin").add(data_reference)).hr,
      S_OK);
  EXPECT_EQ(data, 42);
  EXPECT_EQ(text, text_before);

  // A reference to a short cannot take a long back.
  SHORT small = 1;
  VARIANT short_reference;
  VariantInit(&short_reference);
  short_reference.vt = VT_BYREF | VT_I2;
  short_reference.piVal = &small;
  Call refused(object_.get(), kDirectIO, Arguments().add_long(0).add(short_reference).add(text_reference));
  EXPECT_EQ(refused.hr, DISP_E_TYPEMISMATCH);
  EXPECT_EQ(refused.argument_error, 1u);

  SysFreeString(text);
  VariantClear(&text_variant);
}

}  // namespace
}  // namespace varnel::test
