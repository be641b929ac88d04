// Stand-in until the output window is written: a plain window that drops
// what it is sent.
#include "platform/win32/gui/gui_state.h"

namespace tav::platform::gui {

LRESULT CALLBACK OutputWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == kAppendOutput) {
    HeapFree(State().heap, 0, reinterpret_cast<void*>(lParam));
    return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

HWND CreateOutputWindow(GuiState& gui) {
  RECT status{};
  GetWindowRect(gui.status, &status);
  HWND window = CreateWindowExA(0, kOutputClass, kOutputTitle, WS_OVERLAPPEDWINDOW | WS_VSCROLL | WS_HSCROLL,
                                status.right + 10, status.top, 600, 400, nullptr, nullptr, gui.instance, nullptr);
  if (window != nullptr) ShowWindow(window, SW_SHOWNOACTIVATE);
  return window;
}

}  // namespace tav::platform::gui
