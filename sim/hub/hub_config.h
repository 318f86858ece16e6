#pragma once
// The hubs of a bench: what each simulated hub chip is (family, registers,
// descriptors of its two connections, timing, faults), read from the "hubs"
// section of bench.json. See the section's layout in hubSectionExample().
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "sim/hub/fault_aim.h"
#include "sim/string_descriptors.h"

namespace hbx::sim::hub {

// One of the hub's two USB functions, each with its own device object.
struct ConnectionConfig {
  std::uint16_t pid = 0;
  std::uint16_t bcdUSB = 0x0300;
  // The physical device object, e.g. "\Device\USBPDO-12".
  std::wstring pdoName;
};

// Faults to inject. Request numbers count every request sent to the hub
// (both connections), from 1.
struct FaultConfig {
  std::uint32_t immediateError = 0;   // DeviceIoControl fails at once with it
  std::uint32_t completionError = 0;  // the request completes with this failure
  std::uint32_t failFromRequest = 1;  // the first request that fails
  std::uint32_t failCount = 0;        // how many fail (0: none, 0xFFFFFFFF: all)
  std::uint32_t openError = 0;        // device objects cannot be opened (this error)
  bool eraseNeverFinishes = false;
  std::uint32_t powerLossAfterRequest = 0;  // 0: never
  bool legacyRegistersOnly = false;  // vendor register requests are refused
  // Faults of a real part (aims in sim/hub/fault_aim.h):
  FaultAim tornAtRequest{};       // power lost half-way through that program or erase
  FaultAim badEraseAtRequest{};   // that erase reports success but leaves its last 256 bytes as they were
  FaultAim shortReplyAtRequest{}; // that request returns one byte fewer than asked
  FaultAim stuckAtRequest{};      // that request stays pending until it is cancelled
  FaultAim powerLossAt{};         // power lost after that request (powerLossAfterRequest by phase)
  FaultAim failAt{};              // failCount requests fail from that one (failFromRequest by phase)
  FaultAim killAt{};              // the program is killed (SIGKILL) once that request has taken effect
  FaultAim renameAt{};            // once that request has taken effect, renameFrom is renamed over renameTo
  std::string renameFrom{};       // host paths (a file, a pipe) of the fault matrix
  std::string renameTo{};
  std::optional<std::uint32_t> flipBitAtOffset{};  // a programmed byte there (0 to 0x1FFFF) reads with bit 0 changed
};

struct HubConfig {
  std::string name;
  std::array<std::uint8_t, 3> familyCode{7, 7, 3};
  std::uint8_t chipRevision = 0x21;  // 0x5820: bits 6-4 chip type
  std::uint8_t usbStatus = 0x01;     // 0x5821: bits 1-0 package
  std::array<std::uint8_t, 6> romVersion{};
  std::uint16_t vid = 0x2E8B;
  std::uint16_t bcdDevice = 0x0100;
  std::wstring manufacturer = L"Corvane";
  // The string index of the manufacturer text: 2 (the index the program's walk
  // reads for it) or 1; the product text takes the other, the serial 3.
  std::uint8_t manufacturerIndex = 2;
  std::wstring product = L"USB3.1 Hub";
  std::wstring serial;  // empty: no serial-number string (iSerialNumber 0)
  // Descriptors sent byte for byte instead of those of the texts; a string
  // given here is present even when its text is empty.
  RawStrings rawStrings;
  std::uint16_t languageId = 0x0409;
  std::optional<ConnectionConfig> usb3;
  std::optional<ConnectionConfig> usb2;
  std::uint32_t requestMicros = 125;  // per request, on the simulated clock
  std::uint32_t eraseMs = 150;        // per half image
  std::uint32_t offBusMs = 1000;      // after a CPU reset
  // Initial register values.
  std::array<std::uint8_t, 3> reg30x0{0x07, 0x07, 0x07};  // 0x3000, 0x3100, 0x3200
  std::array<std::uint8_t, 3> reg36x1{0x45, 0x45, 0x45};  // 0x3601, 0x3611, 0x3621
  std::uint8_t cpuStartPosition = 0x80;                  // 0x5846 at power-on
  // The firmware the default flash content carries; absent: blank flash.
  std::optional<std::array<std::uint8_t, 6>> firmwareVersion;
  FaultConfig faults;

  std::uint8_t chipType() const { return (chipRevision >> 4) & 7; }
};

struct HubBenchConfig {
  bool driverInstalled = true;
  std::vector<HubConfig> hubs;
};

// The built-in bench: a fresh computer without the filter driver, three
// HBX773x hubs (hub0, hub1, hub2: chip type 2, firmware 25011525010N, older
// than the carried image) and an HBX963x hub (hub3), each with valid firmware
// in both images.
HubBenchConfig defaultHubBench();
// One hub of each family (hub0 HBX763x, hub1 HBX863x, hub2 HBX773x, hub3
// HBX963x) with the driver installed; tests that need every family use it.
HubBenchConfig oneHubPerFamilyBench();

// Parses the "hubs" section; an absent section (null) gives the default.
// Errors name the place ("hubs/devices/1/familyCode: ...").
struct HubBenchLoad {
  std::optional<HubBenchConfig> bench;
  std::string error;
};
HubBenchLoad parseHubSection(const nlohmann::json& section);
nlohmann::json toJson(const HubBenchConfig& bench);

// A whole image: a configuration table and a valid firmware area of `length`
// code bytes carrying `version`, its marker and checksum.
std::vector<std::uint8_t> makeImage(const std::array<std::uint8_t, 6>& version, std::uint32_t length = 0x5000);
// The firmware area (bytes from 256 on) as a firmware file stages it: length,
// code, marker, checksum.
std::vector<std::uint8_t> makeFirmwareArea(const std::array<std::uint8_t, 6>& version, std::uint32_t length);

}  // namespace hbx::sim::hub
