// Windows paths on the simulated host and the Windows file semantics.
#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <thread>

#include "base/log/format.h"
#include <nlohmann/json.hpp>

#include "sim/host_faults.h"
#include "sim/sim_files.h"
#include "sim/win_paths.h"
#include "tests/sim/temp_folder.h"

namespace hbx::sim {
namespace {

namespace fs = std::filesystem;
using namespace platform;

class PathsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder.write("Tools/FW.bin", "x");
    fs::create_directories(folder.path() / "Tools" / "Sub");
  }
  hbx::testing::TempFolder folder;
  WinPaths paths{folder.path(), L"C:\\Tools"};
};

TEST_F(PathsTest, ResolvesWindowsPathsIgnoringCase) {
  const fs::path bin = folder.path() / "Tools" / "FW.bin";
  struct Case {
    const wchar_t* windows;
    fs::path host;
  } cases[] = {
      {L"C:\\tools\\fw.BIN", bin},
      {L"c:/TOOLS/Fw.bin", bin},
      {L"FW.BIN", bin},                       // relative to the current folder
      {L".\\sub\\..\\fw.bin", bin},
      {L"\\Tools\\fw.bin", bin},              // drive-relative
      {L"C:\\Tools\\New.txt", folder.path() / "Tools" / "New.txt"},  // a new name keeps its case
      {L"C:\\..\\..\\Tools\\fw.bin", bin},    // cannot climb above the drive
      {L"Z:\\tmp", fs::path("/tmp")},
  };
  for (const Case& c : cases) {
    const auto host = paths.toHost(c.windows);
    ASSERT_TRUE(host.has_value()) << toUtf8(c.windows);
    EXPECT_EQ(*host, c.host) << toUtf8(c.windows);
  }
  for (const wchar_t* refused : {L"D:\\x", L"\\\\.\\ZELTFILTER0", L"\\\\?\\C:\\x"}) {
    EXPECT_FALSE(paths.toHost(refused).has_value()) << toUtf8(refused);
  }
  EXPECT_EQ(WinPaths::fromHost("/tmp/a/"), L"Z:\\tmp\\a");
}

TEST_F(PathsTest, SystemFolderIsRedirectedPerThreadUnderWow64) {
  const fs::path windows = folder.path() / "Windows";
  struct Case {
    const wchar_t* path;
    fs::path redirected;  // on a thread with redirection on
    fs::path native;      // with it off, and as the 64-bit system sees it
  } cases[] = {
      {L"C:\\Windows\\System32\\drivers\\x.sys", windows / "SysWOW64" / "drivers" / "x.sys",
       windows / "System32" / "drivers" / "x.sys"},
      {L"C:\\Windows\\SYSTEM32", windows / "SysWOW64", windows / "SYSTEM32"},
      {L"C:\\Windows\\System32\\drivers\\etc\\hosts", windows / "System32" / "drivers" / "etc" / "hosts",
       windows / "System32" / "drivers" / "etc" / "hosts"},
      {L"C:\\Windows\\System32\\spool", windows / "System32" / "spool", windows / "System32" / "spool"},
      {L"C:\\Windows\\Sysnative\\cmd.exe", windows / "System32" / "cmd.exe", windows / "Sysnative" / "cmd.exe"},
      {L"C:\\Windows\\Temp", windows / "Temp", windows / "Temp"},
  };
  paths.setWow64(true);
  for (const Case& c : cases) {
    SCOPED_TRACE(toUtf8(c.path));
    EXPECT_EQ(paths.toHost(c.path), c.redirected);
    EXPECT_EQ(paths.toHostNative(c.path), c.native);
    paths.setRedirectionOff(true);
    EXPECT_EQ(paths.toHost(c.path), c.native);
    // The switch is this thread's only.
    std::thread([&] { EXPECT_EQ(paths.toHost(c.path), c.redirected); }).join();
    paths.setRedirectionOff(false);
  }
  // A 32-bit Windows has one system folder.
  paths.setWow64(false);
  EXPECT_EQ(paths.toHost(L"C:\\Windows\\System32"), windows / "System32");
}

class FilesTest : public PathsTest {
 protected:
  SimFiles files{paths};
};

TEST_F(FilesTest, CreationDispositions) {
  const OpenResult again = files.createFile(L"C:\\Tools\\fw.bin", access::kGenericWrite, 0, creation::kCreateNew, 0);
  EXPECT_EQ(again.handle, kInvalidHandle);
  EXPECT_EQ(again.error, err::kFileExists);

  const OpenResult fresh = files.createFile(L"C:\\Tools\\new.bin", access::kGenericWrite, 0, creation::kCreateNew, 0);
  ASSERT_NE(fresh.handle, kInvalidHandle);
  const std::uint8_t data[3] = {1, 2, 3};
  EXPECT_EQ(files.writeFile(fresh.handle, data, 3).bytes, 3u);
  files.closeFile(fresh.handle);
  EXPECT_EQ(fs::file_size(folder.path() / "Tools" / "new.bin"), 3u);

  EXPECT_EQ(files.createFile(L"C:\\Tools\\none.bin", access::kGenericRead, 0, creation::kOpenExisting, 0).error,
            err::kFileNotFound);
  EXPECT_EQ(files.createFile(L"C:\\Nowhere\\x.bin", access::kGenericRead, 0, creation::kOpenExisting, 0).error,
            err::kPathNotFound);
  EXPECT_EQ(files.createFile(L"C:\\Tools\\Sub", access::kGenericRead, 0, creation::kOpenExisting, 0).error,
            err::kAccessDenied);
}

TEST_F(FilesTest, ShareModesBetweenOpenHandles) {
  const OpenResult reader = files.createFile(L"C:\\Tools\\fw.bin", access::kGenericRead, share::kRead,
                                             creation::kOpenExisting, 0);
  ASSERT_NE(reader.handle, kInvalidHandle);
  // The reader does not share writing, and a writer's share must cover reading.
  EXPECT_EQ(files.createFile(L"C:\\TOOLS\\FW.BIN", access::kGenericWrite, share::kRead | share::kWrite,
                             creation::kOpenExisting, 0).error,
            err::kSharingViolation);
  EXPECT_EQ(files.createFile(L"C:\\Tools\\fw.bin", access::kGenericRead, 0, creation::kOpenExisting, 0).error,
            err::kSharingViolation);
  const OpenResult second = files.createFile(L"C:\\Tools\\fw.bin", access::kGenericRead, share::kRead,
                                             creation::kOpenExisting, 0);
  EXPECT_NE(second.handle, kInvalidHandle);
  std::uint32_t error = 0;
  EXPECT_FALSE(files.deleteFile(L"C:\\Tools\\fw.bin", error));
  EXPECT_EQ(error, err::kSharingViolation);
  files.closeFile(second.handle);
  files.closeFile(reader.handle);
  EXPECT_TRUE(files.deleteFile(L"C:\\Tools\\fw.bin", error));
}

TEST_F(FilesTest, AccessTest) {
  const fs::path readOnly = folder.write("Tools/ro.txt", "r");
  fs::permissions(readOnly, fs::perms::owner_read | fs::perms::group_read);
  struct Case {
    const wchar_t* path;
    int mode;
    int result;
    int crtErrno;
    std::uint32_t error;
  } cases[] = {
      {L"C:\\Tools\\fw.bin", 6, 0, 0, 0},
      {L"C:\\Tools\\Sub", 6, 0, 0, 0},
      {L"C:\\Tools\\ro.txt", 0, 0, 0, 0},
      {L"C:\\Tools\\ro.txt", 4, 0, 0, 0},
      {L"C:\\Tools\\ro.txt", 6, -1, EACCES, err::kAccessDenied},
      {L"C:\\Tools\\none.txt", 0, -1, ENOENT, err::kFileNotFound},
      {L"C:\\None\\none.txt", 0, -1, ENOENT, err::kPathNotFound},
  };
  for (const Case& c : cases) {
    int crtErrno = 0;
    std::uint32_t error = 0;
    EXPECT_EQ(files.access(c.path, c.mode, crtErrno, error), c.result) << toUtf8(c.path) << " mode " << c.mode;
    EXPECT_EQ(crtErrno, c.crtErrno) << toUtf8(c.path);
    EXPECT_EQ(error, c.error) << toUtf8(c.path);
  }
}

// Tests run as root, which writes anywhere: the simulator itself refuses every
// change inside a read-only folder, and only there.
TEST_F(FilesTest, ReadOnlyFolderRefusesEveryChangeInsideIt) {
  folder.write("Tools/Sub/old.txt", "o");
  files.makeFolderReadOnly(L"C:\\tools");
  std::uint32_t error = 0;
  int crtErrno = 0;
  EXPECT_EQ(files.createFile(L"C:\\Tools\\new.bin", access::kGenericWrite, 0, creation::kCreateNew, 0).error,
            err::kAccessDenied);
  EXPECT_EQ(files.createFile(L"C:\\Tools\\Sub\\old.txt", access::kGenericWrite, 0, creation::kOpenExisting, 0).error,
            err::kAccessDenied);
  EXPECT_FALSE(files.deleteFile(L"C:\\Tools\\fw.bin", error));
  EXPECT_EQ(error, err::kAccessDenied);
  EXPECT_FALSE(files.createDirectory(L"C:\\Tools\\Sub\\New", error));
  EXPECT_EQ(error, err::kAccessDenied);
  EXPECT_FALSE(files.removeDirectory(L"C:\\Tools\\Sub", error));
  EXPECT_EQ(error, err::kAccessDenied);
  EXPECT_EQ(files.access(L"C:\\Tools", 6, crtErrno, error), -1);
  EXPECT_EQ(files.access(L"C:\\Tools\\fw.bin", 6, crtErrno, error), -1);
  EXPECT_EQ(files.access(L"C:\\Tools\\fw.bin", 4, crtErrno, error), 0);
  const OpenResult reader = files.createFile(L"C:\\Tools\\fw.bin", access::kGenericRead, share::kRead,
                                             creation::kOpenExisting, 0);
  EXPECT_NE(reader.handle, kInvalidHandle);
  files.closeFile(reader.handle);
  // A folder beside it whose name starts the same is not inside it.
  fs::create_directories(folder.path() / "ToolsOther");
  EXPECT_TRUE(files.createDirectory(L"C:\\ToolsOther\\New", error));
}

TEST_F(FilesTest, FileHeldByAnotherProgramCannotBeOpenedOrDeleted) {
  files.heldByAnotherProgram("FW.BIN");
  std::uint32_t error = 0;
  EXPECT_EQ(files.createFile(L"C:\\Tools\\fw.bin", access::kGenericRead, share::kRead, creation::kOpenExisting, 0).error,
            err::kSharingViolation);
  EXPECT_FALSE(files.deleteFile(L"C:\\Tools\\fw.bin", error));
  EXPECT_EQ(error, err::kSharingViolation);
  const OpenResult other = files.createFile(L"C:\\Tools\\other.bin", access::kGenericWrite, 0, creation::kCreateNew, 0);
  EXPECT_NE(other.handle, kInvalidHandle);
  files.closeFile(other.handle);
}

TEST(HostFaultsTest, RefusesAWrongHostSectionNamingThePlace) {
  struct Case {
    const char* json;
    const char* place;
  } cases[] = {
      {R"({"host": {"diskFull": true}})", "/host/diskFull: unknown key"},
      {R"({"host": {"shortWriteTo": "C:\\x\\a.bin"}})", "/host/shortWriteTo: expected a file name"},
      {R"({"host": {"sharingViolationOn": 3}})", "/host/sharingViolationOn"},
      {R"({"host": {"readOnlyFolders": "C:\\x"}})", "/host/readOnlyFolders: expected an array"},
      {R"({"host": {"readOnlyFolders": ["x"]}})", "/host/readOnlyFolders/0"},
      {R"({"host": {"driverInstall": "maybe"}})", "/host/driverInstall"},
  };
  for (const Case& c : cases) {
    const HostFaultsLoad load = readHostFaults(nlohmann::json::parse(c.json));
    EXPECT_NE(load.error.find(c.place), std::string::npos) << c.json << " gave: " << load.error;
  }
  const HostFaultsLoad whole = readHostFaults(nlohmann::json::parse(
      R"({"host": {"shortWriteTo": "a.bin", "readOnlyFolders": ["C:\\x"], "driverInstall": "restartNeeded"}})"));
  EXPECT_EQ(whole.error, "");
  EXPECT_EQ(whole.faults.shortWriteTo, "a.bin");
  EXPECT_EQ(whole.faults.driverInstall, setup::InstallOutcome::RestartNeeded);
}

}  // namespace
}  // namespace hbx::sim
