// The abort question's hold on the run, the same for the console and the
// windows. While the question is open, every call of the interpreter into
// the front end waits at the gate; Yes stops the run (the run loop, a
// running command and the synchronisation engine see the stop, and the run
// ends with "User abort") and from then on the status line keeps saying so.
// All calls are made under the front end's own lock.
#pragma once

#include <condition_variable>
#include <mutex>

#include "core/state.h"
#include "core/user_interface.h"

namespace tav {

class AbortGate {
 public:
  AbortGate(InterpreterState& st, std::condition_variable& changed) : st_(st), changed_(changed) {}

  // Holds the calling interpreter while the question is open.
  void Hold(std::unique_lock<std::mutex>& lock) {
    changed_.wait(lock, [this] { return !asking_; });
  }
  bool Asking() const { return asking_; }
  bool Aborted() const { return aborted_; }
  // Whether a text may still go to the control: once an abort is confirmed
  // the status line keeps saying so.
  bool Passes(int control) const { return !(aborted_ && control == kStatusLine); }

  void Open() { asking_ = true; }
  // The question ends without an abort.
  void Release() {
    asking_ = false;
    changed_.notify_all();
  }
  // The question ends with an abort; false when one was confirmed before.
  bool Confirm() {
    bool first = !aborted_;
    asking_ = false;
    aborted_ = true;
    st_.userAbort = true;
    st_.stopRequested = true;
    changed_.notify_all();
    return first;
  }

 private:
  InterpreterState& st_;
  std::condition_variable& changed_;
  bool asking_ = false;
  bool aborted_ = false;
};

}  // namespace tav
