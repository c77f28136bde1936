#include "tester/core/opos_sub.h"

#include <array>
#include <utility>

namespace zorntest {
namespace {

constexpr std::array<std::pair<std::int32_t, std::u16string_view>, 15> kResultNames{{
    {OPOS_SUCCESS, u"OposSuccess"},
    {OPOS_E_CLOSED, u"OposEClosed"},
    {OPOS_E_CLAIMED, u"OposEClaimed"},
    {OPOS_E_NOTCLAIMED, u"OposENotclaimed"},
    {OPOS_E_NOSERVICE, u"OposENoservice"},
    {OPOS_E_DISABLED, u"OposEDisabled"},
    {OPOS_E_ILLEGAL, u"OposEIllegal"},
    {OPOS_E_NOHARDWARE, u"OposENohardware"},
    {OPOS_E_OFFLINE, u"OposEOffline"},
    {OPOS_E_NOEXIST, u"OposENoexist"},
    {OPOS_E_EXISTS, u"OposEExists"},
    {OPOS_E_FAILURE, u"OposEFailure"},
    {OPOS_E_TIMEOUT, u"OposETimeout"},
    {OPOS_E_BUSY, u"OposEBusy"},
    {OPOS_E_EXTENDED, u"OposEExtended"},
}};

}  // namespace

std::u16string_view GetResultCodeName(std::int32_t value) {
  for (const auto& [code, name] : kResultNames) {
    if (code == value) return name;
  }
  return u"OposUnknownResultCode";
}

}  // namespace zorntest
