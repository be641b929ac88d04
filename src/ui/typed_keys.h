// Where keys typed for a run go: the one key that a key wait (TRACE, Pause)
// takes, else the queue that a running command reads its input from, else
// nowhere. Both user interfaces keep one under their own mutex and wake its
// waiters through their own condition variable.
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>

namespace tav {

class TypedKeys {
 public:
  using Lock = std::unique_lock<std::mutex>;
  // Whether the wait is to end without a key (a stop, the windows closing).
  using Stopped = std::function<bool()>;

  // The next key typed, within timeoutMs (without end when negative); -1
  // when none came or stopped() came true.
  int WaitForKey(Lock& lock, std::condition_variable& changed, int timeoutMs, const Stopped& stopped);
  // For a running command the next key of its queue, waiting at most
  // timeoutMs (sliceMs when negative, so that the caller can look at the
  // command again); otherwise as WaitForKey.
  int PollKey(Lock& lock, std::condition_variable& changed, int timeoutMs, int sliceMs, const Stopped& stopped);
  // While on, keys are queued for the running command; the queue starts
  // empty each time it is switched on (switching it on again keeps it).
  void ForwardToCommand(bool on);
  // A typed key: ends a key wait, else is queued for the command. False
  // when neither wants it (it is dropped); the caller then need not wake
  // anyone.
  bool Offer(int key);

 private:
  bool waiting_ = false;
  int waitKey_ = -1;
  bool forwarding_ = false;
  std::deque<int> queue_;
};

}  // namespace tav
