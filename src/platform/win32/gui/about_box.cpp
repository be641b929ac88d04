// Stand-in until the About box and the frame painter are written.
#include "platform/win32/gui/gui_state.h"

namespace tav::platform::gui {

void RunAboutBox(GuiState&, HWND) {}

void PaintFramesOf(HWND, int, int) {}

}  // namespace tav::platform::gui
