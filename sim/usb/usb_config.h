#pragma once
// The USB tree of a bench: host controllers, their root hubs and what sits on
// the ports, read from the "usb" section of bench.json (docs/bench-usb.md).
// A hub of our families is one chip of the "hubs" section with two hub
// functions; each function is placed on its own port (the USB 3.0 function on
// a port of the parent's USB 3.0 side, the USB 2.0 function on one of its
// USB 2.0 side) and names the chip and the side it is.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "sim/hub/hub_bench.h"

namespace hbx::sim::usb {

// The driver stack a host controller's tree hangs under. It decides the
// enumerator of the hubs' device names and registry keys.
enum class Stack { Inbox, Mcci, Intel, Amd, Renesas, Nec };

// Fault switches of one device, counted over the life of the simulated host.
struct DeviceFaults {
  std::uint32_t nameFails = 0;        // connection-name requests (first step) that fail
  std::uint32_t nameShort = 0;        // answers with a length of 10 (no name)
  std::uint32_t nameSecondFails = 0;  // second steps (with the full buffer) that fail
  bool exFails = false;               // the EX connection request fails (the older answers)
  bool connectionFails = false;       // both connection requests fail
  bool openFails = false;             // a hub that cannot be opened
  bool nodeInfoFails = false;         // a hub whose node information cannot be read
  bool detailFails = false;           // its interface detail cannot be read (SetupAPI)
  std::uint32_t installerFailsOnCall = 0;  // that class-installer call fails (1: the first)
  // The hub driver names a hub above this one for it (1: the hub it is on, 2:
  // that hub's parent, ...; past the top: the root hub): a tree that loops.
  std::uint32_t nameOfAncestor = 0;
};

struct DeviceConfig {
  std::uint32_t port = 0;  // on the parent hub, from 1
  bool hub = false;
  // A function of a hub chip of the "hubs" section; ids, strings and the
  // physical device object then come from the chip.
  std::string chip;
  hub::Connection side = hub::Connection::Usb3;
  std::uint16_t vid = 0;
  std::uint16_t pid = 0;
  std::uint16_t bcdUSB = 0x0200;
  std::uint16_t bcdDevice = 0x0100;
  std::wstring manufacturer;
  std::wstring product;
  std::wstring serial;
  RawStrings rawStrings;       // descriptors sent byte for byte instead of the texts'
  std::uint32_t ports = 4;     // downstream ports of a hub
  std::wstring instance;       // instance text of its device name; empty: made up
  // The selective-suspend values written for a hub; absent: none written.
  std::optional<std::uint32_t> selectiveSuspend = 1;
  DeviceFaults faults;
  std::vector<DeviceConfig> devices;  // on its ports (hubs only)

  bool ourChip() const { return !chip.empty(); }
};

struct ControllerConfig {
  std::wstring path;         // device-interface path
  std::wstring description;  // SPDRP_DEVICEDESC
  std::wstring rootHub;      // root hub name; empty: made up
  std::uint32_t ports = 20;
  Stack stack = Stack::Inbox;
  bool openFails = false;
  bool rootHubNameFails = false;
  std::vector<DeviceConfig> devices;
};

struct UsbConfig {
  // The Windows the computer runs: "7", "8", "8.1", "10", "11"; empty keeps
  // the bench's own version values.
  std::string windows;
  std::uint32_t restartMs = 1500;  // a restarted device is away this long
  // "UpperFilters" of the USB class key; absent: left as the registry has it.
  std::optional<std::vector<std::wstring>> upperFilters;
  std::vector<ControllerConfig> controllers;
};

// Two host controllers: a maker's xHCI with a 20-port root hub carrying hub2
// (tier 1) with hub0 below it (tier 2), an Intel hub (8087) with hub1 below it
// (tier 2) and a mouse; and an Enhanced (USB 2.0) controller with the USB 2.0
// function of hub3. On the built-in hubs hub0-hub2 are HBX773x targets and
// hub3 an HBX963x hub.
UsbConfig defaultUsbConfig();

struct UsbLoad {
  std::optional<UsbConfig> config;
  std::string error;  // names the place: "usb/controllers/0/devices/1/port: ..."
};
// Parses the "usb" section (null gives the default) against the bench's hubs.
UsbLoad parseUsbSection(const nlohmann::json& section, hub::HubBench& hubs);

const char* stackName(Stack stack);

}  // namespace hbx::sim::usb
