#include "sim/posix_terminal.h"

#include <curses.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>

#include "ui/render/terminal_palette.h"
#include "ui/render/terminal_renderer.h"

namespace hbx::sim {

namespace {

// What a signal handler needs to give the terminal back, prepared while the
// dialog goes live: the shell's terminal mode and the terminal's own codes
// to reset colours, show the cursor and leave the dialog's screen; and the
// dialog's mode and codes to take it back after Ctrl-Z and fg.
struct SavedTerminal {
  termios shellMode{};
  termios dialogMode{};
  char leave[256] = {};
  char enter[256] = {};
};
SavedTerminal g_saved;
volatile std::sig_atomic_t g_live = 0;
volatile std::sig_atomic_t g_resumed = 0;

void writeAll(const char* text) {
  std::size_t left = std::strlen(text);
  while (left > 0) {
    const ssize_t n = ::write(STDOUT_FILENO, text, left);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    text += n;
    left -= static_cast<std::size_t>(n);
  }
}

void appendCode(char (&buffer)[256], const char* capability) {
  const char* code = tigetstr(capability);
  if (code == nullptr || code == reinterpret_cast<const char*>(-1)) return;
  if (std::strlen(buffer) + std::strlen(code) + 1 < sizeof buffer) std::strcat(buffer, code);
}

extern "C" void restoreAndStop(int) {
  const int savedErrno = errno;
  const bool wasLive = g_live != 0;
  PosixTerminal::restoreForSignal();
  std::signal(SIGTSTP, SIG_DFL);
  // The signal is blocked while its handler runs: let the stop through.
  sigset_t stop;
  sigemptyset(&stop);
  sigaddset(&stop, SIGTSTP);
  sigprocmask(SIG_UNBLOCK, &stop, nullptr);
  std::raise(SIGTSTP);
  // Here again after fg: the dialog takes the terminal back.
  std::signal(SIGTSTP, restoreAndStop);
  if (wasLive) {
    ::tcsetattr(STDOUT_FILENO, TCSADRAIN, &g_saved.dialogMode);
    writeAll(g_saved.enter);
    g_live = 1;
    g_resumed = 1;
  }
  errno = savedErrno;
}

// Ctrl-C, Ctrl-\, SIGTERM and SIGHUP are the program's stop requests
// (sim/signal_watch.h): the dialog stays until the run has cleaned up and
// gives the terminal back as it closes. Only the stop of Ctrl-Z is handled
// here.
void handleSignals(bool on) { std::signal(SIGTSTP, on ? restoreAndStop : SIG_DFL); }

}  // namespace

void PosixTerminal::restoreForSignal() {
  if (!g_live) return;
  g_live = 0;
  const int savedErrno = errno;
  writeAll(g_saved.leave);
  ::tcsetattr(STDOUT_FILENO, TCSADRAIN, &g_saved.shellMode);
  errno = savedErrno;
}

PosixTerminal::~PosixTerminal() { setLiveMode(false); }

bool PosixTerminal::outputIsTerminal() { return ::isatty(STDOUT_FILENO) == 1; }

void PosixTerminal::write(const std::string& text) {
  std::fflush(stdout);
  std::size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = ::write(STDOUT_FILENO, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;  // nowhere to write: the picture is lost, nothing else
    done += static_cast<std::size_t>(n);
  }
}

short PosixTerminal::pairOf(int fg, int bg) {
  const auto key = std::make_pair(fg, bg);
  const auto found = pairs_.find(key);
  if (found != pairs_.end()) return found->second;
  const int next = static_cast<int>(pairs_.size()) + 1;
  if (next >= COLOR_PAIRS || next > 0x7FFF) return 0;
  init_extended_pair(next, fg, bg);
  pairs_.emplace(key, static_cast<short>(next));
  return static_cast<short>(next);
}

void PosixTerminal::present(const ui::render::TerminalFrame& frame) {
  if (screen_ == nullptr) return;
  const ui::render::TerminalSize now = size();
  if (g_resumed || now.rows != shownSize_.rows || now.columns != shownSize_.columns) {
    // Back from Ctrl-Z, or resized: the screen holds something else now.
    g_resumed = 0;
    if (now.rows != shownSize_.rows || now.columns != shownSize_.columns) resizeterm(now.rows, now.columns);
    shownSize_ = now;
    clearok(curscr, TRUE);
  }
  erase();
  for (int r = 0; r < frame.rows() && r < LINES; ++r) {
    for (int c = 0; c < frame.columns() && c < COLS; ++c) {
      const ui::render::TerminalCell& cell = frame.at(r, c);
      attr_t attributes = cell.bold ? A_BOLD : A_NORMAL;
      short pair = 0;
      if (colours_ > 0) {
        const ui::render::TerminalColours numbers = ui::render::terminalColours(cell.fg, cell.bg, colours_);
        pair = pairOf(numbers.fg, numbers.bg);
      } else if (cell.bg != ui::render::term::kPanel) {
        attributes |= A_REVERSE;  // a terminal without colours: the bars show reversed
      }
      attr_set(attributes, pair, nullptr);
      mvaddch(r, c, static_cast<chtype>(static_cast<unsigned char>(cell.ch)));
    }
  }
  attr_set(A_NORMAL, 0, nullptr);
  // ncurses collects the changed cells and writes them in one piece.
  refresh();
}

std::optional<std::string> PosixTerminal::readTyped() {
  if (inputEnded_) return std::nullopt;
  std::string typed;
  while (true) {
    pollfd input{STDIN_FILENO, POLLIN, 0};
    const int ready = ::poll(&input, 1, 0);
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0 || (input.revents & (POLLIN | POLLHUP | POLLERR | POLLNVAL)) == 0) return typed;
    char buffer[64];
    const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
    if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
    if (n <= 0) {
      inputEnded_ = true;
      // Keys typed before the end still count.
      if (typed.empty()) return std::nullopt;
      return typed;
    }
    typed.append(buffer, static_cast<std::size_t>(n));
  }
}

ui::render::TerminalSize PosixTerminal::size() {
  winsize ws{};
  if (::ioctl(STDOUT_FILENO, TIOCGWINSZ, &ws) != 0 || ws.ws_col == 0 || ws.ws_row == 0) {
    return ui::render::TerminalSize{};
  }
  return ui::render::TerminalSize{ws.ws_row, ws.ws_col};
}

bool PosixTerminal::lostPicture() {
  const ui::render::TerminalSize now = size();
  return screen_ != nullptr && (g_resumed != 0 || now.rows != shownSize_.rows || now.columns != shownSize_.columns);
}

void PosixTerminal::setLiveMode(bool on) {
  if (on == (screen_ != nullptr)) return;
  if (on) {
    std::fflush(stdout);
    termios shell{};
    if (::tcgetattr(STDOUT_FILENO, &shell) != 0) return;
    screen_ = newterm(nullptr, stdout, stdin);
    if (screen_ == nullptr) return;  // no terminal description: nothing is drawn
    set_term(screen_);
    cbreak();
    noecho();
    nonl();
    // Input is read by the program itself; a key typed during a frame must
    // not cut the frame short.
    typeahead(-1);
    leaveok(stdscr, TRUE);
    curs_set(0);
    if (has_colors() && start_color() == OK) colours_ = COLORS;
    shownSize_ = size();
    g_saved.shellMode = shell;
    ::tcgetattr(STDOUT_FILENO, &g_saved.dialogMode);
    g_saved.leave[0] = g_saved.enter[0] = '\0';
    for (const char* c : {"sgr0", "op", "cnorm", "rmcup"}) appendCode(g_saved.leave, c);
    for (const char* c : {"smcup", "civis"}) appendCode(g_saved.enter, c);
    g_live = 1;
    handleSignals(true);
    refresh();
  } else {
    handleSignals(false);
    g_live = 0;
    endwin();
    delscreen(screen_);
    screen_ = nullptr;
    pairs_.clear();
    colours_ = 0;
    // endwin leaves the modes as ncurses found them; the shell's own are
    // put back as well, whatever ncurses thought they were.
    ::tcsetattr(STDOUT_FILENO, TCSADRAIN, &g_saved.shellMode);
    std::fflush(stdout);
  }
}

}  // namespace hbx::sim
