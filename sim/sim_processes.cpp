#include "sim/sim_processes.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <fstream>
#include <sstream>
#include <system_error>

#include "base/log/format.h"
#include "sim/last_error.h"

namespace hbx::sim {

namespace fs = std::filesystem;

namespace {

constexpr std::size_t kMaxRegistrationBytes = 4096;
// Further copies inside one test process take ids above every Linux pid.
constexpr std::uint32_t kIdStride = 0x01000000;
constexpr int kIdCandidates = 200;
// How long TerminateProcess waits for a tool of this machine to be gone.
constexpr int kTerminateWaitMs = 5000;

std::optional<std::uint32_t> idFromName(const std::string& name) {
  if (name.empty() || name.size() > 10) return std::nullopt;
  std::uint64_t v = 0;
  for (char c : name) {
    if (c < '0' || c > '9') return std::nullopt;
    v = v * 10 + static_cast<std::uint64_t>(c - '0');
  }
  if (v == 0 || v > 0xFFFFFFFFu) return std::nullopt;
  return static_cast<std::uint32_t>(v);
}

std::optional<std::uint64_t> parseNumber(const std::string& text) {
  if (text.empty() || text.size() > 20) return std::nullopt;
  std::uint64_t v = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    v = v * 10 + static_cast<std::uint64_t>(c - '0');
  }
  return v;
}

std::optional<ProcessRegistration> readRegistration(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in) return std::nullopt;
  std::string text(kMaxRegistrationBytes + 1, '\0');
  in.read(text.data(), static_cast<std::streamsize>(text.size()));
  text.resize(static_cast<std::size_t>(in.gcount()));
  if (text.size() > kMaxRegistrationBytes) return std::nullopt;
  ProcessRegistration reg;
  bool havePid = false, haveStart = false, haveImage = false;
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);) {
    const std::size_t eq = line.find('=');
    if (eq == std::string::npos) return std::nullopt;
    const std::string key = line.substr(0, eq);
    const std::string value = line.substr(eq + 1);
    if (key == "pid") {
      const auto v = parseNumber(value);
      if (!v || *v == 0 || *v > 0xFFFFFFFFu) return std::nullopt;
      reg.realPid = static_cast<std::uint32_t>(*v);
      havePid = true;
    } else if (key == "start") {
      const auto v = parseNumber(value);
      if (!v) return std::nullopt;
      reg.startTime = *v;
      haveStart = true;
    } else if (key == "image") {
      reg.image = fromUtf8(value);
      haveImage = !reg.image.empty();
    }
  }
  if (!havePid || !haveStart || !haveImage) return std::nullopt;
  return reg;
}

}  // namespace

std::optional<std::uint64_t> SimProcesses::processStartTime(std::uint32_t realPid) {
  std::ifstream in("/proc/" + std::to_string(realPid) + "/stat");
  if (!in) return std::nullopt;
  std::string stat;
  std::getline(in, stat);
  // The command name may hold blanks and parentheses: fields follow the last ')'.
  const std::size_t close = stat.rfind(')');
  if (close == std::string::npos) return std::nullopt;
  std::istringstream fields(stat.substr(close + 1));
  std::string state;
  fields >> state;
  if (state.empty() || state == "Z" || state == "X") return std::nullopt;  // ended, not yet reaped
  std::string field;
  for (int i = 4; i <= 22 && fields >> field; ++i) {
    if (i == 22) return parseNumber(field);
  }
  return std::nullopt;
}

bool SimProcesses::registerProcess(const fs::path& folder, std::uint32_t id, std::uint32_t realPid,
                                   const std::wstring& image) {
  static std::atomic<unsigned> counter{0};
  const auto start = processStartTime(realPid);
  if (!start) return false;
  std::error_code ec;
  fs::create_directories(folder, ec);
  // Written aside and linked into place, so a registration appears whole and
  // only once.
  const fs::path temp = folder / (".new-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
  {
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    out << "pid=" << realPid << "\nstart=" << *start << "\nimage=" << toUtf8(image) << "\n";
    if (!out) {
      fs::remove(temp, ec);
      return false;
    }
  }
  const fs::path target = folder / std::to_string(id);
  const bool linked = ::link(temp.c_str(), target.c_str()) == 0;
  fs::remove(temp, ec);
  return linked;
}

SimProcesses::SimProcesses(std::wstring ownImageName, std::optional<fs::path> registryFolder,
                           std::vector<BenchProcess> simulated, bool processStatusLibrary)
    : ownImageName_(std::move(ownImageName)),
      folder_(std::move(registryFolder)),
      processStatusLibrary_(processStatusLibrary),
      ownId_(static_cast<std::uint32_t>(::getpid())),
      simulated_(std::move(simulated)) {
  if (folder_) registerSelf();
}

SimProcesses::~SimProcesses() {
  unlockUpdate();
  if (!registered_) return;
  const auto reg = liveRegistration(ownId_);
  std::error_code ec;
  if (reg && reg->realPid == static_cast<std::uint32_t>(::getpid())) fs::remove(*folder_ / std::to_string(ownId_), ec);
}

void SimProcesses::registerSelf() {
  const auto realPid = static_cast<std::uint32_t>(::getpid());
  for (int k = 0; k < kIdCandidates; ++k) {
    const std::uint32_t id = realPid + static_cast<std::uint32_t>(k) * kIdStride;
    if (id == 0) continue;
    // A registration whose process has ended frees its id.
    if (!liveRegistration(id)) {
      std::error_code ec;
      fs::remove(*folder_ / std::to_string(id), ec);
    }
    if (registerProcess(*folder_, id, realPid, ownImageName_)) {
      ownId_ = id;
      registered_ = true;
      return;
    }
  }
}

std::optional<ProcessRegistration> SimProcesses::liveRegistration(std::uint32_t id) const {
  if (!folder_) return std::nullopt;
  auto reg = readRegistration(*folder_ / std::to_string(id));
  if (!reg) return std::nullopt;
  const auto start = processStartTime(reg->realPid);
  if (!start || *start != reg->startTime) return std::nullopt;
  return reg;
}

bool SimProcesses::ownRegistrationPresent() const { return registered_ && liveRegistration(ownId_).has_value(); }

std::optional<std::vector<std::uint32_t>> SimProcesses::enumProcesses(std::uint32_t capacity) {
  std::lock_guard<std::mutex> lock(mutex_);
  std::vector<std::uint32_t> ids;
  if (folder_) {
    std::error_code ec;
    for (fs::directory_iterator it(*folder_, ec), end; !ec && it != end; it.increment(ec)) {
      const auto id = idFromName(it->path().filename().string());
      if (!id) continue;
      if (liveRegistration(*id)) {
        ids.push_back(*id);
      } else {
        std::error_code removeError;
        fs::remove(it->path(), removeError);  // a tool that ended without cleaning up
      }
    }
  }
  if (std::find(ids.begin(), ids.end(), ownId_) == ids.end()) ids.push_back(ownId_);
  for (const BenchProcess& p : simulated_) ids.push_back(p.pid);
  std::sort(ids.begin(), ids.end());
  ids.erase(std::unique(ids.begin(), ids.end()), ids.end());
  if (ids.size() > capacity) ids.resize(capacity);
  return ids;
}

std::optional<std::wstring> SimProcesses::processBaseName(std::uint32_t pid) {
  if (pid == ownId_) return ownImageName_;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    for (const BenchProcess& p : simulated_) {
      if (p.pid != pid) continue;
      if (p.openable) return p.image;
      setThreadLastError(platform::err::kAccessDenied);  // OpenProcess on a process not ours
      return std::nullopt;
    }
  }
  const auto reg = liveRegistration(pid);
  if (!reg) {
    setThreadLastError(platform::err::kInvalidParameter);  // OpenProcess on an id no process has
    return std::nullopt;
  }
  return reg->image;
}

bool SimProcesses::terminateProcess(std::uint32_t pid, std::uint32_t exitCode, bool& opened,
                                    std::uint32_t& error) {
  opened = false;
  if (pid == ownId_) {
    // The program never ends itself; refuse rather than end the test run.
    error = platform::err::kAccessDenied;
    return false;
  }
  {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto it = std::find_if(simulated_.begin(), simulated_.end(),
                                 [pid](const BenchProcess& p) { return p.pid == pid; });
    if (it != simulated_.end()) {
      if (!it->openable) {
        error = platform::err::kAccessDenied;
        return false;
      }
      opened = true;
      simulated_.erase(it);
      return true;
    }
  }
  const auto reg = liveRegistration(pid);
  if (!reg) {
    error = platform::err::kInvalidParameter;  // OpenProcess on an id that does not run
    return false;
  }
  opened = true;
  std::error_code ec;
  if (reg->realPid == static_cast<std::uint32_t>(::getpid())) {
    // Another simulated tool inside this same process (tests): end its
    // registration, never this process.
    fs::remove(*folder_ / std::to_string(pid), ec);
    return true;
  }
  // The tool ends itself at once with the code (TerminateProcess); its
  // interrupt signals would end it the write-safe way instead.
  sigval value{};
  value.sival_int = static_cast<int>(exitCode);
  if (::sigqueue(static_cast<pid_t>(reg->realPid), terminateSignal(), value) != 0) {
    error = platform::err::kAccessDenied;
    return false;
  }
  // Gone before this returns, so nothing it would still do can follow.
  for (int waited = 0; waited < kTerminateWaitMs && processStartTime(reg->realPid) == reg->startTime; waited += 10) {
    const timespec tenMs{0, 10'000'000};
    ::nanosleep(&tenMs, nullptr);
  }
  fs::remove(*folder_ / std::to_string(pid), ec);
  return true;
}

bool SimProcesses::requestStop(std::uint32_t pid, std::uint32_t& error) {
  const auto reg = pid == ownId_ ? std::nullopt : liveRegistration(pid);
  if (!reg) {
    // The tool itself, a simulated process (it has no stop-request window)
    // or an id that does not run.
    error = platform::err::kInvalidParameter;
    return false;
  }
  if (reg->realPid == static_cast<std::uint32_t>(::getpid()) ||
      ::kill(static_cast<pid_t>(reg->realPid), SIGTERM) != 0) {
    error = platform::err::kAccessDenied;
    return false;
  }
  return true;
}

int SimProcesses::terminateSignal() { return SIGUSR1; }

bool SimProcesses::tryLockUpdate() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!folder_) {
    if (updateLocked_) return false;
    updateLocked_ = true;
    return true;
  }
  if (updateLock_ >= 0) return false;
  std::error_code ec;
  fs::create_directories(*folder_, ec);
  const int fd = ::open((*folder_ / "update.lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    ::close(fd);
    return false;
  }
  updateLock_ = fd;
  return true;
}

void SimProcesses::unlockUpdate() {
  std::lock_guard<std::mutex> lock(mutex_);
  updateLocked_ = false;
  if (updateLock_ < 0) return;
  ::flock(updateLock_, LOCK_UN);
  ::close(updateLock_);
  updateLock_ = -1;
}

platform::ProcessLaunch SimProcesses::createProcessAndWait(const std::wstring& commandLine,
                                                          const std::wstring& currentDirectory, std::uint32_t waitMs) {
  // The simulated commands end at once; a handler reports a command that
  // would have outlived the wait.
  if (commandHandler_) {
    if (auto handled = commandHandler_(commandLine, currentDirectory, waitMs)) return *handled;
  }
  return {false, platform::err::kFileNotFound, 0};
}

platform::ProcessLaunch SimProcesses::shellExecuteAndWait(const std::wstring& file, const std::wstring& parameters,
                                                         std::uint32_t) {
  if (shellHandler_) {
    if (auto handled = shellHandler_(file, parameters)) return *handled;
  }
  return {false, platform::err::kFileNotFound, 0};
}

}  // namespace hbx::sim
