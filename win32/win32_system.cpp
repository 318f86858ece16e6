// System services on Windows: the program's path and folders, the OS version,
// WOW64, the shutdown privilege and restart, version resources, the ANSI code
// page, the debug-output channel and the console.
#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <atomic>
#include <cstdio>
#include <vector>

#include "win32/interrupt_watch.h"
#include "win32/win32_host.h"

namespace hbx::win32 {
namespace {

// Kernel32 functions that older systems do not export: looked up at run time.
template <typename Fn>
Fn kernelFunction(const char* name) {
  HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
  if (!kernel) return nullptr;
  return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(kernel, name)));
}

using IsWow64ProcessFn = BOOL(WINAPI*)(HANDLE, PBOOL);
using IsWow64Process2Fn = BOOL(WINAPI*)(HANDLE, USHORT*, USHORT*);
using Wow64DisableFn = BOOL(WINAPI*)(PVOID*);
using Wow64RevertFn = BOOL(WINAPI*)(PVOID);

// A folder query that reports the length it needs when the buffer is short.
template <typename Query>
std::wstring folderText(Query query) {
  std::vector<wchar_t> buffer(MAX_PATH + 1);
  DWORD length = query(static_cast<DWORD>(buffer.size()), buffer.data());
  if (length >= buffer.size()) {
    buffer.resize(length + 1);
    length = query(static_cast<DWORD>(buffer.size()), buffer.data());
  }
  if (length == 0 || length >= buffer.size()) return L"";
  return std::wstring(buffer.data(), length);
}

class Win32System final : public platform::SystemPort {
 public:
  std::wstring moduleFileName(std::uint32_t capacity) override {
    if (capacity == 0) return L"";
    std::vector<wchar_t> buffer(capacity + 1, L'\0');
    const DWORD length = GetModuleFileNameW(nullptr, buffer.data(), capacity);
    // A cut name keeps room for its terminator, as on Windows Vista and later.
    return std::wstring(buffer.data(), length < capacity ? length : capacity - 1);
  }

  bool setCurrentDirectory(const std::wstring& path) override { return SetCurrentDirectoryW(path.c_str()) != FALSE; }
  std::wstring currentDirectory() override {
    return folderText([](DWORD size, wchar_t* buffer) { return GetCurrentDirectoryW(size, buffer); });
  }
  std::wstring tempPath() override {
    return folderText([](DWORD size, wchar_t* buffer) { return GetTempPathW(size, buffer); });
  }
  std::wstring systemDirectory() override {
    return folderText([](DWORD size, wchar_t* buffer) { return static_cast<DWORD>(GetSystemDirectoryW(buffer, size)); });
  }

  platform::OsVersionInfo versionEx() override {
    OSVERSIONINFOW info{};
    info.dwOSVersionInfoSize = sizeof(info);
    platform::OsVersionInfo out;
    out.ok = GetVersionExW(&info) != FALSE;
    out.majorVersion = info.dwMajorVersion;
    out.minorVersion = info.dwMinorVersion;
    out.buildNumber = info.dwBuildNumber;
    out.platformId = info.dwPlatformId;
    return out;
  }

  bool hasIsWow64Process() override { return kernelFunction<IsWow64ProcessFn>("IsWow64Process") != nullptr; }
  bool isWow64Process() override {
    const auto isWow64 = kernelFunction<IsWow64ProcessFn>("IsWow64Process");
    BOOL wow64 = FALSE;
    return isWow64 && isWow64(GetCurrentProcess(), &wow64) && wow64;
  }

  bool isWow64Process2(std::uint16_t& processMachine, std::uint16_t& nativeMachine) override {
    const auto isWow64 = kernelFunction<IsWow64Process2Fn>("IsWow64Process2");
    USHORT process = 0;
    USHORT native = 0;
    if (!isWow64 || !isWow64(GetCurrentProcess(), &process, &native)) return false;
    processMachine = process;
    nativeMachine = native;
    return true;
  }

  std::uint16_t programMachine() override {
#if defined(_M_ARM64) || defined(__aarch64__)
    return platform::machine::kArm64;
#elif defined(_WIN64)
    return platform::machine::kAmd64;
#else
    return platform::machine::kI386;
#endif
  }

  bool disableFsRedirection(std::uintptr_t& token, std::uint32_t& error) override {
    const auto disable = kernelFunction<Wow64DisableFn>("Wow64DisableWow64FsRedirection");
    if (!disable) {
      error = ERROR_INVALID_FUNCTION;
      return false;
    }
    PVOID old = nullptr;
    if (!disable(&old)) {
      error = GetLastError();
      return false;
    }
    token = reinterpret_cast<std::uintptr_t>(old);
    return true;
  }

  bool revertFsRedirection(std::uintptr_t token, std::uint32_t& error) override {
    const auto revert = kernelFunction<Wow64RevertFn>("Wow64RevertWow64FsRedirection");
    if (!revert) {
      error = ERROR_INVALID_FUNCTION;
      return false;
    }
    if (!revert(reinterpret_cast<PVOID>(token))) {
      error = GetLastError();
      return false;
    }
    return true;
  }

  bool enableShutdownPrivilege(std::uint32_t& lastError) override {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token)) {
      lastError = GetLastError();
      return false;
    }
    TOKEN_PRIVILEGES privileges{};
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    LookupPrivilegeValueW(nullptr, L"SeShutdownPrivilege", &privileges.Privileges[0].Luid);
    AdjustTokenPrivileges(token, FALSE, &privileges, 0, nullptr, nullptr);
    // AdjustTokenPrivileges succeeds without the privilege: the last error
    // (ERROR_NOT_ALL_ASSIGNED) tells.
    lastError = GetLastError();
    CloseHandle(token);
    return true;
  }

  bool exitWindows(std::uint32_t flags, std::uint32_t reason) override { return ExitWindowsEx(flags, reason) != FALSE; }

  bool fileVersion(const std::wstring& path, std::uint32_t& versionMs, std::uint32_t& versionLs) override {
    DWORD handle = 0;
    const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &handle);
    if (size == 0) return false;
    std::vector<std::uint8_t> block(size + 1);
    if (!GetFileVersionInfoW(path.c_str(), 0, size, block.data())) return false;
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    if (!VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &length) || !fixed ||
        length < sizeof(VS_FIXEDFILEINFO)) {
      return false;
    }
    versionMs = fixed->dwFileVersionMS;
    versionLs = fixed->dwFileVersionLS;
    return true;
  }

  std::wstring ansiRoundTrip(const std::wstring& text) override {
    if (text.empty()) return L"";
    const int length = static_cast<int>(text.size());
    const int narrowLength = WideCharToMultiByte(CP_ACP, 0, text.c_str(), length, nullptr, 0, nullptr, nullptr);
    if (narrowLength <= 0) return L"";
    std::string narrow(static_cast<std::size_t>(narrowLength), '\0');
    WideCharToMultiByte(CP_ACP, 0, text.c_str(), length, narrow.data(), narrowLength, nullptr, nullptr);
    const int wideLength = MultiByteToWideChar(CP_ACP, 0, narrow.data(), narrowLength, nullptr, 0);
    if (wideLength <= 0) return L"";
    std::wstring wide(static_cast<std::size_t>(wideLength), L'\0');
    MultiByteToWideChar(CP_ACP, 0, narrow.data(), narrowLength, wide.data(), wideLength);
    return wide;
  }

  void outputDebugString(const std::wstring& text) override { OutputDebugStringW(text.c_str()); }

  // Where the console lines go, in this order: the file or pipe a script
  // made standard output (written byte for byte), the console of the
  // program that started this one, and only otherwise a console of its own
  // (which goes when the program ends).
  bool allocConsole() override {
    if (standardOutputRedirected()) {
      _setmode(_fileno(stdout), _O_BINARY);
      std::setvbuf(stdout, nullptr, _IONBF, 0);
      consoleBound_ = true;
      return true;
    }
    if (!AttachConsole(ATTACH_PARENT_PROCESS) && !AllocConsole()) return false;
    // Standard output goes to the console, in text mode and unbuffered.
    FILE* stream = nullptr;
    if (_wfreopen_s(&stream, L"CONOUT$", L"w", stdout) != 0) return false;
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    consoleBound_ = true;
    return true;
  }

  void freeConsole() override {
    consoleBound_ = false;
    FreeConsole();
  }

  void consoleWrite(const std::string& text) override {
    if (!consoleBound_) return;
    std::fwrite(text.data(), 1, text.size(), stdout);
  }

  // Standard error as the process received it (redirected by a script); a
  // GUI process started without one drops the text.
  void errorWrite(const std::string& text) override {
    std::fwrite(text.data(), 1, text.size(), stderr);
    std::fflush(stderr);
  }

  void focusConsole() override {
    HWND console = GetConsoleWindow();
    if (console) SetForegroundWindow(console);
  }

  int interruptRequests() override { return interruptCount(); }
  std::uint32_t lastError() override { return GetLastError(); }

 private:
  // Standard output as the process received it is a file or a pipe that the
  // C library has open.
  static bool standardOutputRedirected() {
    const HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    if (out == nullptr || out == INVALID_HANDLE_VALUE) return false;
    const DWORD type = GetFileType(out);
    return (type == FILE_TYPE_DISK || type == FILE_TYPE_PIPE) && _fileno(stdout) >= 0;
  }

  std::atomic<bool> consoleBound_{false};
};

}  // namespace

platform::SystemPort& systemPort() {
  static Win32System port;
  return port;
}

}  // namespace hbx::win32
