// What both builds' directory handles share.
#include "platform/directory_handle.h"

#include "platform/fs.h"

namespace tav::platform {

DirectoryHandle DirectoryHandle::Absent(const std::string& path, int error) {
  DirectoryHandle absent;
  absent.path_ = path;
  absent.openError_ = error;
  return absent;
}

bool DirectoryHandle::IsOpen() const { return handle_ >= 0; }

std::string DirectoryHandle::PathOf(const std::string& name) const {
  return name.empty() ? path_ : JoinPath(path_, name);
}

}  // namespace tav::platform
