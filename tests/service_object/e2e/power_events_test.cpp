// Power reports end to end: the stand-in Control Object opens VARNEL.dll as Control Objects do
// (handing it its own dispatch interface), enables power notification, and records each
// SOStatusUpdate it receives, with its thread, in its journal. The display simulator on COM7 is
// unplugged and plugged back in by its signals. This thread is the apartment's: it pumps
// messages while it waits, as an application's message loop does.

#include <windows.h>
#include <gtest/gtest.h>
#include <oleauto.h>

#include <algorithm>
#include <array>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "shared/win32/automation_arguments.h"
#include "shared/win32/com_resources.h"
#include "tests/support/installed_device.h"
#include "tests/support/message_box_watcher.h"
#include "tests/support/simulator_link.h"
#include "tests/support/varnel_client.h"

namespace varnel::test {
namespace {

using kit::win32::ComPtr;
using kit::win32::UniqueVariant;
using test_support::InstalledDevice;
using test_support::MessageBoxCollector;
using test_support::SimulatorLink;

constexpr const wchar_t* kDeviceName = L"KitPowerPole";
// The stand-in's class (tests/fixtures/control_object/exports.cpp).
constexpr CLSID kStandInClassId = {
    0x9DDD697F, 0xFC2F, 0x4A9A, {0xAD, 0x34, 0x0E, 0x4E, 0x52, 0xFD, 0x5E, 0x8F}};

constexpr long kOnline = 2001;      // OPOS_PS_ONLINE, OPOS_SUE_POWER_ONLINE
constexpr long kOffOffline = 2004;  // OPOS_PS_OFF_OFFLINE, OPOS_SUE_POWER_OFF_OFFLINE
constexpr long kUnknown = 2000;     // OPOS_PS_UNKNOWN
constexpr long kNoHardware = 107;

std::wstring windows_path(const char* unix_path) {
  std::wstring path = L"Z:";
  for (const char* c = unix_path; *c != '\0'; ++c)
    path.push_back(*c == '/' ? L'\\' : static_cast<wchar_t>(*c));
  return path;
}

// Runs the messages of this thread until `done` answers true or `timeout_ms` has passed;
// answers `done`'s last answer.
template <typename Done>
bool pump_until(Done done, DWORD timeout_ms) {
  const ULONGLONG end = GetTickCount64() + timeout_ms;
  for (;;) {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE) != 0) {
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
    if (done()) return true;
    const ULONGLONG now = GetTickCount64();
    if (now >= end) return false;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(std::min<ULONGLONG>(end - now, 50)),
                              QS_ALLINPUT);
  }
}

class PowerEvents : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    varnel_ = new test_support::RegisteredVarnel();
    control_library_ = LoadLibraryW(windows_path(KIT_CONTROL_OBJECT_DLL).c_str());
  }
  static void TearDownTestSuite() {
    delete varnel_;
    varnel_ = nullptr;
    CoUninitialize();
  }

  void SetUp() override {
    sim_ = SimulatorLink::for_port(7);
    if (!sim_) GTEST_SKIP() << "needs the simulator on COM7 (run through scripts/with-simulator.sh)";
    ASSERT_TRUE(varnel_->ok());
    ASSERT_NE(control_library_, nullptr);
    std::array<wchar_t, MAX_PATH> folder{};
    GetTempPathW(MAX_PATH, folder.data());
    journal_ = std::wstring(folder.data()) + L"kit-power-journal-" + std::to_wstring(GetCurrentProcessId()) +
               L".txt";
    DeleteFileW(journal_.c_str());
    SetEnvironmentVariableW(L"KIT_CONTROL_OBJECT_JOURNAL", journal_.c_str());
    using GetClassObject = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
    const auto get_class_object = reinterpret_cast<GetClassObject>(
        reinterpret_cast<void*>(GetProcAddress(control_library_, "DllGetClassObject")));
    ASSERT_NE(get_class_object, nullptr);
    ComPtr<IClassFactory> factory;
    ASSERT_EQ(get_class_object(kStandInClassId, IID_IClassFactory, factory.put_void()), S_OK);
    ASSERT_EQ(factory->CreateInstance(nullptr, IID_IDispatch, control_.put_void()), S_OK);
  }
  void TearDown() override {
    control_.reset();
    SetEnvironmentVariableW(L"KIT_CONTROL_OBJECT_JOURNAL", nullptr);
    if (!journal_.empty()) DeleteFileW(journal_.c_str());
  }

  DISPID id_of(const wchar_t* name) const {
    DISPID id = DISPID_UNKNOWN;
    auto* names = const_cast<LPOLESTR>(name);
    EXPECT_EQ(control_->GetIDsOfNames(IID_NULL, &names, 1, LOCALE_USER_DEFAULT, &id), S_OK) << name;
    return id;
  }
  long invoke(const wchar_t* name, WORD flags, std::vector<VARIANT> arguments) const {
    std::vector<VARIANT> reversed(arguments.rbegin(), arguments.rend());
    DISPID put = DISPID_PROPERTYPUT;
    DISPPARAMS params{reversed.data(), nullptr, static_cast<UINT>(reversed.size()), 0};
    if (flags == DISPATCH_PROPERTYPUT) {
      params.rgdispidNamedArgs = &put;
      params.cNamedArgs = 1;
    }
    UniqueVariant result;
    const HRESULT hr = control_->Invoke(id_of(name), IID_NULL, LOCALE_USER_DEFAULT, flags, &params,
                                        result.put(), nullptr, nullptr);
    for (VARIANT& argument : arguments) VariantClear(&argument);
    EXPECT_EQ(hr, S_OK) << name;
    UniqueVariant number;
    if (result->vt == VT_EMPTY || FAILED(VariantChangeType(number.get(), result.get(), 0, VT_I4)))
      return -9999;
    return number->lVal;
  }
  long call(const wchar_t* name, std::vector<VARIANT> arguments = {}) const {
    return invoke(name, DISPATCH_METHOD, std::move(arguments));
  }
  long get(const wchar_t* name) const { return invoke(name, DISPATCH_PROPERTYGET, {}); }
  void put(const wchar_t* name, VARIANT value) const { invoke(name, DISPATCH_PROPERTYPUT, {value}); }
  long display_text(const wchar_t* text) const {
    return call(L"DisplayText", {test_support::text_argument(text), kit::win32::LongArgument(0)});
  }

  // Open, claim, power notification on, enable: every step succeeding.
  void open_for_power_reports() const {
    ASSERT_EQ(call(L"Open", {test_support::text_argument(kDeviceName)}), 0);
    ASSERT_EQ(call(L"ClaimDevice", {kit::win32::LongArgument(1000)}), 0);
    EXPECT_EQ(get(L"CapPowerReporting"), 1) << "OPOS_PR_STANDARD";
    put(L"PowerNotify", kit::win32::LongArgument(1));
    ASSERT_EQ(get(L"ResultCode"), 0);
    put(L"DeviceEnabled", kit::win32::BoolArgument(true));
    ASSERT_EQ(get(L"ResultCode"), 0);
  }

  // The events the stand-in received so far, each as its status; every one must have come on
  // this thread.
  std::vector<long> updates() const {
    std::vector<long> statuses;
    std::ifstream file(std::string(journal_.begin(), journal_.end()));
    const std::string thread = " thread " + std::to_string(GetCurrentThreadId());
    for (std::string line; std::getline(file, line);) {
      if (line.rfind("SOStatusUpdate ", 0) != 0) continue;
      EXPECT_NE(line.find(thread), std::string::npos) << "delivered on another thread: " << line;
      statuses.push_back(std::stol(line.substr(15)));
    }
    return statuses;
  }
  // Pumps messages until the stand-in has received `count` events (at most 20 s).
  std::vector<long> wait_for_updates(std::size_t count) const {
    std::vector<long> seen;
    pump_until([&] { return (seen = updates()).size() >= count; }, 20000);
    return seen;
  }

  static test_support::RegisteredVarnel* varnel_;
  static HMODULE control_library_;
  std::optional<SimulatorLink> sim_;
  InstalledDevice device_{kDeviceName, L"7", L"9600", L"VARNEL.ID_TARVO_VARNEL"};
  std::wstring journal_;
  ComPtr<IDispatch> control_;
};

test_support::RegisteredVarnel* PowerEvents::varnel_ = nullptr;
HMODULE PowerEvents::control_library_ = nullptr;

TEST_F(PowerEvents, UnplugAndPlugInAreReportedOnTheApartmentThread) {
  MessageBoxCollector boxes;
  open_for_power_reports();
  EXPECT_EQ(get(L"PowerState"), kUnknown) << "no write has told yet";

  ASSERT_EQ(display_text(L"A"), 0);
  EXPECT_EQ(wait_for_updates(1), std::vector<long>{kOnline});
  EXPECT_EQ(get(L"PowerState"), kOnline);

  ASSERT_TRUE(sim_->unplug());
  EXPECT_EQ(display_text(L"B"), kNoHardware);
  EXPECT_EQ(wait_for_updates(2), (std::vector<long>{kOnline, kOffOffline}));
  EXPECT_EQ(get(L"PowerState"), kOffOffline);

  ASSERT_TRUE(sim_->plug_in());
  EXPECT_EQ(display_text(L"C"), 0);
  EXPECT_EQ(wait_for_updates(3), (std::vector<long>{kOnline, kOffOffline, kOnline}));
  EXPECT_EQ(get(L"PowerState"), kOnline);
  EXPECT_EQ(call(L"Close"), 0);
  EXPECT_TRUE(boxes.seen().empty());
}

// A marquee steps on the library's timer thread while this thread only runs its messages: the
// steps find the line gone and back, and their events still arrive on this thread.
TEST_F(PowerEvents, MarqueeStepsReportOnTheApartmentThreadToo) {
  open_for_power_reports();
  const auto number = [](long value) { return kit::win32::LongArgument(value); };
  ASSERT_EQ(call(L"CreateWindow", {number(1), number(0), number(1), number(10), number(1), number(30)}), 0);
  put(L"MarqueeUnitWait", number(100));
  put(L"MarqueeType", number(5));  // DISP_MT_INIT
  ASSERT_EQ(display_text(L"WELCOME TO OUR STORE!"), 0);
  put(L"MarqueeType", number(3));  // DISP_MT_LEFT: steps from now on
  ASSERT_EQ(get(L"ResultCode"), 0);
  EXPECT_EQ(wait_for_updates(1), std::vector<long>{kOnline});

  ASSERT_TRUE(sim_->unplug());
  EXPECT_EQ(wait_for_updates(2), (std::vector<long>{kOnline, kOffOffline})) << "a step found the port gone";
  ASSERT_TRUE(sim_->plug_in());
  EXPECT_EQ(wait_for_updates(3), (std::vector<long>{kOnline, kOffOffline, kOnline})) << "a step wrote again";
  EXPECT_EQ(call(L"Close"), 0);
}

TEST_F(PowerEvents, FrozenEventsWaitForTheThaw) {
  open_for_power_reports();
  put(L"FreezeEvents", kit::win32::BoolArgument(true));
  ASSERT_EQ(display_text(L"A"), 0);
  EXPECT_EQ(get(L"PowerState"), kOnline) << "the state changes while frozen";
  // A second of messages: the event stays held.
  EXPECT_FALSE(pump_until([&] { return !updates().empty(); }, 1000)) << "delivered while frozen";
  put(L"FreezeEvents", kit::win32::BoolArgument(false));
  EXPECT_EQ(wait_for_updates(1), std::vector<long>{kOnline});
  EXPECT_EQ(call(L"Close"), 0);
}

TEST_F(PowerEvents, NoneAfterCloseService) {
  open_for_power_reports();
  // The event is posted by the write and waits for this thread's message loop, which runs only
  // after the close.
  ASSERT_EQ(display_text(L"A"), 0);
  EXPECT_EQ(call(L"Close"), 0);
  EXPECT_FALSE(pump_until([&] { return !updates().empty(); }, 1000)) << "an event after CloseService";
}

}  // namespace
}  // namespace varnel::test
