// The program on Linux: the simulated Windows host stands in for the platform.
#include <cstdio>
#include <optional>
#include <string>

#include "base/log/format.h"
#include "app/program.h"
#include "sim/posix_terminal.h"
#include "sim/signal_watch.h"
#include "sim/sim_host.h"
#include "sim/sim_system.h"
#include "ui/render/terminal_view.h"

namespace {
// Not one of the program's own exit codes (0, -4, -5, -7, -9, -10, -20).
constexpr int kBenchRefused = 2;
// A replayed trace that the run did not follow (docs/trace.md).
constexpr int kReplayFailed = 3;
}  // namespace

int main(int argc, char** argv) {
  // Before any thread starts, so that only the watch takes these signals.
  hbx::sim::blockWatchedSignals();
  hbx::sim::SimHostOptions options = hbx::sim::optionsFromEnvironment(argc > 0 ? argv[0] : nullptr);
  // On a terminal, interactive mode draws the dialog live; what the program
  // prints meanwhile is kept under the picture.
  std::optional<hbx::sim::PosixTerminal> terminal;
  std::optional<hbx::ui::render::TerminalDialogView> view;
  if (hbx::sim::PosixTerminal::outputIsTerminal()) {
    terminal.emplace();
    view.emplace(*terminal);
    options.standardOutput = [&view](const std::string& text) { view->programOutput(text); };
  }
  hbx::sim::SimHost host(std::move(options));
  if (!host.benchError().empty()) {
    // Never run on a bench that was only partly understood.
    std::fprintf(stderr, "8634FWUpgradeTool: bench refused: %s\n", host.benchError().c_str());
    return kBenchRefused;
  }
  hbx::sim::SignalWatch signals(host.system());
  // Windows hands the program its arguments as one line.
  std::wstring commandLine;
  for (int i = 1; i < argc; ++i) {
    if (i > 1) commandLine += L' ';
    commandLine += hbx::fromUtf8(argv[i]);
  }
  const int code = hbx::app::runProgram(host.ports(), commandLine, view ? &*view : nullptr);
  if (const std::string verdict = host.replayVerdict(); !verdict.empty()) {
    std::fprintf(stderr, "8634FWUpgradeTool: replay failed: %s\n", verdict.c_str());
    return kReplayFailed;
  }
  // The exit status is the run's code as an 8-bit value (-10 is 246).
  return code & 0xFF;
}
