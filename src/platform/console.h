// The terminal: standard streams, colours and single-key input.
#pragma once

#include <string_view>

namespace tav::platform {

bool StdinIsTerminal();
bool StdoutIsTerminal();
void WriteStdout(std::string_view text);
void WriteStderr(std::string_view text);

// Waits for one character typed at the terminal, reading it without echo and
// without waiting for Enter; the terminal's mode is restored afterwards.
// Returns the character, or -1 when no terminal can be read.
int ReadKey();
// Like ReadKey, but gives up after timeoutMs milliseconds (-1 then).
int PollKey(int timeoutMs);

}  // namespace tav::platform
