#include "sim/posix_terminal.h"

#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>

namespace hbx::sim {

namespace {
constexpr int kDefaultColumns = 72;
constexpr int kWidestDialog = 100;
const char* const kHideCursor = "\x1b[?25l";
const char* const kShowCursor = "\x1b[?25h";

// The terminal's own mode, for a signal that ends the process while the
// dialog is live: the shell gets its terminal back as it was.
termios g_restoreMode{};
volatile std::sig_atomic_t g_haveRestoreMode = 0;

extern "C" void restoreTerminalAndDie(int signalNumber) {
  if (g_haveRestoreMode) ::tcsetattr(STDIN_FILENO, TCSANOW, &g_restoreMode);
  const ssize_t ignored = ::write(STDOUT_FILENO, "\x1b[?25h\n", 7);
  (void)ignored;
  std::signal(signalNumber, SIG_DFL);
  std::raise(signalNumber);
}
}  // namespace

PosixTerminal::~PosixTerminal() { setLiveMode(false); }

bool PosixTerminal::outputIsTerminal() { return ::isatty(STDOUT_FILENO) == 1; }

void PosixTerminal::write(const std::string& text) {
  std::size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = ::write(STDOUT_FILENO, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;  // nowhere to write: the picture is lost, nothing else
    done += static_cast<std::size_t>(n);
  }
}

std::optional<std::string> PosixTerminal::readTyped() {
  if (inputEnded_) return std::nullopt;
  std::string typed;
  while (true) {
    pollfd input{STDIN_FILENO, POLLIN, 0};
    if (::poll(&input, 1, 0) <= 0 || (input.revents & (POLLIN | POLLHUP)) == 0) return typed;
    char buffer[64];
    const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      inputEnded_ = true;
      // Keys typed before the end still count.
      if (typed.empty()) return std::nullopt;
      return typed;
    }
    typed.append(buffer, static_cast<std::size_t>(n));
  }
}

int PosixTerminal::columns() {
  winsize size{};
  if (::ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) != 0 || size.ws_col == 0) return kDefaultColumns;
  return size.ws_col > kWidestDialog ? kWidestDialog : size.ws_col;
}

void PosixTerminal::setLiveMode(bool on) {
  if (on == live_) return;
  live_ = on;
  if (on) {
    write(kHideCursor);
    std::signal(SIGINT, restoreTerminalAndDie);
    std::signal(SIGTERM, restoreTerminalAndDie);
    termios mode{};
    if (::isatty(STDIN_FILENO) != 1 || ::tcgetattr(STDIN_FILENO, &mode) != 0) return;
    saved_ = mode;
    g_restoreMode = mode;
    g_haveRestoreMode = 1;
    mode.c_lflag &= static_cast<tcflag_t>(~(ICANON | ECHO));
    mode.c_cc[VMIN] = 0;
    mode.c_cc[VTIME] = 0;
    ::tcsetattr(STDIN_FILENO, TCSANOW, &mode);
  } else {
    if (saved_) ::tcsetattr(STDIN_FILENO, TCSANOW, &*saved_);
    saved_.reset();
    g_haveRestoreMode = 0;
    std::signal(SIGINT, SIG_DFL);
    std::signal(SIGTERM, SIG_DFL);
    write(kShowCursor);
  }
}

}  // namespace hbx::sim
