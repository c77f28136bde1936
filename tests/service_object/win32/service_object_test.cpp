// The service object on its Windows platform, end to end: configuration written the way an
// installation writes it (the OPOS key through the registry view of the program's word size,
// the device-name file), the real registry source, file reader, WOW64 probe and serial writer,
// and the display simulator on COM7 and COM12 receiving the bytes.

// First: <windows.h> without the macros that clash with OPOS method names.
#include "service_object/win32/opos_names.h"
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "service_object/core/id_tarvo_varnel.h"
#include "service_object/win32/local_machine_registry.h"
#include "service_object/win32/readonly_file_reader.h"
#include "service_object/win32/serial_writer.h"
#include "service_object/win32/wow64_process.h"
#include "tests/support/simulator_link.h"
#include "tests/support/word_size.h"

namespace varnel::test {
namespace {

using namespace opos;
using test_support::kInstallerView;
using test_support::kIs32Bit;
using test_support::SimulatorLink;

class RecordingMessages final : public MessageSink {
 public:
  void show(std::u16string_view text) override { shown.emplace_back(text); }
  std::vector<std::u16string> shown;
};

std::wstring temp_folder() {
  wchar_t dir[MAX_PATH + 1] = {};
  GetTempPathW(MAX_PATH + 1, dir);
  return dir;
}

// A device as an installation leaves it: values under the OPOS key, written by an installer of
// this program's word size (a 32-bit one's land under Wow6432Node on 64-bit Windows), and the
// device-name file.
class InstalledDevice {
 public:
  explicit InstalledDevice(const std::wstring& name)
      : name_(name),
        key_path_(L"SOFTWARE\\OLEforRetail\\ServiceOPOS\\LineDisplay\\" + name),
        file_path_(temp_folder() + L"kit_device_name_" + name + L".txt") {}
  ~InstalledDevice() {
    RegDeleteKeyExW(HKEY_LOCAL_MACHINE, key_path_.c_str(), kInstallerView, 0);
    DeleteFileW(file_path_.c_str());
  }
  InstalledDevice(const InstalledDevice&) = delete;
  InstalledDevice& operator=(const InstalledDevice&) = delete;

  void set_string(const wchar_t* value, const std::wstring& text) const {
    const std::size_t bytes = (text.size() + 1) * sizeof(wchar_t);  // the terminator included
    write(value, REG_SZ, text.c_str(), static_cast<DWORD>(bytes));
  }
  void set_number(const wchar_t* value, DWORD number) const {
    write(value, REG_DWORD, &number, sizeof number);
  }
  void set_value(const wchar_t* value, DWORD type, const std::wstring& data) const {
    write(value, type, data.data(), static_cast<DWORD>(data.size()) * DWORD{sizeof(wchar_t)});
  }
  void write_name_file(const std::string& content) const {
    FILE* f = _wfopen(file_path_.c_str(), L"wb");
    ASSERT_NE(f, nullptr);
    std::fwrite(content.data(), 1, content.size(), f);
    std::fclose(f);
  }
  std::u16string file_path() const { return {file_path_.begin(), file_path_.end()}; }
  std::string name() const { return {name_.begin(), name_.end()}; }

 private:
  void write(const wchar_t* value, DWORD type, const void* data, DWORD size) const {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, key_path_.c_str(), 0, nullptr, 0,
                              KEY_SET_VALUE | kInstallerView, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(RegSetValueExW(key, value, 0, type, static_cast<const BYTE*>(data), size), ERROR_SUCCESS);
    RegCloseKey(key);
  }

  std::wstring name_;
  std::wstring key_path_;
  std::wstring file_path_;
};

class ServiceObjectOnWindows : public ::testing::Test {
 protected:
  void SetUp() override {
    sim7_ = SimulatorLink::for_port(7);
    if (!sim7_) GTEST_SKIP() << "needs the simulator on COM7 (run through scripts/with-simulator.sh)";
    platform_.device_name_file = device_.file_path();
  }

  std::size_t trace_size() const { return sim7_->trace().size(); }

  // A fresh module and object, opened, claimed and enabled as an application would.
  ID_TARVO_VARNEL& open_claim_enable() {
    so_.reset();
    module_.emplace(platform_);
    so_.emplace(*module_);
    so_->OpenService(u"LineDisplay", u"AnyName");
    so_->ClaimDevice(0);
    so_->SetPropertyNumber(PIDX_DeviceEnabled, 1);
    return *so_;
  }

  InstalledDevice device_{L"KitTestPole" + std::to_wstring(GetCurrentProcessId())};
  Win32SerialWriter port_;
  Win32ConfigRegistry registry_;
  Win32TextFileReader files_;
  RecordingMessages messages_;
  Win32ProcessInfo process_;
  ServicePlatform platform_{port_, registry_, files_, messages_, process_};
  std::optional<SimulatorLink> sim7_;
  std::optional<ServiceModule> module_;  // before the object: the object lives inside it
  std::optional<ID_TARVO_VARNEL> so_;
};

TEST_F(ServiceObjectOnWindows, InstalledDeviceShowsText) {
  device_.set_string(L"Comport", L"7");
  device_.set_string(L"Baudrate", L"9600");
  device_.write_name_file(device_.name() + "\r\n");
  ServiceModule module(platform_);
  ID_TARVO_VARNEL so(module);

  ASSERT_EQ(so.OpenService(u"LineDisplay", u"AnyName"), OPOS_SUCCESS);
  const std::wstring pid = std::to_wstring(GetCurrentProcessId());
  const std::u16string base = kIs32Bit ? u"SOFTWARE\\Wow6432Node\\OLEforRetail\\ServiceOPOS\\LineDisplay\\"
                                       : u"SOFTWARE\\OLEforRetail\\ServiceOPOS\\LineDisplay\\";
  EXPECT_EQ(so.key_path(), base + u"KitTestPole" + std::u16string(pid.begin(), pid.end()))
      << "under the 64-bit prefix a 32-bit program runs under WOW64, a 64-bit one natively";
  ASSERT_EQ(so.ClaimDevice(0), OPOS_SUCCESS);
  so.SetPropertyNumber(PIDX_DeviceEnabled, 1);
  ASSERT_TRUE(so.enabled()) << "messages: " << messages_.shown.size();
  EXPECT_EQ(so.result_code(), OPOS_SUCCESS);
  EXPECT_EQ(port_.baud_rate(), 9600);

  const std::size_t first = trace_size();
  so.ClearText();
  so.DisplayTextAt(1, 18, u"Hi", DISP_DT_NORMAL);
  so.SetPropertyNumber(PIDXDisp_BlinkRate, 100);
  const std::vector<std::string> expected{"clear", "cursor col=18 row=2", "text 48 H", "text 69 i",
                                          "blink n=2"};
  EXPECT_EQ(sim7_->wait_for_trace(first, expected.size()), expected);
  EXPECT_TRUE(messages_.shown.empty());

  EXPECT_EQ(so.CloseService(), OPOS_SUCCESS);
  EXPECT_FALSE(port_.is_open());
  EXPECT_FALSE(module.state().port_open);
}

// A device-name file saved as "Unicode" (UTF-16 with its byte-order mark) names the key as
// well as an 8-bit one.
TEST_F(ServiceObjectOnWindows, DeviceNameFileInUtf16NamesTheKey) {
  device_.set_string(L"Comport", L"7");
  device_.set_string(L"Baudrate", L"9600");
  const std::string name = device_.name();
  std::string utf16 = "\xFF\xFE";
  for (const char c : name + "\r\n") utf16 += std::string{c, '\0'};
  device_.write_name_file(utf16);
  ID_TARVO_VARNEL& so = open_claim_enable();
  EXPECT_TRUE(messages_.shown.empty());
  EXPECT_TRUE(so.enabled());
  EXPECT_EQ(so.result_code(), OPOS_SUCCESS);
  so.CloseService();
}

// The three string types hold text: an expandable string as stored, a multi-string by its first.
TEST_F(ServiceObjectOnWindows, ExpandableAndMultiStringValuesAreRead) {
  device_.set_value(L"Comport", REG_MULTI_SZ, std::wstring{L'7', L'\0', L'1', L'2', L'\0', L'\0'});
  device_.set_value(L"Baudrate", REG_EXPAND_SZ, std::wstring(L"19200\0", 6));
  device_.write_name_file(device_.name());
  ID_TARVO_VARNEL& so = open_claim_enable();
  EXPECT_TRUE(messages_.shown.empty());
  ASSERT_TRUE(so.enabled());
  EXPECT_EQ(port_.port_name(), u"COM7");
  EXPECT_EQ(port_.baud_rate(), 19200);
  so.CloseService();
}

TEST_F(ServiceObjectOnWindows, MissingKeyShowsThreeMessagesAndOpensNothing) {
  device_.write_name_file("NoSuchPoleDevice");
  ID_TARVO_VARNEL& so = open_claim_enable();
  EXPECT_EQ(messages_.shown, (std::vector<std::u16string>{u"Register Open Error", u"Baudrate Read Error",
                                                          u"Comport Read Error"}));
  EXPECT_FALSE(so.enabled());
  EXPECT_EQ(so.result_code(), OPOS_E_NOSERVICE) << "an enable that cannot proceed is no success";
  EXPECT_FALSE(port_.is_open());
}

TEST_F(ServiceObjectOnWindows, UnmappedPortAnswersDisabledWithThePlainPortName) {
  device_.set_string(L"Comport", L"9");
  device_.set_string(L"Baudrate", L"9600");
  device_.write_name_file(device_.name());
  ID_TARVO_VARNEL& so = open_claim_enable();
  EXPECT_EQ(messages_.shown, std::vector<std::u16string>{u"COM9 Open Error !"});
  EXPECT_EQ(so.result_code(), OPOS_E_DISABLED);
  EXPECT_FALSE(so.enabled());
}

TEST_F(ServiceObjectOnWindows, PortAboveNineOpens) {
  const auto sim12 = SimulatorLink::for_port(12);
  if (!sim12) GTEST_SKIP() << "needs the simulator on COM12";
  device_.set_string(L"Comport", L"12");
  device_.set_string(L"Baudrate", L"19200");
  device_.write_name_file(device_.name());
  ID_TARVO_VARNEL& so = open_claim_enable();
  ASSERT_TRUE(so.enabled()) << (messages_.shown.empty() ? "" : "a message was shown");
  EXPECT_EQ(port_.port_name(), u"COM12");
  const std::size_t first = sim12->trace().size();
  so.DisplayText(u"Z", 0);
  EXPECT_EQ(sim12->wait_for_trace(first, 1), std::vector<std::string>{"text 5a Z"});
  so.ReleaseDevice();
}

TEST_F(ServiceObjectOnWindows, ValuesStoredAsNumbersAreNotReadAsText) {
  device_.set_number(L"Comport", 7);
  device_.set_number(L"Baudrate", 9600);
  device_.write_name_file(device_.name());
  ID_TARVO_VARNEL& so = open_claim_enable();
  EXPECT_EQ(messages_.shown, (std::vector<std::u16string>{u"Baudrate Read Error", u"Comport Read Error"}));
  EXPECT_FALSE(so.enabled());
  EXPECT_EQ(so.result_code(), OPOS_E_NOSERVICE);
}

}  // namespace
}  // namespace varnel::test
