// Reading Invoke arguments and writing out-parameters back, directly on DISPPARAMS. The service
// object never changes its out-parameters, so the write-back path is checked here.

#include "service_object/win32/com/dispatch_arguments.h"

#include <gtest/gtest.h>

#include <string>

#include "service_object/win32/com/com_resources.h"
#include "shared/win32/automation_arguments.h"

namespace varnel::com {
namespace {

using kit::win32::LongArgument;

VARIANT reference(VARIANT* target) {
  VARIANT value;
  VariantInit(&value);
  value.vt = VT_BYREF | VT_VARIANT;
  value.pvarVal = target;
  return value;
}

TEST(DispatchArguments, ShapeCheckRefusesWhatCannotBeRead) {
  VARIANT one = LongArgument(1);
  DISPID named = 0;
  struct Case {
    const char* what;
    DISPPARAMS params;
    HRESULT expected;
  };
  const Case cases[] = {
      {"no arguments", {nullptr, nullptr, 0, 0}, S_OK},
      {"one argument", {&one, nullptr, 1, 0}, S_OK},
      {"one named", {&one, &named, 1, 1}, S_OK},
      {"count without array", {nullptr, nullptr, 1, 0}, E_INVALIDARG},
      {"named without ids", {&one, nullptr, 1, 1}, E_INVALIDARG},
      {"more named than all", {&one, &named, 1, 2}, E_INVALIDARG},
  };
  for (const Case& c : cases) EXPECT_EQ(DispatchArguments::check_shape(&c.params), c.expected) << c.what;
  EXPECT_EQ(DispatchArguments::check_shape(nullptr), E_INVALIDARG);
}

TEST(DispatchArguments, PositionsCountFromTheLastElementOfRgvarg) {
  VARIANT values[3] = {LongArgument(30), LongArgument(20), LongArgument(10)};  // declared order 10, 20, 30
  DISPPARAMS params{values, nullptr, 3, 0};
  DispatchArguments arguments(params);
  for (unsigned position = 0; position < 3; ++position) {
    std::int32_t read = 0;
    ASSERT_TRUE(arguments.read_long(position, read));
    EXPECT_EQ(read, static_cast<std::int32_t>(10 * (position + 1)));
  }
  values[0].vt = VT_EMPTY;  // the last declared argument, omitted
  std::int32_t ignored = 0;
  EXPECT_FALSE(arguments.read_long(2, ignored));
  EXPECT_EQ(arguments.error(), DISP_E_PARAMNOTOPTIONAL);
  EXPECT_EQ(arguments.error_index(), 0u);
}

TEST(DispatchArguments, StringsKeepTheirLengthAndNullIsEmpty) {
  const std::wstring with_nul(L"ab\0cd", 5);
  BSTR referenced = SysAllocStringLen(with_nul.data(), 5);
  VARIANT values[3];
  for (VARIANT& value : values) VariantInit(&value);
  values[2].vt = VT_BSTR;  // position 0
  values[2].bstrVal = SysAllocStringLen(with_nul.data(), 5);
  values[1].vt = VT_BYREF | VT_BSTR;  // position 1
  values[1].pbstrVal = &referenced;
  values[0].vt = VT_BSTR;  // position 2: a null BSTR
  DISPPARAMS params{values, nullptr, 3, 0};
  DispatchArguments arguments(params);
  for (unsigned position = 0; position < 2; ++position) {
    std::u16string read;
    ASSERT_TRUE(arguments.read_string(position, read));
    EXPECT_EQ(read, std::u16string(u"ab\0cd", 5)) << "position " << position;
  }
  std::u16string read = u"stale";
  ASSERT_TRUE(arguments.read_string(2, read));
  EXPECT_TRUE(read.empty());
  VariantClear(&values[2]);
  SysFreeString(referenced);
}

TEST(DispatchArguments, ReferenceCyclesAreRefusedNotFollowedForever) {
  VARIANT loop;
  VariantInit(&loop);
  loop = reference(&loop);
  DISPPARAMS params{&loop, nullptr, 1, 0};
  DispatchArguments arguments(params);
  std::int32_t ignored = 0;
  EXPECT_FALSE(arguments.read_long(0, ignored));
  EXPECT_EQ(arguments.error(), DISP_E_TYPEMISMATCH);
}

TEST(DispatchArguments, OmittedArgumentBehindAReferenceIsStillOmitted) {
  VARIANT omitted;
  VariantInit(&omitted);
  omitted.vt = VT_ERROR;
  omitted.scode = DISP_E_PARAMNOTFOUND;
  VARIANT argument = reference(&omitted);
  DISPPARAMS params{&argument, nullptr, 1, 0};
  DispatchArguments arguments(params);
  std::u16string ignored;
  EXPECT_FALSE(arguments.read_string(0, ignored));
  EXPECT_EQ(arguments.error(), DISP_E_PARAMNOTOPTIONAL);
  // Present in any form: read_present accepts anything else, even an empty variable by reference.
  VARIANT empty;
  VariantInit(&empty);
  argument = reference(&empty);
  EXPECT_TRUE(arguments.read_present(0));
}

TEST(DispatchArguments, LongWriteBackReachesTheCallersStorage) {
  LONG direct = 1;
  VARIANT direct_reference;
  VariantInit(&direct_reference);
  direct_reference.vt = VT_BYREF | VT_I4;
  direct_reference.plVal = &direct;
  VARIANT holder;
  VariantInit(&holder);
  holder.vt = VT_BSTR;
  holder.bstrVal = SysAllocString(L"5");
  VARIANT by_value = LongArgument(2);
  VARIANT values[3] = {by_value, reference(&holder), direct_reference};  // declared: direct, holder, value
  DISPPARAMS params{values, nullptr, 3, 0};
  DispatchArguments arguments(params);

  std::int32_t read = 0;
  ASSERT_TRUE(arguments.read_long_ref(0, read));
  EXPECT_EQ(read, 1);
  ASSERT_TRUE(arguments.read_long_ref(1, read));
  EXPECT_EQ(read, 5) << "the VARIANT's text converts";
  ASSERT_TRUE(arguments.read_long_ref(2, read));

  EXPECT_EQ(arguments.write_long_ref(0, 100), S_OK);
  EXPECT_EQ(direct, 100);
  EXPECT_EQ(arguments.write_long_ref(1, 200), S_OK);
  EXPECT_EQ(holder.vt, VT_I4) << "the caller's VARIANT holds a long after the call";
  EXPECT_EQ(holder.lVal, 200);
  EXPECT_EQ(arguments.write_long_ref(2, 300), S_OK);
  EXPECT_EQ(values[0].lVal, 2) << "a value has nowhere to go back to";
}

TEST(DispatchArguments, StringWriteBackReplacesTheCallersString) {
  BSTR direct = SysAllocString(L"old");
  VARIANT direct_reference;
  VariantInit(&direct_reference);
  direct_reference.vt = VT_BYREF | VT_BSTR;
  direct_reference.pbstrVal = &direct;
  VARIANT holder = LongArgument(9);
  VARIANT values[2] = {reference(&holder), direct_reference};  // declared: direct, holder
  DISPPARAMS params{values, nullptr, 2, 0};
  DispatchArguments arguments(params);

  std::u16string read;
  ASSERT_TRUE(arguments.read_string_ref(0, read));
  EXPECT_EQ(read, u"old");
  ASSERT_TRUE(arguments.read_string_ref(1, read));
  EXPECT_EQ(read, u"9");

  const std::u16string with_nul(u"new\0text", 8);
  EXPECT_EQ(arguments.write_string_ref(0, with_nul), S_OK);
  ASSERT_NE(direct, nullptr);
  EXPECT_EQ(std::wstring(direct, SysStringLen(direct)), std::wstring(L"new\0text", 8));
  EXPECT_EQ(arguments.write_string_ref(1, u"written"), S_OK);
  ASSERT_EQ(holder.vt, VT_BSTR);
  EXPECT_EQ(std::wstring(holder.bstrVal), L"written");

  SysFreeString(direct);
  VariantClear(&holder);
}

TEST(DispatchArguments, OutParametersOfTheWrongReferenceTypeAreRefused) {
  SHORT small = 1;
  VARIANT short_reference;
  VariantInit(&short_reference);
  short_reference.vt = VT_BYREF | VT_I2;
  short_reference.piVal = &small;
  DISPPARAMS params{&short_reference, nullptr, 1, 0};
  DispatchArguments arguments(params);
  std::int32_t number = 0;
  EXPECT_FALSE(arguments.read_long_ref(0, number));
  EXPECT_EQ(arguments.error(), DISP_E_TYPEMISMATCH);
  std::u16string text;
  EXPECT_FALSE(arguments.read_string_ref(0, text));
  EXPECT_EQ(arguments.error(), DISP_E_TYPEMISMATCH);
  // As an in-parameter, the same reference reads fine.
  EXPECT_TRUE(arguments.read_long(0, number));
  EXPECT_EQ(number, 1);
}

}  // namespace
}  // namespace varnel::com
