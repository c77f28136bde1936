#include "tests/utility/win32/dialog_template_reader.h"

#include <cstring>

namespace zorn::test {
namespace {

constexpr WORD kExtendedSignature = 0xFFFF;

// Reads the template's fields in order, never past its end.
class Cursor {
 public:
  Cursor(const BYTE* begin, DWORD size) : at_(begin), end_(begin + size) {}

  bool ok() const { return ok_; }

  template <typename T>
  T Read() {
    T value{};
    if (end_ - at_ < static_cast<std::ptrdiff_t>(sizeof value)) {
      ok_ = false;
      return value;
    }
    std::memcpy(&value, at_, sizeof value);
    at_ += sizeof value;
    return value;
  }

  // A zero-terminated UTF-16 string.
  std::wstring String() {
    std::wstring text;
    for (auto c = Read<wchar_t>(); ok_ && c != L'\0'; c = Read<wchar_t>()) text.push_back(c);
    return text;
  }

  // A name or, after 0xFFFF, an ordinal.
  void NameOrOrdinal(WORD& ordinal, std::wstring& name) {
    const auto first = Read<WORD>();
    if (first == 0xFFFF) {
      ordinal = Read<WORD>();
    } else if (first != 0) {
      name.push_back(static_cast<wchar_t>(first));
      name += String();
    }
  }

  void AlignToDword(const BYTE* base) {
    while (ok_ && ((at_ - base) % 4) != 0) Read<BYTE>();
  }

 private:
  const BYTE* at_;
  const BYTE* end_;
  bool ok_ = true;
};

RECT ReadPlace(Cursor& cursor) {
  RECT units{};
  units.left = cursor.Read<short>();
  units.top = cursor.Read<short>();
  units.right = cursor.Read<short>();
  units.bottom = cursor.Read<short>();
  return units;
}

}  // namespace

std::optional<DialogTemplate> ReadDialogTemplate(HMODULE module, int id) {
  // FindResourceW, LoadResource, LockResource: null on failure; the data lives as long as the
  // module.
  const HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(id), reinterpret_cast<LPCWSTR>(RT_DIALOG));
  const HGLOBAL loaded = found != nullptr ? LoadResource(module, found) : nullptr;
  const auto* base = static_cast<const BYTE*>(loaded != nullptr ? LockResource(loaded) : nullptr);
  if (base == nullptr) return std::nullopt;
  Cursor cursor(base, SizeofResource(module, found));

  DialogTemplate dialog;
  const auto version = cursor.Read<WORD>();
  if (version != 1 || cursor.Read<WORD>() != kExtendedSignature) return std::nullopt;
  cursor.Read<DWORD>();  // help identifier
  dialog.exStyle = cursor.Read<DWORD>();
  dialog.style = cursor.Read<DWORD>();
  const auto count = cursor.Read<WORD>();
  dialog.units = ReadPlace(cursor);
  WORD ordinal = 0;
  std::wstring name;
  cursor.NameOrOrdinal(ordinal, name);  // menu
  cursor.NameOrOrdinal(ordinal, name);  // window class
  dialog.title = cursor.String();
  if ((dialog.style & DS_SETFONT) != 0) {
    dialog.pointSize = cursor.Read<WORD>();
    cursor.Read<WORD>();  // weight
    cursor.Read<BYTE>();  // italic
    cursor.Read<BYTE>();  // character set
    dialog.typeface = cursor.String();
  }
  for (WORD index = 0; index < count && cursor.ok(); ++index) {
    cursor.AlignToDword(base);
    TemplateItem item;
    cursor.Read<DWORD>();  // help identifier
    item.exStyle = cursor.Read<DWORD>();
    item.style = cursor.Read<DWORD>();
    item.units = ReadPlace(cursor);
    item.id = cursor.Read<int>();
    cursor.NameOrOrdinal(item.classAtom, item.className);
    WORD titleOrdinal = 0;
    cursor.NameOrOrdinal(titleOrdinal, item.title);
    const auto extra = cursor.Read<WORD>();
    for (WORD skipped = 0; skipped < extra; ++skipped) cursor.Read<BYTE>();
    dialog.items.push_back(item);
  }
  if (!cursor.ok()) return std::nullopt;
  return dialog;
}

}  // namespace zorn::test
