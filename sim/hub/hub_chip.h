#pragma once
// One simulated hub chip: its register file, its SPI flash, the firmware it
// boots, and the requests of the filter driver decoded strictly: a request a
// real driver would refuse (wrong lengths, unknown opcode or kind, a download
// whose total length changes mid-way) fails. Not thread-safe: the bench
// serialises access.
#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>

#include "sim/hub/hub_config.h"
#include "sim/hub/spi_flash.h"

namespace hbx::sim::hub {

// Virtual time in 100 ns ticks (the simulated performance counter).
using Ticks = std::int64_t;

// System errors the simulated driver reports.
namespace simerr {
inline constexpr std::uint32_t kInvalidFunction = 1;
inline constexpr std::uint32_t kFileNotFound = 2;
inline constexpr std::uint32_t kGenFailure = 31;
inline constexpr std::uint32_t kInvalidParameter = 87;
inline constexpr std::uint32_t kDeviceNotConnected = 1167;
}  // namespace simerr

enum class Connection { Usb3 = 0, Usb2 = 1 };

struct Reply {
  std::uint32_t error = 0;  // 0: success
  bool immediate = false;   // DeviceIoControl itself fails (else the completion does)
  std::uint32_t bytes = 0;  // reply bytes on success
  bool stuck = false;       // stays pending until it is cancelled
  bool killProgram = false; // fault killAt: the program dies once the request has taken effect
  bool renameFiles = false; // fault renameAt: a file is renamed over another once the request has taken effect
};

enum class Running { Image0, Image1, Rom };

class HubChip {
 public:
  explicit HubChip(HubConfig config);

  const HubConfig& config() const { return config_; }
  FaultConfig& faults() { return config_.faults; }
  SpiFlash& flash() { return flash_; }

  // Power: off drops the hub from the bus until it is powered on; power-on boots.
  void powerOff();
  void powerOn(Ticks now);
  bool powered() const { return powered_; }
  // Powered and not restarting after a CPU reset.
  bool present(Ticks now) const;

  Reply request(Connection connection, std::uint32_t code, const std::uint8_t* in, std::uint32_t inLength,
                std::uint8_t* out, std::uint32_t outLength, Ticks now);

  Running running() const { return running_; }
  const std::array<std::uint8_t, 6>& runningVersion() const { return version_; }
  // A register as the program would read it now.
  std::uint8_t readRegister(std::uint16_t address, Ticks now) const;
  // Bytes programmed over data that was not erased, since power-on.
  std::uint32_t notErasedWrites() const { return notErasedWrites_; }
  std::uint32_t requestCount() const { return requests_; }

  // The version of an image's firmware when its firmware area is valid for
  // a chip of type `chipType` (length, chip marker and checksum).
  static std::optional<std::array<std::uint8_t, 6>> validFirmware(const std::uint8_t* image, std::uint8_t chipType);

  // What a running hub holds beyond its flash (power, the image it booted,
  // the registers the program can write), for a bench that keeps its hubs
  // running between program runs. Restoring a state that does not fit
  // leaves the chip as it is and answers false.
  nlohmann::json runningState() const;
  bool restoreRunningState(const nlohmann::json& state);

  // ---- For the simulated USB tree (sim/usb/) ----------------------------
  // When the chip came (or comes) back on the bus: a new value means its hub
  // functions re-enumerated.
  Ticks busArrival() const { return offBusUntil_; }
  // The descriptors the hub driver reads from a hub function.
  Reply usbDeviceDescriptor(Connection c, std::uint8_t* out, std::uint32_t outLength) const {
    return deviceDescriptor(c, out, outLength);
  }
  Reply usbStringDescriptor(Connection c, std::uint32_t index, std::uint32_t language, std::uint8_t* out,
                            std::uint32_t outLength) const {
    return stringDescriptor(c, index, language, out, outLength);
  }
  // A restarted hub function gets a new physical device object (empty while
  // it is away, so its filter-driver device object is gone too).
  void setPdoName(Connection c, const std::wstring& pdoName) {
    auto& connection = c == Connection::Usb3 ? config_.usb3 : config_.usb2;
    if (connection) connection->pdoName = pdoName;
  }

 private:
  void boot();
  void resetRegisters();
  void cpuReset(Ticks now);
  bool eraseBusy(Ticks now) const;
  void writeRegister(std::uint16_t address, std::uint8_t value);
  std::optional<Reply> injectedFault();
  Reply vendorOut(const std::uint8_t* in, std::uint32_t inLength, std::uint32_t outLength, Ticks now);
  Reply vendorIn(const std::uint8_t* in, std::uint32_t inLength, std::uint8_t* out, std::uint32_t outLength, Ticks now);
  Reply generic(Connection connection, const std::uint8_t* in, std::uint32_t inLength, std::uint8_t* out,
                std::uint32_t outLength, Ticks now);
  Reply download(std::uint32_t opcode, std::uint32_t image, std::uint32_t total, const std::uint8_t* data);
  Reply erase(std::uint32_t image, std::uint32_t half, Ticks now);
  void applyReplyFaults(Reply& reply);
  Reply stringDescriptor(Connection connection, std::uint32_t index, std::uint32_t language, std::uint8_t* out,
                         std::uint32_t outLength) const;
  Reply deviceDescriptor(Connection connection, std::uint8_t* out, std::uint32_t outLength) const;

  struct Download {
    bool active = false;
    std::uint32_t opcode = 0;
    std::uint32_t image = 0;
    std::uint32_t total = 0;
    std::uint32_t nextPacket = 0;
  };

  HubConfig config_;
  SpiFlash flash_;
  std::array<std::uint8_t, 0x10000> registers_{};
  bool powered_ = true;
  Ticks offBusUntil_ = 0;
  Ticks eraseUntil_ = 0;
  bool eraseForever_ = false;
  Running running_ = Running::Rom;
  std::array<std::uint8_t, 6> version_{};
  Download download_;
  std::uint32_t notErasedWrites_ = 0;
  std::uint32_t requests_ = 0;
  AimCounter aims_;
  std::uint32_t failStart_ = 0;  // the request a failAt series started at
  bool torn_ = false;            // the current request loses power half-way
  bool badErase_ = false;        // the current erase leaves wrong content
};

// "\\.\" + the physical-device-object form of `pdoName` + "0001".
std::wstring deviceObjectNameFor(const std::wstring& pdoName);

}  // namespace hbx::sim::hub
