// The status display's elapsed-time clock, shared by the terminal and the
// windows.
#pragma once

#include <string>

namespace tav {

// The elapsed time, in whole seconds: each tick adds the whole seconds since
// the previous tick and drops the rest, so the clock runs slightly slow.
class ElapsedClock {
 public:
  void Tick(long long nowMs);
  // "hh:mm:ss".
  std::string Text() const;

 private:
  long long last_ = 0;
  bool started_ = false;
  int hours_ = 0, minutes_ = 0, seconds_ = 0;
};

}  // namespace tav
