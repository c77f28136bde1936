#include "service_object/win32/com/registry_script.h"

#include <algorithm>

#include "shared/win32/unique_handle.h"

namespace varnel::com {

namespace {

constexpr std::string_view kBlanks = " \t\r";
constexpr std::string_view kAppIdMarker = "%APPID%";

std::string_view trim(std::string_view text) {
  const std::size_t first = text.find_first_not_of(kBlanks);
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

// Splits off the first blank-separated word.
std::string_view take_word(std::string_view& text) {
  text = trim(text);
  const std::size_t end = std::min(text.find_first_of(kBlanks), text.size());
  const std::string_view word = text.substr(0, end);
  text = trim(text.substr(end));
  return word;
}

std::wstring expand(std::string_view text, std::wstring_view appid) {
  std::wstring out;
  while (!text.empty()) {
    if (text.substr(0, kAppIdMarker.size()) == kAppIdMarker) {
      out.append(appid);
      text.remove_prefix(kAppIdMarker.size());
    } else {
      out.push_back(static_cast<wchar_t>(static_cast<unsigned char>(text.front())));
      text.remove_prefix(1);
    }
  }
  return out;
}

// Parses what follows the key on one line. Answers the reason when it is malformed.
std::optional<std::string> parse_tail(std::string_view tail, std::wstring_view appid,
                                      RegistryScriptLine& line) {
  if (tail.empty()) return std::nullopt;
  if (tail == "keep") {
    line.keep = true;
    return std::nullopt;
  }
  const std::size_t equals = tail.find('=');
  if (equals == std::string_view::npos) return "expected keep or NAME = \"TEXT\"";
  const std::string_view name = trim(tail.substr(0, equals));
  std::string_view quoted = trim(tail.substr(equals + 1));
  if (name.empty() || name.find_first_of(kBlanks) != std::string_view::npos) return "bad value name";
  if (quoted.size() < 2 || quoted.front() != '"') return "value text must be in quotes";
  quoted.remove_prefix(1);
  const std::size_t close = quoted.find('"');
  if (close == std::string_view::npos) return "unterminated quote";
  if (!trim(quoted.substr(close + 1)).empty()) return "text after the closing quote";
  line.has_value = true;
  line.value_name = name == "@" ? std::wstring() : expand(name, appid);
  line.text = expand(quoted.substr(0, close), appid);
  return std::nullopt;
}

bool kept(const std::vector<RegistryScriptLine>& lines, const std::wstring& key) {
  return std::any_of(lines.begin(), lines.end(), [&key](const RegistryScriptLine& line) {
    return line.keep && CompareStringOrdinal(line.key.c_str(), -1, key.c_str(), -1, TRUE) == CSTR_EQUAL;
  });
}

}  // namespace

HRESULT write_registry_line(HKEY root, const RegistryScriptLine& line) {
  kit::win32::UniqueRegistryKey key;
  // RegCreateKeyExW: ERROR_SUCCESS or the error; opens the key when it already exists.
  LSTATUS status = RegCreateKeyExW(root, line.key.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_SET_VALUE,
                                   nullptr, key.put(), nullptr);
  if (status != ERROR_SUCCESS) return HRESULT_FROM_WIN32(status);
  if (!line.has_value) return S_OK;
  const std::size_t bytes = (line.text.size() + 1) * sizeof(wchar_t);  // with the NUL
  status = RegSetValueExW(key.get(), line.value_name.empty() ? nullptr : line.value_name.c_str(), 0, REG_SZ,
                          reinterpret_cast<const BYTE*>(line.text.c_str()), static_cast<DWORD>(bytes));
  return status == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(status);
}

ParsedRegistryScript parse_registry_script(std::string_view script, std::wstring_view appid) {
  ParsedRegistryScript parsed;
  unsigned number = 0;
  while (!script.empty() || number == 0) {
    ++number;
    const std::size_t end = std::min(script.find('\n'), script.size());
    std::string_view text = trim(script.substr(0, end));
    script.remove_prefix(std::min(end + 1, script.size()));
    if (text.empty() || text.front() == ';') continue;

    RegistryScriptLine line;
    const std::string_view key = take_word(text);
    if (key.front() == '\\' || key.back() == '\\' || key.find("\\\\") != std::string_view::npos) {
      parsed.lines.clear();
      parsed.error = RegistryScriptError{number, "bad key path"};
      return parsed;
    }
    line.key = expand(key, appid);
    if (std::optional<std::string> reason = parse_tail(text, appid, line)) {
      parsed.lines.clear();
      parsed.error = RegistryScriptError{number, std::move(*reason)};
      return parsed;
    }
    parsed.lines.push_back(std::move(line));
  }
  return parsed;
}

HRESULT apply_registry_script(HKEY root, const std::vector<RegistryScriptLine>& lines, bool install) {
  HRESULT first_failure = S_OK;
  const auto note = [&first_failure](HRESULT result) {
    if (FAILED(result) && SUCCEEDED(first_failure)) first_failure = result;
  };
  if (install) {
    for (const RegistryScriptLine& line : lines) note(write_registry_line(root, line));
    return first_failure;
  }
  for (auto line = lines.rbegin(); line != lines.rend(); ++line) {
    if (kept(lines, line->key)) continue;
    // RegDeleteTreeW: removes the key with everything below it; ERROR_FILE_NOT_FOUND when it is
    // already gone (an earlier line of the same key, or never registered).
    const LSTATUS status = RegDeleteTreeW(root, line->key.c_str());
    if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND) note(HRESULT_FROM_WIN32(status));
  }
  return first_failure;
}

}  // namespace varnel::com
