#include "ui/typed_keys.h"

#include <chrono>

namespace tav {

int TypedKeys::WaitForKey(Lock& lock, std::condition_variable& changed, int timeoutMs, const Stopped& stopped) {
  waiting_ = true;
  waitKey_ = -1;
  auto ready = [&] { return waitKey_ >= 0 || stopped(); };
  if (timeoutMs < 0) {
    changed.wait(lock, ready);
  } else {
    changed.wait_for(lock, std::chrono::milliseconds(timeoutMs), ready);
  }
  waiting_ = false;
  return waitKey_;
}

int TypedKeys::PollKey(Lock& lock, std::condition_variable& changed, int timeoutMs, int sliceMs,
                       const Stopped& stopped) {
  if (!forwarding_) return WaitForKey(lock, changed, timeoutMs, stopped);
  changed.wait_for(lock, std::chrono::milliseconds(timeoutMs < 0 ? sliceMs : timeoutMs),
                   [&] { return !queue_.empty() || stopped(); });
  if (queue_.empty()) return -1;
  int key = queue_.front();
  queue_.pop_front();
  return key;
}

void TypedKeys::ForwardToCommand(bool on) {
  if (on == forwarding_) return;
  forwarding_ = on;
  queue_.clear();
}

bool TypedKeys::Offer(int key) {
  if (waiting_) {
    waitKey_ = key;
    waiting_ = false;
  } else if (forwarding_) {
    queue_.push_back(key);
  } else {
    return false;
  }
  return true;
}

}  // namespace tav
