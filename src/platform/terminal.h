// The interactive terminal on standard error: rows pinned at its bottom, its
// title, colours for the output pane, raw key input and the events (keys,
// interrupts, resizes, clock ticks) that a terminal front end waits for.
// Nothing here is written unless the caller has found a terminal.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tav::platform {

bool StderrIsTerminal();
// Whether the terminal takes control sequences (cursor, scroll region,
// title, colours): not when TERM is unset, empty or "dumb".
bool TerminalTakesSequences();
// Whether the terminal shows UTF-8 (else one byte is one character).
bool TerminalTextIsUtf8();

struct TerminalSize {
  int columns = 80;
  int rows = 24;
};
// The size of the terminal on standard error (80 by 24 when it cannot be had).
TerminalSize StatusTerminalSize();

// A piece of a pinned row; a dim piece is shown faint (a disabled label).
struct TerminalSpan {
  std::string text;
  bool dim = false;
};
using TerminalRow = std::vector<TerminalSpan>;

// Pins count rows at the bottom of the terminal: the lines above scroll on
// their own, the pinned rows stay. Made room for by scrolling up.
void PinBottomRows(int count);
// Pins the rows again after the terminal changed its size.
void RepinBottomRows(int count);
// Draws the pinned rows (texts already fitted to the width); the cursor of
// the scrolling part is left where it was.
void DrawBottomRows(const std::vector<TerminalRow>& rows);
// Clears the pinned rows and gives the whole terminal back to scrolling.
void UnpinBottomRows(int count);

// The terminal's title: kept, replaced, and the kept one brought back.
void SaveTerminalTitle();
void SetTerminalTitle(std::string_view title);
void RestoreTerminalTitle();

// Colours of output pane lines on a terminal.
enum class TextColour { Normal, Red, Blue };
// The sequence that starts text of the colour (Normal ends a coloured run).
std::string_view ColourSequence(TextColour colour);

// Keys from standard input one byte at a time, without echo, without line
// editing and without the terminal's own interrupt keys (Ctrl+C arrives as
// byte 3). The modes found are restored by RestoreTerminal, which is also
// run when the process is ended by a signal that would otherwise leave the
// terminal raw. False when standard input is no terminal or the process
// runs in the background of a shell.
bool EnterRawKeys();
void LeaveRawKeys();
void RestoreTerminal();

// What a terminal front end waits for.
// Suspend is the terminal's stop key (Ctrl+Z) or a stop request: the front
// end gives the terminal back, then calls StopUntilContinued.
enum class TerminalEventKind { Timeout, Key, Interrupt, Terminate, Resize, Suspend, Wake };
struct TerminalEvent {
  TerminalEventKind kind = TerminalEventKind::Timeout;
  int key = -1;
};
// Stops the whole process until it is continued (by the shell's fg or bg).
void StopUntilContinued();
// Routes the interrupt, termination, hang-up, quit, resize and stop signals
// into the event queue instead of their flags (quit counts as termination). Undone by StopTerminalEvents.
bool StartTerminalEvents();
void StopTerminalEvents();
// Waits up to timeoutMs for one event; keys are read from standard input
// only when readKeys is set.
TerminalEvent WaitTerminalEvent(int timeoutMs, bool readKeys);
// Makes a pending WaitTerminalEvent return Wake (from any thread).
void WakeTerminalEvents();

// A clock in milliseconds that only moves forward.
long long MonotonicMilliseconds();

}  // namespace tav::platform
