#include "trace/trace_writer.h"

#include "trace/trace_text.h"

namespace hbx::trace {

TraceWriter::~TraceWriter() {
  if (file_ != platform::kInvalidHandle) files_.closeFile(file_);
}

void TraceWriter::startRecording() {
  std::lock_guard<std::mutex> lock(mutex_);
  frequency_ = clock_.performanceFrequency();
  if (frequency_ <= 0) frequency_ = 1;
  startTicks_ = clock_.performanceCounter();
  active_.store(true, std::memory_order_release);
}

bool TraceWriter::open(const std::wstring& path, std::uint32_t& error) {
  std::lock_guard<std::mutex> lock(mutex_);
  active_.store(false, std::memory_order_release);
  const platform::OpenResult opened =
      files_.createFile(path, platform::access::kGenericWrite, platform::share::kRead,
                        platform::creation::kCreateAlways, 0);
  if (opened.handle == platform::kInvalidHandle) {
    error = opened.error;
    return false;
  }
  file_ = opened.handle;
  path_ = path;
  nlohmann::ordered_json head{{"trace", kFormatName}, {"version", kFormatVersion}};
  bool written = writeLine(head.dump());
  for (const std::string& line : kept_) written = written && writeLine(line);
  kept_.clear();
  if (!written) {
    error = platform::err::kGenFailure;
    return false;
  }
  active_.store(true, std::memory_order_release);
  return true;
}

void TraceWriter::record(const char* call, nlohmann::ordered_json in, nlohmann::ordered_json out) {
  if (!active()) return;
  const std::int64_t ticks = clock_.performanceCounter();
  std::lock_guard<std::mutex> lock(mutex_);
  const auto [thread, added] = threads_.try_emplace(std::this_thread::get_id(), static_cast<int>(threads_.size()) + 1);
  (void)added;
  const std::int64_t us = (ticks - startTicks_) * 1000000 / frequency_;
  nlohmann::ordered_json line{{"n", ++count_}, {"thread", thread->second}, {"us", us},
                              {"call", call},  {"in", std::move(in)},      {"out", std::move(out)}};
  std::string text = line.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
  if (file_ == platform::kInvalidHandle) {
    kept_.push_back(std::move(text));
    return;
  }
  // A trace that can no longer be written stops; the run goes on unchanged.
  if (!writeLine(text)) active_.store(false, std::memory_order_release);
}

bool TraceWriter::writeLine(const std::string& text) {
  const std::string line = text + "\n";
  const platform::FileIoResult written =
      files_.writeFile(file_, reinterpret_cast<const std::uint8_t*>(line.data()), static_cast<std::uint32_t>(line.size()));
  return written.ok && written.bytes == line.size();
}

}  // namespace hbx::trace
