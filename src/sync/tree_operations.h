// Whole directories that exist on one side only: copying a source tree to a
// destination, and removing a destination tree.
#pragma once

#include "sync/records.h"

namespace tav::sync {

// Copies leftPath with everything accepted below it to rightPath.
// parentChecked tells that rightPath's parent is known to be there as a real
// directory (the walk listed it, or this tree copy made it), so that only
// rightPath itself needs making. True when rightPath is there afterwards as a
// real directory (or would be, under ReportOnly).
bool CopyTree(SyncContext& ctx, bool parentChecked);
// Removes rightPath with everything accepted below it.
void RemoveTree(SyncContext& ctx);

}  // namespace tav::sync
