#include "sim/signal_watch.h"

#include <signal.h>
#include <time.h>
#include <unistd.h>

#include "sim/posix_terminal.h"
#include "sim/sim_processes.h"
#include "sim/sim_system.h"

namespace hbx::sim {

namespace {

constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};

sigset_t watchedSignals() {
  sigset_t set;
  sigemptyset(&set);
  for (int s : kStopSignals) sigaddset(&set, s);
  sigaddset(&set, SimProcesses::terminateSignal());
  return set;
}

}  // namespace

void blockWatchedSignals() {
  const sigset_t set = watchedSignals();
  pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

SignalWatch::SignalWatch(SimSystem& system) : system_(system), thread_([this] { run(); }) {}

SignalWatch::~SignalWatch() {
  stop_ = true;
  thread_.join();
}

void SignalWatch::run() {
  const sigset_t set = watchedSignals();
  // Looks for the end of the watch a few times a second.
  const timespec period{0, 100'000'000};
  while (!stop_) {
    siginfo_t info{};
    const int signal = sigtimedwait(&set, &info, &period);
    if (signal < 0) continue;
    if (signal == SimProcesses::terminateSignal()) {
      // Ended from outside: nothing of the program runs any more, only the
      // terminal is given back.
      PosixTerminal::restoreForSignal();
      ::_exit(info.si_code == SI_QUEUE ? info.si_value.sival_int & 0xFF : 0);
    }
    system_.interrupt();
  }
}

}  // namespace hbx::sim
