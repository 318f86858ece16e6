#pragma once
// Reads a trace (JSON Lines, docs/trace.md) whole, checking every line
// before the replay relies on it: the format line first, then one call per
// line with the answer fields its call has, of the right types.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

namespace hbx::trace {

struct TraceEntry {
  std::size_t line = 0;  // 1-based line of the trace file
  std::string call;
  nlohmann::ordered_json in;
  nlohmann::ordered_json out;
};

struct TraceLoad {
  std::vector<TraceEntry> entries;
  std::string error;  // empty when the whole trace was read; else the line and what is wrong
};

TraceLoad readTrace(std::string_view text);

}  // namespace hbx::trace
