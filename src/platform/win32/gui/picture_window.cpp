// Stand-in until the picture windows are written.
#include "platform/win32/gui/gui_state.h"

namespace tav::platform::gui {

LRESULT CALLBACK PictureWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcA(window, message, wParam, lParam);
}

HWND OpenPictureWindow(GuiState&, const char*) { return nullptr; }

void ShowPicture(HWND, UINT) {}

}  // namespace tav::platform::gui
