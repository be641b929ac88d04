// Win32: whether the program of an external command can be found, as the
// child start finds it (the application's directory, the current directory,
// the system directories and PATH; ".exe" added to a name without one).
// Compiled only for Windows, whichever way the build collects this folder.
#ifdef _WIN32
#include "platform/process.h"

#include <windows.h>

namespace tav::platform {

bool ProgramExists(const std::string& name) {
  if (name.empty()) return false;
  char found[MAX_PATH];
  DWORD length = ::SearchPathA(nullptr, name.c_str(), ".exe", MAX_PATH, found, nullptr);
  if (length == 0 || length >= MAX_PATH) return false;
  DWORD attributes = ::GetFileAttributesA(found);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

}  // namespace tav::platform
#endif
