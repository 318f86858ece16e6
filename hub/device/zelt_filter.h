#pragma once
// CZELTFILTER0: turns each hub operation into DeviceIoControl requests on an
// open handle to the filter driver's device object and waits for them. It
// holds no per-hub state and never opens or closes device handles.
#include <cstdint>

#include "platform/ports.h"

namespace hbx {

class CZELTFILTER0 {
 public:
  // Keeps a pointer to the ports; they must outlive the instance. The ports
  // object itself need not be constructed yet, only when a request is made.
  explicit CZELTFILTER0(platform::Ports& ports) : ports_(&ports) {}

  // Sends one request and waits for it. `count`, when given, is set to 0 first
  // and to the number of reply bytes on success. 0, -1, -3 or -8.
  static int IO_Sync(platform::DeviceIoPort& io, platform::OsHandle hDevice, std::uint32_t code,
                     const std::uint8_t* in, std::uint32_t inLength, std::uint8_t* out,
                     std::uint32_t outLength, std::uint32_t* count);

  // The 18-byte USB device descriptor; `size` must be at least 18.
  int Get_Descriptor(platform::OsHandle hDevice, std::uint8_t* buffer, std::uint8_t size);
  // One string descriptor as single-byte characters (low byte of each UTF-16
  // unit), not terminated; at most `maxChars` (capped at 128) are stored.
  int Get_StringDescriptor(platform::OsHandle hDevice, std::uint8_t* out, std::uint8_t maxChars,
                           std::uint8_t index);
  // Reads `length` (1 to 32) register bytes into `buffer`, or writes its first
  // byte (the first two as a word for 0x6400). Time-out 0 means 2500.
  int RegisterReadWriteCmd(platform::OsHandle hDevice, std::uint8_t* buffer, std::uint32_t length,
                           std::uint16_t address, std::uint8_t write, std::uint8_t timeout = 0);
  // The same through the older generic request.
  int RegisterReadWriteCmdOld(platform::OsHandle hDevice, std::uint8_t* buffer, std::uint8_t length,
                              std::uint16_t address, std::uint8_t write);
  // The version block at 0x07F0; with `clear` set the signature is cleared after.
  int Get_Version(platform::OsHandle hDevice, std::uint8_t* buffer, std::uint32_t length,
                  std::uint8_t clear);
  // `length` bytes of one flash image from `offset`.
  int ReadConfigFWCmd(platform::OsHandle hDevice, std::uint8_t* out, std::uint8_t length,
                      std::uint32_t offset, std::uint8_t image, std::uint8_t variant);
  // Sends `data` as 56-byte download packets, strictly in order.
  int DownLoadCMD(platform::OsHandle hDevice, const std::uint8_t* data, std::uint32_t length,
                  std::uint8_t opcode, std::uint8_t image);
  // Starts the erase of one half (part 0 or 1) of one image.
  int SPIBlockEraseCmd(platform::OsHandle hDevice, std::uint8_t image, std::uint8_t part);
  // Restarts the hub's processor, through registers when `byRegisters` is set.
  int SendCpuResetByFilterDriver(platform::OsHandle hDevice, std::uint8_t byRegisters);

 private:
  int sendVendor(platform::OsHandle hDevice, std::uint32_t code, std::uint32_t opcode,
                 std::uint32_t value, std::uint32_t address, std::uint8_t* out,
                 std::uint32_t outLength);

  platform::Ports* ports_;
};

}  // namespace hbx
