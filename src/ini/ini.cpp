#include "ini/ini.h"

#include <cstring>
#include <new>
#include <stdexcept>
#include <string_view>
#include <vector>

#include "core/check_report.h"
#include "core/messages.h"
#include "core/text.h"
#include "core/user_interface.h"
#include "ini/profile_access.h"
#include "ini/profile_layout.h"
#include "platform/profile.h"

namespace tav::ini {

namespace {

constexpr size_t kSectionBufferSize = 8192;
constexpr size_t kValueBufferSize = 8192;

// The file argument as a full path against the current directory. Resolved
// again before every read and write.
std::string FullPathOf(const std::string& file) { return platform::FullPath(platform::NativePath(file)); }

// The wait for a file's update lock: after a few seconds the status line says
// what it waits for, and a stop (Abort, SIGTERM, SIGHUP) ends it at once.
platform::LockWait LockWaitOf(InterpreterState& st) {
  return {&st.stopRequested, [&st](const std::string& path) {
            if (st.ui != nullptr) {
              st.ui->SetControlText(kStatusLine, Format("Waiting for another update of %s to end.", path.c_str()));
            }
          }};
}

// Reports a write of the file that failed for a reason of the system (error
// 3, the reason in the LOG file); a write cut short by a stop is not reported.
bool ReportWriteFailure(InterpreterState& st, const std::string& path, int error) {
  if (st.stopRequested) return false;
  PrintMessage(st, Format("\n%c%s could not be updated: %s", kErrorMarker, path.c_str(),
                          platform::ErrorText(error).c_str()));
  ReportError(st, kErrFileAccess);
  return false;
}

// The update lock of a file, held from its read to its write; a lock that
// cannot be taken is reported. A dry run takes none: it writes nothing, and
// taking the lock may create the file.
class FileLock {
 public:
  FileLock(InterpreterState& st, const std::string& path) {
    if (!st.options.whatIf) lock_.emplace(path, LockWaitOf(st));
    taken_ = !lock_ || lock_->Held() || ReportWriteFailure(st, path, lock_->Error());
  }
  bool Taken() const { return taken_; }
  const platform::UpdateLock* Held() const { return lock_ ? &*lock_ : nullptr; }

 private:
  std::optional<platform::UpdateLock> lock_;
  bool taken_ = false;
};

// The outcome of a write. A real write that failed for a reason of the
// system is reported; otherwise (always in a dry run) the edit did not
// apply, and notApplied (a statement error) is set.
bool Written(InterpreterState& st, const std::string& path, bool ok, int notApplied) {
  if (ok) return true;
  int error = st.options.whatIf ? 0 : platform::LastError();
  if (error != 0) return ReportWriteFailure(st, path, error);
  st.errorCode = notApplied;
  return false;
}

bool HasArguments(const ArgumentArray* args, size_t count) { return args != nullptr && args->size() == count; }

// The key of a text such as key=value: leading "=" skipped, then up to the
// next "=" or the end.
std::string_view KeyOf(std::string_view text) {
  size_t start = text.find_first_not_of('=');
  if (start == std::string_view::npos) return {};
  text.remove_prefix(start);
  return text.substr(0, text.find('='));
}

// The value of a text such as key=value: everything after the "=" that ends
// the key, or empty.
std::string_view ValueOf(std::string_view text) {
  size_t start = text.find_first_not_of('=');
  if (start == std::string_view::npos) return {};
  size_t equals = text.find('=', start);
  return equals == std::string_view::npos ? std::string_view() : text.substr(equals + 1);
}

// Reads the whole section into a section buffer that starts at 8,192 bytes
// and doubles while the read says the section did not fit. Returns the count
// of characters read; reports error 1 and returns nothing when the buffer
// cannot be had.
std::optional<size_t> ReadWholeSection(InterpreterState& st, const std::string& file, const std::string& section,
                                       std::vector<char>& buffer) {
  try {
    buffer.assign(kSectionBufferSize, '\0');
    for (;;) {
      size_t count = ReadSectionOf(st, FullPathOf(file), section, buffer);
      if (count != buffer.size() - 2) return count;
      buffer.resize(buffer.size() * 2, '\0');
    }
  } catch (const std::bad_alloc&) {
  } catch (const std::length_error&) {
  }
  ReportError(st, kErrMemory);
  return std::nullopt;
}

// The line of a section text that starts at offset.
std::string_view LineAt(const std::vector<char>& buffer, size_t offset) { return std::string_view(&buffer[offset]); }

// Where IniAddLine puts a line with the key: before the last line that begins
// with the key, or at the end of the section's lines. Nothing when the very
// line is there already.
std::optional<size_t> InsertionPoint(const std::vector<char>& buffer, size_t count, std::string_view line,
                                     std::string_view key) {
  std::string_view wanted = TrimBlanks(line);
  size_t insertAt = count;
  for (size_t offset = 0; offset < count;) {
    std::string_view current = LineAt(buffer, offset);
    if (EqualsNoCase(current, wanted)) return std::nullopt;
    if (StartsWithNoCase(current, key)) insertAt = offset;
    offset += current.size() + 1;
  }
  return insertAt;
}

// Puts line, with its NUL, into the section text at offset; the lines from
// there on move up. Reports error 1 when the buffer cannot grow.
bool InsertLine(InterpreterState& st, std::vector<char>& buffer, size_t offset, std::string_view line) {
  try {
    // The buffer always holds the final NUL after count, so inserting the line
    // and its NUL leaves the list ended as before.
    buffer.insert(buffer.begin() + static_cast<std::ptrdiff_t>(offset), line.size() + 1, '\0');
    std::memcpy(&buffer[offset], line.data(), line.size());
    return true;
  } catch (const std::bad_alloc&) {
  } catch (const std::length_error&) {
  }
  ReportError(st, kErrMemory);
  return false;
}

// Removes from the section text every line that begins with beginning (ASCII
// case folded); returns how many went. The section's end moves down with it.
size_t RemoveLinesBeginningWith(std::vector<char>& buffer, size_t& count, std::string_view beginning) {
  size_t removed = 0;
  for (size_t offset = 0; offset < count;) {
    std::string_view current = LineAt(buffer, offset);
    size_t length = current.size() + 1;
    if (!StartsWithNoCase(current, beginning)) {
      offset += length;
      continue;
    }
    std::memmove(&buffer[offset], &buffer[offset + length], count + 1 - (offset + length));
    count -= length;
    buffer[count + 1] = '\0';
    ++removed;
  }
  return removed;
}

}  // namespace

bool HasLineKey(std::string_view text) { return !TrimBlanks(KeyOf(text)).empty(); }

bool TakeCopyKey(std::string& key) {
  size_t equals = key.find('=');
  if (equals == std::string::npos) return true;
  if (equals + 1 != key.size()) return false;
  key.pop_back();
  return true;
}

void CheckIniLine(InterpreterState& st, const ArgumentArray* args) {
  if (args != nullptr && !HasLineKey((*args)[2].text)) CheckError(st, kErrSyntax, "the line has no key");
}

void CheckIniCopyLine(InterpreterState& st, const ArgumentArray* args) {
  if (args == nullptr) return;
  std::string key = (*args)[3].text;
  if (!TakeCopyKey(key)) CheckError(st, kErrConstruction, "an \"=\" inside the key");
}

bool IniAddLine(InterpreterState& st, const ArgumentArray* args) {
  if (!HasArguments(args, 3)) return false;
  const std::string& file = (*args)[0].text;
  const std::string& section = (*args)[1].text;
  const std::string& line = (*args)[2].text;
  // The key decides where the line goes; blanks around it do not count, as
  // they do not in the file. A line without a key is refused unwritten.
  if (!HasLineKey(line)) {
    st.errorCode = kErrSyntax;
    return false;
  }
  std::string_view key = TrimBlanks(KeyOf(line));
  std::string path = FullPathOf(file);
  FileLock lock(st, path);
  if (!lock.Taken()) return false;
  CreateIfMissing(st, path);
  std::vector<char> buffer;
  std::optional<size_t> count = ReadWholeSection(st, file, section, buffer);
  if (!count) return false;
  std::optional<size_t> insertAt = InsertionPoint(buffer, *count, line, key);
  if (!insertAt) return false;
  if (!InsertLine(st, buffer, *insertAt, line)) return false;
  return Written(st, path, WriteSectionOf(st, path, section, buffer.data(), lock.Held()), kErrNone);
}

bool IniCopyLine(InterpreterState& st, const ArgumentArray* args) {
  if (!HasArguments(args, 4)) return false;
  const std::string& section = (*args)[2].text;
  std::string key = (*args)[3].text;
  if (!TakeCopyKey(key)) {
    ReportError(st, kErrConstruction);
    return false;
  }
  std::vector<char> value(kValueBufferSize, '\0');
  size_t count = ReadStringOf(st, FullPathOf((*args)[0].text), section, key, "", value);
  if (count == 0) {
    st.errorCode = kErrNoSectionOrLine;
    return false;
  }
  std::string path = FullPathOf((*args)[1].text);
  FileLock lock(st, path);
  if (!lock.Taken()) return false;
  return Written(st, path, WriteStringOf(st, path, section, key, std::string_view(value.data(), count), lock.Held()),
                 kErrNone);
}

bool IniChangeLine(InterpreterState& st, const ArgumentArray* args) {
  if (!HasArguments(args, 3)) return false;
  st.errorCode = kErrNone;
  const std::string& entry = (*args)[2].text;
  if (!HasLineKey(entry)) {
    st.errorCode = kErrSyntax;
    return false;
  }
  std::string path = FullPathOf((*args)[0].text);
  FileLock lock(st, path);
  if (!lock.Taken()) return false;
  return Written(st, path, WriteStringOf(st, path, (*args)[1].text, KeyOf(entry), ValueOf(entry), lock.Held()),
                 kErrNone);
}

bool IniCopySection(InterpreterState& st, const ArgumentArray* args) {
  if (!HasArguments(args, 3)) return false;
  st.errorCode = kErrNone;
  const std::string& section = (*args)[2].text;
  std::vector<char> buffer;
  std::optional<size_t> count = ReadWholeSection(st, (*args)[0].text, section, buffer);
  if (!count) return false;
  if (*count == 0) {
    st.errorCode = kErrNoSection;
    return false;
  }
  std::string path = FullPathOf((*args)[1].text);
  FileLock lock(st, path);
  if (!lock.Taken()) return false;
  return Written(st, path, WriteSectionOf(st, path, section, buffer.data(), lock.Held()), kErrNone);
}

bool IniDeleteLine(InterpreterState& st, const ArgumentArray* args) {
  if (!HasArguments(args, 3)) return false;
  const std::string& file = (*args)[0].text;
  const std::string& section = (*args)[1].text;
  std::string path = FullPathOf(file);
  FileLock lock(st, path);
  if (!lock.Taken()) return false;
  std::vector<char> buffer;
  std::optional<size_t> count = ReadWholeSection(st, file, section, buffer);
  if (!count) return false;
  if (*count == 0) {
    st.errorCode = kErrNoSection;
    return false;
  }
  if (RemoveLinesBeginningWith(buffer, *count, (*args)[2].text) == 0) {
    st.errorCode = kErrNoLine;
    return false;
  }
  return Written(st, path, WriteSectionOf(st, path, section, buffer.data(), lock.Held()), kErrNone);
}

bool IniDeleteSection(InterpreterState& st, const ArgumentArray* args) {
  if (!HasArguments(args, 2)) return false;
  std::string path = FullPathOf((*args)[0].text);
  FileLock lock(st, path);
  if (!lock.Taken()) return false;
  return Written(st, path, DeleteSectionOf(st, path, (*args)[1].text, lock.Held()), kErrNoSection);
}

}  // namespace tav::ini
