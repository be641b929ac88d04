// POSIX implementation of the interactive terminal: ANSI/VT100 sequences on
// standard error, termios on standard input, signals through a self-pipe.
#include "platform/terminal.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

#include "platform/code_page.h"
#include "platform/posix/posix_util.h"

namespace tav::platform {

namespace {

constexpr int kTerminalFd = 2;
constexpr int kKeyFd = 0;

// The modes found on standard input, kept for every way out of the process.
termios gSavedModes {};
std::atomic<bool> gModesChanged{false};
// Rows pinned at the bottom: a signal that ends the process frees them too.
std::atomic<int> gPinnedRows{0};
std::atomic<bool> gTitleSaved{false};

void Emit(const std::string& text) { WriteAll(kTerminalFd, text.data(), text.size()); }

std::string CursorTo(int row) { return "\x1b[" + std::to_string(row) + ";1H"; }

// The scrolling region: rows 1 to bottom. Setting it moves the cursor home,
// so the cursor is saved around it.
std::string ScrollRegion(int bottom) { return "\x1b" "7\x1b[1;" + std::to_string(bottom) + "r\x1b" "8"; }

int RowsAbove(int count, const TerminalSize& size) { return size.rows - count > 1 ? size.rows - count : 1; }

// Whether the terminal is tall enough to keep rows of its own for scrolling;
// a smaller one shows no status area at all.
bool HasRoomFor(int count, const TerminalSize& size) { return size.rows >= count + 2; }

// Async-signal-safe: only write(2) and tcsetattr(3).
void RestoreFromSignal() {
  if (gPinnedRows.exchange(0) > 0) {
    static const char kFree[] = "\x1b" "7\x1b[r\x1b" "8\x1b[J";
    [[maybe_unused]] ssize_t n = ::write(kTerminalFd, kFree, sizeof kFree - 1);
  }
  if (gTitleSaved.exchange(false)) {
    static const char kTitle[] = "\x1b[23;0t";
    [[maybe_unused]] ssize_t n = ::write(kTerminalFd, kTitle, sizeof kTitle - 1);
  }
  if (gModesChanged.exchange(false)) ::tcsetattr(kKeyFd, TCSANOW, &gSavedModes);
}

// Signals that end the process by default put the terminal back first.
void OnFatalSignal(int signo) {
  RestoreFromSignal();
  ::signal(signo, SIG_DFL);
  ::raise(signo);
}

void CatchFatalSignals() {
  for (int signo : {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT}) ::signal(signo, OnFatalSignal);
}

bool SetKeyModes() {
  // A run in the background of a shell leaves the terminal's modes alone
  // (changing them would stop the process).
  if (::isatty(kKeyFd) != 1 || ::tcgetpgrp(kKeyFd) != ::getpgrp()) return false;
  if (!gModesChanged) {
    if (::tcgetattr(kKeyFd, &gSavedModes) != 0) return false;
  }
  termios raw = gSavedModes;
  raw.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO | ISIG | IEXTEN);
  raw.c_iflag &= ~static_cast<tcflag_t>(ICRNL | INLCR | IGNCR | IXON);
  // Output keeps its processing (OPOST): LF still starts a new line.
  raw.c_cc[VMIN] = 1;
  raw.c_cc[VTIME] = 0;
  gModesChanged = true;
  CatchFatalSignals();
  return ::tcsetattr(kKeyFd, TCSANOW, &raw) == 0;
}

// The self-pipe that carries signals to the waiting front end.
int gEventRead = -1;
std::atomic<int> gEventWrite{-1};
struct sigaction gOldInt {}, gOldTerm {}, gOldHup {}, gOldQuit {}, gOldWinch {}, gOldStop {};

void OnEventSignal(int signo) {
  int saved = errno;
  int fd = gEventWrite.load();
  if (fd >= 0) {
    char c = static_cast<char>(signo);
    [[maybe_unused]] ssize_t n = ::write(fd, &c, 1);
  }
  errno = saved;
}

void Route(int signo, struct sigaction* old) {
  struct sigaction action {};
  action.sa_handler = OnEventSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  ::sigaction(signo, &action, old);
}

TerminalEvent FromSignalByte(char c) {
  switch (static_cast<int>(static_cast<unsigned char>(c))) {
    case SIGINT:
      return {TerminalEventKind::Interrupt, -1};
    case SIGTERM:
    case SIGHUP:
    case SIGQUIT:
      return {TerminalEventKind::Terminate, -1};
    case SIGWINCH:
      return {TerminalEventKind::Resize, -1};
    case SIGTSTP:
      return {TerminalEventKind::Suspend, -1};
    default:
      return {TerminalEventKind::Wake, -1};
  }
}

}  // namespace

bool StderrIsTerminal() { return ::isatty(kTerminalFd) == 1; }

bool TerminalTakesSequences() {
  const char* term = std::getenv("TERM");
  return term != nullptr && *term != '\0' && std::strcmp(term, "dumb") != 0;
}

bool TerminalTextIsUtf8() { return CodePage::OfLocale().IsUtf8(); }

TerminalSize StatusTerminalSize() {
  winsize ws {};
  TerminalSize size;
  if (::ioctl(kTerminalFd, TIOCGWINSZ, &ws) == 0 && ws.ws_col > 0 && ws.ws_row > 0) {
    size.columns = ws.ws_col;
    size.rows = ws.ws_row;
  }
  return size;
}

void PinBottomRows(int count) {
  TerminalSize size = StatusTerminalSize();
  CatchFatalSignals();
  gPinnedRows = 0;
  if (!HasRoomFor(count, size)) return;
  // New lines push what is on the screen up, out of the rows to be pinned.
  std::string out(static_cast<size_t>(count), '\n');
  out += "\x1b[" + std::to_string(count) + "A";
  out += ScrollRegion(RowsAbove(count, size));
  gPinnedRows = count;
  Emit(out);
}

// After a change of size the terminal has put the cursor where it could: on
// a smaller one often below the rows that are to scroll. With the whole
// screen scrolling, the cursor indexes down count rows (pushing the top rows
// into the scroll-back where the screen ends) and comes back up, its column
// kept: it is then above the rows to be pinned. Everything after the cursor
// (the status area as it was drawn before) is cleared.
void RepinBottomRows(int count) {
  TerminalSize size = StatusTerminalSize();
  std::string out = "\x1b" "7\x1b[r\x1b" "8";
  gPinnedRows = 0;
  if (!HasRoomFor(count, size)) {
    Emit(out);
    return;
  }
  for (int i = 0; i < count; ++i) out += "\x1b" "D";
  out += "\x1b[" + std::to_string(count) + "A\x1b[J";
  out += ScrollRegion(RowsAbove(count, size));
  gPinnedRows = count;
  Emit(out);
}

void DrawBottomRows(const std::vector<TerminalRow>& rows) {
  TerminalSize size = StatusTerminalSize();
  if (!HasRoomFor(static_cast<int>(rows.size()), size)) return;
  int first = RowsAbove(static_cast<int>(rows.size()), size) + 1;
  std::string out = "\x1b" "7";
  for (size_t i = 0; i < rows.size(); ++i) {
    out += CursorTo(first + static_cast<int>(i)) + "\x1b[2K";
    for (const TerminalSpan& span : rows[i]) {
      if (span.dim) out += "\x1b[2m";
      out += span.text;
      if (span.dim) out += "\x1b[22m";
    }
  }
  out += "\x1b" "8";
  Emit(out);
}

// Only rows that were pinned are cleared: a terminal too small for them kept
// all of its rows for the output.
void UnpinBottomRows(int count) {
  if (gPinnedRows.exchange(0) == 0) return;
  TerminalSize size = StatusTerminalSize();
  std::string out = "\x1b" "7" + CursorTo(RowsAbove(count, size) + 1) + "\x1b[J\x1b" "8";
  out += "\x1b" "7\x1b[r\x1b" "8";
  Emit(out);
}

void SaveTerminalTitle() {
  Emit("\x1b[22;0t");
  gTitleSaved = true;
}

void SetTerminalTitle(std::string_view title) {
  std::string out = "\x1b]2;";
  out += title;
  out += "\x07";
  Emit(out);
}

void RestoreTerminalTitle() {
  if (gTitleSaved.exchange(false)) Emit("\x1b[23;0t");
}

bool EnterRawKeys() { return SetKeyModes(); }

void LeaveRawKeys() {
  if (gModesChanged.exchange(false)) ::tcsetattr(kKeyFd, TCSANOW, &gSavedModes);
}

void RestoreTerminal() {
  UnpinBottomRows(gPinnedRows.load());
  RestoreTerminalTitle();
  LeaveRawKeys();
}

bool StartTerminalEvents() {
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) return false;
  gEventRead = fds[0];
  gEventWrite = fds[1];
  Route(SIGINT, &gOldInt);
  Route(SIGTERM, &gOldTerm);
  Route(SIGHUP, &gOldHup);
  Route(SIGQUIT, &gOldQuit);
  Route(SIGWINCH, &gOldWinch);
  Route(SIGTSTP, &gOldStop);
  return true;
}

void StopTerminalEvents() {
  if (gEventRead < 0) return;
  ::sigaction(SIGINT, &gOldInt, nullptr);
  ::sigaction(SIGTERM, &gOldTerm, nullptr);
  ::sigaction(SIGHUP, &gOldHup, nullptr);
  ::sigaction(SIGQUIT, &gOldQuit, nullptr);
  ::sigaction(SIGWINCH, &gOldWinch, nullptr);
  ::sigaction(SIGTSTP, &gOldStop, nullptr);
  int write = gEventWrite.exchange(-1);
  ::close(write);
  ::close(gEventRead);
  gEventRead = -1;
}

TerminalEvent WaitTerminalEvent(int timeoutMs, bool readKeys) {
  pollfd fds[2] = {{gEventRead, POLLIN, 0}, {kKeyFd, POLLIN, 0}};
  int count = readKeys ? 2 : 1;
  int ready = ::poll(fds, static_cast<nfds_t>(count), timeoutMs);
  if (ready <= 0) return {};
  if (fds[0].revents & POLLIN) {
    char c = 0;
    if (::read(gEventRead, &c, 1) == 1) return FromSignalByte(c);
  }
  if (count == 2 && (fds[1].revents & (POLLIN | POLLHUP))) {
    unsigned char c = 0;
    if (::read(kKeyFd, &c, 1) == 1) return {TerminalEventKind::Key, c};
    // The terminal is gone: nobody can type any more.
    return {TerminalEventKind::Terminate, -1};
  }
  return {};
}

void StopUntilContinued() { ::raise(SIGSTOP); }

void WakeTerminalEvents() {
  int fd = gEventWrite.load();
  if (fd < 0) return;
  char c = 0;
  [[maybe_unused]] ssize_t n = ::write(fd, &c, 1);
}

long long MonotonicMilliseconds() {
  timespec now {};
  ::clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<long long>(now.tv_sec) * 1000 + now.tv_nsec / 1'000'000;
}

}  // namespace tav::platform
