// The handle owners and the small helpers: what closes when, what survives a close, and the
// names and codes handed to Windows.

#include <windows.h>
#include <gtest/gtest.h>

#include <string>

#include "service_object/win32/module_name.h"
#include "service_object/win32/serial_writer.h"
#include "shared/win32/unique_handle.h"

namespace varnel::win32 {
namespace {

using kit::win32::UniqueEvent;
using kit::win32::UniqueFileHandle;
using kit::win32::UniqueRegistryKey;

bool handle_is_open(HANDLE handle) {
  DWORD flags = 0;
  return GetHandleInformation(handle, &flags) != 0;
}

HANDLE new_event() { return CreateEventW(nullptr, FALSE, FALSE, nullptr); }

TEST(UniqueHandle, EmptyValueDependsOnTheKindOfHandle) {
  EXPECT_EQ(UniqueFileHandle().get(), INVALID_HANDLE_VALUE);
  EXPECT_FALSE(UniqueFileHandle());
  EXPECT_EQ(UniqueEvent().get(), nullptr);
  EXPECT_FALSE(UniqueEvent());
  EXPECT_EQ(UniqueRegistryKey().get(), nullptr);
  // A failed CreateFileW taken over as is must not be "closed".
  UniqueFileHandle failed(
      CreateFileW(L"Z:\\no\\such\\folder\\file", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
  EXPECT_FALSE(failed);
}

TEST(UniqueHandle, ClosesOnDestructionAndOnReset) {
  HANDLE raw = new_event();
  ASSERT_NE(raw, nullptr);
  {
    UniqueEvent owner(raw);
    EXPECT_TRUE(handle_is_open(raw));
  }
  EXPECT_FALSE(handle_is_open(raw));

  UniqueEvent owner(new_event());
  HANDLE first = owner.get();
  owner.reset(new_event());
  EXPECT_FALSE(handle_is_open(first));
  EXPECT_TRUE(handle_is_open(owner.get()));
}

TEST(UniqueHandle, ResetKeepsTheCallersLastError) {
  UniqueEvent owner(new_event());
  SetLastError(ERROR_FILE_NOT_FOUND);
  owner.reset();
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));

  UniqueRegistryKey key;
  ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE", 0, KEY_QUERY_VALUE, key.put()), ERROR_SUCCESS);
  SetLastError(ERROR_ACCESS_DENIED);
  key.reset();
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
}

TEST(UniqueHandle, MoveTransfersOwnershipAndReleaseGivesItUp) {
  UniqueEvent first(new_event());
  HANDLE raw = first.get();
  UniqueEvent second(std::move(first));
  EXPECT_FALSE(first);  // NOLINT(bugprone-use-after-move): the moved-from state is the point
  { UniqueEvent third = std::move(second); }
  EXPECT_FALSE(handle_is_open(raw));

  UniqueEvent owner(new_event());
  HANDLE kept = owner.release();
  EXPECT_FALSE(owner);
  EXPECT_TRUE(handle_is_open(kept));
  CloseHandle(kept);
}

TEST(UniqueHandle, PutFreesTheOldHandleBeforeItIsOverwritten) {
  UniqueEvent owner(new_event());
  HANDLE first = owner.get();
  HANDLE* slot = owner.put();
  EXPECT_FALSE(handle_is_open(first));
  EXPECT_EQ(*slot, nullptr);
  *slot = new_event();
  EXPECT_TRUE(owner);
  EXPECT_TRUE(handle_is_open(owner.get()));
}

// A pseudo-terminal cannot hold parity, so the selector's mapping is checked here rather than
// on the line.
TEST(DcbParity, SelectorNumbersMapToTheDcbCodes) {
  struct Case {
    int selector;
    BYTE parity;
  };
  const Case cases[] = {
      {0, NOPARITY},    {1, EVENPARITY}, {2, ODDPARITY}, {3, MARKPARITY},
      {4, SPACEPARITY}, {5, NOPARITY},   {-1, NOPARITY}, {0x7fffffff, NOPARITY},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(dcb_parity(static_cast<ParitySelector>(c.selector)), c.parity) << "selector " << c.selector;
  }
}

// The errors a write can end with: the device gone (reopen it), a time-out (the line does not
// move), or any other failure.
TEST(WriteErrors, RemovedDeviceTimeOutAndOtherFailuresAreTold) {
  const struct {
    DWORD error;
    WriteResult result;
  } cases[] = {
      {ERROR_BAD_COMMAND, WriteResult::kPortLost},     {ERROR_NOT_READY, WriteResult::kPortLost},
      {ERROR_DEVICE_REMOVED, WriteResult::kPortLost},  {ERROR_GEN_FAILURE, WriteResult::kPortLost},
      {ERROR_INVALID_HANDLE, WriteResult::kPortLost},  {ERROR_OPERATION_ABORTED, WriteResult::kPortLost},
      {ERROR_SEM_TIMEOUT, WriteResult::kTimedOut},     {ERROR_TIMEOUT, WriteResult::kTimedOut},
      {ERROR_INVALID_PARAMETER, WriteResult::kFailed}, {ERROR_NOT_ENOUGH_MEMORY, WriteResult::kFailed},
      {ERROR_IO_PENDING, WriteResult::kFailed},
  };
  for (const auto& c : cases) EXPECT_EQ(win32::classify_write_error(c.error), c.result) << c.error;
}

TEST(SpeedApplied, AReadBackWithinThreePerCentCounts) {
  const struct {
    DWORD requested, reported;
    bool applied;
  } cases[] = {
      {9600, 9600, true}, {115200, 115384, true}, {115200, 111600, false}, {12345, 38400, false},
      {9600, 0, false},   {9600, 9888, true},     {9600, 9889, false},     {4294967295u, 4294967295u, true},
  };
  for (const auto& c : cases)
    EXPECT_EQ(win32::speed_applied(c.requested, c.reported), c.applied) << c.requested;
}

TEST(FileStem, StripsFolderAndLastExtensionOnly) {
  struct Case {
    std::wstring_view path;
    std::wstring_view expected;
  };
  const Case cases[] = {
      {L"C:\\Program Files (x86)\\Kit\\VARNEL.dll", L"VARNEL"},
      {L"C:\\x.y\\name", L"name"},
      {L"C:\\dir\\archive.tar.gz", L"archive.tar"},
      {L"\\\\?\\C:\\long\\path\\test.EXE", L"test"},
      {L"Z:/tmp/build/program.exe", L"program"},
      {L"plain.dll", L"plain"},
      {L"noext", L"noext"},
      {L"C:\\folder\\", L""},
      {L"", L""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(file_stem(c.path), c.expected) << std::string(c.path.begin(), c.path.end());
  }
}

}  // namespace
}  // namespace varnel::win32
