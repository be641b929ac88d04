#include "ui/elapsed_clock.h"

#include <cstdio>

namespace tav {

void ElapsedClock::Tick(long long nowMs) {
  if (!started_) {
    started_ = true;
    last_ = nowMs;
  }
  long long whole = (nowMs - last_) / 1000;
  last_ = nowMs;
  long long total = seconds_ + whole;
  seconds_ = static_cast<int>(total % 60);
  total = minutes_ + total / 60;
  minutes_ = static_cast<int>(total % 60);
  hours_ += static_cast<int>(total / 60);
}

std::string ElapsedClock::Text() const {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%02d:%02d:%02d", hours_, minutes_, seconds_);
  return buffer;
}

}  // namespace tav
