// Whole directories that exist on one side only: copying a source tree to a
// destination, and removing a destination tree.
#pragma once

#include "sync/records.h"

namespace tav::sync {

// Copies leftPath with everything accepted below it to rightPath, making
// rightPath (and any missing directory above it) when there is something to
// put in it. True when rightPath is there afterwards as a real directory (or
// would be, under ReportOnly).
bool CopyTree(SyncContext& ctx);
// Removes rightPath with everything accepted below it.
void RemoveTree(SyncContext& ctx);

}  // namespace tav::sync
