#include "sync/sync.h"

namespace tav::sync {

// Not built yet: the statement fails without touching the disk.
bool SynchronizeDir(InterpreterState& st, const ArgumentArray*) {
  st.syncPatterns.Reset();
  return false;
}

}  // namespace tav::sync
