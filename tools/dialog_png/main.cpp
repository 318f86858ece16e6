// hbx_dialog_png BENCH.json mid|end OUT.png [--terminal] [--state FILE] [-- ARGUMENTS...]
// Runs the program in interactive mode on a fresh copy of the bench that
// BENCH.json describes (docs/bench.md), sees its dialog as a user would and
// writes the dialog at the moment asked for as a PNG: `mid` while the hubs
// are written, `end` once the run has ended. ARGUMENTS are the program's
// command line (none by default). With --terminal the same moment is also
// printed as the terminal view draws it; with --state the controls' state of
// that moment is written to FILE (dialog_state.h). Ends with 0 when the run reached
// the moment and the picture was written.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>

#include "app/program.h"
#include "base/log/format.h"
#include "sim/sim_host.h"
#include "tools/dialog_png/capture_view.h"
#include "ui/render/png_writer.h"

namespace {

namespace fs = std::filesystem;

// Waits of the run are this much shorter than real ones.
constexpr double kTimeScale = 0.01;

int usage(const char* program) {
  std::fprintf(stderr, "usage: %s BENCH.json mid|end OUT.png [--terminal] [--state FILE] [-- ARGUMENTS...]\n", program);
  return 2;
}

// A new empty folder for the bench's computer (its drive C: and the rest).
fs::path freshBenchFolder(const fs::path& benchJson, std::string& error) {
  std::string pattern = (fs::temp_directory_path() / "hbx_dialog_png_XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) {
    error = "cannot make a bench folder";
    return {};
  }
  std::error_code ec;
  fs::copy_file(benchJson, fs::path(pattern) / "bench.json", ec);
  if (ec) error = benchJson.string() + ": " + ec.message();
  return pattern;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) return usage(argv[0]);
  const std::string moment = argv[2];
  if (moment != "mid" && moment != "end") return usage(argv[0]);
  bool terminal = false;
  const char* stateFile = nullptr;
  std::wstring commandLine;
  for (int i = 4; i < argc; ++i) {
    if (std::strcmp(argv[i], "--terminal") == 0) {
      terminal = true;
    } else if (std::strcmp(argv[i], "--state") == 0 && i + 1 < argc) {
      stateFile = argv[++i];
    } else if (std::strcmp(argv[i], "--") == 0) {
      for (int k = i + 1; k < argc; ++k) commandLine += (commandLine.empty() ? L"" : L" ") + hbx::fromUtf8(argv[k]);
      break;
    } else {
      return usage(argv[0]);
    }
  }

  std::string error;
  const fs::path folder = freshBenchFolder(argv[1], error);
  int status = 0;
  if (error.empty()) {
    hbx::sim::SimHostOptions options;
    options.benchFolder = folder;
    options.timeScale = kTimeScale;
    std::string printed;  // message boxes and the like, shown when something went wrong
    options.standardOutput = [&printed](const std::string& text) { printed += text; };
    hbx::tools::CaptureView view(moment == "mid" ? hbx::tools::Moment::kMidRun : hbx::tools::Moment::kEnd);
    int exitCode = 0;
    {
      hbx::sim::SimHost host(std::move(options));
      if (!host.benchError().empty()) {
        error = "bench refused: " + host.benchError();
      } else {
        exitCode = hbx::app::runProgram(host.ports(), commandLine, &view);
      }
    }
    if (error.empty() && !view.picture()) {
      error = "the run (exit code " + std::to_string(exitCode) + ") never showed that moment\n" + printed;
    }
    if (error.empty() && !hbx::ui::render::writePng(view.picture()->image, argv[3], error)) status = 1;
    if (error.empty() && stateFile != nullptr) {
      std::ofstream state(stateFile, std::ios::binary);
      state << view.stateText();
      if (!state) error = std::string(stateFile) + ": cannot write the state";
    }
    if (error.empty() && terminal) std::cout << view.terminalText();
  }
  std::error_code ignored;
  if (!folder.empty()) fs::remove_all(folder, ignored);
  if (!error.empty()) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 1;
  }
  return status;
}
