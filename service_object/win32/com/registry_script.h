#pragma once
// The small registry script format of VARNEL.rgs (resource REGISTRY 101): which keys and string
// values under HKEY_CLASSES_ROOT registration adds and removal takes away.
//
// One key per line, as a path below the root, then one of:
//   (nothing)          the key itself
//   keep               the key itself; removal leaves it in place
//   NAME = "TEXT"      a string value of the key; NAME @ is the key's default value
// "%APPID%" anywhere stands for the replacement text given to the parser. Text in quotes runs to
// the next quote (no escapes). Blank lines and lines starting with ';' are ignored. Registration
// creates keys and values in order; removal deletes each key not marked keep, with its subkeys,
// last line first. A key named on several lines is kept if any of them says keep.

#include <windows.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace varnel::com {

struct RegistryScriptLine {
  std::wstring key;
  bool keep = false;
  bool has_value = false;
  std::wstring value_name;  // empty: the default value
  std::wstring text;
};

struct RegistryScriptError {
  unsigned line = 0;  // 1-based
  std::string reason;
};

struct ParsedRegistryScript {
  std::vector<RegistryScriptLine> lines;
  std::optional<RegistryScriptError> error;  // set: `lines` is empty
};

// The script text is 8-bit (ASCII); each byte becomes one UTF-16 code unit.
ParsedRegistryScript parse_registry_script(std::string_view script, std::wstring_view appid);

// Creates the line's key below `root` (opens it when it is there) and writes the line's value, if
// it has one, as REG_SZ. Answers S_OK or the HRESULT of the registry call that failed.
HRESULT write_registry_line(HKEY root, const RegistryScriptLine& line);

// Writes (`install` true) or removes the script's keys below `root`. Removal counts an absent key
// as removed. Answers S_OK or the HRESULT of the first registry call that failed (every step is
// still attempted).
HRESULT apply_registry_script(HKEY root, const std::vector<RegistryScriptLine>& lines, bool install);

}  // namespace varnel::com
