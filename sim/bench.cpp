#include "sim/bench.h"

#include <fstream>
#include <iterator>
#include <set>
#include <stdexcept>

#include "base/log/format.h"

namespace hbx::sim {

namespace {

using nlohmann::json;

constexpr std::uint64_t kMaxRepeat = 1u << 20;  // keeps a binary value below a few MiB

// A refusal with the place it concerns; caught at the end of parseBench.
class BenchError : public std::runtime_error {
 public:
  BenchError(const std::string& place, const std::string& what) : std::runtime_error(place + ": " + what) {}
};

std::string child(const std::string& place, const std::string& key) { return place + "/" + key; }

const json& member(const json& object, const std::string& place, const char* key) {
  const auto it = object.find(key);
  if (it == object.end()) throw BenchError(child(place, key), "missing");
  return *it;
}

void onlyKeys(const json& object, const std::string& place, std::initializer_list<const char*> known) {
  if (!object.is_object()) throw BenchError(place, "expected an object");
  for (const auto& item : object.items()) {
    bool ok = false;
    for (const char* k : known) ok = ok || item.key() == k;
    if (!ok) throw BenchError(child(place, item.key()), "unknown field");
  }
}

std::uint32_t asU32(const json& value, const std::string& place) {
  if (!value.is_number_unsigned() || value.get<std::uint64_t>() > 0xFFFFFFFFu)
    throw BenchError(place, "expected an unsigned 32-bit number");
  return static_cast<std::uint32_t>(value.get<std::uint64_t>());
}

bool asBool(const json& value, const std::string& place) {
  if (!value.is_boolean()) throw BenchError(place, "expected true or false");
  return value.get<bool>();
}

std::wstring asText(const json& value, const std::string& place) {
  if (!value.is_string()) throw BenchError(place, "expected a string");
  return fromUtf8(value.get<std::string>());
}

void readU32(const json& object, const std::string& place, const char* key, std::uint32_t& out) {
  if (object.contains(key)) out = asU32(object[key], child(place, key));
}

void readBool(const json& object, const std::string& place, const char* key, bool& out) {
  if (object.contains(key)) out = asBool(object[key], child(place, key));
}

// "x86", "x64" or "arm64" (those `allowed`) as a machine type.
std::uint16_t asMachine(const json& value, const std::string& place, bool arm64Allowed) {
  if (!value.is_string()) throw BenchError(place, "expected a string");
  const std::string text = value.get<std::string>();
  if (text == "x86") return platform::machine::kI386;
  if (text == "x64") return platform::machine::kAmd64;
  if (text == "arm64" && arm64Allowed) return platform::machine::kArm64;
  throw BenchError(place, arm64Allowed ? "expected \"x86\", \"x64\" or \"arm64\"" : "expected \"x86\" or \"x64\"");
}

// "wow64" says in one word what "machine" and "program" say apart: the
// 32-bit program on x64 Windows, or on 32-bit Windows.
void readMachines(const json& os, const std::string& place, SimOsIdentity& identity) {
  if (os.contains("wow64")) {
    const bool wow64 = asBool(os["wow64"], child(place, "wow64"));
    identity.nativeMachine = wow64 ? platform::machine::kAmd64 : platform::machine::kI386;
    identity.programMachine = platform::machine::kI386;
  }
  if (os.contains("machine")) identity.nativeMachine = asMachine(os["machine"], child(place, "machine"), true);
  if (os.contains("program")) identity.programMachine = asMachine(os["program"], child(place, "program"), false);
  if (identity.programMachine != platform::machine::kI386 && identity.nativeMachine == platform::machine::kI386) {
    throw BenchError(child(place, "program"), "a 64-bit program does not run on 32-bit Windows");
  }
}

void readOs(const json& os, const std::string& place, Bench& bench) {
  onlyKeys(os, place,
           {"version", "wow64", "machine", "program", "isWow64ProcessPresent", "isWow64Process2Present",
            "shutdownPrivilegeGranted", "restartAccepted", "processStatusLibrary"});
  if (os.contains("version")) {
    const std::string at = child(place, "version");
    const json& v = os["version"];
    onlyKeys(v, at, {"major", "minor", "build", "platformId"});
    readU32(v, at, "major", bench.os.majorVersion);
    readU32(v, at, "minor", bench.os.minorVersion);
    readU32(v, at, "build", bench.os.buildNumber);
    readU32(v, at, "platformId", bench.os.platformId);
  }
  readMachines(os, place, bench.os);
  readBool(os, place, "isWow64ProcessPresent", bench.os.hasIsWow64Process);
  readBool(os, place, "isWow64Process2Present", bench.os.hasIsWow64Process2);
  readBool(os, place, "shutdownPrivilegeGranted", bench.os.shutdownPrivilegeGranted);
  readBool(os, place, "restartAccepted", bench.os.restartAccepted);
  readBool(os, place, "processStatusLibrary", bench.processStatusLibrary);
}

int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::vector<std::uint8_t> hexBytes(const json& value, const std::string& place) {
  if (!value.is_string()) throw BenchError(place, "expected a string of hexadecimal digit pairs");
  const std::string text = value.get<std::string>();
  if (text.size() % 2 != 0) throw BenchError(place, "odd number of hexadecimal digits");
  std::vector<std::uint8_t> bytes;
  for (std::size_t i = 0; i < text.size(); i += 2) {
    const int high = hexDigit(text[i]);
    const int low = hexDigit(text[i + 1]);
    if (high < 0 || low < 0) throw BenchError(place, "not a hexadecimal digit at character " + std::to_string(i));
    bytes.push_back(static_cast<std::uint8_t>(high * 16 + low));
  }
  return bytes;
}

RegValue readValue(const json& entry, const std::string& place) {
  onlyKeys(entry, place, {"type", "value", "repeat"});
  const json& typeJson = member(entry, place, "type");
  if (!typeJson.is_string()) throw BenchError(child(place, "type"), "expected a string");
  const std::string type = typeJson.get<std::string>();
  const json& value = member(entry, place, "value");
  const std::string at = child(place, "value");
  if (entry.contains("repeat") && type != "REG_BINARY")
    throw BenchError(child(place, "repeat"), "only a REG_BINARY value repeats");
  if (type == "REG_DWORD") {
    const std::uint32_t v = asU32(value, at);
    return RegValue{platform::regtype::kDword,
                    {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8),
                     static_cast<std::uint8_t>(v >> 16), static_cast<std::uint8_t>(v >> 24)}};
  }
  if (type == "REG_SZ") return RegValue{platform::regtype::kSz, utf16leWithZero(asText(value, at))};
  if (type == "REG_MULTI_SZ") {
    if (!value.is_array()) throw BenchError(at, "expected an array of strings");
    std::vector<std::uint8_t> bytes;
    for (std::size_t i = 0; i < value.size(); ++i) {
      const auto piece = utf16leWithZero(asText(value[i], child(at, std::to_string(i))));
      bytes.insert(bytes.end(), piece.begin(), piece.end());
    }
    bytes.push_back(0);
    bytes.push_back(0);
    return RegValue{platform::regtype::kMultiSz, bytes};
  }
  if (type == "REG_BINARY") {
    const std::vector<std::uint8_t> pattern = hexBytes(value, at);
    std::uint64_t repeat = 1;
    if (entry.contains("repeat")) {
      repeat = asU32(entry["repeat"], child(place, "repeat"));
      if (repeat == 0 || repeat > kMaxRepeat)
        throw BenchError(child(place, "repeat"), "expected 1 to " + std::to_string(kMaxRepeat));
    }
    std::vector<std::uint8_t> bytes;
    bytes.reserve(pattern.size() * repeat);
    for (std::uint64_t i = 0; i < repeat; ++i) bytes.insert(bytes.end(), pattern.begin(), pattern.end());
    return RegValue{platform::regtype::kBinary, bytes};
  }
  throw BenchError(child(place, "type"), "expected REG_SZ, REG_DWORD, REG_MULTI_SZ or REG_BINARY");
}

std::vector<BenchRegistryValue> readRegistry(const json& registry, const std::string& place) {
  if (!registry.is_object()) throw BenchError(place, "expected an object of keys");
  std::vector<BenchRegistryValue> out;
  for (const auto& key : registry.items()) {
    const std::string keyPlace = child(place, key.key());
    if (key.key().empty()) throw BenchError(keyPlace, "empty key path");
    if (!key.value().is_object()) throw BenchError(keyPlace, "expected an object of values");
    const std::wstring keyPath = fromUtf8(key.key());
    out.push_back({keyPath, L"", std::nullopt});
    for (const auto& value : key.value().items()) {
      out.push_back({keyPath, fromUtf8(value.key()), readValue(value.value(), child(keyPlace, value.key()))});
    }
  }
  return out;
}

std::vector<BenchProcess> readProcesses(const json& processes, const std::string& place) {
  if (!processes.is_array()) throw BenchError(place, "expected an array");
  std::vector<BenchProcess> out;
  std::set<std::uint32_t> seen;
  for (std::size_t i = 0; i < processes.size(); ++i) {
    const std::string at = child(place, std::to_string(i));
    const json& entry = processes[i];
    onlyKeys(entry, at, {"pid", "image", "openable"});
    BenchProcess p;
    p.pid = asU32(member(entry, at, "pid"), child(at, "pid"));
    if (p.pid == 0) throw BenchError(child(at, "pid"), "0 is not a process id");
    if (!seen.insert(p.pid).second) throw BenchError(child(at, "pid"), "duplicate process id");
    p.image = asText(member(entry, at, "image"), child(at, "image"));
    if (p.image.empty()) throw BenchError(child(at, "image"), "empty image name");
    readBool(entry, at, "openable", p.openable);
    out.push_back(std::move(p));
  }
  return out;
}

}  // namespace

std::vector<BenchRegistryValue> defaultRegistry() {
  const std::wstring currentVersion = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";
  return {
      {currentVersion, L"CurrentMajorVersionNumber", RegValue{platform::regtype::kDword, {10, 0, 0, 0}}},
      {currentVersion, L"CurrentBuildNumber", RegValue{platform::regtype::kSz, utf16leWithZero(L"19045")}},
  };
}

Bench defaultBench() { return Bench{}; }

BenchLoad parseBench(std::string_view text) {
  BenchLoad load;
  json document;
  try {
    document = json::parse(text);
  } catch (const json::parse_error& e) {
    load.error = std::string("not valid JSON: ") + e.what();
    return load;
  }
  try {
    if (!document.is_object()) throw BenchError("/", "expected an object");
    Bench bench = defaultBench();
    if (document.contains("os")) readOs(document["os"], "/os", bench);
    if (document.contains("registry")) bench.registry = readRegistry(document["registry"], "/registry");
    if (document.contains("processes")) bench.processes = readProcesses(document["processes"], "/processes");
    bench.document = std::move(document);
    load.bench = std::move(bench);
  } catch (const BenchError& e) {
    load.error = e.what();
  } catch (const json::exception& e) {
    load.error = e.what();
  }
  return load;
}

BenchLoad loadBenchFolder(const std::filesystem::path& folder) {
  const std::filesystem::path file = folder / "bench.json";
  std::error_code ec;
  if (!std::filesystem::exists(file, ec)) return BenchLoad{defaultBench(), ""};
  std::ifstream in(file, std::ios::binary);
  if (!in) return BenchLoad{std::nullopt, file.string() + ": cannot be read"};
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  BenchLoad load = parseBench(text);
  if (!load.bench) load.error = file.string() + ": " + load.error;
  return load;
}

}  // namespace hbx::sim
