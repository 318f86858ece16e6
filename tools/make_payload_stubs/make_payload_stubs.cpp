// Writes the stand-ins of the carried binaries that cannot be ours on Linux:
// the filter driver builds, the two support libraries and the device-console
// tools, as minimal PE files with a version resource.
//   make_payload_stubs <output folder>
#include <cstdio>
#include <filesystem>

#include "tools/pe_stub/pe_stub_writer.h"

namespace {

struct Stub {
  const char* file;
  std::array<std::uint16_t, 4> version;
  std::uint16_t subsystem;
};

// Every driver build carries the version the program checks.
constexpr Stub kStubs[] = {
    {"zeltufdriver_i386.sys", {1, 0, 7, 0}, 1},
    {"zeltufdriver_amd64.sys", {1, 0, 7, 0}, 1},
    {"zeltufdriver_amd64_kmdf.sys", {1, 0, 7, 0}, 1},
    {"k9371937.DLL", {1, 0, 0, 1}, 2},
    {"msvcrtd.dll", {6, 0, 8168, 0}, 2},
    {"devcon.exe", {6, 1, 7600, 16385}, 3},
    {"devconAMD64.exe", {6, 1, 7600, 16385}, 3},
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_payload_stubs <output folder>\n");
    return 2;
  }
  const std::filesystem::path folder = argv[1];
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  for (const Stub& stub : kStubs) {
    hbx::tools::PeStubOptions options;
    options.fileVersion = stub.version;
    options.subsystem = stub.subsystem;
    if (!hbx::tools::writePeStub(folder / stub.file, options)) {
      std::fprintf(stderr, "make_payload_stubs: cannot write %s\n", (folder / stub.file).string().c_str());
      return 1;
    }
  }
  return 0;
}
