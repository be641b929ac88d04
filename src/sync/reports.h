// The traces the engine leaves: report lines, conflict-log lines and its
// error and warning messages.
#pragma once

#include <string>
#include <string_view>

#include "core/state.h"
#include "platform/fs.h"
#include "platform/system.h"
#include "sync/records.h"

namespace tav::sync {

enum class ReportAction : int {
  kAdd = 1,
  kDelete = 2,
  kOverwriteAdd = 3,
  kOverwriteDelete = 4,
  kRenameAdd = 5,
  kRenameDelete = 6,
};

// "07-DEC-26; 12:40:21" for a local time.
std::string TimeText(const platform::LocalTime& time);
std::string CurrentTimeText();
// One tab-separated report line, ended by CR LF; when is the time text.
std::string FormatReportLine(std::string_view when, ReportAction action, std::string_view path,
                             const platform::FindData& data);
// Appends a report line when the statement writes a report.
void WriteReportLine(SyncContext& ctx, ReportAction action, const std::string& path, const platform::FindData& data);
// Appends text unchanged to the conflict log.
void WriteConflictLine(SyncContext& ctx, const std::string& text);

// "\nSynchronizeDir: text\n" with the error marker at the start of every line.
std::string FormatSyncMessage(std::string_view text);
// An engine error: always shown, and recorded in the debug log with DEBUG.
void SyncError(InterpreterState& st, std::string_view text);
// An engine warning: shown and recorded only with DEBUG.
void SyncWarning(InterpreterState& st, std::string_view text);
// "text\nCause (error code 0x5): system text" for an engine message.
std::string WithCause(const std::string& text, int error);

}  // namespace tav::sync
