#include "sim/hub/fault_aim.h"

#include <nlohmann/json.hpp>

#include "hub/device/filter_protocol.h"
#include "sim/bench_fields.h"

namespace hbx::sim::hub {

namespace {

struct PhaseText {
  Phase phase;
  const char* name;
};
constexpr std::array<PhaseText, 7> kNamed{{{Phase::Register, "register"},
                                           {Phase::Erase, "erase"},
                                           {Phase::Table, "table"},
                                           {Phase::Download, "download"},
                                           {Phase::Readback, "readback"},
                                           {Phase::Reset, "reset"},
                                           {Phase::Descriptor, "descriptor"}}};

}  // namespace

const char* phaseName(Phase phase) {
  for (const auto& p : kNamed) {
    if (p.phase == phase) return p.name;
  }
  return "other";
}

RequestKind classifyRequest(std::uint32_t code, const std::uint8_t* in, std::uint32_t inLength) {
  if (in == nullptr || inLength < filter::kHeaderSize) return {};
  const filter::Header h = filter::decodeHeader(in);
  if (code == filter::kIoctlGeneric) {
    const bool descriptor = h.kind == filter::kKindGetDeviceDescriptor || h.kind == filter::kKindGetStringDescriptor;
    return {descriptor ? Phase::Descriptor : Phase::Register, std::nullopt};
  }
  if (h.kind != filter::kKindVendor) return {};
  const std::uint32_t opcode = h.word3, value = h.word4, address = h.word5;
  if (code == filter::kIoctlVendorIn) {
    if (opcode == filter::op::kImageRead || opcode == filter::op::kImageRead0) return {Phase::Readback, value};
    return {Phase::Register, std::nullopt};
  }
  switch (opcode) {
    case filter::op::kErase:
      return {Phase::Erase, value & 0xFF};
    case filter::op::kConfigWrite:
    case filter::op::kConfigWrite0:
      return {Phase::Table, value};
    case filter::op::kFirmwareWrite:
    case filter::op::kFirmwareWrite0:
      return {Phase::Download, value};
    case filter::op::kCpuReset:
      return {Phase::Reset, std::nullopt};
    case filter::op::kRegisterWrite:
      if (address == filter::reg::kCpuReset && value == 1) return {Phase::Reset, std::nullopt};
      return {Phase::Register, std::nullopt};
    default:
      return {Phase::Register, std::nullopt};
  }
}

nlohmann::json FaultAim::toJson() const {
  if (request != 0 || phase == Phase::None) return request;
  nlohmann::json aim = {{"phase", phaseName(phase)}, {"nth", nth}};
  if (image) aim["image"] = *image;
  return aim;
}

FaultAim parseFaultAim(const nlohmann::json& value, const std::string& where) {
  FaultAim aim;
  if (value.is_number()) {
    aim.request = numberValue(value, where, 0, 0xFFFFFFFFu);
    return aim;
  }
  if (!value.is_object()) throw BenchFieldError{where, "expected a request number or {\"phase\": ...}"};
  checkKeys(value, where, {"phase", "nth", "image"});
  const std::string name = value.contains("phase") && value["phase"].is_string() ? value["phase"].get<std::string>() : "";
  for (const auto& p : kNamed) {
    if (name == p.name) aim.phase = p.phase;
  }
  if (aim.phase == Phase::None) {
    throw BenchFieldError{where + "/phase", "expected register, erase, table, download, readback, reset or descriptor"};
  }
  if (value.contains("nth")) aim.nth = numberValue(value["nth"], where + "/nth", 1, 0xFFFFFFFFu);
  if (value.contains("image")) aim.image = numberValue(value["image"], where + "/image", 0, 1);
  return aim;
}

void AimCounter::count(const RequestKind& kind) {
  ++requests_;
  last_ = kind;
  auto& counts = byPhase_[static_cast<std::size_t>(kind.phase)];
  ++counts[2];
  if (kind.image && *kind.image < 2) ++counts[*kind.image];
}

bool AimCounter::hits(const FaultAim& aim) const {
  if (aim.request != 0) return requests_ == aim.request;
  if (aim.phase == Phase::None || aim.phase != last_.phase) return false;
  if (aim.image && last_.image != aim.image) return false;
  const auto& counts = byPhase_[static_cast<std::size_t>(aim.phase)];
  return counts[aim.image ? *aim.image : 2] == aim.nth;
}

}  // namespace hbx::sim::hub
