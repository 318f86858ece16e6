#pragma once
// System services of the simulated host: the program's path and folders, the
// OS identity, WOW64, the restart request (recorded, never carried out), file
// version resources, the ANSI code page, the debug-output channel and the
// console.
#include <atomic>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <mutex>
#include <optional>
#include <string>

#include "platform/system.h"

namespace hbx::sim {

class WinPaths;
class SimFiles;

struct SimOsIdentity {
  std::uint32_t majorVersion = 6;  // what GetVersionExW reports (6.2 from Windows 8 on)
  std::uint32_t minorVersion = 2;
  std::uint32_t buildNumber = 9200;
  std::uint32_t platformId = platform::kVerPlatformWin32Nt;
  bool hasIsWow64Process = true;
  bool hasIsWow64Process2 = true;
  // The machine Windows runs on and the one the program was built for: by
  // default the 32-bit program on x64 Windows.
  std::uint16_t nativeMachine = platform::machine::kAmd64;
  std::uint16_t programMachine = platform::machine::kI386;
  bool shutdownPrivilegeGranted = true;
  bool restartAccepted = true;

  // A 32-bit program on 64-bit Windows (x64 or ARM64) runs under WOW64; a
  // 64-bit program never does.
  bool wow64() const {
    return programMachine == platform::machine::kI386 && nativeMachine != platform::machine::kI386;
  }
};

class SimSystem : public platform::SystemPort {
 public:
  SimSystem(WinPaths& paths, std::wstring moduleFileName,
            std::function<void(const std::string&)> standardOutput,
            std::function<void(const std::string&)> standardError = nullptr);

  void setIdentity(const SimOsIdentity& identity);
  const SimOsIdentity& identity() const { return identity_; }
  // Every string sent to the debug-output channel is appended to this file.
  void setDebugLogFile(const std::filesystem::path& file);
  // Called with every debug-output string (UTF-8) once it is written, on the
  // sending thread (bench field holdAtLog).
  void setDebugOutputHook(std::function<void(const std::string&)> hook) { debugHook_ = std::move(hook); }
  // How many forced restarts the program asked for. On a bench folder each
  // request is also appended as a line to `file`.
  int restartRequests() const { return restartRequests_.load(); }
  void setRestartLog(const std::filesystem::path& file);
  bool consoleAllocated() const { return consoleAllocated_.load(); }
  // The user or the system asks the program to stop: a signal of the Linux
  // program (sim/signal_watch.h), or a test.
  void interrupt() { interrupts_.fetch_add(1); }
  // Whether the calling thread has switched file-system redirection off.
  bool fsRedirectionDisabled() const;

  std::wstring moduleFileName(std::uint32_t capacity) override;
  bool setCurrentDirectory(const std::wstring& path) override;
  std::wstring currentDirectory() override;
  std::wstring tempPath() override;
  std::wstring systemDirectory() override;
  platform::OsVersionInfo versionEx() override;
  bool hasIsWow64Process() override;
  bool isWow64Process() override;
  bool isWow64Process2(std::uint16_t& processMachine, std::uint16_t& nativeMachine) override;
  std::uint16_t programMachine() override { return identity_.programMachine; }
  bool disableFsRedirection(std::uintptr_t& token, std::uint32_t& error) override;
  bool revertFsRedirection(std::uintptr_t token, std::uint32_t& error) override;
  bool enableShutdownPrivilege(std::uint32_t& lastError) override;
  bool exitWindows(std::uint32_t flags, std::uint32_t reason) override;
  bool fileVersion(const std::wstring& path, std::uint32_t& versionMs,
                   std::uint32_t& versionLs) override;
  std::wstring ansiRoundTrip(const std::wstring& text) override;
  void outputDebugString(const std::wstring& text) override;
  bool allocConsole() override;
  void freeConsole() override;
  void consoleWrite(const std::string& text) override;
  void errorWrite(const std::string& text) override;
  void focusConsole() override {}
  int interruptRequests() override { return interrupts_.load(); }
  std::uint32_t lastError() override;

 private:
  WinPaths& paths_;
  std::wstring moduleFileName_;
  std::function<void(const std::string&)> standardOutput_;
  std::function<void(const std::string&)> standardError_;
  SimOsIdentity identity_;
  std::mutex debugMutex_;
  std::ofstream debugLog_;
  std::function<void(const std::string&)> debugHook_;  // set once while the host is built
  std::atomic<int> restartRequests_{0};
  std::mutex restartMutex_;
  std::optional<std::filesystem::path> restartLog_;
  std::atomic<bool> consoleAllocated_{false};
  std::atomic<int> interrupts_{0};
};

}  // namespace hbx::sim
