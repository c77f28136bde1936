// The service object as an OPOS Control Object sees it: created by its ProgID, every method
// resolved by name, OpenService given the control's own dispatch interface, the version
// checked, then a session whose bytes reach the display simulator on COM7. Message boxes the
// library raises are read and dismissed by a watcher, as a user would.

#include <windows.h>
#include <gtest/gtest.h>
#include <oleauto.h>

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "tests/support/installed_device.h"
#include "tests/support/message_box_watcher.h"
#include "tests/support/service_method_names.h"
#include "tests/support/simulator_link.h"
#include "tests/support/varnel_client.h"

namespace varnel::test {
namespace {

using test_support::InstalledDevice;
using test_support::MessageBoxCollector;
using test_support::MessageBoxWatcher;
using test_support::SeenBox;
using test_support::SimulatorLink;
using test_support::StoredValue;

constexpr const wchar_t* kDeviceName = L"KitControlClientPole";

// An argument for Invoke; owns what it holds.
class Arg {
 public:
  Arg(long value) {  // NOLINT(google-explicit-constructor): reads like the call it stands for
    VariantInit(&v_);
    v_.vt = VT_I4;
    v_.lVal = value;
  }
  Arg(const wchar_t* text) {  // NOLINT(google-explicit-constructor)
    VariantInit(&v_);
    v_.vt = VT_BSTR;
    v_.bstrVal = SysAllocString(text);
  }
  Arg(IDispatch* dispatch) {  // NOLINT(google-explicit-constructor)
    VariantInit(&v_);
    v_.vt = VT_DISPATCH;
    v_.pdispVal = dispatch;
    if (dispatch != nullptr) dispatch->AddRef();
  }
  Arg(const Arg& other) {
    VariantInit(&v_);
    VariantCopy(&v_, const_cast<VARIANT*>(&other.v_));  // VariantCopy does not change its source
  }
  Arg& operator=(const Arg&) = delete;
  ~Arg() { VariantClear(&v_); }
  VARIANT& get() { return v_; }

 private:
  VARIANT v_;
};

// The answer of one Invoke; owns the result.
struct Answer {
  HRESULT hr = E_FAIL;
  VARIANT result;
  Answer() { VariantInit(&result); }
  Answer(const Answer&) = delete;
  Answer& operator=(const Answer&) = delete;
  Answer(Answer&& other) noexcept : hr(other.hr), result(other.result) { VariantInit(&other.result); }
  ~Answer() { VariantClear(&result); }
  long number() const { return result.vt == VT_I4 ? result.lVal : -9999; }
  std::wstring text() const {
    return result.vt == VT_BSTR && result.bstrVal ? result.bstrVal : L"<not a string>";
  }
};

// A Control Object's own dispatch interface, handed to OpenService. With power notification off
// the service object fires no events, so nothing may ever be called on it; the test counts calls
// and references (power events are tested in power_events_test.cpp).
class ControlObjectDispatch final : public IDispatch {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    if (riid != IID_IUnknown && riid != IID_IDispatch) return E_NOINTERFACE;
    *out = static_cast<IDispatch*>(this);
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references; }
  ULONG STDMETHODCALLTYPE Release() override { return --references; }  // lives on the stack
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT*) override { return ++calls, E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return ++calls, E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
    return ++calls, E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                                   UINT*) override {
    return ++calls, E_NOTIMPL;
  }
  ULONG references = 1;
  int calls = 0;

  // Lives in the test fixture; never deleted through an interface pointer.
  virtual ~ControlObjectDispatch() = default;
};

class ControlObjectClient : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    library_ = LoadLibraryW(test_support::varnel_library_path().c_str());
    ASSERT_NE(library_, nullptr) << "cannot load the library";
    using Entry = HRESULT(STDAPICALLTYPE*)();
    const auto do_register =
        reinterpret_cast<Entry>(reinterpret_cast<void*>(GetProcAddress(library_, "DllRegisterServer")));
    ASSERT_NE(do_register, nullptr);
    ASSERT_EQ(do_register(), S_OK);
  }
  static void TearDownTestSuite() {
    if (library_ == nullptr) return;
    using Entry = HRESULT(STDAPICALLTYPE*)();
    const auto unregister =
        reinterpret_cast<Entry>(reinterpret_cast<void*>(GetProcAddress(library_, "DllUnregisterServer")));
    if (unregister != nullptr) {
      EXPECT_EQ(unregister(), S_OK);
    }
    CoUninitialize();
    library_ = nullptr;  // COM keeps it loaded until CoUninitialize; not freed by hand
  }

  void SetUp() override {
    sim_ = SimulatorLink::for_port(7);
    if (!sim_) GTEST_SKIP() << "needs the simulator on COM7 (run through scripts/with-simulator.sh)";
    CLSID clsid{};
    ASSERT_EQ(CLSIDFromProgID(L"VARNEL.ID_TARVO_VARNEL", &clsid), S_OK);
    ASSERT_EQ(
        CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, reinterpret_cast<void**>(&so_)),
        S_OK);
  }
  void TearDown() override {
    if (so_ != nullptr) so_->Release();
  }

  DISPID id_of(const wchar_t* name) const {
    DISPID id = DISPID_UNKNOWN;
    auto* names = const_cast<LPOLESTR>(name);
    EXPECT_EQ(so_->GetIDsOfNames(IID_NULL, &names, 1, LOCALE_USER_DEFAULT, &id), S_OK) << name;
    return id;
  }

  // Calls `name` by late binding with `args` in their written order.
  Answer call(const wchar_t* name, std::vector<Arg> args = {}) {
    std::vector<VARIANT> reversed;
    for (auto it = args.rbegin(); it != args.rend(); ++it) reversed.push_back(it->get());
    DISPPARAMS params{reversed.data(), nullptr, static_cast<UINT>(reversed.size()), 0};
    Answer answer;
    UINT bad_arg = 0;
    answer.hr =
        so_->Invoke(id_of(name), IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD | DISPATCH_PROPERTYGET,
                    &params, &answer.result, nullptr, &bad_arg);
    return answer;
  }

  long result_code() { return call(L"GetPropertyNumber", {6L}).number(); }

  void open_claim_enable() {
    EXPECT_EQ(call(L"OpenService", {L"LineDisplay", L"PoleDisplay", &control_}).number(), 0);
    EXPECT_EQ(call(L"ClaimDevice", {1000L}).number(), 0);
    EXPECT_EQ(call(L"SetPropertyNumber", {3L, 1L}).hr, S_OK);
  }

  static HMODULE library_;
  IDispatch* so_ = nullptr;
  ControlObjectDispatch control_;
  std::optional<SimulatorLink> sim_;
};

HMODULE ControlObjectClient::library_ = nullptr;

TEST_F(ControlObjectClient, ResolvesEveryServiceMethodByName) {
  for (std::size_t i = 0; i < std::size(test_support::kServiceMethodNames); ++i) {
    EXPECT_EQ(id_of(test_support::kServiceMethodNames[i]), static_cast<DISPID>(i + 1))
        << test_support::kServiceMethodNames[i];
  }
}

TEST_F(ControlObjectClient, OpensAndAcceptsTheVersion) {
  InstalledDevice device(kDeviceName, L"7", L"9600");
  ASSERT_EQ(call(L"OpenService", {L"LineDisplay", L"PoleDisplay", &control_}).number(), 0);
  const long version = call(L"GetPropertyNumber", {8L}).number();
  EXPECT_EQ(version / 1000000, 1) << "major version";
  EXPECT_GE(version / 1000 % 1000, 9) << "minor version";
  EXPECT_EQ(call(L"GetPropertyString", {1000004L}).text().rfind(L"LineDisplay OPOS Driver", 0), 0u);
  EXPECT_EQ(call(L"CloseService").number(), 0);
  EXPECT_EQ(control_.calls, 0) << "without PowerNotify the service object fires no events";
  EXPECT_EQ(control_.references, 1u) << "a reference on the control object is kept past CloseService";
}

TEST_F(ControlObjectClient, SessionReachesTheDisplay) {
  InstalledDevice device(kDeviceName, L"7", L"9600");
  MessageBoxWatcher watcher(300);  // none expected
  open_claim_enable();
  EXPECT_EQ(result_code(), 0);
  const std::size_t first = sim_->trace().size();
  EXPECT_EQ(call(L"ClearText").number(), 0);
  EXPECT_EQ(call(L"DisplayTextAt", {1L, 3L, L"Hi", 0L}).number(), 0);
  const std::vector<std::string> expected{"clear", "cursor col=3 row=2", "text 48 H", "text 69 i"};
  EXPECT_EQ(sim_->wait_for_trace(first, expected.size()), expected);
  EXPECT_EQ(call(L"ReleaseDevice").number(), 0);
  EXPECT_EQ(call(L"CloseService").number(), 0);
  EXPECT_TRUE(watcher.finish_all().empty());
}

// Windows and a marquee as an application sets them up: the display's screen (the simulator's
// state file) equals the model's at each step, the marquee sampled while it runs on the
// library's own thread (the client pumps no messages), and stopping it shows the window as it
// stands; destroying the window shows what it covered.
TEST_F(ControlObjectClient, WindowsAndMarqueeShowOnTheDisplayAsModelled) {
  InstalledDevice device(kDeviceName, L"7", L"9600");
  MessageBoxWatcher watcher(300);  // none expected
  open_claim_enable();
  const auto set = [this](long index, long value) {
    call(L"SetPropertyNumber", {index, value});
    return result_code();
  };
  ASSERT_EQ(call(L"ClearText").number(), 0);
  ASSERT_EQ(call(L"DisplayTextAt", {0L, 0L, L"TOTAL 12.50", 0L}).number(), 0);
  EXPECT_TRUE(sim_->wait_for_state("row0_text", "TOTAL 12.50         "));

  ASSERT_EQ(call(L"CreateWindow", {1L, 0L, 1L, 10L, 1L, 30L}).number(), 0);
  EXPECT_EQ(call(L"GetPropertyNumber", {5003L}).number(), 1) << "the new window is current";
  EXPECT_EQ(set(5015, 200), 0);  // MarqueeUnitWait
  EXPECT_EQ(set(5014, 5), 0);    // DISP_MT_INIT
  ASSERT_EQ(call(L"DisplayText", {L"WELCOME TO OUR STORE!", 0L}).number(), 0);
  EXPECT_EQ(set(5014, 3), 0);  // DISP_MT_LEFT
  // The text walks in from the right, one column every 200 ms.
  EXPECT_TRUE(sim_->wait_for_state("row1_text", "      WELC          ", 20000));
  EXPECT_TRUE(sim_->wait_for_state("row1_text", "WELCOME TO          ", 20000));
  EXPECT_TRUE(sim_->wait_for_state("row0_text", "TOTAL 12.50         "))
      << "the marquee stays in its viewport";

  EXPECT_EQ(set(5014, 0), 0);  // DISP_MT_NONE: the window as it stands
  EXPECT_TRUE(sim_->wait_for_state("row1_text", "WELCOME TO          "));
  EXPECT_EQ(call(L"DestroyWindow").number(), 0);
  EXPECT_TRUE(sim_->wait_for_state("row1_text", "                    "));
  EXPECT_EQ(call(L"DestroyWindow").number(), 106) << "window 0 stays";
  EXPECT_EQ(call(L"CloseService").number(), 0);
  EXPECT_TRUE(watcher.finish_all().empty());
}

struct ConfigurationCase {
  const char* name;
  std::optional<StoredValue> comport;
  std::optional<StoredValue> baudrate;
  std::vector<std::wstring> boxes;
  long result_code;
  long enabled;
};

// What an enable reports for each configuration an installation (or a technician with the
// registry editor) may leave behind: values missing, of another type, or unusable.
TEST_F(ControlObjectClient, ConfigurationProblemsShowTheLibrarysMessageBoxes) {
  const auto text = StoredValue::text;
  const ConfigurationCase cases[] = {
      {"usable", text(L"7"), text(L"9600"), {}, 0, 1},
      {"missing baud rate", text(L"7"), std::nullopt, {L"Baudrate Read Error"}, 104, 0},
      {"baud rate not a number", text(L"7"), text(L"abc"), {}, 104, 0},
      {"baud rate zero", text(L"7"), text(L"0"), {}, 104, 0},
      {"baud rate negative", text(L"7"), text(L"-9600"), {}, 104, 0},
      {"baud rate as a DWORD", text(L"7"), StoredValue::number(9600), {L"Baudrate Read Error"}, 104, 0},
      {"speed the port refuses", text(L"7"), text(L"12345"), {L"COM7 Open Error !"}, 105, 0},
      {"absent port", text(L"9"), text(L"9600"), {L"COM9 Open Error !"}, 105, 0},
      {"missing port", std::nullopt, text(L"9600"), {L"Comport Read Error", L"COM Open Error !"}, 105, 0},
      {"port as a DWORD",
       StoredValue::number(7),
       text(L"9600"),
       {L"Comport Read Error", L"COM Open Error !"},
       105,
       0},
      {"port not a number", text(L"7x"), text(L"9600"), {L"COM7x Open Error !"}, 105, 0},
      {"port naming a file",
       text(L"7\\..\\..\\windows\\win.ini"),
       text(L"9600"),
       {L"COM7\\..\\..\\windows\\win.ini Open Error !"},
       105,
       0},
      {"expandable and multi-string values",
       StoredValue{REG_MULTI_SZ, std::wstring(L"7\0\0", 3)},
       StoredValue{REG_EXPAND_SZ, std::wstring(L"9600\0", 5)},
       {},
       0,
       1},
  };
  for (const ConfigurationCase& c : cases) {
    InstalledDevice device(kDeviceName, c.comport, c.baudrate);
    MessageBoxCollector boxes;
    open_claim_enable();
    // Each box is answered before the call that shows it returns: all are in by now.
    const std::vector<SeenBox> seen = boxes.seen();
    boxes.stop();
    ASSERT_EQ(seen.size(), c.boxes.size()) << c.name;
    for (std::size_t i = 0; i < seen.size(); ++i) {
      EXPECT_EQ(seen[i].text, c.boxes[i]) << c.name;
      EXPECT_EQ(seen[i].caption, L"VARNEL") << c.name;
    }
    EXPECT_EQ(result_code(), c.result_code) << c.name;
    EXPECT_EQ(call(L"GetPropertyNumber", {3L}).number(), c.enabled) << c.name;
    call(L"CloseService");
  }
}

TEST_F(ControlObjectClient, OverlongTextIsCutWithAMessage) {
  InstalledDevice device(kDeviceName, L"7", L"9600");
  open_claim_enable();
  const std::size_t first = sim_->trace().size();
  std::wstring text;
  for (int i = 0; i < 65; ++i) text.push_back(static_cast<wchar_t>(L'A' + i % 26));
  MessageBoxWatcher watcher(5000);
  EXPECT_EQ(call(L"DisplayText", {text.c_str(), 0L}).number(), 0);
  const std::optional<SeenBox> box = watcher.finish();
  ASSERT_TRUE(box.has_value());
  EXPECT_EQ(box->text, L"Exceeded to max number of input chars! [limit to 64 chars]");
  EXPECT_EQ(box->caption, L"VARNEL");
  // 64 characters and a cursor move at each of the three row ends they cross.
  const std::vector<std::string> lines = sim_->wait_for_trace(first, 67);
  ASSERT_EQ(lines.size(), 67u);
  EXPECT_EQ(lines[20], "cursor col=0 row=2");
  EXPECT_EQ(lines[41], "cursor col=0 row=1");
  EXPECT_EQ(lines[62], "cursor col=0 row=2");
  EXPECT_EQ(lines.back(), "text 4c L") << "the 64th character is the last one sent";
  call(L"CloseService");
}

}  // namespace
}  // namespace varnel::test
