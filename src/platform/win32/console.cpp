// Win32 implementation of the terminal interface: the console.
#include "platform/console.h"

#include "platform/win32/win32_api.h"

namespace tav::platform {

namespace {

bool IsConsole(DWORD which) {
  DWORD mode = 0;
  return ::GetConsoleMode(::GetStdHandle(which), &mode) != 0;
}

void WriteTo(DWORD which, std::string_view text) {
  HANDLE h = ::GetStdHandle(which);
  if (h == nullptr || h == INVALID_HANDLE_VALUE) return;
  while (!text.empty()) {
    DWORD written = 0;
    DWORD chunk = text.size() > 65536 ? 65536 : static_cast<DWORD>(text.size());
    if (!::WriteFile(h, text.data(), chunk, &written, nullptr) || written == 0) return;
    text.remove_prefix(written);
  }
}

// The character of a key press in the console's input, or -1 for any other
// input record (key releases, shift keys alone, mouse and size events).
int CharacterOf(const INPUT_RECORD& record) {
  if (record.EventType != KEY_EVENT || !record.Event.KeyEvent.bKeyDown) return -1;
  char c = record.Event.KeyEvent.uChar.AsciiChar;
  return c == 0 ? -1 : static_cast<unsigned char>(c);
}

// Reads input records until a key press with a character arrives, waiting up
// to timeoutMs in all (forever when negative).
int ReadConsoleKey(int timeoutMs) {
  if (!StdinIsTerminal()) return -1;
  HANDLE input = ::GetStdHandle(STD_INPUT_HANDLE);
  ULONGLONG deadline = ::GetTickCount64() + (timeoutMs < 0 ? 0 : static_cast<ULONGLONG>(timeoutMs));
  for (;;) {
    DWORD wait = INFINITE;
    if (timeoutMs >= 0) {
      ULONGLONG now = ::GetTickCount64();
      wait = now >= deadline ? 0 : static_cast<DWORD>(deadline - now);
    }
    if (::WaitForSingleObject(input, wait) != WAIT_OBJECT_0) return -1;
    INPUT_RECORD record{};
    DWORD n = 0;
    if (!::ReadConsoleInputA(input, &record, 1, &n)) return -1;
    if (n == 1) {
      int c = CharacterOf(record);
      if (c >= 0) return c;
    }
  }
}

}  // namespace

bool StdinIsTerminal() { return IsConsole(STD_INPUT_HANDLE); }

// A console counts as a terminal only when it takes the colour sequences of
// the messages, which consoles since Windows 10 do once asked to.
bool StdoutIsTerminal() {
  HANDLE output = ::GetStdHandle(STD_OUTPUT_HANDLE);
  DWORD mode = 0;
  if (!::GetConsoleMode(output, &mode)) return false;
  return (mode & ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0 ||
         ::SetConsoleMode(output, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0;
}

void WriteStdout(std::string_view text) { WriteTo(STD_OUTPUT_HANDLE, text); }
void WriteStderr(std::string_view text) { WriteTo(STD_ERROR_HANDLE, text); }

int ReadKey() { return ReadConsoleKey(-1); }
int PollKey(int timeoutMs) { return ReadConsoleKey(timeoutMs); }

}  // namespace tav::platform
