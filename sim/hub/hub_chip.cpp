#include "sim/hub/hub_chip.h"

#include <algorithm>
#include <cstring>
#include <numeric>

#include "hub/device/filter_protocol.h"

namespace hbx::sim::hub {

namespace {

constexpr Ticks kTicksPerMs = 10'000;
constexpr std::uint32_t kDescriptorSize = 18;
constexpr std::uint8_t kSerialIndex = 3;
// The manufacturer text sits where the bench puts it (1 or 2), the product
// text on the other of the two.
std::uint8_t productIndex(const HubConfig& config) { return config.manufacturerIndex == 1 ? 2 : 1; }
bool hasManufacturer(const HubConfig& config) {
  return !config.manufacturer.empty() || config.rawStrings.manufacturer.has_value();
}
bool hasSerial(const HubConfig& config) { return !config.serial.empty() || config.rawStrings.serial.has_value(); }
constexpr std::uint32_t kMaxImageRead = 64;

Reply refuse(std::uint32_t error = simerr::kInvalidParameter) { return Reply{error, true, 0}; }
Reply fail(std::uint32_t error) { return Reply{error, false, 0}; }
Reply ok(std::uint32_t bytes = 0) { return Reply{0, false, bytes}; }

// The registers the program can write; the others follow from the chip.
constexpr std::array<std::uint16_t, 11> kWritable{
    filter::reg::kSignature, filter::reg::kSignatureNumber, 0x3000, 0x3100, 0x3200, 0x3601, 0x3611, 0x3621,
    filter::reg::kCpuStartPosition, filter::reg::kWord, filter::reg::kWord + 1};

bool isWritable(std::uint16_t address) {
  return std::find(kWritable.begin(), kWritable.end(), address) != kWritable.end();
}

}  // namespace

std::wstring deviceObjectNameFor(const std::wstring& pdoName) {
  std::wstring form = pdoName.substr(pdoName.find_last_of(L'\\') + 1);
  std::replace(form.begin(), form.end(), L'-', L'_');
  return L"\\\\.\\" + form + L"0001";
}

HubChip::HubChip(HubConfig config) : config_(std::move(config)) {
  if (config_.firmwareVersion) {
    const auto image = makeImage(*config_.firmwareVersion);
    flash_.setImage(0, image);
    flash_.setImage(1, image);
  }
  powerOn(0);
}

std::optional<std::array<std::uint8_t, 6>> HubChip::validFirmware(const std::uint8_t* image, std::uint8_t chipType) {
  const std::uint32_t length = image[256] | (image[257] << 8);
  if (!filter::isValidFirmwareLength(length) || 260 + length > filter::kImageSize) return std::nullopt;
  const std::uint8_t* code = image + 258;
  if (code[length] != filter::chipMarkerFor(static_cast<std::uint8_t>(chipType << 4))) return std::nullopt;
  if (code[length + 1] != static_cast<std::uint8_t>(std::accumulate(code, code + length, 0u))) return std::nullopt;
  std::array<std::uint8_t, 6> version{};
  std::copy_n(code + filter::kVersionOffsetInCode, 6, version.begin());
  return version;
}

void HubChip::boot() {
  running_ = Running::Rom;
  version_ = config_.romVersion;
  for (std::uint32_t image : {0u, 1u}) {
    if (const auto v = validFirmware(flash_.image(image), config_.chipType())) {
      running_ = image == 0 ? Running::Image0 : Running::Image1;
      version_ = *v;
      break;
    }
  }
  resetRegisters();
  download_ = Download{};
}

void HubChip::resetRegisters() {
  registers_.fill(0);
  std::copy(version_.begin(), version_.end(), registers_.begin() + filter::reg::kVersionBlock);
  std::copy(config_.familyCode.begin(), config_.familyCode.end(), registers_.begin() + filter::reg::kVersionBlock + 8);
  registers_[filter::reg::kSignature] = filter::kSignatureCleared;
  registers_[filter::reg::kSignatureNumber] = filter::kSignatureCleared;
  registers_[0x3000] = config_.reg30x0[0];
  registers_[0x3100] = config_.reg30x0[1];
  registers_[0x3200] = config_.reg30x0[2];
  registers_[0x3601] = config_.reg36x1[0];
  registers_[0x3611] = config_.reg36x1[1];
  registers_[0x3621] = config_.reg36x1[2];
  registers_[filter::reg::kChipRevision] = config_.chipRevision;
  registers_[filter::reg::kUsbStatus] = config_.usbStatus;
  registers_[filter::reg::kCpuStartPosition] = config_.cpuStartPosition;
}

nlohmann::json HubChip::runningState() const {
  nlohmann::json registers = nlohmann::json::object();
  for (std::uint16_t address : kWritable) registers[std::to_string(address)] = registers_[address];
  const char* running = running_ == Running::Image0 ? "image0" : running_ == Running::Image1 ? "image1" : "rom";
  return {{"powered", powered_},
          {"running", running},
          {"version", std::vector<std::uint8_t>(version_.begin(), version_.end())},
          {"registers", registers}};
}

bool HubChip::restoreRunningState(const nlohmann::json& state) {
  if (!state.is_object() || !state.contains("powered") || !state["powered"].is_boolean() ||
      !state.contains("running") || !state["running"].is_string() || !state.contains("version") ||
      !state["version"].is_array() || state["version"].size() != 6 || !state.contains("registers") ||
      !state["registers"].is_object()) {
    return false;
  }
  const std::string running = state["running"].get<std::string>();
  if (running != "image0" && running != "image1" && running != "rom") return false;
  boot();  // the registers the program cannot write come from the chip itself
  running_ = running == "image0" ? Running::Image0 : running == "image1" ? Running::Image1 : Running::Rom;
  for (std::size_t i = 0; i < 6; ++i) version_[i] = state["version"][i].get<std::uint8_t>();
  std::copy(version_.begin(), version_.end(), registers_.begin() + filter::reg::kVersionBlock);
  for (const auto& [address, value] : state["registers"].items()) {
    const unsigned long at = std::stoul(address);
    if (at < registers_.size() && value.is_number_unsigned()) writeRegister(static_cast<std::uint16_t>(at), value.get<std::uint8_t>());
  }
  powered_ = state["powered"].get<bool>();
  return true;
}

void HubChip::powerOff() {
  powered_ = false;
  download_ = Download{};
}

void HubChip::powerOn(Ticks now) {
  powered_ = true;
  offBusUntil_ = now;
  eraseUntil_ = now;
  eraseForever_ = false;
  notErasedWrites_ = 0;
  boot();
}

bool HubChip::present(Ticks now) const { return powered_ && now >= offBusUntil_; }

void HubChip::cpuReset(Ticks now) {
  offBusUntil_ = now + static_cast<Ticks>(config_.offBusMs) * kTicksPerMs;
  boot();
}

bool HubChip::eraseBusy(Ticks now) const { return eraseForever_ || now < eraseUntil_; }

std::uint8_t HubChip::readRegister(std::uint16_t address, Ticks now) const {
  if (address == filter::reg::kEraseStatus) return eraseBusy(now) ? 0 : 1;
  return registers_[address];
}

void HubChip::writeRegister(std::uint16_t address, std::uint8_t value) {
  if (isWritable(address)) registers_[address] = value;
}

std::optional<Reply> HubChip::injectedFault() {
  const FaultConfig& f = config_.faults;
  if (f.failAt.set() && failStart_ == 0 && aims_.hits(f.failAt)) failStart_ = requests_;
  const std::uint32_t from = f.failAt.set() ? failStart_ : f.failFromRequest;
  if (f.failCount == 0 || (f.failAt.set() && failStart_ == 0) || requests_ < from) return std::nullopt;
  if (f.failCount != 0xFFFFFFFFu && requests_ - from >= f.failCount) return std::nullopt;
  if (f.immediateError != 0) return refuse(f.immediateError);
  if (f.completionError != 0) return fail(f.completionError);
  return std::nullopt;
}

Reply HubChip::request(Connection connection, std::uint32_t code, const std::uint8_t* in, std::uint32_t inLength,
                       std::uint8_t* out, std::uint32_t outLength, Ticks now) {
  if (!present(now)) return refuse(simerr::kDeviceNotConnected);
  ++requests_;
  aims_.count(classifyRequest(code, in, inLength));
  const FaultConfig& f = config_.faults;
  torn_ = f.tornAtRequest.set() && aims_.hits(f.tornAtRequest);
  badErase_ = f.badEraseAtRequest.set() && aims_.hits(f.badEraseAtRequest);
  Reply reply;
  if (const auto fault = injectedFault()) {
    reply = *fault;
  } else if (in == nullptr || inLength < filter::kHeaderSize || (outLength != 0 && out == nullptr)) {
    reply = refuse();
  } else if (code == filter::kIoctlVendorOut) {
    reply = vendorOut(in, inLength, outLength, now);
  } else if (code == filter::kIoctlVendorIn) {
    reply = vendorIn(in, inLength, out, outLength, now);
  } else if (code == filter::kIoctlGeneric) {
    reply = generic(connection, in, inLength, out, outLength, now);
  } else {
    reply = refuse(simerr::kInvalidFunction);
  }
  applyReplyFaults(reply);
  if (config_.faults.powerLossAfterRequest != 0 && requests_ == config_.faults.powerLossAfterRequest) powerOff();
  if (f.powerLossAt.set() && aims_.hits(f.powerLossAt)) powerOff();
  return reply;
}

void HubChip::applyReplyFaults(Reply& reply) {
  const FaultConfig& f = config_.faults;
  if (torn_) {
    // The power went half-way through: whatever the request did so far stays.
    torn_ = false;
    powerOff();
    reply = fail(simerr::kDeviceNotConnected);
  }
  if (reply.error == 0 && reply.bytes > 0 && f.shortReplyAtRequest.set() && aims_.hits(f.shortReplyAtRequest)) {
    --reply.bytes;
  }
  if (f.stuckAtRequest.set() && aims_.hits(f.stuckAtRequest)) reply.stuck = true;
  if (f.killAt.set() && aims_.hits(f.killAt)) reply.killProgram = true;
  if (f.renameAt.set() && aims_.hits(f.renameAt)) reply.renameFiles = true;
}

Reply HubChip::erase(std::uint32_t image, std::uint32_t half, Ticks now) {
  constexpr std::uint32_t kHalf = SpiFlash::kImageSize / 2;
  // A torn erase stops half-way; a bad one leaves its end as it was.
  flash_.eraseHalf(image, half, torn_ ? kHalf / 2 : badErase_ ? kHalf - 256 : kHalf);
  eraseUntil_ = now + static_cast<Ticks>(config_.eraseMs) * kTicksPerMs;
  eraseForever_ = eraseForever_ || config_.faults.eraseNeverFinishes;
  return ok();
}

Reply HubChip::vendorOut(const std::uint8_t* in, std::uint32_t inLength, std::uint32_t outLength, Ticks now) {
  const filter::Header h = filter::decodeHeader(in);
  if (h.kind != filter::kKindVendor || h.word2 != 0 || outLength != 0) return refuse();
  const std::uint32_t opcode = h.word3, value = h.word4, address = h.word5;
  const std::uint32_t payload = inLength - filter::kHeaderSize;
  switch (opcode) {
    case filter::op::kRegisterWrite:
    case filter::op::kWordRegister: {
      if (payload < 1 || payload > filter::kMaxRegisterLength || address > 0xFFFF) return refuse();
      if (config_.faults.legacyRegistersOnly) return fail(simerr::kGenFailure);
      if (opcode == filter::op::kWordRegister) {
        if (address != filter::reg::kWord || value > 0xFFFF) return refuse();
        writeRegister(filter::reg::kWord, static_cast<std::uint8_t>(value));
        writeRegister(filter::reg::kWord + 1, static_cast<std::uint8_t>(value >> 8));
        return ok();
      }
      if (value > 0xFF) return refuse();
      if (address == filter::reg::kCpuReset && value == 1 && registers_[filter::reg::kCpuStartPosition] == 0) {
        // The processor restarts before the write completes.
        cpuReset(now);
        return fail(simerr::kDeviceNotConnected);
      }
      writeRegister(static_cast<std::uint16_t>(address), static_cast<std::uint8_t>(value));
      return ok();
    }
    case filter::op::kConfigWrite:
    case filter::op::kConfigWrite0:
    case filter::op::kFirmwareWrite:
    case filter::op::kFirmwareWrite0:
      if (inLength != filter::kPacketSize || value > 1) return refuse();
      return download(opcode, value, address, in + filter::kHeaderSize);
    case filter::op::kErase: {
      const std::uint32_t image = value & 0xFF, half = value >> 8;
      if (payload != 0 || address != 0 || image > 1 || half > 1) return refuse();
      return erase(image, half, now);
    }
    case filter::op::kCpuReset:
      if (payload != 0 || value != 0 || address != 0) return refuse();
      cpuReset(now);
      return ok();
    default:
      return refuse(simerr::kInvalidFunction);
  }
}

Reply HubChip::download(std::uint32_t opcode, std::uint32_t image, std::uint32_t total, const std::uint8_t* data) {
  const bool config = opcode == filter::op::kConfigWrite || opcode == filter::op::kConfigWrite0;
  if (config ? total != filter::kConfigTableSize : (total == 0 || total > filter::kImageSize)) return refuse();
  const bool continues = download_.active && download_.opcode == opcode && download_.image == image;
  if (continues && download_.total != total) return refuse();
  if (!continues) download_ = Download{true, opcode, image, total, 0};
  const std::uint32_t from = download_.nextPacket * filter::kPacketData;
  const std::uint32_t bytes = std::min(filter::kPacketData, total - from);
  const std::uint32_t base = config ? 0 : filter::kFirmwareAreaOffset;
  // A torn program stores only its first half.
  notErasedWrites_ += flash_.program(image, base + from, data, torn_ ? bytes / 2 : bytes);
  const auto flip = config_.faults.flipBitAtOffset;
  const std::uint32_t at = image * SpiFlash::kImageSize + base + from;
  if (flip && *flip >= at && *flip < at + bytes) flash_.flipBit(*flip);
  ++download_.nextPacket;
  if (download_.nextPacket * filter::kPacketData >= total) download_.active = false;
  return ok();
}

Reply HubChip::vendorIn(const std::uint8_t* in, std::uint32_t inLength, std::uint8_t* out, std::uint32_t outLength,
                        Ticks now) {
  const filter::Header h = filter::decodeHeader(in);
  if (h.kind != filter::kKindVendor || h.word2 != 0 || inLength != filter::kHeaderSize) return refuse();
  const std::uint32_t opcode = h.word3, value = h.word4, address = h.word5;
  switch (opcode) {
    case filter::op::kRegisterRead:
    case filter::op::kWordRegister:
      if (outLength < 1 || outLength > filter::kMaxRegisterLength || value != 0 || address + outLength > 0x10000) {
        return refuse();
      }
      if (opcode == filter::op::kWordRegister && address != filter::reg::kWord) return refuse();
      if (config_.faults.legacyRegistersOnly) return fail(simerr::kGenFailure);
      for (std::uint32_t i = 0; i < outLength; ++i) out[i] = readRegister(static_cast<std::uint16_t>(address + i), now);
      return ok(outLength);
    case filter::op::kImageRead:
    case filter::op::kImageRead0:
      if (outLength < 1 || outLength > kMaxImageRead || value > 1 || address + outLength > filter::kImageSize) {
        return refuse();
      }
      flash_.read(value, address, out, outLength);
      return ok(outLength);
    default:
      return refuse(simerr::kInvalidFunction);
  }
}

Reply HubChip::generic(Connection connection, const std::uint8_t* in, std::uint32_t inLength, std::uint8_t* out,
                       std::uint32_t outLength, Ticks now) {
  if (inLength != filter::kHeaderSize) return refuse();
  const filter::Header h = filter::decodeHeader(in);
  if (h.word4 != 0 || h.word5 != 0) return refuse();
  switch (h.kind) {
    case filter::kKindGetDeviceDescriptor:
      if (h.word2 != 0 || h.word3 != 0) return refuse();
      return deviceDescriptor(connection, out, outLength);
    case filter::kKindGetStringDescriptor:
      return stringDescriptor(connection, h.word2, h.word3, out, outLength);
    case filter::kKindOldRegisterRead:
    case filter::kKindOldRegisterWrite: {
      if (outLength < 1 || outLength > filter::kMaxRegisterLength || h.word3 + outLength > 0x10000) return refuse();
      if (h.kind == filter::kKindOldRegisterWrite) {
        if (h.word2 > 0xFF) return refuse();
        writeRegister(static_cast<std::uint16_t>(h.word3), static_cast<std::uint8_t>(h.word2));
        return ok();
      }
      if (h.word2 != 0) return refuse();
      for (std::uint32_t i = 0; i < outLength; ++i) out[i] = readRegister(static_cast<std::uint16_t>(h.word3 + i), now);
      return ok(outLength);
    }
    default:
      return refuse(simerr::kInvalidFunction);
  }
}

Reply HubChip::deviceDescriptor(Connection connection, std::uint8_t* out, std::uint32_t outLength) const {
  const auto& c = connection == Connection::Usb3 ? config_.usb3 : config_.usb2;
  const std::uint16_t pid = c ? c->pid : 0;
  const std::uint16_t bcdUSB = c ? c->bcdUSB : 0;
  const std::array<std::uint8_t, kDescriptorSize> d{
      kDescriptorSize, 1,
      static_cast<std::uint8_t>(bcdUSB), static_cast<std::uint8_t>(bcdUSB >> 8),
      9, 0, static_cast<std::uint8_t>(connection == Connection::Usb3 ? 3 : 2),
      static_cast<std::uint8_t>(connection == Connection::Usb3 ? 9 : 64),
      static_cast<std::uint8_t>(config_.vid), static_cast<std::uint8_t>(config_.vid >> 8),
      static_cast<std::uint8_t>(pid), static_cast<std::uint8_t>(pid >> 8),
      static_cast<std::uint8_t>(config_.bcdDevice), static_cast<std::uint8_t>(config_.bcdDevice >> 8),
      // A hub without a manufacturer text names none (index 0).
      static_cast<std::uint8_t>(hasManufacturer(config_) ? config_.manufacturerIndex : 0), productIndex(config_),
      static_cast<std::uint8_t>(hasSerial(config_) ? kSerialIndex : 0), 1};
  const std::uint32_t n = std::min<std::uint32_t>(outLength, kDescriptorSize);
  std::copy_n(d.begin(), n, out);
  return ok(n);
}

Reply HubChip::stringDescriptor(Connection, std::uint32_t index, std::uint32_t language, std::uint8_t* out,
                                std::uint32_t outLength) const {
  std::vector<std::uint8_t> d;
  if (index == 0) {
    if (language != 0) return refuse();
    d = {4, 3, static_cast<std::uint8_t>(config_.languageId), static_cast<std::uint8_t>(config_.languageId >> 8)};
  } else {
    const RawStrings& raw = config_.rawStrings;
    std::optional<std::vector<std::uint8_t>> found;
    if (index == config_.manufacturerIndex) found = stringBytes(raw.manufacturer, config_.manufacturer);
    if (index == productIndex(config_)) found = stringBytes(raw.product, config_.product);
    if (index == kSerialIndex && hasSerial(config_)) found = stringBytes(raw.serial, config_.serial);
    // A device stalls a request for a string it does not have.
    if (!found || language != config_.languageId || index > 0xFF) return fail(simerr::kGenFailure);
    d = std::move(*found);
  }
  const std::uint32_t n = std::min<std::uint32_t>(outLength, static_cast<std::uint32_t>(d.size()));
  if (n > 0) std::copy_n(d.begin(), n, out);
  return ok(n);
}

}  // namespace hbx::sim::hub
