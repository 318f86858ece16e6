#pragma once
// The calling thread's last system error on the simulated host: what
// GetLastError answers. Every simulated port call that fails sets it to the
// error of that call, as the Win32 call does; calls that succeed leave it.
//
// The ports that report their error in the result (files, device I/O, hub
// I/O, SetupAPI, processes) are wrapped below, so the error is set in one
// place per call; the few failures whose result carries no code (a device
// information list or an event that cannot be created, a process that cannot
// be opened) set it where they are decided.
#include <cstdint>

#include "platform/device_io.h"
#include "platform/files.h"
#include "platform/hub_io.h"
#include "platform/processes.h"
#include "platform/setup_api.h"

namespace hbx::sim {

std::uint32_t threadLastError();
void setThreadLastError(std::uint32_t error);

class LastErrorDeviceIo : public platform::DeviceIoPort {
 public:
  explicit LastErrorDeviceIo(platform::DeviceIoPort& inner) : inner_(inner) {}
  platform::OpenResult openDevice(const std::wstring& name, std::uint32_t desiredAccess,
                                  std::uint32_t shareMode, std::uint32_t flags) override;
  platform::OsHandle createEvent(bool manualReset, bool initialState) override;
  platform::IoctlStart deviceIoControl(platform::OsHandle device, std::uint32_t code,
                                       const std::uint8_t* in, std::uint32_t inLength,
                                       std::uint8_t* out, std::uint32_t outLength,
                                       platform::OsHandle event, platform::OverlappedSlot& slot) override;
  std::uint32_t waitForEvent(platform::OsHandle event, std::uint32_t ms) override;
  bool getOverlappedResult(platform::OsHandle device, platform::OverlappedSlot& slot,
                           std::uint32_t& bytes, std::uint32_t& error) override;
  void cancelIo(platform::OsHandle device) override { inner_.cancelIo(device); }
  void closeHandle(platform::OsHandle handle) override;

 private:
  platform::DeviceIoPort& inner_;
};

class LastErrorHubIo : public platform::HubIoPort {
 public:
  explicit LastErrorHubIo(platform::HubIoPort& inner) : inner_(inner) {}
  platform::OpenResult openHub(const std::wstring& path, std::uint32_t desiredAccess,
                               std::uint32_t shareMode) override;
  platform::HubIoctlResult hubIoctl(platform::OsHandle hub, std::uint32_t code,
                                    std::vector<std::uint8_t>& inOut) override;
  void closeHub(platform::OsHandle hub) override;

 private:
  platform::HubIoPort& inner_;
};

class LastErrorSetupApi : public platform::SetupApiPort {
 public:
  explicit LastErrorSetupApi(platform::SetupApiPort& inner) : inner_(inner) {}
  platform::OsHandle getClassDevs(const platform::Guid& interfaceClass) override;
  bool enumDeviceInterface(platform::OsHandle list, const platform::Guid& interfaceClass,
                           std::uint32_t index, platform::DeviceInterfaceInfo& info) override;
  platform::PropertyValue deviceRegistryProperty(platform::OsHandle list,
                                                 const platform::DeviceInfoData& device,
                                                 std::uint32_t property,
                                                 std::uint32_t bufferBytes) override;
  bool setPropChangeParams(platform::OsHandle list, const platform::DeviceInfoData& device,
                           std::uint32_t stateChange, std::uint32_t scope, std::uint32_t hwProfile,
                           std::uint32_t& error) override;
  bool callClassInstallerPropChange(platform::OsHandle list, const platform::DeviceInfoData& device,
                                    std::uint32_t& error) override;
  void destroyList(platform::OsHandle list) override;

 private:
  platform::SetupApiPort& inner_;
};

class LastErrorFiles : public platform::FilePort {
 public:
  explicit LastErrorFiles(platform::FilePort& inner) : inner_(inner) {}
  platform::OpenResult createFile(const std::wstring& path, std::uint32_t access,
                                  std::uint32_t shareMode, std::uint32_t creation,
                                  std::uint32_t flags) override;
  platform::FileIoResult readFile(platform::OsHandle file, std::uint8_t* buffer,
                                  std::uint32_t length) override;
  platform::FileIoResult writeFile(platform::OsHandle file, const std::uint8_t* data,
                                   std::uint32_t length) override;
  bool fileSize(platform::OsHandle file, std::int64_t& size, std::uint32_t& error) override;
  bool isDiskFile(platform::OsHandle file) override { return inner_.isDiskFile(file); }
  void closeFile(platform::OsHandle file) override;
  bool deleteFile(const std::wstring& path, std::uint32_t& error) override;
  bool createDirectory(const std::wstring& path, std::uint32_t& error) override;
  bool removeDirectory(const std::wstring& path, std::uint32_t& error) override;
  bool moveFileReplacing(const std::wstring& from, const std::wstring& to, std::uint32_t& error) override;
  int access(const std::wstring& path, int mode, int& crtErrno, std::uint32_t& error) override;
  std::uint32_t fileAttributes(const std::wstring& path, std::uint32_t& error) override;

 private:
  platform::FilePort& inner_;
};

class LastErrorProcesses : public platform::ProcessPort {
 public:
  explicit LastErrorProcesses(platform::ProcessPort& inner) : inner_(inner) {}
  bool processStatusAvailable() override;
  std::optional<std::vector<std::uint32_t>> enumProcesses(std::uint32_t capacity) override;
  std::optional<std::wstring> processBaseName(std::uint32_t pid) override;
  std::uint32_t currentProcessId() override;
  bool terminateProcess(std::uint32_t pid, std::uint32_t exitCode, bool& opened,
                        std::uint32_t& error) override;
  bool requestStop(std::uint32_t pid, std::uint32_t& error) override;
  bool tryLockUpdate() override { return inner_.tryLockUpdate(); }
  void unlockUpdate() override { inner_.unlockUpdate(); }
  platform::ProcessLaunch createProcessAndWait(const std::wstring& commandLine,
                                               const std::wstring& currentDirectory, std::uint32_t waitMs) override;
  platform::ProcessLaunch shellExecuteAndWait(const std::wstring& file, const std::wstring& parameters,
                                              std::uint32_t waitMs) override;

 private:
  platform::ProcessPort& inner_;
};

// The wrapped ports of one host, as the program is given them.
struct LastErrorPorts {
  LastErrorDeviceIo deviceIo;
  LastErrorHubIo hubIo;
  LastErrorSetupApi setupApi;
  LastErrorFiles files;
  LastErrorProcesses processes;
};

}  // namespace hbx::sim
