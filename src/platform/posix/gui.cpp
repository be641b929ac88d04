// The POSIX build shows its status and output on the terminal (ui/console_ui)
// and has no windows.
#include "platform/gui.h"

namespace tav::platform {

std::unique_ptr<Gui> OpenGui(GuiEvents&) { return nullptr; }

}  // namespace tav::platform
