// What both builds share of the file layer: handing an open file over.
#include "platform/fs.h"

namespace tav::platform {

File& File::operator=(File&& other) noexcept {
  if (this != &other) {
    Close();
    handle_ = other.handle_;
    other.handle_ = -1;
  }
  return *this;
}

}  // namespace tav::platform
