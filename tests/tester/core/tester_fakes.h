#pragma once
// Recorders standing in for the tester form's window, its Control Object, the registry and the
// program's instance check. The view and the control object write to one shared log, so tests
// see the order of pointer changes, calls and status writes.

#include <cstdint>
#include <deque>
#include <map>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "tester/core/chk_registry.h"
#include "tester/core/control_object.h"
#include "tester/core/form_controls.h"
#include "tester/core/form_view.h"

namespace zorntest::test {

// ASCII text of a UTF-16 string (the tests use ASCII only).
inline std::string Narrow(std::u16string_view text) { return {text.begin(), text.end()}; }
inline std::u16string Widen(std::string_view text) { return {text.begin(), text.end()}; }

using Log = std::vector<std::string>;

class FakeView final : public FormView {
 public:
  struct Control {
    std::u16string text;
    bool enabled = false;
    std::vector<std::u16string> items;
    int index = -1;
  };

  explicit FakeView(Log& log) : log_(log) {
    for (const FormControl& c : FormControls())
      controls_[c.id] = Control{std::u16string(c.text), c.enabled, {}, -1};
    for (auto item : DirectionItems()) controls_[control_id::kCombo2].items.emplace_back(item);
    for (auto item : AttributeItems()) controls_[control_id::kCombo3].items.emplace_back(item);
  }

  std::u16string Text(int id) const override { return controls_.at(id).text; }
  void SetText(int id, std::u16string_view text) override {
    if (id == control_id::kText5) log_.push_back("status " + Narrow(text));
    Control& c = controls_.at(id);
    c.text = text;
    // Typing into a drop-down combo leaves no item selected.
    if (!c.items.empty()) c.index = -1;
  }
  void AddItem(int id, std::u16string_view item) override { controls_.at(id).items.emplace_back(item); }
  int ListIndex(int id) const override { return controls_.at(id).index; }
  void SetListIndex(int id, int index) override {
    Control& c = controls_.at(id);
    c.index = index;
    c.text = index >= 0 && index < static_cast<int>(c.items.size()) ? c.items[index] : u"";
  }
  bool SetEnabled(int id, bool enabled) override {
    if (id == control_id::kOPOSLineDisplay2) return false;
    controls_.at(id).enabled = enabled;
    return true;
  }
  void SetMousePointer(MousePointer pointer) override {
    log_.push_back(pointer == MousePointer::Hourglass ? "hourglass" : "pointer");
  }
  void ShowMessage(std::u16string_view text, MessageIcon icon) override {
    messages.emplace_back(Narrow(text), icon);
    log_.push_back("message");
  }
  void EndProgram() override {
    ended = true;
    log_.push_back("end");
  }

  Control& at(int id) { return controls_.at(id); }

  std::vector<std::pair<std::string, MessageIcon>> messages;
  bool ended = false;

 private:
  Log& log_;
  std::map<int, Control> controls_;
};

class FakeControlObject final : public ControlObject {
 public:
  explicit FakeControlObject(Log& log) : log_(log) {}

  bool Open(std::u16string_view name) override { return Record("Open(" + Narrow(name) + ")"); }
  bool ClaimDevice(std::int32_t timeout) override {
    return Record("ClaimDevice(" + std::to_string(timeout) + ")");
  }
  bool SetDeviceEnabled(bool enabled) override {
    return Record(std::string("DeviceEnabled=") + (enabled ? "true" : "false"));
  }
  bool DisplayText(std::u16string_view data, std::int32_t& attribute) override {
    return Record("DisplayText(" + Narrow(data) + ", " + std::to_string(attribute) + ")");
  }
  bool DisplayTextAt(std::int32_t row, std::int32_t column, std::u16string_view data,
                     std::int32_t& attribute) override {
    return Record("DisplayTextAt(" + std::to_string(row) + ", " + std::to_string(column) + ", " +
                  Narrow(data) + ", " + std::to_string(attribute) + ")");
  }
  bool SetBlinkRate(std::int32_t rate) override { return Record("BlinkRate=" + std::to_string(rate)); }
  std::optional<std::int32_t> BlinkRate() override {
    if (!Record("BlinkRate")) return std::nullopt;
    return blinkRate;
  }
  bool ScrollText(std::int32_t direction, std::int32_t units) override {
    return Record("ScrollText(" + std::to_string(direction) + ", " + std::to_string(units) + ")");
  }
  bool ClearText() override { return Record("ClearText()"); }
  bool ReleaseDevice() override { return Record("ReleaseDevice()"); }
  bool Close() override { return Record("Close()"); }
  std::optional<std::int32_t> ResultCode() override {
    log_.push_back("ResultCode");
    if (resultCodes.empty()) return 0;
    const std::optional<std::int32_t> code = resultCodes.front();
    resultCodes.pop_front();
    return code;
  }

  // Answers of the next ResultCode reads, in order (0 once they are used up).
  std::deque<std::optional<std::int32_t>> resultCodes;
  std::int32_t blinkRate = 0;
  // Calls (by the text before their first parenthesis or '=') that fail to reach the object.
  std::set<std::string> unreachable;

 private:
  bool Record(const std::string& call) {
    log_.push_back(call);
    return unreachable.count(call.substr(0, call.find_first_of("(="))) == 0;
  }
  Log& log_;
};

// RegOpenKeyExA / RegEnumKeyExA / RegCloseKey over a list of subkeys, with the system's rules:
// a name or class that does not fit its buffer (terminating zero included) answers
// ERROR_MORE_DATA. ANSI text is Latin-1 here.
class FakeRegistry final : public AnsiRegistry {
 public:
  struct Subkey {
    std::string name;
    std::string className;
  };

  std::int32_t OpenLocalMachineKey(const std::string& path, std::uint32_t options, std::uint32_t access,
                                   RegistryKeyHandle& key) override {
    ++opens;
    if (!present || path != "Software\\OLEforRetail\\ServiceOPOS\\LineDisplay" || options != 0 ||
        (access & kRegistryKeyRead) != kRegistryKeyRead) {
      return 2;  // ERROR_FILE_NOT_FOUND
    }
    key = kKey;
    ++openKeys;
    return kRegistrySuccess;
  }
  std::int32_t EnumKey(RegistryKeyHandle key, std::uint32_t index, std::span<char> name,
                       std::uint32_t& nameLength, std::span<char> className,
                       std::uint32_t& classLength) override {
    if (key != kKey || openKeys == 0) return 6;  // ERROR_INVALID_HANDLE
    if (index >= subkeys.size()) return kRegistryNoMoreItems;
    const Subkey& subkey = subkeys[index];
    if (subkey.name.size() >= nameLength || subkey.name.size() >= name.size() ||
        subkey.className.size() >= classLength || subkey.className.size() >= className.size()) {
      return kRegistryMoreData;
    }
    subkey.name.copy(name.data(), subkey.name.size());
    subkey.className.copy(className.data(), subkey.className.size());
    nameLength = static_cast<std::uint32_t>(subkey.name.size());
    classLength = static_cast<std::uint32_t>(subkey.className.size());
    return kRegistrySuccess;
  }
  std::int32_t CloseKey(RegistryKeyHandle key) override {
    if (key != kKey || openKeys == 0) return 6;
    --openKeys;
    return kRegistrySuccess;
  }
  std::string ToAnsi(std::u16string_view text) const override {
    std::string out;
    for (char16_t c : text) out.push_back(c < 0x100 ? static_cast<char>(c) : '?');
    return out;
  }
  std::u16string FromAnsi(std::string_view text) const override {
    std::u16string out;
    for (char c : text) out.push_back(static_cast<unsigned char>(c));
    return out;
  }

  bool present = true;
  std::vector<Subkey> subkeys;
  int opens = 0;
  int openKeys = 0;

 private:
  static constexpr RegistryKeyHandle kKey = 0x2a;
};

class FakeInstance final : public ProgramInstance {
 public:
  bool PreviousInstanceRunning() override { return running; }
  std::u16string ExecutableName() const override { return name; }
  bool running = false;
  std::u16string name = u"ZornTest";
};

}  // namespace zorntest::test
