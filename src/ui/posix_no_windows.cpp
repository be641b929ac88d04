// The POSIX build shows its status and output on the terminal (ui/console_ui)
// and has no windows.
#include "ui/gui.h"

namespace tav {

std::unique_ptr<Gui> OpenGui(GuiEvents&) { return nullptr; }

}  // namespace tav
