#include "sim/hub/hub_config.h"

#include <numeric>

#include "base/log/format.h"
#include "hub/device/filter_protocol.h"
#include "sim/bench_fields.h"
#include "sim/hub/spi_flash.h"

namespace hbx::sim::hub {

using nlohmann::json;

namespace {

struct FamilyName {
  const char* name;
  std::array<std::uint8_t, 3> code;
  std::uint8_t chipType;
};

constexpr std::array<FamilyName, 4> kFamilies{{
    {"HBX763x", {7, 6, 3}, 0},
    {"HBX863x", {8, 6, 3}, 1},
    {"HBX773x", {7, 7, 3}, 2},
    {"HBX963x", {9, 6, 3}, 3},
}};

HubConfig defaultHub(int number, const FamilyName& family) {
  HubConfig hub;
  hub.name = "hub" + std::to_string(number);
  hub.familyCode = family.code;
  hub.chipRevision = static_cast<std::uint8_t>((family.chipType << 4) | 0x01);
  hub.romVersion = {0x00, 0x00, 0x00, static_cast<std::uint8_t>(family.chipType << 4), 0x00, 0x00};
  hub.serial = L"HBX0000" + std::to_wstring(number);
  hub.product = wformat(L"%S Hub", family.name);
  const int pdo = 10 + 2 * number;
  hub.usb3 = ConnectionConfig{static_cast<std::uint16_t>(0x0630 + number), 0x0300, L"\\Device\\USBPDO-" + std::to_wstring(pdo)};
  hub.usb2 = ConnectionConfig{static_cast<std::uint16_t>(0x0620 + number), 0x0210,
                              L"\\Device\\USBPDO-" + std::to_wstring(pdo + 1)};
  hub.firmwareVersion = std::array<std::uint8_t, 6>{0x25, 0x01, 0x15, static_cast<std::uint8_t>((family.chipType << 4) | 5),
                                                    0x01, static_cast<std::uint8_t>(number)};
  return hub;
}

std::array<std::uint8_t, 6> versionValue(const json& v, const std::string& where) {
  if (!v.is_string() || v.get<std::string>().size() != 12) throw BenchFieldError{where, "expected 12 hex digits"};
  const std::string text = v.get<std::string>();
  std::array<std::uint8_t, 6> out{};
  for (std::size_t i = 0; i < 6; ++i) out[i] = static_cast<std::uint8_t>(hexValue(text.substr(2 * i, 2), where, 2));
  return out;
}

ConnectionConfig parseConnection(const json& v, const std::string& where) {
  checkKeys(v, where, {"pid", "bcdUSB", "pdo"});
  ConnectionConfig c;
  if (!v.contains("pid") || !v.contains("pdo")) throw BenchFieldError{where, "needs pid and pdo"};
  c.pid = static_cast<std::uint16_t>(hexValue(v["pid"], where + "/pid", 4));
  if (v.contains("bcdUSB")) c.bcdUSB = static_cast<std::uint16_t>(hexValue(v["bcdUSB"], where + "/bcdUSB", 4));
  c.pdoName = textValue(v["pdo"], where + "/pdo", 126);
  if (c.pdoName.empty()) throw BenchFieldError{where + "/pdo", "empty"};
  return c;
}

FaultConfig parseFaults(const json& v, const std::string& where) {
  checkKeys(v, where, {"immediateError", "completionError", "failFromRequest", "failCount", "openError",
                       "eraseNeverFinishes", "powerLossAfterRequest", "legacyRegistersOnly", "tornAtRequest",
                       "badEraseAtRequest", "shortReplyAtRequest", "stuckAtRequest", "powerLossAt", "failAt",
                       "flipBitAtOffset", "killAt", "renameAt"});
  FaultConfig f;
  const std::uint32_t any = 0xFFFFFFFFu;
  if (v.contains("immediateError")) f.immediateError = numberValue(v["immediateError"], where + "/immediateError", 0, any);
  if (v.contains("completionError")) f.completionError = numberValue(v["completionError"], where + "/completionError", 0, any);
  if (v.contains("failFromRequest")) f.failFromRequest = numberValue(v["failFromRequest"], where + "/failFromRequest", 0, any);
  if (v.contains("failCount")) f.failCount = numberValue(v["failCount"], where + "/failCount", 0, any);
  if (v.contains("openError")) f.openError = numberValue(v["openError"], where + "/openError", 0, any);
  if (v.contains("eraseNeverFinishes")) f.eraseNeverFinishes = boolValue(v["eraseNeverFinishes"], where + "/eraseNeverFinishes");
  if (v.contains("powerLossAfterRequest")) {
    f.powerLossAfterRequest = numberValue(v["powerLossAfterRequest"], where + "/powerLossAfterRequest", 0, any);
  }
  if (v.contains("legacyRegistersOnly")) f.legacyRegistersOnly = boolValue(v["legacyRegistersOnly"], where + "/legacyRegistersOnly");
  for (auto [name, aim] : {std::pair{"tornAtRequest", &f.tornAtRequest}, std::pair{"badEraseAtRequest", &f.badEraseAtRequest},
                           std::pair{"shortReplyAtRequest", &f.shortReplyAtRequest},
                           std::pair{"stuckAtRequest", &f.stuckAtRequest}, std::pair{"powerLossAt", &f.powerLossAt},
                           std::pair{"failAt", &f.failAt}, std::pair{"killAt", &f.killAt}}) {
    if (v.contains(name)) *aim = parseFaultAim(v[name], where + "/" + name);
  }
  if (v.contains("renameAt")) {
    const json& r = v["renameAt"];
    const std::string at = where + "/renameAt";
    checkKeys(r, at, {"at", "from", "to"});
    if (!r.contains("at") || !r.contains("from") || !r.contains("to")) throw BenchFieldError{at, "needs at, from and to"};
    f.renameAt = parseFaultAim(r["at"], at + "/at");
    for (auto [name, path] : {std::pair{"from", &f.renameFrom}, std::pair{"to", &f.renameTo}}) {
      if (!r[name].is_string() || r[name].get<std::string>().empty()) throw BenchFieldError{at + "/" + name, "expected a path"};
      *path = r[name].get<std::string>();
    }
  }
  if (v.contains("flipBitAtOffset")) {
    f.flipBitAtOffset = numberValue(v["flipBitAtOffset"], where + "/flipBitAtOffset", 0, SpiFlash::kSize - 1);
  }
  return f;
}

HubConfig parseHub(const json& v, const std::string& where) {
  checkKeys(v, where, {"name", "family", "familyCode", "chipRevision", "usbStatus", "romVersion", "firmwareVersion",
                       "vid", "bcdDevice", "manufacturer", "manufacturerIndex", "product", "serial", "stringDescriptors", "usb3", "usb2", "requestMicros",
                       "eraseMs", "offBusMs", "faults"});
  HubConfig hub;
  if (!v.contains("name") || !v["name"].is_string() || v["name"].get<std::string>().empty()) {
    throw BenchFieldError{where + "/name", "every hub needs a name"};
  }
  hub.name = v["name"].get<std::string>();
  if (hub.name.find_first_of("/\\.") != std::string::npos) throw BenchFieldError{where + "/name", "not a file name"};
  hub.firmwareVersion.reset();
  if (v.contains("family")) {
    const std::string family = v["family"].is_string() ? v["family"].get<std::string>() : "";
    const FamilyName* found = nullptr;
    for (const auto& f : kFamilies) found = family == f.name ? &f : found;
    if (found == nullptr) throw BenchFieldError{where + "/family", "unknown family"};
    hub.familyCode = found->code;
    hub.chipRevision = static_cast<std::uint8_t>((found->chipType << 4) | 0x01);
  }
  if (v.contains("familyCode")) {
    const json& code = v["familyCode"];
    if (!code.is_array() || code.size() != 3) throw BenchFieldError{where + "/familyCode", "expected three numbers"};
    for (std::size_t i = 0; i < 3; ++i) {
      hub.familyCode[i] = static_cast<std::uint8_t>(numberValue(code[i], where + "/familyCode", 0, 255));
    }
  }
  if (v.contains("chipRevision")) hub.chipRevision = static_cast<std::uint8_t>(hexValue(v["chipRevision"], where + "/chipRevision", 2));
  if (v.contains("usbStatus")) hub.usbStatus = static_cast<std::uint8_t>(hexValue(v["usbStatus"], where + "/usbStatus", 2));
  if (v.contains("romVersion")) hub.romVersion = versionValue(v["romVersion"], where + "/romVersion");
  if (v.contains("firmwareVersion") && !v["firmwareVersion"].is_null()) {
    hub.firmwareVersion = versionValue(v["firmwareVersion"], where + "/firmwareVersion");
  }
  if (v.contains("vid")) hub.vid = static_cast<std::uint16_t>(hexValue(v["vid"], where + "/vid", 4));
  if (v.contains("bcdDevice")) hub.bcdDevice = static_cast<std::uint16_t>(hexValue(v["bcdDevice"], where + "/bcdDevice", 4));
  if (v.contains("manufacturer")) hub.manufacturer = textValue(v["manufacturer"], where + "/manufacturer", kMaxStringChars);
  if (v.contains("manufacturerIndex")) {
    hub.manufacturerIndex = static_cast<std::uint8_t>(numberValue(v["manufacturerIndex"], where + "/manufacturerIndex", 0, 2));
    if (hub.manufacturerIndex == 0) throw BenchFieldError{where + "/manufacturerIndex", "expected 1 or 2"};
  }
  if (v.contains("product")) hub.product = textValue(v["product"], where + "/product", kMaxStringChars);
  if (v.contains("serial")) hub.serial = textValue(v["serial"], where + "/serial", kMaxStringChars);
  if (v.contains("stringDescriptors")) hub.rawStrings = parseRawStrings(v["stringDescriptors"], where + "/stringDescriptors");
  if (v.contains("usb3")) hub.usb3 = parseConnection(v["usb3"], where + "/usb3");
  if (v.contains("usb2")) hub.usb2 = parseConnection(v["usb2"], where + "/usb2");
  if (!hub.usb3 && !hub.usb2) throw BenchFieldError{where, "a hub needs usb3 or usb2"};
  if (v.contains("requestMicros")) hub.requestMicros = numberValue(v["requestMicros"], where + "/requestMicros", 0, 10'000'000);
  if (v.contains("eraseMs")) hub.eraseMs = numberValue(v["eraseMs"], where + "/eraseMs", 0, 600'000);
  if (v.contains("offBusMs")) hub.offBusMs = numberValue(v["offBusMs"], where + "/offBusMs", 0, 600'000);
  if (v.contains("faults")) hub.faults = parseFaults(v["faults"], where + "/faults");
  return hub;
}

std::string hex(std::uint32_t value, int digits) { return nformat("%0*x", digits, value); }

std::string versionText(const std::array<std::uint8_t, 6>& v) {
  std::string text;
  for (std::uint8_t b : v) text += hex(b, 2);
  return text;
}

}  // namespace

HubBenchConfig defaultHubBench() {
  // A fresh computer: the filter driver comes with the program's first run.
  HubBenchConfig bench;
  bench.driverInstalled = false;
  const FamilyName& target = kFamilies[2];  // HBX773x, the carried image's chip type
  for (int number = 0; number < 3; ++number) bench.hubs.push_back(defaultHub(number, target));
  bench.hubs.push_back(defaultHub(3, kFamilies[3]));
  return bench;
}

HubBenchConfig oneHubPerFamilyBench() {
  HubBenchConfig bench;
  int number = 0;
  for (const auto& family : kFamilies) bench.hubs.push_back(defaultHub(number++, family));
  return bench;
}

HubBenchLoad parseHubSection(const json& section) {
  if (section.is_null()) return {defaultHubBench(), {}};
  try {
    checkKeys(section, "hubs", {"driverInstalled", "devices"});
    HubBenchConfig bench;
    if (section.contains("driverInstalled")) bench.driverInstalled = boolValue(section["driverInstalled"], "hubs/driverInstalled");
    if (section.contains("devices")) {
      const json& devices = section["devices"];
      if (!devices.is_array()) throw BenchFieldError{"hubs/devices", "expected a list"};
      for (std::size_t i = 0; i < devices.size(); ++i) {
        bench.hubs.push_back(parseHub(devices[i], "hubs/devices/" + std::to_string(i)));
        for (std::size_t j = 0; j + 1 < bench.hubs.size(); ++j) {
          if (bench.hubs[j].name == bench.hubs.back().name) throw BenchFieldError{"hubs/devices/" + std::to_string(i) + "/name", "used twice"};
        }
      }
    }
    return {bench, {}};
  } catch (const BenchFieldError& e) {
    return {std::nullopt, e.where + ": " + e.what};
  } catch (const json::exception& e) {
    return {std::nullopt, std::string("hubs: ") + e.what()};
  }
}

json toJson(const HubBenchConfig& bench) {
  json devices = json::array();
  for (const HubConfig& hub : bench.hubs) {
    json h;
    h["name"] = hub.name;
    h["familyCode"] = {hub.familyCode[0], hub.familyCode[1], hub.familyCode[2]};
    h["chipRevision"] = hex(hub.chipRevision, 2);
    h["usbStatus"] = hex(hub.usbStatus, 2);
    h["romVersion"] = versionText(hub.romVersion);
    h["firmwareVersion"] = hub.firmwareVersion ? json(versionText(*hub.firmwareVersion)) : json(nullptr);
    h["vid"] = hex(hub.vid, 4);
    h["bcdDevice"] = hex(hub.bcdDevice, 4);
    h["manufacturer"] = toUtf8(hub.manufacturer);
    h["manufacturerIndex"] = hub.manufacturerIndex;
    h["product"] = toUtf8(hub.product);
    h["serial"] = toUtf8(hub.serial);
    if (!toJson(hub.rawStrings).empty()) h["stringDescriptors"] = toJson(hub.rawStrings);
    for (const auto& [key, connection] : {std::pair{"usb3", hub.usb3}, std::pair{"usb2", hub.usb2}}) {
      if (connection) {
        h[key] = {{"pid", hex(connection->pid, 4)}, {"bcdUSB", hex(connection->bcdUSB, 4)}, {"pdo", toUtf8(connection->pdoName)}};
      }
    }
    h["requestMicros"] = hub.requestMicros;
    h["eraseMs"] = hub.eraseMs;
    h["offBusMs"] = hub.offBusMs;
    devices.push_back(h);
  }
  return json{{"driverInstalled", bench.driverInstalled}, {"devices", devices}};
}

std::vector<std::uint8_t> makeFirmwareArea(const std::array<std::uint8_t, 6>& version, std::uint32_t length) {
  // Length, code, chip marker, checksum.
  std::vector<std::uint8_t> area(length + 4);
  area[0] = static_cast<std::uint8_t>(length);
  area[1] = static_cast<std::uint8_t>(length >> 8);
  std::uint32_t sum = 0;
  for (std::uint32_t i = 0; i < length; ++i) {
    std::uint8_t b = static_cast<std::uint8_t>(i * 7 + 13);
    if (i >= filter::kVersionOffsetInCode && i < filter::kVersionOffsetInCode + 6) b = version[i - filter::kVersionOffsetInCode];
    area[2 + i] = b;
    sum += b;
  }
  area[2 + length] = filter::chipMarkerFor(version[3]);
  area[3 + length] = static_cast<std::uint8_t>(sum);
  return area;
}

std::vector<std::uint8_t> makeImage(const std::array<std::uint8_t, 6>& version, std::uint32_t length) {
  std::vector<std::uint8_t> image(filter::kConfigTableSize, 0xFF);
  for (std::uint32_t i = 4; i < 0x40; ++i) image[i] = static_cast<std::uint8_t>(i);
  image[0xFE] = filter::chipMarkerFor(version[3]);
  image[0xFF] = static_cast<std::uint8_t>(std::accumulate(image.begin() + 4, image.begin() + 0xFF, 0u));
  const auto area = makeFirmwareArea(version, length);
  image.insert(image.end(), area.begin(), area.end());
  image.resize(filter::kImageSize, 0xFF);
  return image;
}

}  // namespace hbx::sim::hub
