#include "run/report.h"

#include <nlohmann/json.hpp>

#include "core/messages.h"
#include "platform/unicode.h"

namespace tav {

namespace {

using Json = nlohmann::ordered_json;

std::string Hex(std::string_view bytes) {
  static const char kDigits[] = "0123456789abcdef";
  std::string out;
  for (unsigned char c : bytes) {
    out += kDigits[c >> 4];
    out += kDigits[c & 15];
  }
  return out;
}

// Puts text under name. Text that is not UTF-8 (a code page's own
// characters) is written with U+FFFD for what does not decode, and its exact
// bytes in hexadecimal under name + "_hex", so that nothing is lost.
void PutText(Json& object, const std::string& name, const std::optional<std::string>& text) {
  if (!text) {
    object[name] = nullptr;
    return;
  }
  object[name] = *text;
  if (!platform::unicode::IsValidUtf8(*text)) object[name + "_hex"] = Hex(*text);
}

// One line of the file; what does not decode becomes U+FFFD (the exact
// bytes are under the "_hex" names).
std::string Line(const Json& record) {
  return record.dump(-1, ' ', false, Json::error_handler_t::replace) + "\n";
}

std::optional<std::string> NonEmpty(const std::string& text) {
  if (text.empty()) return std::nullopt;
  return text;
}

Json TypedData(const std::optional<std::string>& data, const std::string& type) {
  if (!data) return nullptr;
  Json value = Json::object();
  value["type"] = type.empty() ? nullptr : Json(type);
  PutText(value, "data", data);
  return value;
}

Json ChangeObject(const Change& change) {
  Json object;
  object["kind"] = change.kind;
  if (change.kind == "ini") {
    PutText(object, "file", change.target);
    PutText(object, "section", change.section);
    PutText(object, "key", NonEmpty(change.name));
    PutText(object, "before", change.before);
    PutText(object, "after", change.after);
    PutText(object, "diff", change.diff);
  } else if (change.kind == "registry") {
    PutText(object, "key", change.target);
    PutText(object, "value", NonEmpty(change.name));
    // A key's own change has no type: before/after only tell that it exists.
    if (change.name.empty()) {
      object["before"] = change.before ? Json::object() : Json(nullptr);
      object["after"] = change.after ? Json::object() : Json(nullptr);
    } else {
      object["before"] = TypedData(change.before, change.beforeType);
      object["after"] = TypedData(change.after, change.afterType);
    }
  } else if (change.kind == "file") {
    PutText(object, "path", change.target);
    object["action"] = change.name;
    object["directory"] = change.directory;
    object["size"] = change.size;
  } else {
    PutText(object, "command_line", change.target);
  }
  return object;
}

}  // namespace

ReportFile::ReportFile(InterpreterState& st) : st_(st), start_(std::chrono::steady_clock::now()) {
  st_.report.SetCollecting(!st_.options.reportPath.empty() || st_.options.whatIf);
  if (st_.options.reportPath.empty()) return;
  file_ = platform::OpenFile(st_.options.reportPath, platform::OpenMode::CreateTruncate);
  if (!file_.IsOpen()) ReportError(st_, kErrFileAccess);
}

ReportFile::~ReportFile() { st_.report.SetCollecting(false); }

void ReportFile::Statement(uint32_t line, const std::string& name, const std::string& text, bool ok) {
  std::vector<Change> changes = st_.report.TakeChanges();
  ++statements_;
  if (!ok) ++failed_;
  if (!changes.empty()) ++changed_;
  changes_ += static_cast<unsigned>(changes.size());
  if (!file_.IsOpen()) return;
  Json record;
  record["record"] = "statement";
  record["line"] = line;
  record["statement"] = name;
  PutText(record, "text", text);
  record["outcome"] = ok ? "ok" : (st_.stopRequested ? "stopped" : "failed");
  record["error"] = ok ? 0 : st_.errorCode;
  record["message"] = ok ? "" : ErrorText(st_.errorCode);
  record["changed"] = !changes.empty();
  Json list = Json::array();
  for (const Change& change : changes) list.push_back(ChangeObject(change));
  record["changes"] = std::move(list);
  file_.Write(Line(record));
}

void ReportFile::Finish(int exitCode) {
  if (!file_.IsOpen()) return;
  std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start_;
  Json record;
  record["record"] = "summary";
  record["exit_code"] = exitCode;
  record["meaning"] = exitCode == 0 ? "Success" : ErrorText(exitCode);
  record["whatif"] = st_.options.whatIf;
  record["statements"] = statements_;
  record["changed"] = changed_;
  record["failed"] = failed_;
  record["change_count"] = changes_;
  record["elapsed_seconds"] = elapsed.count();
  file_.Write(Line(record));
  file_.Close();
}

}  // namespace tav
