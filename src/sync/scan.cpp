#include "sync/scan.h"

#include <algorithm>

#include "core/text.h"
#include "platform/file_ops.h"
#include "sync/matchers.h"
#include "sync/reports.h"

namespace tav::sync {

int CompareNames(const std::string& a, const std::string& b) { return platform::CompareFileNames(a, b); }

void SortEntries(EntryList& list) {
  std::stable_sort(list.begin(), list.end(), [](const platform::FindData& a, const platform::FindData& b) {
    return CompareNames(a.name, b.name) < 0;
  });
}

void RemoveStagingLeftovers(SyncContext& ctx, const platform::DirectoryHandle& directory, const EntryList& list) {
  if (ctx.request.reportOnly) return;
  bool reserved = std::any_of(list.begin(), list.end(),
                              [](const platform::FindData& entry) { return IsReservedName(entry.name); });
  if (!reserved) return;
  // This run's own open staging directory would look like a live copy.
  ctx.staging.Close();
  platform::RemoveStagingLeftovers(directory, list);
}

bool ScanDirectory(SyncContext& ctx, const platform::DirectoryHandle& handle, EntryList& list, bool destination) {
  const std::string& directory = handle.Path();
  int error = 0;
  platform::ListStatus status = handle.List(list, error);
  if (status != platform::ListStatus::kOk) {
    const char* text = status == platform::ListStatus::kOpenFailed
                           ? "Error while synchronizing %s.\nAborting Synchronization."
                           : "Error while synchronizing %s.\nAborting synchronization.";
    SyncError(ctx.st, WithCause(Format(text, directory.c_str()), error));
    list.clear();
    return false;
  }
  if (destination) RemoveStagingLeftovers(ctx, handle, list);
  list.erase(std::remove_if(list.begin(), list.end(),
                            [&](const platform::FindData& entry) { return !AcceptEntry(ctx, entry, directory); }),
             list.end());
  SortEntries(list);
  return true;
}

}  // namespace tav::sync
