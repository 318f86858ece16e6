#include "trace/trace_reader.h"

#include <array>
#include <cstdint>

#include "trace/call_inputs.h"
#include "trace/trace_text.h"

namespace hbx::trace {

namespace {

using Json = nlohmann::ordered_json;

enum class Kind { Unsigned, Signed, Boolean, Hex, Text };

struct Field {
  const char* name;
  Kind kind;
};

struct CallShape {
  const char* call;
  std::array<Field, 5> out;  // unused slots have no name
};

// The answer fields of each call, as the replay reads them.
constexpr CallShape kShapes[] = {
    {calls::kOpenHub, {{{"handle", Kind::Unsigned}, {"error", Kind::Unsigned}}}},
    {calls::kHubIoctl, {{{"ok", Kind::Boolean}, {"bytes", Kind::Unsigned}, {"error", Kind::Unsigned}, {"reply", Kind::Hex}}}},
    {calls::kCloseHub, {}},
    {calls::kOpenDevice, {{{"handle", Kind::Unsigned}, {"error", Kind::Unsigned}}}},
    {calls::kCreateEvent, {{{"handle", Kind::Unsigned}}}},
    {calls::kDeviceIoControl, {{{"returnedTrue", Kind::Boolean}, {"error", Kind::Unsigned}}}},
    {calls::kWaitForEvent, {{{"result", Kind::Unsigned}}}},
    {calls::kGetOverlappedResult, {{{"ok", Kind::Boolean}, {"bytes", Kind::Unsigned}, {"error", Kind::Unsigned}, {"reply", Kind::Hex}}}},
    {calls::kCancelIo, {}},
    {calls::kCloseHandle, {}},
    {calls::kGetClassDevs, {{{"handle", Kind::Unsigned}}}},
    {calls::kEnumDeviceInterface, {{{"found", Kind::Boolean}}}},
    {calls::kDeviceRegistryProperty, {{{"ok", Kind::Boolean}, {"error", Kind::Unsigned}, {"regType", Kind::Unsigned}, {"bytes", Kind::Hex}}}},
    {calls::kSetPropChangeParams, {{{"ok", Kind::Boolean}, {"error", Kind::Unsigned}}}},
    {calls::kCallClassInstaller, {{{"ok", Kind::Boolean}, {"error", Kind::Unsigned}}}},
    {calls::kDestroyList, {}},
    {calls::kOpenKey, {{{"key", Kind::Unsigned}, {"status", Kind::Signed}}}},
    {calls::kQueryValue, {{{"status", Kind::Signed}, {"type", Kind::Unsigned}, {"size", Kind::Unsigned}, {"data", Kind::Hex}}}},
    {calls::kSetValue, {{{"status", Kind::Signed}}}},
    {calls::kDeleteValue, {{{"status", Kind::Signed}}}},
    {calls::kFlushKey, {{{"status", Kind::Signed}}}},
    {calls::kCloseKey, {}},
};

// Fields that only some answers carry: checked when they are there.
constexpr Field kOptionalFields[] = {
    {"reply", Kind::Hex}, {"detailOk", Kind::Boolean}, {"path", Kind::Text}, {"devInst", Kind::Unsigned},
};

bool fits(const Json& value, Kind kind) {
  switch (kind) {
    case Kind::Unsigned:
      return value.is_number_unsigned() || (value.is_number_integer() && value.get<std::int64_t>() >= 0);
    case Kind::Signed:
      return value.is_number_integer() && value.get<std::int64_t>() >= INT32_MIN &&
             value.get<std::int64_t>() <= INT32_MAX;
    case Kind::Boolean:
      return value.is_boolean();
    case Kind::Hex:
      return value.is_string() && bytesOfHex(value.get<std::string>()).has_value();
    case Kind::Text:
      return value.is_string();
  }
  return false;
}

const CallShape* shapeOf(const std::string& call) {
  for (const CallShape& shape : kShapes)
    if (call == shape.call) return &shape;
  return nullptr;
}

std::string checkEntry(const Json& line, TraceEntry& entry) {
  if (!line.is_object()) return "expected an object";
  if (!line.contains("call") || !line["call"].is_string()) return "expected \"call\"";
  entry.call = line["call"].get<std::string>();
  const CallShape* shape = shapeOf(entry.call);
  if (shape == nullptr) return "unknown call \"" + entry.call + "\"";
  if (!line.contains("in") || !line["in"].is_object()) return "expected \"in\" (an object)";
  if (!line.contains("out") || !line["out"].is_object()) return "expected \"out\" (an object)";
  entry.in = line["in"];
  entry.out = line["out"];
  for (const Field& field : shape->out) {
    if (field.name == nullptr) break;
    if (!entry.out.contains(field.name) || !fits(entry.out[field.name], field.kind))
      return "\"out\" of " + entry.call + ": expected \"" + field.name + "\"";
  }
  for (const Field& field : kOptionalFields) {
    if (entry.out.contains(field.name) && !fits(entry.out[field.name], field.kind))
      return "\"out\" of " + entry.call + ": \"" + field.name + "\" has the wrong type";
  }
  if (entry.call == calls::kEnumDeviceInterface && entry.out["found"].get<bool>()) {
    for (const char* name : {"detailOk", "error", "path", "devInst"})
      if (!entry.out.contains(name)) return "\"out\" of " + entry.call + ": expected \"" + name + "\"";
    if (!fits(entry.out["error"], Kind::Unsigned)) return "\"out\" of " + entry.call + ": expected \"error\"";
  }
  return "";
}

}  // namespace

TraceLoad readTrace(std::string_view text) {
  TraceLoad load;
  bool headSeen = false;
  std::size_t lineNumber = 0;
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    std::string_view raw = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    ++lineNumber;
    if (!raw.empty() && raw.back() == '\r') raw.remove_suffix(1);
    if (raw.find_first_not_of(" \t") == std::string_view::npos) continue;
    const Json line = Json::parse(raw, nullptr, false);
    const auto fail = [&](const std::string& why) {
      load.entries.clear();
      load.error = "line " + std::to_string(lineNumber) + ": " + why;
      return load;
    };
    if (line.is_discarded()) return fail("not a JSON document");
    if (!headSeen) {
      if (!line.is_object() || !line.contains("trace") || line["trace"] != kFormatName)
        return fail(std::string("expected the format line {\"trace\": \"") + kFormatName + "\", ...}");
      if (!line.contains("version") || line["version"] != kFormatVersion)
        return fail("format version " + (line.contains("version") ? line["version"].dump() : std::string("missing")) +
                    " is not " + std::to_string(kFormatVersion));
      headSeen = true;
      continue;
    }
    TraceEntry entry;
    entry.line = lineNumber;
    if (const std::string why = checkEntry(line, entry); !why.empty()) return fail(why);
    load.entries.push_back(std::move(entry));
  }
  if (!headSeen) load.error = "line 1: the trace is empty";
  return load;
}

}  // namespace hbx::trace
