#include "sim/usb/usb_config.h"

#include <set>
#include <utility>

#include "base/log/format.h"
#include "sim/bench_fields.h"

namespace hbx::sim::usb {

using nlohmann::json;

namespace {

// USB allows hubs on tiers 1 to 5; a bench may go two tiers deeper, as a
// platform that reports a wrong tree does, for the walk's depth limit.
constexpr std::uint32_t kMaxHubTier = 7;
constexpr std::uint32_t kRootHubUsb3FirstPort = 11;

// Instance texts become parts of device names and registry keys.
std::wstring instanceValue(const json& v, const std::string& where) {
  std::wstring text = textValue(v, where, 120);
  if (text.empty() || text.find_first_of(L"#\\{}") != std::wstring::npos) {
    throw BenchFieldError{where, "must not be empty nor hold #, \\, { or }"};
  }
  return text;
}

DeviceFaults parseFaults(const json& v, const std::string& where) {
  checkKeys(v, where, {"nameFails", "nameShort", "nameSecondFails", "exFails", "connectionFails", "openFails",
                       "nodeInfoFails", "detailFails", "installerFailsOnCall", "nameOfAncestor"});
  DeviceFaults f;
  const std::uint32_t any = 1000000;
  if (v.contains("nameFails")) f.nameFails = numberValue(v["nameFails"], where + "/nameFails", 0, any);
  if (v.contains("nameShort")) f.nameShort = numberValue(v["nameShort"], where + "/nameShort", 0, any);
  if (v.contains("nameSecondFails")) {
    f.nameSecondFails = numberValue(v["nameSecondFails"], where + "/nameSecondFails", 0, any);
  }
  if (v.contains("exFails")) f.exFails = boolValue(v["exFails"], where + "/exFails");
  if (v.contains("connectionFails")) f.connectionFails = boolValue(v["connectionFails"], where + "/connectionFails");
  if (v.contains("openFails")) f.openFails = boolValue(v["openFails"], where + "/openFails");
  if (v.contains("nodeInfoFails")) f.nodeInfoFails = boolValue(v["nodeInfoFails"], where + "/nodeInfoFails");
  if (v.contains("detailFails")) f.detailFails = boolValue(v["detailFails"], where + "/detailFails");
  if (v.contains("installerFailsOnCall")) {
    f.installerFailsOnCall = numberValue(v["installerFailsOnCall"], where + "/installerFailsOnCall", 0, any);
  }
  if (v.contains("nameOfAncestor")) f.nameOfAncestor = numberValue(v["nameOfAncestor"], where + "/nameOfAncestor", 0, 8);
  return f;
}

struct ParseContext {
  hub::HubBench& hubs;
  std::set<std::pair<std::string, hub::Connection>> placedFunctions;
};

std::vector<DeviceConfig> parseDevices(const json& list, const std::string& where, std::uint32_t portCount,
                                       std::uint32_t tier, ParseContext& context);

DeviceConfig parseDevice(const json& v, const std::string& where, std::uint32_t portCount, std::uint32_t tier,
                         ParseContext& context) {
  checkKeys(v, where, {"port", "hub", "chip", "side", "vid", "pid", "bcdUSB", "bcdDevice", "manufacturer", "product",
                       "serial", "stringDescriptors", "ports", "instance", "selectiveSuspend", "faults", "devices"});
  DeviceConfig d;
  if (!v.contains("port")) throw BenchFieldError{where, "needs a port"};
  d.port = numberValue(v["port"], where + "/port", 1, portCount);
  if (v.contains("chip")) {
    if (!v["chip"].is_string()) throw BenchFieldError{where + "/chip", "expected a hub name"};
    d.chip = v["chip"].get<std::string>();
    const std::string side = v.contains("side") && v["side"].is_string() ? v["side"].get<std::string>() : "";
    if (side != "usb3" && side != "usb2") throw BenchFieldError{where + "/side", "expected \"usb3\" or \"usb2\""};
    d.side = side == "usb3" ? hub::Connection::Usb3 : hub::Connection::Usb2;
    const hub::HubChip* chip = context.hubs.hub(d.chip);
    if (chip == nullptr) throw BenchFieldError{where + "/chip", "no such hub in the hubs section"};
    const auto& connection = d.side == hub::Connection::Usb3 ? chip->config().usb3 : chip->config().usb2;
    if (!connection) throw BenchFieldError{where + "/side", "the hub has no such function"};
    if (!context.placedFunctions.insert({d.chip, d.side}).second) {
      throw BenchFieldError{where + "/chip", "this hub function is placed twice"};
    }
    d.hub = true;
    for (const char* own :
         {"hub", "vid", "pid", "bcdUSB", "bcdDevice", "manufacturer", "product", "serial", "stringDescriptors"}) {
      if (v.contains(own)) throw BenchFieldError{where + "/" + own, "comes from the chip"};
    }
  } else {
    if (v.contains("side")) throw BenchFieldError{where + "/side", "only for a chip"};
    if (v.contains("hub")) d.hub = boolValue(v["hub"], where + "/hub");
    if (!v.contains("vid") || !v.contains("pid")) throw BenchFieldError{where, "needs vid and pid"};
    d.vid = static_cast<std::uint16_t>(hexValue(v["vid"], where + "/vid", 4));
    d.pid = static_cast<std::uint16_t>(hexValue(v["pid"], where + "/pid", 4));
    if (v.contains("bcdUSB")) d.bcdUSB = static_cast<std::uint16_t>(hexValue(v["bcdUSB"], where + "/bcdUSB", 4));
    if (v.contains("bcdDevice")) d.bcdDevice = static_cast<std::uint16_t>(hexValue(v["bcdDevice"], where + "/bcdDevice", 4));
    if (v.contains("manufacturer")) d.manufacturer = textValue(v["manufacturer"], where + "/manufacturer", kMaxStringChars);
    if (v.contains("product")) d.product = textValue(v["product"], where + "/product", kMaxStringChars);
    if (v.contains("serial")) d.serial = textValue(v["serial"], where + "/serial", kMaxStringChars);
    if (v.contains("stringDescriptors")) {
      d.rawStrings = parseRawStrings(v["stringDescriptors"], where + "/stringDescriptors");
    }
  }
  if (v.contains("instance")) d.instance = instanceValue(v["instance"], where + "/instance");
  if (v.contains("selectiveSuspend")) {
    if (v["selectiveSuspend"].is_null()) d.selectiveSuspend.reset();
    else d.selectiveSuspend = numberValue(v["selectiveSuspend"], where + "/selectiveSuspend", 0, 0x7FFFFFFF);
  }
  if (v.contains("faults")) d.faults = parseFaults(v["faults"], where + "/faults");
  if (d.hub) {
    if (tier > kMaxHubTier) throw BenchFieldError{where, "a hub deeper than tier 7"};
    if (v.contains("ports")) d.ports = numberValue(v["ports"], where + "/ports", 1, 255);
    if (v.contains("devices")) d.devices = parseDevices(v["devices"], where + "/devices", d.ports, tier + 1, context);
  } else if (v.contains("ports") || v.contains("devices")) {
    throw BenchFieldError{where, "only a hub has ports and devices"};
  }
  return d;
}

std::vector<DeviceConfig> parseDevices(const json& list, const std::string& where, std::uint32_t portCount,
                                       std::uint32_t tier, ParseContext& context) {
  if (!list.is_array()) throw BenchFieldError{where, "expected a list"};
  std::vector<DeviceConfig> devices;
  std::set<std::uint32_t> ports;
  for (std::size_t i = 0; i < list.size(); ++i) {
    const std::string at = where + "/" + std::to_string(i);
    devices.push_back(parseDevice(list[i], at, portCount, tier, context));
    if (!ports.insert(devices.back().port).second) throw BenchFieldError{at + "/port", "port used twice"};
  }
  return devices;
}

Stack stackValue(const json& v, const std::string& where) {
  const std::string text = v.is_string() ? v.get<std::string>() : "";
  for (Stack s : {Stack::Inbox, Stack::Mcci, Stack::Intel, Stack::Amd, Stack::Renesas, Stack::Nec}) {
    if (text == stackName(s)) return s;
  }
  throw BenchFieldError{where, "expected inbox, mcci, intel, amd, renesas or nec"};
}

ControllerConfig parseController(const json& v, const std::string& where, ParseContext& context) {
  checkKeys(v, where, {"path", "description", "rootHub", "ports", "stack", "openFails", "rootHubNameFails", "devices"});
  ControllerConfig c;
  if (!v.contains("path")) throw BenchFieldError{where, "needs a path"};
  c.path = textValue(v["path"], where + "/path", 250);
  if (v.contains("description")) c.description = textValue(v["description"], where + "/description", 254);
  if (v.contains("rootHub")) c.rootHub = textValue(v["rootHub"], where + "/rootHub", 250);
  if (v.contains("ports")) c.ports = numberValue(v["ports"], where + "/ports", 1, 255);
  if (v.contains("stack")) c.stack = stackValue(v["stack"], where + "/stack");
  if (v.contains("openFails")) c.openFails = boolValue(v["openFails"], where + "/openFails");
  if (v.contains("rootHubNameFails")) c.rootHubNameFails = boolValue(v["rootHubNameFails"], where + "/rootHubNameFails");
  if (v.contains("devices")) c.devices = parseDevices(v["devices"], where + "/devices", c.ports, 1, context);
  return c;
}

DeviceConfig chipFunction(const std::string& chip, hub::Connection side, std::uint32_t port, std::uint32_t ports,
                          std::vector<DeviceConfig> below = {}) {
  DeviceConfig d;
  d.port = port;
  d.hub = true;
  d.chip = chip;
  d.side = side;
  d.ports = ports;
  d.devices = std::move(below);
  return d;
}

DeviceConfig foreignHub(std::uint32_t port, std::uint16_t pid, std::uint16_t bcdUSB, std::vector<DeviceConfig> below) {
  DeviceConfig d;
  d.port = port;
  d.hub = true;
  d.vid = 0x8087;
  d.pid = pid;
  d.bcdUSB = bcdUSB;
  d.manufacturer = L"Intel Corp.";
  d.product = L"USB Hub";
  d.devices = std::move(below);
  return d;
}

// Drops the functions whose chip the bench lacks (with what is below them)
// and gives both functions of every chip left unplaced a port of the root hub.
void fitToHubs(UsbConfig& config, hub::HubBench& hubs) {
  std::set<std::pair<std::string, hub::Connection>> placed;
  auto prune = [&](auto& self, std::vector<DeviceConfig>& devices) -> void {
    std::vector<DeviceConfig> kept;
    for (DeviceConfig& d : devices) {
      if (d.ourChip()) {
        const hub::HubChip* chip = hubs.hub(d.chip);
        const bool has = chip && (d.side == hub::Connection::Usb3 ? chip->config().usb3 : chip->config().usb2);
        if (!has) continue;
        placed.insert({d.chip, d.side});
      }
      self(self, d.devices);
      kept.push_back(std::move(d));
    }
    devices = std::move(kept);
  };
  ControllerConfig& root = config.controllers.front();
  prune(prune, root.devices);
  for (std::size_t i = 1; i < config.controllers.size(); ++i) prune(prune, config.controllers[i].devices);
  std::set<std::uint32_t> used;
  for (const DeviceConfig& d : root.devices) used.insert(d.port);
  std::uint32_t next3 = kRootHubUsb3FirstPort;
  std::uint32_t next2 = 1;
  auto freePort = [&](std::uint32_t& next, std::uint32_t last) -> std::uint32_t {
    while (next <= last && used.count(next)) ++next;
    if (next > last) return 0;
    used.insert(next);
    return next;
  };
  for (hub::HubChip* chip : hubs.hubs()) {
    // A chip the tree places at all keeps the functions it placed.
    const std::string& name = chip->config().name;
    if (placed.count({name, hub::Connection::Usb3}) || placed.count({name, hub::Connection::Usb2})) continue;
    for (hub::Connection side : {hub::Connection::Usb3, hub::Connection::Usb2}) {
      const auto& connection = side == hub::Connection::Usb3 ? chip->config().usb3 : chip->config().usb2;
      if (!connection) continue;
      const std::uint32_t port = side == hub::Connection::Usb3 ? freePort(next3, root.ports)
                                                               : freePort(next2, kRootHubUsb3FirstPort - 1);
      if (port != 0) root.devices.push_back(chipFunction(chip->config().name, side, port, 4));
    }
  }
}

}  // namespace

const char* stackName(Stack stack) {
  switch (stack) {
    case Stack::Inbox: return "inbox";
    case Stack::Mcci: return "mcci";
    case Stack::Intel: return "intel";
    case Stack::Amd: return "amd";
    case Stack::Renesas: return "renesas";
    case Stack::Nec: return "nec";
  }
  return "inbox";
}

UsbConfig defaultUsbConfig() {
  using hub::Connection;
  UsbConfig config;
  ControllerConfig xhci;
  xhci.path = L"\\\\?\\PCI#VEN_3A7F&DEV_7630&SUBSYS_76303A7F&REV_01#4&1c3e2a1d&0&00E4#"
              L"{3abf6f2d-71c4-462a-8a92-1e6861e6af27}";
  xhci.description = L"Corvane USB 3.1 eXtensible Host Controller";
  xhci.ports = 20;  // ports 1-10 the USB 2.0 side, 11-20 the USB 3.0 side
  DeviceConfig mouse;
  mouse.port = 5;
  mouse.vid = 0x046D;
  mouse.pid = 0xC077;
  mouse.bcdUSB = 0x0200;
  mouse.manufacturer = L"Logitech";
  mouse.product = L"USB Optical Mouse";
  xhci.devices = {
      chipFunction("hub2", Connection::Usb3, 13, 4, {chipFunction("hub0", Connection::Usb3, 2, 4)}),
      chipFunction("hub2", Connection::Usb2, 3, 4, {chipFunction("hub0", Connection::Usb2, 2, 4)}),
      foreignHub(14, 0x0B41, 0x0310, {chipFunction("hub1", Connection::Usb3, 1, 4)}),
      foreignHub(4, 0x0B40, 0x0210, {chipFunction("hub1", Connection::Usb2, 1, 4)}),
      mouse,
  };
  ControllerConfig ehci;
  ehci.path = L"\\\\?\\PCI#VEN_8086&DEV_1E2D&SUBSYS_05771028&REV_04#3&11583659&0&D0#"
              L"{3abf6f2d-71c4-462a-8a92-1e6861e6af27}";
  ehci.description = L"Standard Enhanced PCI to USB Host Controller";
  ehci.ports = 8;
  ehci.devices = {chipFunction("hub3", Connection::Usb2, 1, 4)};
  config.controllers = {xhci, ehci};
  return config;
}

UsbLoad parseUsbSection(const json& section, hub::HubBench& hubs) {
  if (section.is_null()) {
    UsbConfig config = defaultUsbConfig();
    fitToHubs(config, hubs);
    return {config, {}};
  }
  try {
    checkKeys(section, "usb", {"windows", "restartMs", "upperFilters", "controllers"});
    UsbConfig config;
    if (section.contains("windows")) {
      const json& w = section["windows"];
      const std::string text = w.is_string() ? w.get<std::string>() : "";
      if (text != "7" && text != "8" && text != "8.1" && text != "10" && text != "11") {
        throw BenchFieldError{"usb/windows", "expected \"7\", \"8\", \"8.1\", \"10\" or \"11\""};
      }
      config.windows = text;
    }
    if (section.contains("restartMs")) config.restartMs = numberValue(section["restartMs"], "usb/restartMs", 0, 600000);
    if (section.contains("upperFilters")) {
      const json& list = section["upperFilters"];
      if (!list.is_array()) throw BenchFieldError{"usb/upperFilters", "expected a list of texts"};
      std::vector<std::wstring> names;
      for (std::size_t i = 0; i < list.size(); ++i) {
        names.push_back(textValue(list[i], "usb/upperFilters/" + std::to_string(i), 100));
      }
      config.upperFilters = names;
    }
    ParseContext context{hubs, {}};
    if (section.contains("controllers")) {
      const json& list = section["controllers"];
      if (!list.is_array()) throw BenchFieldError{"usb/controllers", "expected a list"};
      for (std::size_t i = 0; i < list.size(); ++i) {
        config.controllers.push_back(parseController(list[i], "usb/controllers/" + std::to_string(i), context));
      }
    } else {
      // Without its own controllers the bench has the built-in tree.
      UsbConfig builtIn = defaultUsbConfig();
      fitToHubs(builtIn, hubs);
      config.controllers = builtIn.controllers;
    }
    return {config, {}};
  } catch (const BenchFieldError& e) {
    return {std::nullopt, e.where + ": " + e.what};
  } catch (const json::exception& e) {
    return {std::nullopt, std::string("usb: ") + e.what()};
  }
}

}  // namespace hbx::sim::usb
