// Paths written in tests with "/", in the separator of the platform built.
#pragma once

#include <string>

#include "platform/fs.h"

namespace tav::test {

inline std::string Native(std::string text) {
  for (char& c : text) {
    if (c == '/') c = platform::PathSeparator();
  }
  return text;
}

}  // namespace tav::test
