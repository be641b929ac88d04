// The Windows build has no status area in the console: its status and output
// are shown by its own windows. Every terminal operation is therefore one that
// finds no terminal to drive, so the console front end stays on its plain
// path (messages on standard output, keys through the console's input).
#include "platform/terminal.h"

#include "platform/win32/win32_api.h"

namespace tav::platform {

bool StderrIsTerminal() { return false; }

// A console with virtual terminal processing takes the colour sequences.
bool TerminalTakesSequences() { return true; }

bool TerminalTextIsUtf8() { return ::GetConsoleOutputCP() == CP_UTF8; }

TerminalSize StatusTerminalSize() { return TerminalSize{}; }

void PinBottomRows(int) {}
void RepinBottomRows(int) {}
void DrawBottomRows(const std::vector<TerminalRow>&) {}
void UnpinBottomRows(int) {}

void SaveTerminalTitle() {}
void SetTerminalTitle(std::string_view) {}
void RestoreTerminalTitle() {}

bool EnterRawKeys() { return false; }
void LeaveRawKeys() {}
void RestoreTerminal() {}

void StopUntilContinued() {}
bool StartTerminalEvents() { return false; }
void StopTerminalEvents() {}

TerminalEvent WaitTerminalEvent(int timeoutMs, bool) {
  if (timeoutMs > 0) ::Sleep(static_cast<DWORD>(timeoutMs));
  return TerminalEvent{};
}

void WakeTerminalEvents() {}

long long MonotonicMilliseconds() { return static_cast<long long>(::GetTickCount64()); }

}  // namespace tav::platform
