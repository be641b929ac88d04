// POSIX implementation of the terminal interface.
#include "platform/console.h"

#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include "platform/posix/posix_util.h"

namespace tav::platform {

bool StdinIsTerminal() { return ::isatty(0) == 1; }
bool StdoutIsTerminal() { return ::isatty(1) == 1; }

void WriteStdout(std::string_view text) { WriteAll(1, text.data(), text.size()); }
void WriteStderr(std::string_view text) { WriteAll(2, text.data(), text.size()); }

namespace {

// Reads one character without echo or line buffering, waiting up to
// timeoutMs (forever when negative).
int ReadRawKey(int timeoutMs) {
  if (!StdinIsTerminal()) return -1;
  termios saved {};
  if (::tcgetattr(0, &saved) != 0) return -1;
  termios raw = saved;
  raw.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO);
  raw.c_cc[VMIN] = 1;
  raw.c_cc[VTIME] = 0;
  ::tcsetattr(0, TCSANOW, &raw);
  int result = -1;
  pollfd fd{0, POLLIN, 0};
  if (::poll(&fd, 1, timeoutMs) == 1) {
    unsigned char c = 0;
    if (::read(0, &c, 1) == 1) result = c;
  }
  ::tcsetattr(0, TCSANOW, &saved);
  return result;
}

}  // namespace

int ReadKey() { return ReadRawKey(-1); }
int PollKey(int timeoutMs) { return ReadRawKey(timeoutMs); }

}  // namespace tav::platform
