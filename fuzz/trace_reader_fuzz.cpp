// A trace file: any bytes as its content. The reader takes it whole or
// refuses it with a line number; what it takes, the replay answers from
// without reading a field that is not there or writing past a buffer.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

#include "base/text/utf.h"
#include "trace/replay_ports.h"
#include "trace/trace_reader.h"
#include "trace/trace_text.h"

using namespace hbx;
using Json = nlohmann::ordered_json;

#define REQUIRE(c) \
  if (!(c)) __builtin_trap()

namespace {

std::uint32_t number(const Json& in, const char* name) {
  return in.contains(name) && in[name].is_number_unsigned() ? in[name].get<std::uint32_t>() : 0;
}
std::string text(const Json& in, const char* name) {
  return in.contains(name) && in[name].is_string() ? in[name].get<std::string>() : std::string();
}

// The call a recorded line stands for, made with the line's own arguments
// where it has them, so that the replay finds it and answers.
void ask(trace::ReplayPorts& ports, const trace::TraceEntry& entry) {
  const Json& in = entry.in;
  std::vector<std::uint8_t> request = trace::bytesOfHex(text(in, "request")).value_or(std::vector<std::uint8_t>());
  std::uint32_t bytes = 0;
  std::uint32_t error = 0;
  platform::OverlappedSlot slot;
  if (entry.call == "hubIoctl") {
    ports.hubIo.hubIoctl(number(in, "hub"), number(in, "code"), request);
  } else if (entry.call == "deviceIoControl") {
    // A reply buffer of the recorded length, at most 4 KiB.
    std::vector<std::uint8_t> reply(std::min<std::uint32_t>(number(in, "replyLength"), 4096));
    ports.deviceIo.deviceIoControl(number(in, "device"), number(in, "code"), request.data(),
                                   static_cast<std::uint32_t>(request.size()), reply.data(),
                                   static_cast<std::uint32_t>(reply.size()), 1, slot);
    ports.deviceIo.getOverlappedResult(number(in, "device"), slot, bytes, error);
  } else if (entry.call == "queryValue") {
    std::vector<std::uint8_t> buffer(std::min<std::uint32_t>(number(in, "bufferBytes"), 4096));
    ports.registry.queryValue(number(in, "key"), fromUtf8(text(in, "name")), buffer);
  } else if (entry.call == "openKey") {
    ports.registry.openKey(fromUtf8(text(in, "subKey")), number(in, "access"));
  } else if (entry.call == "openDevice") {
    ports.deviceIo.openDevice(fromUtf8(text(in, "name")), number(in, "access"), number(in, "share"),
                              number(in, "flags"));
  } else if (entry.call == "deviceRegistryProperty") {
    ports.setupApi.deviceRegistryProperty(number(in, "list"), {number(in, "devInst")}, number(in, "property"),
                                          number(in, "bufferBytes"));
  } else if (entry.call == "waitForEvent") {
    ports.deviceIo.waitForEvent(number(in, "event"), number(in, "ms"));
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const trace::TraceLoad load = trace::readTrace(input);
  REQUIRE(load.error.empty() || load.entries.empty());
  if (!load.error.empty()) {
    REQUIRE(load.error.rfind("line ", 0) == 0);
    return 0;
  }
  trace::ReplayPorts ports(load.entries);
  for (const trace::TraceEntry& entry : load.entries) ask(ports, entry);
  (void)ports.replay.verdict();
  return 0;
}
