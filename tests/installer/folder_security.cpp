// Reads security descriptors the way Windows understands them, for the setup program's tests.
//
//   folder_security.exe describe SDDL
//     Converts the descriptor text with the system's own parser and prints what it holds:
//       owner <SID>
//       protected <yes|no>
//       <allow|deny|other> <SID> mask=0x<8 hex digits> inherit=<OI|CI|IO|NP letters, or ->
//     one line per entry of the access list, in order.
//   folder_security.exe probe FOLDER SDDL
//     Applies the descriptor's owner and access list to FOLDER and prints, as descriptor text,
//     what the system hands back afterwards:
//       applied: <result code of SetNamedSecurityInfoW>
//       read back: <owner and access list of FOLDER>
// Exit code 0 when the conversions succeeded, 1 when one failed (the error on stderr), 2 on a
// wrong command line.

#include <windows.h>
// The security API follows <windows.h>.
#include <aclapi.h>
#include <sddl.h>

#include <cstdio>
#include <memory>
#include <string>

namespace {

struct LocalDeleter {
  void operator()(void* memory) const { LocalFree(memory); }
};
template <typename T>
using LocalMemory = std::unique_ptr<T, LocalDeleter>;

std::string sid_text(PSID sid) {
  LPWSTR text = nullptr;
  // ConvertSidToStringSidW: non-zero on success; the text is freed with LocalFree.
  if (sid == nullptr || !ConvertSidToStringSidW(sid, &text)) return "-";
  const LocalMemory<wchar_t> owned(text);
  std::string out;
  for (const wchar_t* c = text; *c != 0; ++c) out.push_back(static_cast<char>(*c));
  return out;
}

std::string inherit_letters(BYTE flags) {
  std::string out;
  if ((flags & OBJECT_INHERIT_ACE) != 0) out += "OI";
  if ((flags & CONTAINER_INHERIT_ACE) != 0) out += "CI";
  if ((flags & INHERIT_ONLY_ACE) != 0) out += "IO";
  if ((flags & NO_PROPAGATE_INHERIT_ACE) != 0) out += "NP";
  return out.empty() ? "-" : out;
}

int describe(const wchar_t* sddl) {
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  // Non-zero on success; the descriptor is freed with LocalFree.
  if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl, SDDL_REVISION_1, &descriptor, nullptr)) {
    std::fprintf(stderr, "folder security: the descriptor text is refused (error %lu)\n", GetLastError());
    return 1;
  }
  const LocalMemory<void> owned(descriptor);
  PSID owner = nullptr;
  BOOL owner_defaulted = FALSE;
  SECURITY_DESCRIPTOR_CONTROL control = 0;
  DWORD revision = 0;
  BOOL dacl_present = FALSE;
  BOOL dacl_defaulted = FALSE;
  PACL dacl = nullptr;
  if (!GetSecurityDescriptorOwner(descriptor, &owner, &owner_defaulted) ||
      !GetSecurityDescriptorControl(descriptor, &control, &revision) ||
      !GetSecurityDescriptorDacl(descriptor, &dacl_present, &dacl, &dacl_defaulted) || !dacl_present ||
      dacl == nullptr) {
    std::fprintf(stderr, "folder security: the descriptor has no access list\n");
    return 1;
  }
  std::printf("owner %s\n", sid_text(owner).c_str());
  std::printf("protected %s\n", (control & SE_DACL_PROTECTED) != 0 ? "yes" : "no");
  for (DWORD i = 0; i < dacl->AceCount; ++i) {
    void* entry = nullptr;
    if (!GetAce(dacl, i, &entry)) return 1;
    const auto* header = static_cast<const ACE_HEADER*>(entry);
    // Allowed and denied entries share their layout: header, mask, then the SID.
    const auto* allowed = static_cast<const ACCESS_ALLOWED_ACE*>(entry);
    const char* kind = header->AceType == ACCESS_ALLOWED_ACE_TYPE  ? "allow"
                       : header->AceType == ACCESS_DENIED_ACE_TYPE ? "deny"
                                                                   : "other";
    const std::string sid = header->AceType <= ACCESS_DENIED_ACE_TYPE
                                ? sid_text(const_cast<DWORD*>(&allowed->SidStart))
                                : std::string("-");
    std::printf("%s %s mask=0x%08lx inherit=%s\n", kind, sid.c_str(), allowed->Mask,
                inherit_letters(header->AceFlags).c_str());
  }
  return 0;
}

int probe(const wchar_t* folder, const wchar_t* sddl) {
  PSECURITY_DESCRIPTOR wanted = nullptr;
  if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl, SDDL_REVISION_1, &wanted, nullptr))
    return 1;
  const LocalMemory<void> owned_wanted(wanted);
  PSID owner = nullptr;
  BOOL defaulted = FALSE;
  BOOL present = FALSE;
  PACL dacl = nullptr;
  GetSecurityDescriptorOwner(wanted, &owner, &defaulted);
  GetSecurityDescriptorDacl(wanted, &present, &dacl, &defaulted);
  // SetNamedSecurityInfoW and GetNamedSecurityInfoW answer ERROR_SUCCESS (0) or an error code.
  const DWORD applied = SetNamedSecurityInfoW(
      const_cast<wchar_t*>(folder), SE_FILE_OBJECT,
      OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION, owner,
      nullptr, dacl, nullptr);
  std::printf("applied: %lu\n", applied);
  PSECURITY_DESCRIPTOR found = nullptr;
  if (GetNamedSecurityInfoW(folder, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
                            nullptr, nullptr, nullptr, nullptr, &found) != ERROR_SUCCESS) {
    return 1;
  }
  const LocalMemory<void> owned_found(found);
  LPWSTR text = nullptr;
  if (!ConvertSecurityDescriptorToStringSecurityDescriptorW(
          found, SDDL_REVISION_1, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &text, nullptr)) {
    return 1;
  }
  const LocalMemory<wchar_t> owned_text(text);
  std::printf("read back: %ls\n", text);
  return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const std::wstring command = argc > 1 ? argv[1] : L"";
  if (command == L"describe" && argc == 3) return describe(argv[2]);
  if (command == L"probe" && argc == 4) return probe(argv[2], argv[3]);
  std::fprintf(stderr, "usage: folder_security describe SDDL | probe FOLDER SDDL\n");
  return 2;
}
