// The ports' behaviour the program relies on, written once against the port
// interfaces: the same cases run on the simulated host (Linux) and on the
// Win32 ports (under Wine in CI). Hub paths are not here: Wine has no hubs.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "platform/ports.h"
#include "tests/contract/contract_host.h"
#include "tools/pe_stub/pe_stub_writer.h"

namespace hbx::contract {
namespace {

namespace err = platform::err;
using platform::kInvalidHandle;

std::vector<std::uint8_t> utf16(const std::wstring& text, bool multi = false) {
  std::vector<std::uint8_t> bytes;
  for (wchar_t c : text + std::wstring(multi ? 2 : 1, L'\0')) {
    bytes.push_back(static_cast<std::uint8_t>(c & 0xFF));
    bytes.push_back(static_cast<std::uint8_t>((c >> 8) & 0xFF));
  }
  return bytes;
}

std::wstring lower(std::wstring text) {
  for (wchar_t& c : text) c = (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c - L'A' + L'a') : c;
  return text;
}

class PortContract : public ::testing::Test {
 protected:
  ContractHost& host = contractHost();
  platform::Ports ports = host.ports();
  std::wstring folder = host.scratchFolder();

  // Writes `bytes` to a new file in the scratch folder through the port.
  std::wstring writeFile(const std::wstring& name, const std::vector<std::uint8_t>& bytes) {
    const std::wstring path = folder + L"\\" + name;
    const auto opened = ports.files.createFile(path, platform::access::kGenericWrite, 0,
                                               platform::creation::kCreateAlways, 0);
    EXPECT_NE(opened.handle, kInvalidHandle) << opened.error;
    if (opened.handle == kInvalidHandle) return path;
    const auto written = ports.files.writeFile(opened.handle, bytes.data(), static_cast<std::uint32_t>(bytes.size()));
    EXPECT_TRUE(written.ok);
    EXPECT_EQ(written.bytes, bytes.size());
    ports.files.closeFile(opened.handle);
    return path;
  }
};

// ---- registry --------------------------------------------------------------

class RegistryContract : public PortContract {
 protected:
  const std::wstring subKey = L"SOFTWARE\\HbxPortContract";
  void SetUp() override { host.createRegistryKey(subKey); }
  void TearDown() override { host.deleteRegistryKey(subKey); }
};

TEST_F(RegistryContract, MissingKeyIsNotCreatedByOpening) {
  const auto missing = ports.registry.openKey(subKey + L"\\Missing", platform::keyaccess::kRead);
  EXPECT_EQ(missing.status, static_cast<std::int32_t>(err::kFileNotFound));
  EXPECT_EQ(missing.key, platform::kNullHandle);
  EXPECT_EQ(ports.registry.openKey(subKey + L"\\Missing", platform::keyaccess::kRead).status,
            static_cast<std::int32_t>(err::kFileNotFound));
}

TEST_F(RegistryContract, ValuesRoundTripWithTheirTypeAndSize) {
  const auto key = ports.registry.openKey(subKey, platform::keyaccess::kRead | platform::keyaccess::kWrite);
  ASSERT_EQ(key.status, 0);
  const std::vector<std::uint8_t> dword{0x78, 0x56, 0x34, 0x12};
  const auto multi = utf16(std::wstring(L"zeltufdriver\0usbhub", 19), true);
  EXPECT_EQ(ports.registry.setValue(key.key, L"Dword", platform::regtype::kDword, dword), 0);
  EXPECT_EQ(ports.registry.setValue(key.key, L"Filters", platform::regtype::kMultiSz, multi), 0);
  EXPECT_EQ(ports.registry.flushKey(key.key), 0);

  struct Case {
    const wchar_t* name;
    std::uint32_t type;
    std::vector<std::uint8_t> bytes;
  };
  for (const Case& c : {Case{L"Dword", platform::regtype::kDword, dword},
                        Case{L"filters", platform::regtype::kMultiSz, multi}}) {
    SCOPED_TRACE(std::string(c.name, c.name + std::wcslen(c.name)));
    std::vector<std::uint8_t> buffer(256, 0xEE);
    const auto read = ports.registry.queryValue(key.key, c.name, buffer);
    EXPECT_EQ(read.status, 0);
    EXPECT_EQ(read.type, c.type);
    ASSERT_EQ(read.size, c.bytes.size());
    EXPECT_EQ(std::vector<std::uint8_t>(buffer.begin(), buffer.begin() + read.size), c.bytes);
  }
  ports.registry.closeKey(key.key);
}

TEST_F(RegistryContract, ShortBufferAnswersMoreDataWithTheStoredSize) {
  const auto key = ports.registry.openKey(subKey, platform::keyaccess::kRead | platform::keyaccess::kWrite);
  ASSERT_EQ(key.status, 0);
  const auto text = utf16(L"a value longer than the buffer");
  ASSERT_EQ(ports.registry.setValue(key.key, L"Text", platform::regtype::kSz, text), 0);
  for (std::size_t capacity : {std::size_t{0}, std::size_t{8}, text.size() - 1}) {
    SCOPED_TRACE(capacity);
    std::vector<std::uint8_t> buffer(capacity);
    const auto read = ports.registry.queryValue(key.key, L"Text", buffer);
    EXPECT_EQ(read.status, static_cast<std::int32_t>(err::kMoreData));
    EXPECT_EQ(read.size, text.size());
    EXPECT_EQ(read.type, platform::regtype::kSz);
  }
  std::vector<std::uint8_t> buffer(64);
  EXPECT_EQ(ports.registry.queryValue(key.key, L"NoSuchValue", buffer).status,
            static_cast<std::int32_t>(err::kFileNotFound));
  ports.registry.closeKey(key.key);
}

// ---- files -------------------------------------------------------------------

TEST_F(PortContract, FileErrorsAreTheSystemCodes) {
  const std::wstring existing = writeFile(L"exists.bin", {1, 2, 3});
  struct Case {
    std::wstring path;
    std::uint32_t creation;
    std::uint32_t error;
  };
  for (const Case& c : {Case{existing, platform::creation::kCreateNew, err::kFileExists},
                        Case{folder + L"\\missing.bin", platform::creation::kOpenExisting, err::kFileNotFound},
                        Case{folder + L"\\no\\such\\folder.bin", platform::creation::kOpenExisting, err::kPathNotFound},
                        Case{folder + L"\\no\\such\\folder.bin", platform::creation::kCreateNew, err::kPathNotFound}}) {
    SCOPED_TRACE(std::string(c.path.begin(), c.path.end()));
    const auto opened = ports.files.createFile(c.path, platform::access::kGenericRead | platform::access::kGenericWrite,
                                               platform::share::kRead, c.creation, 0);
    EXPECT_EQ(opened.handle, kInvalidHandle);
    EXPECT_EQ(opened.error, c.error);
  }
}

TEST_F(PortContract, ShareModesRefuseASecondWriter) {
  const std::wstring path = writeFile(L"shared.bin", {1});
  const auto first = ports.files.createFile(path, platform::access::kGenericRead | platform::access::kGenericWrite,
                                            platform::share::kRead, platform::creation::kOpenExisting, 0);
  ASSERT_NE(first.handle, kInvalidHandle);
  const auto writer = ports.files.createFile(path, platform::access::kGenericWrite, platform::share::kRead |
                                             platform::share::kWrite, platform::creation::kOpenExisting, 0);
  EXPECT_EQ(writer.handle, kInvalidHandle);
  EXPECT_EQ(writer.error, err::kSharingViolation);
  const auto reader = ports.files.createFile(path, platform::access::kGenericRead,
                                             platform::share::kRead | platform::share::kWrite,
                                             platform::creation::kOpenExisting, 0);
  EXPECT_NE(reader.handle, kInvalidHandle);
  if (reader.handle != kInvalidHandle) ports.files.closeFile(reader.handle);
  ports.files.closeFile(first.handle);
  std::uint32_t error = 0;
  EXPECT_TRUE(ports.files.deleteFile(path, error)) << error;
}

TEST_F(PortContract, WholeFileReadsBackWhatWasWritten) {
  std::vector<std::uint8_t> bytes(70000);
  for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<std::uint8_t>(i * 7);
  const std::wstring path = writeFile(L"data.bin", bytes);
  std::vector<std::uint8_t> read;
  std::uint32_t error = 0;
  ASSERT_TRUE(platform::readWholeFile(ports.files, path, read, error)) << error;
  EXPECT_EQ(read, bytes);
  EXPECT_FALSE(platform::readWholeFile(ports.files, folder + L"\\none.bin", read, error));
  EXPECT_EQ(error, err::kFileNotFound);
}

TEST_F(PortContract, FoldersAndTheAccessTest) {
  const std::wstring sub = folder + L"\\Sub";
  std::uint32_t error = 0;
  ASSERT_TRUE(ports.files.createDirectory(sub, error)) << error;
  EXPECT_FALSE(ports.files.createDirectory(sub, error));
  EXPECT_EQ(error, err::kAlreadyExists);
  writeFile(L"Sub\\inside.txt", {'x'});
  EXPECT_FALSE(ports.files.removeDirectory(sub, error)) << "a folder with a file is not removed";
  EXPECT_EQ(error, 145u);  // ERROR_DIR_NOT_EMPTY

  int crtErrno = 0;
  EXPECT_EQ(ports.files.access(sub + L"\\inside.txt", 0, crtErrno, error), 0);
  EXPECT_EQ(ports.files.access(sub + L"\\INSIDE.TXT", 6, crtErrno, error), 0) << "names ignore case";
  EXPECT_EQ(ports.files.access(sub + L"\\gone.txt", 0, crtErrno, error), -1);
  EXPECT_EQ(crtErrno, 2);  // ENOENT

  EXPECT_TRUE(ports.files.deleteFile(sub + L"\\inside.txt", error)) << error;
  EXPECT_FALSE(ports.files.deleteFile(sub + L"\\inside.txt", error));
  EXPECT_EQ(error, err::kFileNotFound);
  EXPECT_TRUE(ports.files.removeDirectory(sub, error)) << error;
}

TEST_F(PortContract, ARenameReplacesTheFileItIsGiven) {
  const std::wstring target = writeFile(L"report.json", {'o', 'l', 'd'});
  const std::wstring temporary = writeFile(L"report.json.tmp", {'n', 'e', 'w'});
  std::uint32_t error = 0;
  ASSERT_TRUE(ports.files.moveFileReplacing(temporary, target, error)) << error;
  std::vector<std::uint8_t> read;
  ASSERT_TRUE(platform::readWholeFile(ports.files, target, read, error)) << error;
  EXPECT_EQ(read, (std::vector<std::uint8_t>{'n', 'e', 'w'}));
  EXPECT_FALSE(platform::readWholeFile(ports.files, temporary, read, error)) << "the source is gone";
  EXPECT_FALSE(ports.files.moveFileReplacing(temporary, target, error));
  EXPECT_EQ(error, err::kFileNotFound);
  EXPECT_TRUE(ports.files.deleteFile(target, error)) << error;
}

TEST_F(PortContract, Sha256OfKnownTexts) {
  const auto hex = [this](const std::string& text) {
    platform::Sha256Digest digest{};
    EXPECT_TRUE(ports.digest.sha256(reinterpret_cast<const std::uint8_t*>(text.data()), text.size(), digest));
    std::string out;
    for (std::uint8_t b : digest) out += "0123456789abcdef"[b >> 4], out += "0123456789abcdef"[b & 15];
    return out;
  };
  EXPECT_EQ(hex(""), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
  EXPECT_EQ(hex("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
}

// ---- version resources ------------------------------------------------------

TEST_F(PortContract, FileVersionOfAVersionResource) {
  tools::PeStubOptions versioned;
  versioned.fileVersion = {1, 0, 7, 0};
  tools::PeStubOptions bare;
  bare.withVersionResource = false;
  const std::wstring withVersion = writeFile(L"driver.sys", tools::makePeStub(versioned).bytes);
  const std::wstring without = writeFile(L"bare.sys", tools::makePeStub(bare).bytes);
  const std::wstring text = writeFile(L"notes.txt", {'h', 'i'});

  std::uint32_t ms = 0;
  std::uint32_t ls = 0;
  ASSERT_TRUE(ports.system.fileVersion(withVersion, ms, ls));
  EXPECT_EQ(ms, 0x00010000u);
  EXPECT_EQ(ls, 0x00070000u);
  EXPECT_FALSE(ports.system.fileVersion(without, ms, ls));
  EXPECT_FALSE(ports.system.fileVersion(text, ms, ls));
  EXPECT_FALSE(ports.system.fileVersion(folder + L"\\missing.sys", ms, ls));
}

// ---- resources ------------------------------------------------------------------

TEST_F(PortContract, CarriedFilesByTypeNameAndId) {
  const auto settings = ports.payloads.payload(L"INI", 138);
  ASSERT_TRUE(settings.has_value());
  const std::string text(settings->begin(), settings->end());
  EXPECT_NE(text.find("[fun_item]"), std::string::npos);
  EXPECT_TRUE(ports.payloads.payload(L"ini", 138).has_value()) << "type names ignore case";
  EXPECT_FALSE(ports.payloads.payload(L"INI", 139).has_value());
  EXPECT_FALSE(ports.payloads.payload(L"XYZ", 138).has_value());
}

// ---- paths ----------------------------------------------------------------------

TEST_F(PortContract, ProgramPathAndSystemFolders) {
  const std::wstring module = host.moduleFileName();
  EXPECT_EQ(ports.system.moduleFileName(260), module);
  EXPECT_EQ(ports.system.moduleFileName(4), module.substr(0, 3)) << "a cut name keeps room for its terminator";

  const std::wstring temp = ports.system.tempPath();
  ASSERT_FALSE(temp.empty());
  EXPECT_EQ(temp.back(), L'\\');
  const std::wstring system = lower(ports.system.systemDirectory());
  ASSERT_GT(system.size(), 9u);
  EXPECT_EQ(system.substr(system.size() - 9), L"\\system32");

  const std::wstring previous = ports.system.currentDirectory();
  EXPECT_TRUE(ports.system.setCurrentDirectory(folder));
  EXPECT_EQ(lower(ports.system.currentDirectory()), lower(folder));
  EXPECT_FALSE(ports.system.setCurrentDirectory(folder + L"\\missing"));
  EXPECT_EQ(lower(ports.system.currentDirectory()), lower(folder));
  EXPECT_TRUE(ports.system.setCurrentDirectory(previous));
}

TEST_F(PortContract, AnsiCodePageReplacesWhatItCannotHold) {
  EXPECT_EQ(ports.system.ansiRoundTrip(L"Hub[1] FW 250318"), L"Hub[1] FW 250318");
  EXPECT_EQ(ports.system.ansiRoundTrip(L"\u00e9t\u00e9"), L"\u00e9t\u00e9");
  EXPECT_EQ(ports.system.ansiRoundTrip(L"x\u4e2dy"), L"x?y");
}

// ---- WOW64 ------------------------------------------------------------------------

TEST_F(PortContract, Wow64AnswersAndRedirection) {
  EXPECT_TRUE(ports.system.hasIsWow64Process());
  EXPECT_EQ(ports.system.isWow64Process(), host.expectWow64());
  std::uintptr_t token = 0;
  std::uint32_t error = 0;
  if (host.expectWow64()) {
    ASSERT_TRUE(ports.system.disableFsRedirection(token, error)) << error;
    EXPECT_TRUE(ports.system.revertFsRedirection(token, error)) << error;
  } else {
    EXPECT_FALSE(ports.system.disableFsRedirection(token, error));
    EXPECT_EQ(error, 1u);  // ERROR_INVALID_FUNCTION
  }
}

// Both builds tell the same machine: a WOW64 process is the 32-bit build on
// 64-bit Windows, and the 64-bit build runs on nothing else.
TEST_F(PortContract, MachinesOfTheProgramAndOfWindows) {
  const std::uint16_t program = ports.system.programMachine();
  EXPECT_TRUE(program == platform::machine::kI386 || program == platform::machine::kAmd64) << program;
  std::uint16_t process = 0xFFFF;
  std::uint16_t native = 0xFFFF;
  if (!ports.system.isWow64Process2(process, native)) GTEST_SKIP() << "kernel32 without IsWow64Process2";
  EXPECT_EQ(process != platform::machine::kUnknown, host.expectWow64());
  if (host.expectWow64()) {
    EXPECT_EQ(process, platform::machine::kI386);
  }
  if (host.expectWow64() || program != platform::machine::kI386) {
    EXPECT_NE(native, platform::machine::kI386);
  }
}

// ---- processes --------------------------------------------------------------------

TEST_F(PortContract, OwnProcessIsListedByItsBaseName) {
  ASSERT_TRUE(ports.processes.processStatusAvailable());
  const std::uint32_t self = ports.processes.currentProcessId();
  const auto ids = ports.processes.enumProcesses(1024);
  ASSERT_TRUE(ids.has_value());
  EXPECT_NE(std::find(ids->begin(), ids->end(), self), ids->end());
  const std::wstring module = host.moduleFileName();
  const auto name = ports.processes.processBaseName(self);
  ASSERT_TRUE(name.has_value());
  EXPECT_EQ(lower(*name), lower(module.substr(module.rfind(L'\\') + 1)));
}

TEST_F(PortContract, TheUpdateLockIsTakenOnceUntilGivenUp) {
  ASSERT_TRUE(ports.processes.tryLockUpdate());
  EXPECT_FALSE(ports.processes.tryLockUpdate());
  ports.processes.unlockUpdate();
  EXPECT_TRUE(ports.processes.tryLockUpdate());
  ports.processes.unlockUpdate();
  ports.processes.unlockUpdate();  // giving up a lock not held does nothing
  EXPECT_TRUE(ports.processes.tryLockUpdate());
  ports.processes.unlockUpdate();
}

// The wait on a request's event: a set event answers at once, an unset one
// when the time has passed, and a handle that is no event fails.
TEST_F(PortContract, WaitOnAnEvent) {
  platform::DeviceIoPort& io = ports.deviceIo;
  const platform::OsHandle set = io.createEvent(true, true);
  const platform::OsHandle unset = io.createEvent(true, false);
  ASSERT_NE(set, platform::kNullHandle);
  ASSERT_NE(unset, platform::kNullHandle);
  EXPECT_EQ(io.waitForEvent(set, 0), platform::wait::kObject0);
  EXPECT_EQ(io.waitForEvent(set, 20), platform::wait::kObject0);
  EXPECT_EQ(io.waitForEvent(unset, 0), platform::wait::kTimeout);
  EXPECT_EQ(io.waitForEvent(unset, 20), platform::wait::kTimeout);
  io.closeHandle(set);
  io.closeHandle(unset);
  EXPECT_EQ(io.waitForEvent(platform::kNullHandle, 0), platform::wait::kFailed);
}

TEST_F(PortContract, ProcessErrors) {
  bool opened = true;
  std::uint32_t error = 0;
  // Process ids are multiples of four: this one never runs.
  EXPECT_FALSE(ports.processes.terminateProcess(0x7FFFFFF3, 0, opened, error));
  EXPECT_FALSE(opened);
  EXPECT_EQ(error, err::kInvalidParameter);
  const auto launch = ports.processes.createProcessAndWait(L"hbx-no-such-program.exe /x", folder, 1000);
  EXPECT_FALSE(launch.started);
  EXPECT_EQ(launch.error, err::kFileNotFound);
}

}  // namespace
}  // namespace hbx::contract
