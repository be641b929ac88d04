#include "ini/profile_access.h"

#include <functional>

#include "core/messages.h"
#include "core/text.h"
#include "ini/profile.h"
#include "ini/profile_layout.h"
#include "ini/unified_diff.h"
#include "platform/profile.h"

namespace tav::ini {

namespace {

using Edit = std::function<std::optional<std::string>(std::string_view)>;
using Write = std::function<bool()>;

const PlannedChanges::File* PlannedFile(const InterpreterState& st, const std::string& path) {
  if (!st.options.whatIf) return nullptr;
  auto it = st.plan.files.find(path);
  return it == st.plan.files.end() ? nullptr : &it->second;
}

// What a planned file holds: nothing when it is planned away.
std::string PlannedBytes(const PlannedChanges::File& planned) {
  return planned.exists ? planned.bytes.value_or(std::string()) : std::string();
}

// The file's bytes as the statement sees them; false when it does not exist.
bool LoadCurrent(const InterpreterState& st, const std::string& path, std::string& bytes) {
  bytes.clear();
  if (const PlannedChanges::File* planned = PlannedFile(st, path)) {
    bytes = PlannedBytes(*planned);
    return planned->exists;
  }
  return platform::ReadWholeFile(path, bytes);
}

std::optional<std::string> Described(const std::string* bytes, std::string_view section,
                                     const std::optional<std::string>& key) {
  if (bytes == nullptr) return std::nullopt;
  return key ? KeyValue(*bytes, section, *key) : SectionLines(*bytes, section);
}

// Records the change of a file from before to after (null: no file).
void RecordChange(InterpreterState& st, const std::string& path, std::string_view section,
                  const std::optional<std::string>& key, const std::string* before, const std::string* after) {
  std::string beforeBytes = before ? *before : std::string();
  std::string afterBytes = after ? *after : std::string();
  if (before != nullptr && after != nullptr && beforeBytes == afterBytes) return;
  Change change;
  change.kind = "ini";
  change.target = path;
  change.section = std::string(section);
  change.name = key.value_or(std::string());
  change.before = Described(before, section, key);
  change.after = Described(after, section, key);
  change.diff = UnifiedDiff(path, beforeBytes, afterBytes);
  if (st.options.whatIf) {
    PrintMessage(st, Format("%cWHATIF: %s would change:\n", kInfoMarker, path.c_str()) + change.diff);
  }
  st.report.AddChange(std::move(change));
}

bool Update(InterpreterState& st, const std::string& path, std::string_view section,
            const std::optional<std::string>& key, const Edit& edit, const Write& write) {
  if (!st.options.whatIf && !st.report.Collecting()) return write();
  std::string before;
  bool existed = LoadCurrent(st, path, before);
  if (!st.options.whatIf) {
    if (!write()) return false;
    std::string after;
    bool exists = platform::ReadWholeFile(path, after);
    RecordChange(st, path, section, key, existed ? &before : nullptr, exists ? &after : nullptr);
    return true;
  }
  // A read-only file is never written: the write would fail.
  if (existed && PlannedFile(st, path) == nullptr && platform::IsReadOnlyFile(path)) return false;
  std::optional<std::string> after = edit(before);
  if (!after) return false;
  if (existed && *after == before) return true;
  st.plan.files[path] = PlannedChanges::File{true, *after};
  RecordChange(st, path, section, key, existed ? &before : nullptr, &*after);
  return true;
}

}  // namespace

size_t ReadSectionOf(InterpreterState& st, const std::string& path, std::string_view section,
                     std::span<char> buffer) {
  const PlannedChanges::File* planned = PlannedFile(st, path);
  if (planned == nullptr) return platform::ProfileReadSection(path, section, buffer);
  return SectionFromBytes(PlannedBytes(*planned), section, buffer);
}

size_t ReadStringOf(InterpreterState& st, const std::string& path, std::string_view section, std::string_view key,
                    std::string_view fallback, std::span<char> buffer) {
  const PlannedChanges::File* planned = PlannedFile(st, path);
  if (planned == nullptr) return platform::ProfileReadString(path, section, key, fallback, buffer);
  return StringFromBytes(PlannedBytes(*planned), section, key, fallback, buffer);
}

bool WriteSectionOf(InterpreterState& st, const std::string& path, std::string_view section, const char* text,
                    const platform::UpdateLock* held) {
  return Update(
      st, path, section, std::nullopt, [&](std::string_view bytes) { return BytesAfterSectionWrite(bytes, section, text); },
      [&] { return platform::ProfileWriteSection(path, section, text, held); });
}

bool WriteStringOf(InterpreterState& st, const std::string& path, std::string_view section, std::string_view key,
                   std::string_view value, const platform::UpdateLock* held) {
  std::optional<std::string> shownKey{std::string(TrimBlanks(key))};
  return Update(
      st, path, section, shownKey,
      [&](std::string_view bytes) { return BytesAfterStringWrite(bytes, section, key, value); },
      [&] { return platform::ProfileWriteString(path, section, key, value, held); });
}

bool DeleteSectionOf(InterpreterState& st, const std::string& path, std::string_view section,
                     const platform::UpdateLock* held) {
  return Update(
      st, path, section, std::nullopt, [&](std::string_view bytes) { return BytesAfterSectionDelete(bytes, section); },
      [&] { return platform::ProfileDeleteSection(path, section, held); });
}

void CreateIfMissing(InterpreterState& st, const std::string& path) {
  // A real run's update lock has made the file already.
  if (!st.options.whatIf) return;
  std::string bytes;
  if (!LoadCurrent(st, path, bytes)) st.plan.files[path] = PlannedChanges::File{true, std::string()};
}

}  // namespace tav::ini
