// The source-swap family: the firmware file named on the command line is
// replaced, while the run goes on, by a file renamed over it: a configuration
// file of another chip type, one of the same chip type with another version,
// or a pipe. The run read its source once at start-up, so a point recovered
// when
// - the run ended by itself, with 0;
// - it passed the hub on its console line with the version it read
//   (25031825010C), and the hub holds that firmware in image 0 and, after a
//   power cycle, runs it;
// - the file renamed over the source is still there, as another program left it.
#include <sys/stat.h>

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <span>
#include <vector>

#include <nlohmann/json.hpp>

#include "image/image_layout.h"
#include "sim/sim_payloads.h"
#include "tools/fault_matrix/matrix_bench.h"
#include "tools/fault_matrix/matrix_families.h"
#include "tools/fault_matrix/program_process.h"

namespace hbx::faultmatrix {

namespace {

namespace fs = std::filesystem;
using sim::hub::Phase;

constexpr char kSource[] = "Config_25031825010C.bin";
constexpr char kReplacement[] = "replacement.bin";

enum class Replacement { OtherChipType, OtherVersion, Pipe };

const char* replacementName(Replacement r) {
  switch (r) {
    case Replacement::OtherChipType: return "a configuration file of another chip type";
    case Replacement::OtherVersion: return "a configuration file of another version";
    case Replacement::Pipe: return "a pipe";
  }
  return "";
}

std::vector<std::uint8_t> carriedImage() {
  sim::SimPayloads payloads;
  const auto bytes = payloads.payload(L"BIN", 166);
  return bytes ? *bytes : std::vector<std::uint8_t>();
}

// The carried image with version byte `index` set to `value`, its chip
// marker and checksum made right again: an image every check passes.
std::vector<std::uint8_t> imageWithVersionByte(std::size_t index, std::uint8_t value) {
  std::vector<std::uint8_t> image = carriedImage();
  const std::size_t at = image::kFirmwareAreaOffset;
  if (image.size() < image::kVersionInImage + image::kVersionBytes) return image;
  image[image::kVersionInImage + index] = value;
  const std::size_t length = image[at] | (image[at + 1] << 8);
  const std::size_t code = at + image::kFirmwareLengthBytes;
  if (code + length + 2 > image.size()) return image;
  image[code + length] = image::chipMarkerOf(image[image::kVersionInImage + image::kTypeByteIndex]);
  image[code + length + 1] = image::byteSum(std::span<const std::uint8_t>(image).subspan(code, length));
  return image;
}

bool placeReplacement(const fs::path& file, Replacement r) {
  if (r == Replacement::Pipe) return ::mkfifo(file.c_str(), 0644) == 0;
  // Chip type 0 instead of 2 (bits 6-4 of byte 3), or the last version byte one more.
  const std::vector<std::uint8_t> image = r == Replacement::OtherChipType
                                              ? imageWithVersionByte(image::kTypeByteIndex, 0x05)
                                              : imageWithVersionByte(5, 0x0D);
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(image.data()), static_cast<std::streamsize>(image.size()));
  return static_cast<bool>(out);
}

std::string swapDuringRun(const PointPlace& place, const nlohmann::json& aim, Replacement r) {
  const fs::path folder = place.program.parent_path();
  const std::vector<std::uint8_t> source = carriedImage();
  std::ofstream(folder / kSource, std::ios::binary)
      .write(reinterpret_cast<const char*>(source.data()), static_cast<std::streamsize>(source.size()));
  if (!placeReplacement(folder / kReplacement, r)) return "the replacement could not be placed";
  const nlohmann::json faults = {
      {"renameAt", {{"at", aim}, {"from", (folder / kReplacement).string()}, {"to", (folder / kSource).string()}}}};
  BenchLayout layout;
  layout.hubs = {{"cut", faults.dump()}};
  layout.relink = true;  // a reset after the update: its wait is a moment too
  writeBench(place.bench, layout);
  const ProgramRun run =
      runProgram(place.program, place.bench, {"/DOS", "/DBG", "3", "/U", kSource}, place.debugLog);
  if (!run.exited || run.code != 0) return "the run " + endedText(run);
  if (fs::exists(folder / kReplacement)) return "the file was not renamed over the source: no swap came";
  if (run.output.find("The Hub[0] FW Update PASS") == std::string::npos) return "the hub was not passed";
  const std::string holds = image0Version(place.bench, "cut");
  if (holds != kCarriedVersion) return "the hub was passed but holds " + holds;
  powerCycle(place.bench);
  const std::string running = runningVersion(place.bench, "cut");
  if (running != kCarriedVersion) return "after a power cycle the hub runs " + running;
  std::error_code ec;
  if (r == Replacement::Pipe ? !fs::is_fifo(folder / kSource, ec) : !fs::is_regular_file(folder / kSource, ec))
    return "the file renamed over the source is gone";
  return "";
}

}  // namespace

std::vector<Point> sourceSwapPoints(const std::vector<Step>& steps, bool quick) {
  struct Moment {
    std::string where;
    nlohmann::json aim;
  };
  std::vector<Moment> moments;
  // The scan: its first request, and its last before the hub is written
  // (staging follows it).
  moments.push_back({"the scan's first request", 1});
  std::uint32_t lastScan = 0;
  for (const Step& step : steps) {
    if (isFlashStep(step)) break;
    lastScan = step.request;
  }
  if (!quick && lastScan > 1) moments.push_back({"the scan's last request", lastScan});
  // The writes: the first erase, table packet, download packet of each
  // image, the middle and last download packet, and the first read-back.
  std::uint32_t downloads = 0;
  for (const Step& step : steps)
    if (step.phase == Phase::Download) downloads = std::max(downloads, step.nthOfPhase);
  const auto phaseAim = [](const char* phase, std::uint32_t nth) { return nlohmann::json{{"phase", phase}, {"nth", nth}}; };
  moments.push_back({"the first erase", phaseAim("erase", 1)});
  if (!quick) {
    moments.push_back({"the first table packet", phaseAim("table", 1)});
    moments.push_back({"the first download packet", phaseAim("download", 1)});
    if (downloads > 2) moments.push_back({"the middle download packet", phaseAim("download", (downloads + 1) / 2)});
    if (downloads > 1) moments.push_back({"the last download packet", phaseAim("download", downloads)});
    moments.push_back({"the first read-back", phaseAim("readback", 1)});
  }
  moments.push_back({"the reset wait", nlohmann::json{{"phase", "reset"}}});
  std::vector<Point> points;
  for (const Replacement r : {Replacement::OtherChipType, Replacement::OtherVersion, Replacement::Pipe}) {
    for (const Moment& moment : moments) {
      const nlohmann::json aim = moment.aim;
      points.push_back({std::string(replacementName(r)) + " renamed over the source at " + moment.where,
                        [aim, r](const PointPlace& place) { return swapDuringRun(place, aim, r); }});
    }
  }
  return points;
}

}  // namespace hbx::faultmatrix
