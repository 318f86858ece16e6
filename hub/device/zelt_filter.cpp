#include "hub/device/zelt_filter.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

#include "base/log/debug_log.h"
#include "base/log/system_error.h"
#include "hub/device/filter_protocol.h"
#include "hub/device/in_flight_requests.h"
#include "platform/handles.h"

namespace hbx {

using platform::OsHandle;

namespace {

// The reply buffer of a string descriptor request.
constexpr std::uint32_t kStringReplySize = 256;
constexpr std::uint8_t kMaxStringChars = 128;
constexpr std::uint8_t kDeviceDescriptorSize = 18;
constexpr std::uint8_t kResetWriteTimeout = 200;
// The longest the program waits for one request. The driver gives a hub
// 2500 ms for a vendor request or a download packet, and every other request
// takes milliseconds, so a request still pending after 10 s will not complete:
// it is cancelled and fails, so that it cannot hold a scan before the run's
// time-out starts, nor the one-hub-at-a-time download lock until that time-out.
constexpr std::uint32_t kRequestLimitMs = 10000;

std::array<std::uint8_t, filter::kHeaderSize> encoded(const filter::Header& header) {
  std::array<std::uint8_t, filter::kHeaderSize> bytes{};
  filter::encodeHeader(header, bytes.data());
  return bytes;
}

}  // namespace

int CZELTFILTER0::IO_Sync(platform::DeviceIoPort& io, OsHandle hDevice, std::uint32_t code,
                          const std::uint8_t* in, std::uint32_t inLength, std::uint8_t* out,
                          std::uint32_t outLength, std::uint32_t* count) {
  if (count != nullptr) *count = 0;
  // The request's event lives for this one call.
  const platform::DeviceHandle event(io, io.createEvent(true, false));
  if (!event.valid()) return filter::rc::kNoEvent;

  // A cancelled run sends nothing more; a request in flight when it is
  // cancelled completes at once, as failed.
  InFlightRequests& requests = inFlightRequests();
  if (!requests.enter(hDevice)) return filter::rc::kFailed;
  struct Leave {
    InFlightRequests& requests;
    OsHandle device;
    ~Leave() { requests.leave(device); }
  } leave{requests, hDevice};

  platform::OverlappedSlot slot;
  const platform::IoctlStart start =
      io.deviceIoControl(hDevice, code, in, inLength, out, outLength, event.get(), slot);
  // Cancelled between enter() and the start: nothing was there to cancel yet.
  if (!start.returnedTrue && start.error == platform::err::kIoPending && requests.cancelled()) io.cancelIo(hDevice);
  if (!start.returnedTrue) {
    if (start.error == platform::err::kGenFailure) {
      HBX_LOG_MSG(L"%s:%d: DeviceIoControl Failed, code = %x, dwError = %s", code, systemErrorText(start.error));
      return filter::rc::kGenFailure;
    }
    if (start.error != platform::err::kIoPending) {
      HBX_LOG_MSG(L"%s:%d: DeviceIoControl Failed, code = %x, dwError = %s", code, systemErrorText(start.error));
      return filter::rc::kFailed;
    }
  }
  std::uint32_t bytes = 0;
  std::uint32_t error = 0;
  if (!start.returnedTrue && io.waitForEvent(event.get(), kRequestLimitMs) == platform::wait::kTimeout) {
    HBX_LOG_MSG(L"%s:%d: DeviceIoControl timed out after %u ms, cancelled, code = %x", kRequestLimitMs, code);
    io.cancelIo(hDevice);
    // The cancelled request still completes; its buffers are in use until then.
    io.getOverlappedResult(hDevice, slot, bytes, error);
    return filter::rc::kFailed;
  }
  if (!io.getOverlappedResult(hDevice, slot, bytes, error)) return filter::rc::kFailed;
  if (count != nullptr) *count = bytes;
  return filter::rc::kOk;
}

int CZELTFILTER0::Get_Descriptor(OsHandle hDevice, std::uint8_t* buffer, std::uint8_t size) {
  if (hDevice == platform::kNullHandle) {
    HBX_LOG_MSG(L"%s:%d: Deriver Handle is NULL");
    return filter::rc::kBadArgument;
  }
  if (size < kDeviceDescriptorSize) {
    HBX_LOG_MSG(L"%s:%d: Buffer size too small");
    return filter::rc::kBadArgument;
  }
  const auto header = encoded(filter::Header::generic(filter::kKindGetDeviceDescriptor, 0, 0));
  std::array<std::uint8_t, kDeviceDescriptorSize> reply{};
  std::uint32_t count = 0;
  const int result = IO_Sync(ports_->deviceIo, hDevice, filter::kIoctlGeneric, header.data(),
                             filter::kHeaderSize, reply.data(), kDeviceDescriptorSize, &count);
  if (result != 0 || count < kDeviceDescriptorSize) {
    HBX_LOG_MSG(L"%s:%d: set_device_paths: couldn't read device descriptor");
    return filter::rc::kFailed;
  }
  std::memcpy(buffer, reply.data(), kDeviceDescriptorSize);
  return filter::rc::kOk;
}

int CZELTFILTER0::Get_StringDescriptor(OsHandle hDevice, std::uint8_t* out, std::uint8_t maxChars,
                                       std::uint8_t index) {
  if (hDevice == platform::kNullHandle) {
    HBX_LOG_MSG(L"%s:%d: Deriver Handle is NULL");
    return filter::rc::kBadArgument;
  }
  // The language list first; its first entry is the language to ask in.
  const auto listHeader = encoded(filter::Header::generic(filter::kKindGetStringDescriptor, 0, 0));
  std::array<std::uint8_t, 4> languages{};
  std::uint32_t count = 0;
  int result = IO_Sync(ports_->deviceIo, hDevice, filter::kIoctlGeneric, listHeader.data(),
                       filter::kHeaderSize, languages.data(), 4, &count);
  if (result != 0 || count < 4) {
    HBX_LOG_MSG(L"%s:%d: set_device_paths: couldn't read device descriptor");
    return filter::rc::kFailed;
  }
  const std::uint32_t language = languages[2] | (languages[3] << 8);

  // The reply buffer holds 128 units at most, so more characters are never asked.
  const std::uint8_t chars = std::min(maxChars, kMaxStringChars);
  std::array<std::uint8_t, kStringReplySize> reply{};
  reply[0] = 0xFF;
  const auto header = encoded(filter::Header::generic(filter::kKindGetStringDescriptor, index, language));
  result = IO_Sync(ports_->deviceIo, hDevice, filter::kIoctlGeneric, header.data(), filter::kHeaderSize,
                   reply.data(), 2u * chars, &count);
  if (result != 0) {
    HBX_LOG_MSG(L"%s:%d: set_device_paths: couldn't read device descriptor");
    return filter::rc::kFailed;
  }
  // Only the bytes that came back: the low byte of a last half unit is one
  // of them, anything past the reply is not.
  const std::uint32_t end = std::min<std::uint32_t>(count, kStringReplySize);
  std::uint32_t stored = 0;
  for (std::uint32_t at = 2; at < end && stored < chars; at += 2) {
    if (reply[at] == 0) break;
    out[stored++] = reply[at];
  }
  return filter::rc::kOk;
}

int CZELTFILTER0::RegisterReadWriteCmd(OsHandle hDevice, std::uint8_t* buffer, std::uint32_t length,
                                       std::uint16_t address, std::uint8_t write,
                                       std::uint8_t timeout) {
  if (hDevice == platform::kNullHandle) {
    HBX_LOG_MSG(L"%s:%d: Driver Handle is NULL");
    return filter::rc::kBadArgument;
  }
  if (length > filter::kMaxRegisterLength || length == 0) {
    HBX_LOG_MSG(L"%s:%d: Buffer size is too big");
    return filter::rc::kBadArgument;
  }
  std::uint32_t opcode = write ? filter::op::kRegisterWrite : filter::op::kRegisterRead;
  std::uint32_t value = write ? buffer[0] : 0;
  if (address == filter::reg::kWord) {
    opcode = filter::op::kWordRegister;
    // A one-byte write to the word register carries a high byte of 0.
    if (write) value = buffer[0] + (length > 1 ? 256u * buffer[1] : 0u);
  }
  const filter::Header header =
      filter::Header::vendor(opcode, value, address, timeout != 0 ? timeout : filter::kDefaultTimeout);

  int result = 0;
  if (write) {
    std::array<std::uint8_t, filter::kHeaderSize + filter::kMaxRegisterLength> request{};
    filter::encodeHeader(header, request.data());
    std::memcpy(request.data() + filter::kHeaderSize, buffer, length);
    result = IO_Sync(ports_->deviceIo, hDevice, filter::kIoctlVendorOut, request.data(),
                     filter::kHeaderSize + length, nullptr, 0, nullptr);
  } else {
    const auto request = encoded(header);
    std::array<std::uint8_t, filter::kMaxRegisterLength> reply{};
    std::uint32_t count = 0;
    result = IO_Sync(ports_->deviceIo, hDevice, filter::kIoctlVendorIn, request.data(),
                     filter::kHeaderSize, reply.data(), length, &count);
    // A short reply leaves part of the caller's value unread: it is a failure,
    // never a value made of old and new bytes.
    if (result == 0 && count < length) result = filter::rc::kFailed;
    if (result == 0) std::memcpy(buffer, reply.data(), length);
  }
  if (result != 0) {
    HBX_LOG_ERR(L"%s:%d: set_device_paths: couldn't send device command");
    return filter::rc::kFailed;
  }
  return filter::rc::kOk;
}

int CZELTFILTER0::RegisterReadWriteCmdOld(OsHandle hDevice, std::uint8_t* buffer, std::uint8_t length,
                                          std::uint16_t address, std::uint8_t write) {
  if (hDevice == platform::kNullHandle) {
    HBX_LOG_MSG(L"%s:%d: Deriver Handle is NULL");
    return filter::rc::kBadArgument;
  }
  if (length > filter::kMaxRegisterLength || length == 0) {
    HBX_LOG_MSG(L"%s:%d: Buffer size is too big");
    return filter::rc::kBadArgument;
  }
  const std::uint32_t kind = write ? filter::kKindOldRegisterWrite : filter::kKindOldRegisterRead;
  const auto request = encoded(filter::Header::generic(kind, write ? buffer[0] : 0u, address));
  std::array<std::uint8_t, filter::kMaxRegisterLength> reply{};
  std::uint32_t count = 0;
  const int result = IO_Sync(ports_->deviceIo, hDevice, filter::kIoctlGeneric, request.data(),
                             filter::kHeaderSize, reply.data(), length, &count);
  if (result != 0 || (!write && count < length)) {
    HBX_LOG_MSG(L"%s:%d: set_device_paths: couldn't read device descriptor");
    return filter::rc::kFailed;
  }
  if (!write) std::memcpy(buffer, reply.data(), length);
  return filter::rc::kOk;
}

int CZELTFILTER0::Get_Version(OsHandle hDevice, std::uint8_t* buffer, std::uint32_t length,
                              std::uint8_t clear) {
  std::uint8_t cleared = filter::kSignatureCleared;
  if (RegisterReadWriteCmd(hDevice, buffer, length, filter::reg::kVersionBlock, 0) == 0) {
    if (clear) {
      const int write = RegisterReadWriteCmd(hDevice, &cleared, 1, filter::reg::kSignature, 1);
      if (write != 0) {
        HBX_LOG_MSG(L"%s:%d: Clear DriverHandle[%d] FLAG_REDUNDENT_REG_ADDRESS by RegisterReadWriteCmd() FAIL! iRetFlag: %d",
                    hDevice, write);
      }
    }
    return filter::rc::kOk;
  }
  // Hubs that only know the older command set.
  const int old = RegisterReadWriteCmdOld(hDevice, buffer, static_cast<std::uint8_t>(length),
                                          filter::reg::kVersionBlock, 0);
  if (old != 0) return old;
  if (clear) {
    const int write = RegisterReadWriteCmdOld(hDevice, &cleared, 1, filter::reg::kSignature, 1);
    if (write != 0) {
      HBX_LOG_MSG(L"%s:%d: Clear DriverHandle[%d] FLAG_REDUNDENT_REG_ADDRESS by RegisterReadWriteCmd() FAIL! iRetFlag: %d",
                  hDevice, write);
    }
  }
  return filter::rc::kOk;
}

int CZELTFILTER0::sendVendor(OsHandle hDevice, std::uint32_t code, std::uint32_t opcode,
                             std::uint32_t value, std::uint32_t address, std::uint8_t* out,
                             std::uint32_t outLength) {
  const auto request = encoded(filter::Header::vendor(opcode, value, address));
  std::uint32_t count = 0;
  const int result =
      IO_Sync(ports_->deviceIo, hDevice, code, request.data(), filter::kHeaderSize, out, outLength, &count);
  if (result == 0 && count < outLength) return filter::rc::kFailed;
  return result;
}

int CZELTFILTER0::ReadConfigFWCmd(OsHandle hDevice, std::uint8_t* out, std::uint8_t length,
                                  std::uint32_t offset, std::uint8_t image, std::uint8_t variant) {
  if (hDevice == platform::kNullHandle) {
    HBX_LOG_MSG(L"%s:%d: Driver Handle is NULL");
    return filter::rc::kBadArgument;
  }
  const std::uint32_t opcode = variant ? filter::op::kImageRead : filter::op::kImageRead0;
  if (sendVendor(hDevice, filter::kIoctlVendorIn, opcode, image, offset, out, length) != 0) {
    HBX_LOG_MSG(L"%s:%d: set_device_paths: couldn't read device descriptor");
    return filter::rc::kFailed;
  }
  return filter::rc::kOk;
}

int CZELTFILTER0::DownLoadCMD(OsHandle hDevice, const std::uint8_t* data, std::uint32_t length,
                              std::uint8_t opcode, std::uint8_t image) {
  if (hDevice == platform::kNullHandle) {
    HBX_LOG_MSG(L"%s:%d: Driver Handle is NULL");
    return filter::rc::kBadArgument;
  }
  // Nothing to send: a packet would tell the device of a download of length 0.
  if (length == 0) return filter::rc::kBadArgument;
  const std::uint32_t packets = (length + filter::kPacketData - 1) / filter::kPacketData;
  std::vector<std::uint8_t> packet(filter::kPacketSize);
  filter::encodeHeader(filter::Header::vendor(opcode, image, length), packet.data());
  for (std::uint32_t i = 0; i < packets; ++i) {
    const std::uint32_t from = i * filter::kPacketData;
    const std::uint32_t bytes = std::min(filter::kPacketData, length - from);
    // The unused tail of a last, partial packet reads as erased flash.
    std::memset(packet.data() + filter::kHeaderSize, 0xFF, filter::kPacketData);
    std::memcpy(packet.data() + filter::kHeaderSize, data + from, bytes);
    const int result = IO_Sync(ports_->deviceIo, hDevice, filter::kIoctlVendorOut, packet.data(),
                               filter::kPacketSize, nullptr, 0, nullptr);
    if (result != 0) {
      HBX_LOG_MSG(L"%s:%d: Write Cmd failed...dwWrCnt[%d], ErrorCode[%s]",
                  i, systemErrorText(ports_->system.lastError()));
      return result;
    }
  }
  return filter::rc::kOk;
}

int CZELTFILTER0::SPIBlockEraseCmd(OsHandle hDevice, std::uint8_t image, std::uint8_t part) {
  if (hDevice == platform::kNullHandle) {
    HBX_LOG_MSG(L"%s:%d: Driver Handle is NULL");
    return filter::rc::kBadArgument;
  }
  if (sendVendor(hDevice, filter::kIoctlVendorOut, filter::op::kErase, part * 256u + image, 0, nullptr, 0) != 0) {
    HBX_LOG_MSG(L"%s:%d: IO_Sync Failed ");
    return filter::rc::kFailed;
  }
  return filter::rc::kOk;
}

int CZELTFILTER0::SendCpuResetByFilterDriver(OsHandle hDevice, std::uint8_t byRegisters) {
  if (hDevice == platform::kNullHandle) {
    HBX_LOG_MSG(L"%s:%d: Driver Handle is NULL");
    return filter::rc::kBadArgument;
  }
  if (!byRegisters) {
    return sendVendor(hDevice, filter::kIoctlVendorOut, filter::op::kCpuReset, 0, 0, nullptr, 0);
  }
  std::uint8_t value = 0x00;
  if (RegisterReadWriteCmd(hDevice, &value, 1, filter::reg::kCpuStartPosition, 1) != 0) {
    HBX_LOG_MSG(L"%s:%d: CPU_START_POSITION_ADDR command failed ErrorCode[%s]",
                systemErrorText(ports_->system.lastError()));
    return filter::rc::kFailed;
  }
  ports_->clock.sleepMs(200);
  value = 0x01;
  // The hub restarts at once and may not complete this write.
  RegisterReadWriteCmd(hDevice, &value, 1, filter::reg::kCpuReset, 1, kResetWriteTimeout);
  ports_->clock.sleepMs(2000);
  return filter::rc::kOk;
}

}  // namespace hbx
