// The Windows API for the Win32 implementation files, included after the
// platform interface headers. The interface names some operations as the
// system does (SetCurrentDirectory, DeleteFile, CreateFile, RemoveDirectory);
// the API's macros for those names are removed so that they do not rename the
// interface. The implementation calls the "A" operations by their full names.
#pragma once

#include <windows.h>

#undef SetCurrentDirectory
#undef DeleteFile
#undef CreateFile
#undef RemoveDirectory
#undef MessageBox
#undef GetEnvironmentVariable

#include <string>

namespace tav::platform {

// An interface handle value as a system handle and back; -1 is no handle.
inline HANDLE AsHandle(intptr_t handle) { return reinterpret_cast<HANDLE>(handle); }
inline intptr_t FromHandle(HANDLE handle) {
  return handle == nullptr || handle == INVALID_HANDLE_VALUE ? -1 : reinterpret_cast<intptr_t>(handle);
}

// The directory part of a path, without its final separator; "." for a bare
// name. A root keeps its separator ("C:\").
std::string DirectoryPart(const std::string& path);

}  // namespace tav::platform
