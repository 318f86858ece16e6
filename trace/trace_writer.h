#pragma once
// Writes a trace: one JSON document per line, each line handed to the file
// port as soon as it is complete, so a run that is killed keeps every call
// it recorded up to then. Calls come from any thread; each line carries the
// thread (numbered from 1 in the order the threads first recorded) and the
// time since the trace began, in microseconds of the performance counter.
#include <atomic>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <nlohmann/json.hpp>

#include "platform/clock.h"
#include "platform/files.h"

namespace hbx::trace {

class TraceWriter {
 public:
  TraceWriter(platform::FilePort& files, platform::ClockPort& clock) : files_(files), clock_(clock) {}
  ~TraceWriter();
  TraceWriter(const TraceWriter&) = delete;
  TraceWriter& operator=(const TraceWriter&) = delete;

  // From now on calls are recorded, kept in memory until the file is open:
  // the calls made before the program knows its folder belong to the run.
  void startRecording();
  // Creates (or empties) `path` and writes the format line and the calls
  // recorded so far. False with the system error when the file cannot be
  // written; the writer is then off.
  bool open(const std::wstring& path, std::uint32_t& error);
  // Calls are being recorded (kept or written).
  bool active() const { return active_.load(std::memory_order_acquire); }
  // The trace file is open and holds the calls.
  bool writing() const { return file_ != platform::kInvalidHandle && active(); }
  const std::wstring& path() const { return path_; }

  // One call: its name, what the program passed and what it got back.
  void record(const char* call, nlohmann::ordered_json in, nlohmann::ordered_json out);

 private:
  bool writeLine(const std::string& line);

  platform::FilePort& files_;
  platform::ClockPort& clock_;
  std::mutex mutex_;
  std::atomic<bool> active_{false};
  std::wstring path_;
  platform::OsHandle file_ = platform::kInvalidHandle;
  std::int64_t startTicks_ = 0;
  std::int64_t frequency_ = 1;
  std::uint64_t count_ = 0;
  std::vector<std::string> kept_;  // lines recorded before the file was open
  std::map<std::thread::id, int> threads_;
};

}  // namespace hbx::trace
