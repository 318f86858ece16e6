#pragma once
// The files of one hub in a bench folder, shared by every process on the
// bench: "hubs/<name>.flash" (image 0 then image 1), "hubs/<name>.state"
// (its running state) and "hubs/<name>.lock". A process touches the first
// two only while it holds an exclusive flock of the lock file; the lock goes
// with the process, also when it is killed. The lock file also holds a
// generation number that every writer raises, so a process can tell whether
// its copy of the hub is still current without reading the files again.
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace hbx::sim::hub {

class HubFiles {
 public:
  HubFiles(const std::filesystem::path& folder, const std::string& hub);
  ~HubFiles();
  HubFiles(const HubFiles&) = delete;
  HubFiles& operator=(const HubFiles&) = delete;

  // Opens (creates) the lock file. False when it cannot be created.
  bool open();
  const std::filesystem::path& lockFile() const { return lock_; }
  const std::filesystem::path& flashFile() const { return flash_; }

  // Blocks until this process holds the hub's files.
  void lock();
  void unlock();

  // Held: 0 for a lock file that was never written.
  std::uint64_t generation() const;
  void setGeneration(std::uint64_t generation);

  // The flash's bytes when the file has `size` of them. Called whenever the
  // generation changed: another process may have replaced the file.
  std::optional<std::vector<std::uint8_t>> readFlash(std::size_t size);
  // Stores `length` changed bytes from `from` of the whole content. A change
  // inside one page is written in place (the kernel copies a page whole, so
  // a process killed meanwhile leaves the old or the new bytes); a larger one
  // rewrites the file beside it and renames it over the old.
  bool writeFlash(const std::vector<std::uint8_t>& bytes, std::uint32_t from, std::uint32_t length);

  // The kept running state; nothing when there is none or it is not JSON.
  std::optional<nlohmann::json> readState() const;
  // Replaces the state file whole (a new file renamed over the old).
  bool writeState(const std::string& text);

  // Removes the state file under the lock and raises the generation, so
  // every process reloads the hub (it boots from its flash).
  bool forgetState();

 private:
  std::filesystem::path flash_;
  std::filesystem::path state_;
  std::filesystem::path lock_;
  int lockFd_ = -1;
  int flashFd_ = -1;  // for in-place writes; closed whenever the file may have been replaced
};

}  // namespace hbx::sim::hub
