#include "sim/trace_replay.h"

#include <fstream>
#include <iterator>

namespace hbx::sim {

namespace fs = std::filesystem;

ReplayLoad loadReplay(const fs::path& benchFolder, const nlohmann::json& benchDocument) {
  ReplayLoad load;
  fs::path file = benchFolder / "trace.jsonl";
  if (benchDocument.is_object() && benchDocument.contains("trace")) {
    const nlohmann::json& named = benchDocument["trace"];
    if (!named.is_string() || named.get<std::string>().empty()) {
      load.error = "/trace: expected a file name";
      return load;
    }
    file = benchFolder / named.get<std::string>();
  } else {
    std::error_code ec;
    if (!fs::exists(file, ec)) return load;
  }
  std::ifstream in(file, std::ios::binary);
  if (!in) {
    load.error = file.string() + ": cannot be read";
    return load;
  }
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  trace::TraceLoad trace = trace::readTrace(text);
  if (!trace.error.empty()) {
    load.error = file.string() + ": " + trace.error;
    return load;
  }
  load.ports = std::make_unique<trace::ReplayPorts>(std::move(trace.entries));
  return load;
}

}  // namespace hbx::sim
