#pragma once
// Where a fault of a bench hub strikes: at a request number (every request
// sent to the hub counts, from 1), or at the nth request of a phase of the
// update (the erases, the configuration-table write, the firmware download,
// the read-back of an image, the processor reset), optionally of one image
// only. In bench.json an aim is a number or an object:
//   "tornAtRequest": 12
//   "tornAtRequest": {"phase": "erase", "image": 1}            first erase of image 1
//   "shortReplyAtRequest": {"phase": "readback", "nth": 3}     third read-back request
#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include <nlohmann/json_fwd.hpp>

namespace hbx::sim::hub {

enum class Phase { None, Register, Erase, Table, Download, Readback, Reset, Descriptor, Other };
inline constexpr std::size_t kPhases = 9;

// What one request does, from its control code and command header.
struct RequestKind {
  Phase phase = Phase::Other;
  std::optional<std::uint32_t> image;  // for erases, writes and reads of an image
};
RequestKind classifyRequest(std::uint32_t code, const std::uint8_t* in, std::uint32_t inLength);

const char* phaseName(Phase phase);

struct FaultAim {
  std::uint32_t request = 0;  // 0: aimed by phase (or not at all)
  Phase phase = Phase::None;
  std::uint32_t nth = 1;
  std::optional<std::uint32_t> image;

  bool set() const { return request != 0 || phase != Phase::None; }
  nlohmann::json toJson() const;
};

// Throws BenchFieldError naming `where` for a value that is not an aim.
FaultAim parseFaultAim(const nlohmann::json& value, const std::string& where);

// Counts the requests of a hub by phase and image, to match aims.
class AimCounter {
 public:
  // Counts one more request; afterwards hits() answers for it.
  void count(const RequestKind& kind);
  bool hits(const FaultAim& aim) const;
  std::uint32_t requests() const { return requests_; }

 private:
  std::uint32_t requests_ = 0;
  RequestKind last_;
  std::array<std::array<std::uint32_t, 3>, kPhases> byPhase_{};  // [phase][image 0, image 1, any]
};

}  // namespace hbx::sim::hub
