#include "sync/reports.h"

#include "core/messages.h"
#include "core/text.h"
#include "platform/file_ops.h"

namespace tav::sync {

namespace {

const char* const kMonths[] = {"JAN", "FEB", "MAR", "APR", "MAY", "JUN", "JUL", "AUG", "SEP", "OCT", "NOV", "DEC"};

const char* ActionText(ReportAction action) {
  switch (action) {
    case ReportAction::kAdd:
      return "ADD";
    case ReportAction::kDelete:
      return "DELETE";
    case ReportAction::kOverwriteAdd:
      return "OV-ADD";
    case ReportAction::kOverwriteDelete:
      return "OV-DEL";
    case ReportAction::kRenameAdd:
      return "REN-ADD";
    case ReportAction::kRenameDelete:
      return "REN-DEL";
  }
  return "";
}

std::string AttributeText(uint32_t attributes) {
  std::string text = "----";
  if (attributes & platform::kAttrHidden) text[0] = 'H';
  if (attributes & platform::kAttrReadOnly) text[1] = 'R';
  if (attributes & platform::kAttrSystem) text[2] = 'S';
  if (attributes & platform::kAttrArchive) text[3] = 'A';
  return text;
}

// The message for the debug log: markers removed, every LF widened to CR LF.
std::string ForDebugLog(std::string_view marked) {
  std::string out;
  out.reserve(marked.size() + 8);
  for (char c : marked) {
    if (c == kErrorMarker) continue;
    if (c == '\n') out += '\r';
    out += c;
  }
  return out;
}

void SendSyncMessage(InterpreterState& st, std::string_view text) {
  std::string message = FormatSyncMessage(text);
  PrintMessage(st, message);
  if (st.options.debug) WriteDebugLog(st, ForDebugLog(message));
}

}  // namespace

std::string TimeText(const platform::LocalTime& time) {
  int month = time.month >= 1 && time.month <= 12 ? time.month : 1;
  return Format("%02d-%s-%02d; %02d:%02d:%02d", time.day, kMonths[month - 1], time.year % 100, time.hour,
                time.minute, time.second);
}

std::string CurrentTimeText() { return TimeText(platform::CurrentLocalTime()); }

std::string FormatReportLine(std::string_view when, ReportAction action, std::string_view path,
                             const platform::FindData& data) {
  platform::LocalTime written = platform::FileTimeToLocal(data.writeTime);
  std::string size;
  if (!data.IsDirectory()) {
    size = Format("%u %u", static_cast<unsigned>(data.size >> 32), static_cast<unsigned>(data.size & 0xFFFFFFFFu));
  }
  return Format("%.*s\t%s\t%s\t%.*s\t%4d-%02d-%02d\t%02d:%02d:%02d\t%s\t%s\r\n", static_cast<int>(when.size()),
                when.data(), ActionText(action), data.IsDirectory() ? "DIR" : "FILE", static_cast<int>(path.size()),
                path.data(), written.year, written.month, written.day, written.hour, written.minute, written.second,
                size.c_str(), AttributeText(data.attributes).c_str());
}

// The run report's name of an action; nothing for the old file of an
// overwrite, which the overwrite itself stands for.
static const char* ChangeName(ReportAction action) {
  switch (action) {
    case ReportAction::kAdd:
      return "add";
    case ReportAction::kDelete:
      return "delete";
    case ReportAction::kOverwriteAdd:
      return "overwrite";
    case ReportAction::kRenameAdd:
      return "rename-to";
    case ReportAction::kRenameDelete:
      return "rename-from";
    case ReportAction::kOverwriteDelete:
      break;
  }
  return nullptr;
}

// Under WHATIF a report line is shown instead of written, and the file is
// planned as it would be after the action.
static void RecordFileChange(SyncContext& ctx, ReportAction action, const std::string& path, const platform::FindData& data) {
  InterpreterState& st = ctx.st;
  if (st.options.whatIf) {
    PrintMessage(st, Format("%cWHATIF: ", kInfoMarker) + FormatReportLine(CurrentTimeText(), action, path, data));
    bool exists = action != ReportAction::kDelete && action != ReportAction::kRenameDelete;
    st.plan.files[platform::FullPath(path)] = PlannedChanges::File{exists, std::nullopt};
  }
  const char* name = ChangeName(action);
  if (name == nullptr) return;
  Change change;
  change.kind = "file";
  change.target = path;
  change.name = name;
  change.size = data.IsDirectory() ? 0 : data.size;
  change.directory = data.IsDirectory();
  st.report.AddChange(std::move(change));
}

void WriteReportLine(SyncContext& ctx, ReportAction action, const std::string& path, const platform::FindData& data) {
  RecordFileChange(ctx, action, path, data);
  if (!ctx.request.hasReport || !ctx.reportFile.IsOpen()) return;
  ctx.reportFile.Write(FormatReportLine(CurrentTimeText(), action, path, data));
}

void WriteConflictLine(SyncContext& ctx, const std::string& text) {
  if (!ctx.conflictLog.IsOpen() && !ctx.pendingConflictLog.empty()) {
    ctx.conflictLog = platform::OpenForAppend(ctx.pendingConflictLog);
    ctx.pendingConflictLog.clear();
  }
  if (ctx.conflictLog.IsOpen()) ctx.conflictLog.Write(text);
}

std::string FormatSyncMessage(std::string_view text) {
  std::string message = Format("\nSynchronizeDir: %.*s\n", static_cast<int>(text.size()), text.data());
  std::string marked;
  marked.reserve(message.size() + 8);
  bool lineStart = true;
  for (char c : message) {
    if (lineStart) marked += kErrorMarker;
    marked += c;
    lineStart = c == '\n';
  }
  return marked;
}

void SyncError(InterpreterState& st, std::string_view text) { SendSyncMessage(st, text); }

void SyncWarning(InterpreterState& st, std::string_view text) {
  if (st.options.debug) SendSyncMessage(st, text);
}

std::string WithCause(const std::string& text, int error) {
  return Format("%s\nCause (error code %#x): %s", text.c_str(), static_cast<unsigned>(error),
                platform::ErrorText(error).c_str());
}

}  // namespace tav::sync
