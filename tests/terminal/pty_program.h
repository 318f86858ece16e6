#pragma once
// Runs the built program in a pseudo-terminal, as a user at a terminal
// would: the test reads what the program draws (with the time each piece
// came), types keys, sends signals, and reads the terminal's modes after
// the program has ended.
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <fcntl.h>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace hbx::testing {

class PtyProgram {
 public:
  using Clock = std::chrono::steady_clock;
  struct Piece {
    Clock::time_point at;
    std::size_t bytes;
  };

  // Starts `program` with `args`; `environment` entries are NAME=value.
  // `inputEnded`: standard input is /dev/null instead of the terminal.
  PtyProgram(const std::string& program, const std::vector<std::string>& args,
             const std::vector<std::string>& environment, bool inputEnded = false) {
    winsize size{};
    size.ws_row = 40;
    size.ws_col = 100;
    pid_ = ::forkpty(&master_, nullptr, nullptr, &size);
    if (pid_ == 0) {
      for (const std::string& e : environment) ::putenv(const_cast<char*>(e.c_str()));
      if (inputEnded) {
        const int null = ::open("/dev/null", O_RDONLY);
        ::dup2(null, STDIN_FILENO);
      }
      std::vector<char*> argv{const_cast<char*>(program.c_str())};
      for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
      argv.push_back(nullptr);
      ::execv(program.c_str(), argv.data());
      ::_exit(127);
    }
    ::tcgetattr(master_, &before_);
  }
  ~PtyProgram() {
    if (pid_ > 0 && !ended_) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
    if (master_ >= 0) ::close(master_);
  }

  // Reads what the program writes, until `done` or `seconds` have passed.
  bool pumpUntil(const std::function<bool()>& done, double seconds = 60) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(static_cast<int>(seconds * 1000));
    while (!done()) {
      if (Clock::now() > deadline) return false;
      pollfd p{master_, POLLIN, 0};
      if (::poll(&p, 1, 5) > 0 && (p.revents & POLLIN)) {
        char buffer[65536];
        const ssize_t n = ::read(master_, buffer, sizeof buffer);
        if (n > 0) {
          output_.append(buffer, static_cast<std::size_t>(n));
          pieces_.push_back({Clock::now(), static_cast<std::size_t>(n)});
        }
      }
      reap();
    }
    return true;
  }
  void pumpFor(double seconds) {
    pumpUntil([] { return false; }, seconds);
  }
  bool waitForOutput(const std::string& text, double seconds = 60) {
    return pumpUntil([&] { return output_.find(text) != std::string::npos; }, seconds);
  }
  // Waits for the program's end; its exit status, or -1000 - signal.
  int waitForExit(double seconds = 120) {
    pumpUntil([&] { return ended_; }, seconds);
    if (!ended_) return -1;
    // What the program wrote just before its end.
    for (char buffer[65536];;) {
      pollfd p{master_, POLLIN, 0};
      if (::poll(&p, 1, 50) <= 0 || !(p.revents & POLLIN)) break;
      const ssize_t n = ::read(master_, buffer, sizeof buffer);
      if (n <= 0) break;
      output_.append(buffer, static_cast<std::size_t>(n));
      pieces_.push_back({Clock::now(), static_cast<std::size_t>(n)});
    }
    return WIFEXITED(status_) ? WEXITSTATUS(status_) : -1000 - WTERMSIG(status_);
  }

  void type(const std::string& keys) { (void)!::write(master_, keys.data(), keys.size()); }
  void signal(int number) { ::kill(pid_, number); }

  const std::string& output() const { return output_; }
  const std::vector<Piece>& pieces() const { return pieces_; }
  // The terminal's modes now, and as they were at the start.
  termios modes() const {
    termios t{};
    ::tcgetattr(master_, &t);
    return t;
  }
  const termios& modesAtStart() const { return before_; }

 private:
  void reap() {
    if (ended_) return;
    if (::waitpid(pid_, &status_, WNOHANG) == pid_) ended_ = true;
  }

  pid_t pid_ = -1;
  int master_ = -1;
  termios before_{};
  std::string output_;
  std::vector<Piece> pieces_;
  bool ended_ = false;
  int status_ = 0;
};

}  // namespace hbx::testing
