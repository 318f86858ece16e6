#include "sim/last_error.h"

namespace hbx::sim {

namespace {

thread_local std::uint32_t t_lastError = 0;

// Makes `error` the thread's last error when `failed`; hands `result` back.
template <class T>
T noted(T result, bool failed, std::uint32_t error) {
  if (failed) setThreadLastError(error);
  return result;
}

// LoadLibraryW of a library the system does not have.
constexpr std::uint32_t kErrorModNotFound = 126;

}  // namespace

std::uint32_t threadLastError() { return t_lastError; }
void setThreadLastError(std::uint32_t error) { t_lastError = error; }

// Device I/O.

platform::OpenResult LastErrorDeviceIo::openDevice(const std::wstring& name, std::uint32_t desiredAccess,
                                                   std::uint32_t shareMode, std::uint32_t flags) {
  const platform::OpenResult r = inner_.openDevice(name, desiredAccess, shareMode, flags);
  return noted(r, r.handle == platform::kInvalidHandle, r.error);
}

platform::OsHandle LastErrorDeviceIo::createEvent(bool manualReset, bool initialState) {
  return inner_.createEvent(manualReset, initialState);
}

platform::IoctlStart LastErrorDeviceIo::deviceIoControl(platform::OsHandle device, std::uint32_t code,
                                                        const std::uint8_t* in, std::uint32_t inLength,
                                                        std::uint8_t* out, std::uint32_t outLength,
                                                        platform::OsHandle event,
                                                        platform::OverlappedSlot& slot) {
  // A request that goes pending also answers FALSE, with ERROR_IO_PENDING.
  const platform::IoctlStart r = inner_.deviceIoControl(device, code, in, inLength, out, outLength, event, slot);
  return noted(r, !r.returnedTrue, r.error);
}

std::uint32_t LastErrorDeviceIo::waitForEvent(platform::OsHandle event, std::uint32_t ms) {
  const std::uint32_t r = inner_.waitForEvent(event, ms);
  return noted(r, r == platform::wait::kFailed, platform::err::kInvalidHandle);
}

bool LastErrorDeviceIo::getOverlappedResult(platform::OsHandle device, platform::OverlappedSlot& slot,
                                            std::uint32_t& bytes, std::uint32_t& error) {
  const bool ok = inner_.getOverlappedResult(device, slot, bytes, error);
  return noted(ok, !ok, error);
}

void LastErrorDeviceIo::closeHandle(platform::OsHandle handle) { inner_.closeHandle(handle); }

// Hub I/O.

platform::OpenResult LastErrorHubIo::openHub(const std::wstring& path, std::uint32_t desiredAccess,
                                             std::uint32_t shareMode) {
  const platform::OpenResult r = inner_.openHub(path, desiredAccess, shareMode);
  return noted(r, r.handle == platform::kInvalidHandle, r.error);
}

platform::HubIoctlResult LastErrorHubIo::hubIoctl(platform::OsHandle hub, std::uint32_t code,
                                                  std::vector<std::uint8_t>& inOut) {
  const platform::HubIoctlResult r = inner_.hubIoctl(hub, code, inOut);
  return noted(r, !r.ok, r.error);
}

void LastErrorHubIo::closeHub(platform::OsHandle hub) { inner_.closeHub(hub); }

// SetupAPI.

platform::OsHandle LastErrorSetupApi::getClassDevs(const platform::Guid& interfaceClass) {
  return inner_.getClassDevs(interfaceClass);
}

bool LastErrorSetupApi::enumDeviceInterface(platform::OsHandle list, const platform::Guid& interfaceClass,
                                            std::uint32_t index, platform::DeviceInterfaceInfo& info) {
  const bool found = inner_.enumDeviceInterface(list, interfaceClass, index, info);
  if (!found) setThreadLastError(platform::err::kNoMoreItems);
  else if (!info.detailOk) setThreadLastError(info.error);
  return found;
}

platform::PropertyValue LastErrorSetupApi::deviceRegistryProperty(platform::OsHandle list,
                                                                  const platform::DeviceInfoData& device,
                                                                  std::uint32_t property,
                                                                  std::uint32_t bufferBytes) {
  platform::PropertyValue r = inner_.deviceRegistryProperty(list, device, property, bufferBytes);
  if (!r.ok) setThreadLastError(r.error);
  return r;
}

bool LastErrorSetupApi::setPropChangeParams(platform::OsHandle list, const platform::DeviceInfoData& device,
                                            std::uint32_t stateChange, std::uint32_t scope,
                                            std::uint32_t hwProfile, std::uint32_t& error) {
  const bool ok = inner_.setPropChangeParams(list, device, stateChange, scope, hwProfile, error);
  return noted(ok, !ok, error);
}

bool LastErrorSetupApi::callClassInstallerPropChange(platform::OsHandle list,
                                                     const platform::DeviceInfoData& device,
                                                     std::uint32_t& error) {
  const bool ok = inner_.callClassInstallerPropChange(list, device, error);
  return noted(ok, !ok, error);
}

void LastErrorSetupApi::destroyList(platform::OsHandle list) { inner_.destroyList(list); }

// Files.

platform::OpenResult LastErrorFiles::createFile(const std::wstring& path, std::uint32_t access,
                                                std::uint32_t shareMode, std::uint32_t creation,
                                                std::uint32_t flags) {
  const platform::OpenResult r = inner_.createFile(path, access, shareMode, creation, flags);
  return noted(r, r.handle == platform::kInvalidHandle, r.error);
}

platform::FileIoResult LastErrorFiles::readFile(platform::OsHandle file, std::uint8_t* buffer,
                                                std::uint32_t length) {
  const platform::FileIoResult r = inner_.readFile(file, buffer, length);
  return noted(r, !r.ok, r.error);
}

platform::FileIoResult LastErrorFiles::writeFile(platform::OsHandle file, const std::uint8_t* data,
                                                 std::uint32_t length) {
  const platform::FileIoResult r = inner_.writeFile(file, data, length);
  return noted(r, !r.ok, r.error);
}

bool LastErrorFiles::fileSize(platform::OsHandle file, std::int64_t& size, std::uint32_t& error) {
  const bool ok = inner_.fileSize(file, size, error);
  return noted(ok, !ok, error);
}

void LastErrorFiles::closeFile(platform::OsHandle file) { inner_.closeFile(file); }

bool LastErrorFiles::deleteFile(const std::wstring& path, std::uint32_t& error) {
  const bool ok = inner_.deleteFile(path, error);
  return noted(ok, !ok, error);
}

bool LastErrorFiles::moveFileReplacing(const std::wstring& from, const std::wstring& to, std::uint32_t& error) {
  const bool ok = inner_.moveFileReplacing(from, to, error);
  return noted(ok, !ok, error);
}

bool LastErrorFiles::createDirectory(const std::wstring& path, std::uint32_t& error) {
  const bool ok = inner_.createDirectory(path, error);
  return noted(ok, !ok, error);
}

bool LastErrorFiles::removeDirectory(const std::wstring& path, std::uint32_t& error) {
  const bool ok = inner_.removeDirectory(path, error);
  return noted(ok, !ok, error);
}

int LastErrorFiles::access(const std::wstring& path, int mode, int& crtErrno, std::uint32_t& error) {
  const int r = inner_.access(path, mode, crtErrno, error);
  return noted(r, r != 0, error);
}

std::uint32_t LastErrorFiles::fileAttributes(const std::wstring& path, std::uint32_t& error) {
  const std::uint32_t a = inner_.fileAttributes(path, error);
  return noted(a, a == platform::attr::kInvalidAttributes, error);
}

// Processes.

bool LastErrorProcesses::processStatusAvailable() {
  const bool ok = inner_.processStatusAvailable();
  return noted(ok, !ok, kErrorModNotFound);
}

std::optional<std::vector<std::uint32_t>> LastErrorProcesses::enumProcesses(std::uint32_t capacity) {
  return inner_.enumProcesses(capacity);
}

std::optional<std::wstring> LastErrorProcesses::processBaseName(std::uint32_t pid) {
  return inner_.processBaseName(pid);
}

std::uint32_t LastErrorProcesses::currentProcessId() { return inner_.currentProcessId(); }

bool LastErrorProcesses::terminateProcess(std::uint32_t pid, std::uint32_t exitCode, bool& opened,
                                          std::uint32_t& error) {
  const bool ok = inner_.terminateProcess(pid, exitCode, opened, error);
  return noted(ok, !ok, error);
}

bool LastErrorProcesses::requestStop(std::uint32_t pid, std::uint32_t& error) {
  const bool ok = inner_.requestStop(pid, error);
  return noted(ok, !ok, error);
}

platform::ProcessLaunch LastErrorProcesses::createProcessAndWait(const std::wstring& commandLine,
                                                                 const std::wstring& currentDirectory,
                                                                 std::uint32_t waitMs) {
  const platform::ProcessLaunch r = inner_.createProcessAndWait(commandLine, currentDirectory, waitMs);
  return noted(r, !r.started, r.error);
}

platform::ProcessLaunch LastErrorProcesses::shellExecuteAndWait(const std::wstring& file,
                                                                const std::wstring& parameters,
                                                                std::uint32_t waitMs) {
  const platform::ProcessLaunch r = inner_.shellExecuteAndWait(file, parameters, waitMs);
  return noted(r, !r.started, r.error);
}

}  // namespace hbx::sim
