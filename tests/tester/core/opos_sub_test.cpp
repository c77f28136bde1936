#include "tester/core/opos_sub.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string_view>

namespace zorntest {
namespace {

TEST(GetResultCodeName, NamesEveryCodeAndNothingElse) {
  const struct {
    std::int32_t code;
    std::u16string_view name;
  } cases[] = {
      {0, u"OposSuccess"},
      {101, u"OposEClosed"},
      {102, u"OposEClaimed"},
      {103, u"OposENotclaimed"},
      {104, u"OposENoservice"},
      {105, u"OposEDisabled"},
      {106, u"OposEIllegal"},
      {107, u"OposENohardware"},
      {108, u"OposEOffline"},
      {109, u"OposENoexist"},
      {110, u"OposEExists"},
      {111, u"OposEFailure"},
      {112, u"OposETimeout"},
      {113, u"OposEBusy"},
      {114, u"OposEExtended"},
      {1, u"OposUnknownResultCode"},
      {100, u"OposUnknownResultCode"},
      {115, u"OposUnknownResultCode"},
      {-1, u"OposUnknownResultCode"},
      {201, u"OposUnknownResultCode"},  // an extended code's own number is not a result code
      {std::numeric_limits<std::int32_t>::min(), u"OposUnknownResultCode"},
      {std::numeric_limits<std::int32_t>::max(), u"OposUnknownResultCode"},
  };
  for (const auto& c : cases) {
    EXPECT_TRUE(GetResultCodeName(c.code) == c.name) << c.code;
  }
}

}  // namespace
}  // namespace zorntest
