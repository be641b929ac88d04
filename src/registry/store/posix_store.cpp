// The POSIX registry: a store of registry files of the interpreter's own.
//
// The store directory ($TAV32_REGISTRY, else "registry" in the Windows
// directory) holds one file per root key (HKEY_LOCAL_MACHINE.reg, ...),
// created when first written; a remote computer NAME is the folder
// computers/NAME in it. Every change is made under the directory's update
// lock and appended, as one record, to the root's journal beside its file
// (HKEY_LOCAL_MACHINE.journal), which is on disk when the call returns: a
// change costs the same however large the store is. The store file itself is
// rewritten, atomically, with the journal's changes taken in (a checkpoint)
// when the journal has grown to half the file's size and when a run ends
// (RegFlush); the journal is then removed. Readers apply the journal over the
// file, so that they see every change reported as done, and a journal left by
// a run that was killed is applied by the next one that opens the store. A
// journal record cut short by a kill is never applied; it is told once.
// A file that cannot be read as a registry file is never written:
// every operation on its root fails and tells which file and line is at fault.
// Parsed files are kept in memory, with the journal records read so far; a
// check of both files' identities tells what to read again.
// Names and string data are converted between the system's code page and the
// store's Unicode text exactly, or the operation fails and says why.
#include "platform/registry.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <mutex>
#include <unordered_set>

#include "platform/code_page.h"
#include "platform/file_ops.h"
#include "platform/fs.h"
#include "platform/system.h"
#include "platform/unicode.h"
#include "registry/store/format.h"
#include "registry/store/journal.h"

namespace tav::platform {

struct RegKeyObject {
  RegRoot root = RegRoot::LocalMachine;
  bool predefined = false;  // a root key of this computer; its file is found at each use
  bool remote = false;
  std::string file;               // the root's store file
  std::vector<std::string> path;  // folded key names below the root
  bool deleted = false;
};

namespace {

using regstore::ChangeKind;
using regstore::JournalRecord;
using regstore::StoredKey;
using regstore::StoredValue;
using unicode::FoldName;

const char* RootName(RegRoot root) {
  switch (root) {
    case RegRoot::ClassesRoot: return "HKEY_CLASSES_ROOT";
    case RegRoot::CurrentUser: return "HKEY_CURRENT_USER";
    case RegRoot::LocalMachine: return "HKEY_LOCAL_MACHINE";
    case RegRoot::Users: return "HKEY_USERS";
  }
  return "HKEY_LOCAL_MACHINE";
}

std::string StoreDirectory() {
  const char* env = std::getenv("TAV32_REGISTRY");
  std::string directory;
  if (env != nullptr && *env != '\0') {
    directory = env;
  } else {
    std::string windows = WindowsDirectory();
    if (windows.empty()) return std::string();
    directory = windows + "/registry";
  }
  directory = FullPath(directory);
  while (directory.size() > 1 && directory.back() == '/') directory.pop_back();
  return directory;
}

std::string RootFile(const std::string& directory, RegRoot root) {
  return directory + "/" + RootName(root) + ".reg";
}

std::string Trimmed(std::string text) {
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  return text;
}

// The journal beside a store file: its name with ".journal" for ".reg".
std::string JournalFile(const std::string& file) {
  std::string journal = file;
  if (journal.size() > 4 && journal.compare(journal.size() - 4, 4, ".reg") == 0) journal.resize(journal.size() - 4);
  return journal + ".journal";
}

// The smallest journal that is taken into its store file before a run ends.
constexpr uint64_t kSmallestCheckpoint = 1u << 20;

enum class JournalState {
  None,     // no journal beside the file (or none read yet)
  Applied,  // its header matches the file and its records up to used are applied
  Ignored,  // it does not continue the file as read: a checkpoint has taken it in
};

struct LoadedFile {
  FileIdentity identity;
  regstore::JournalBase base;  // what the file's bytes were
  std::unique_ptr<StoredKey> root;
  std::string damage;  // why the file cannot be used; empty when it can
  JournalState journal = JournalState::None;
  FileIdentity journalIdentity;  // as last read
  uint64_t used = 0;             // bytes of the journal applied: header and whole records
  std::string torn;              // why the bytes after used were not applied; empty when there are none
  uint64_t tornTold = 0;         // the journal size whose torn tail has been told
  // What was read may be a moment of another process's update: a journal
  // that does not continue the file, a tail cut short, a file replaced while
  // it was read. Read once more under the update lock before believing it.
  bool doubtful = false;
  bool written = false;  // this process appended to the journal since its last checkpoint
};

// Names one step of a key path, or one value, may carry.
bool IsStorableName(const std::string& name) { return name.find_first_of(std::string("\0\r\n", 3)) == std::string::npos; }

// The steps of a subkey path as written; an empty path has none. One trailing
// backslash is allowed; an empty step elsewhere and line breaks are not.
// The backslashes are characters of the code page, never the second byte of
// a double-byte character.
int SplitSteps(const CodePage& codePage, const std::string& subkey, std::vector<std::string>& steps) {
  steps.clear();
  std::string_view rest = subkey;
  if (codePage.EndsWith(rest, '\\')) rest.remove_suffix(1);
  if (rest.empty()) return subkey.empty() ? kRegOk : kRegInvalidName;
  for (;;) {
    size_t slash = codePage.Find(rest, '\\');
    std::string step(rest.substr(0, slash));
    if (step.empty() || !IsStorableName(step)) return kRegInvalidName;
    steps.push_back(std::move(step));
    if (slash == std::string_view::npos) return kRegOk;
    rest.remove_prefix(slash + 1);
  }
}

std::vector<std::string> Folded(const std::vector<std::string>& steps) {
  std::vector<std::string> out;
  out.reserve(steps.size());
  for (const std::string& step : steps) out.push_back(FoldName(step));
  return out;
}

bool IsStringType(uint32_t type) { return type == kRegSz || type == kRegExpandSz || type == kRegMultiSz; }

bool ValidComputerName(const CodePage& codePage, const std::string& name) {
  return !name.empty() && name != "." && name.find("..") == std::string::npos &&
         codePage.FindFirstOf(name, std::string_view("/\\\0", 3)) == std::string::npos;
}

// A file name's folded form, or empty when it is not text of the code page.
std::string FoldedFileName(const CodePage& codePage, const std::string& name) {
  std::string utf8;
  std::string problem;
  return codePage.ToUtf8(name, utf8, problem) ? FoldName(utf8) : std::string();
}

// The folder of a remote computer, its name compared without regard to case.
// Folder names are file names: bytes of the code page, as the name is.
std::string FindComputerFolder(const std::string& directory, const std::string& name, const CodePage& codePage) {
  std::string computers = directory + "/computers";
  if (DirectoryExists(computers + "/" + name)) return computers + "/" + name;
  std::string wanted = FoldedFileName(codePage, name);
  if (wanted.empty()) return std::string();
  std::vector<FindData> entries;
  int listError = 0;
  if (ListDirectory(computers, true, entries, listError) != ListStatus::kOk) return std::string();
  std::string found;
  for (const FindData& entry : entries) {
    const std::string& candidate = entry.name;
    if (ValidComputerName(codePage, candidate) && FoldedFileName(codePage, candidate) == wanted &&
        DirectoryExists(computers + "/" + candidate)) {
      found = computers + "/" + candidate;
      break;
    }
  }
  return found;
}

class Store {
 public:
  Store() {
    for (int i = 0; i < 4; ++i) {
      roots_[i].root = static_cast<RegRoot>(i);
      roots_[i].predefined = true;
    }
  }

  RegKey Root(RegRoot root) { return &roots_[static_cast<int>(root)]; }

  int Connect(const std::string& computer, RegRoot root, RegKey& out) {
    std::lock_guard<std::mutex> guard(mutex_);
    out = nullptr;
    size_t start = computer.find_first_not_of('\\');
    std::string name = start == std::string::npos ? std::string() : computer.substr(start);
    if (start == 0 || !ValidComputerName(codePage_, name)) return kRegBadNetPath;
    std::string directory = StoreDirectory();
    if (directory.empty()) return kRegBadNetPath;
    std::string folder = FindComputerFolder(directory, name, codePage_);
    if (folder.empty()) return kRegBadNetPath;
    out = NewHandle(root, true, RootFile(folder, root), {});
    return kRegOk;
  }

  int Open(RegKey base, const std::string& subkey, bool create, RegKey& out) {
    out = nullptr;
    std::vector<std::string> steps;
    if (int status = SplitSteps(codePage_, subkey, steps)) return status;
    std::lock_guard<std::mutex> guard(mutex_);
    if (!StepsInward(steps)) return kRegInvalidName;
    std::string file;
    auto missing = [&](StoredKey& key) {
      StoredKey* k = &key;
      for (const std::string& step : steps) {
        k = k->FindSubkey(step);
        if (k == nullptr) return true;
      }
      return false;
    };
    int status = create ? Modify(base, file,
                                 [&](StoredKey& key, std::vector<JournalRecord>& records) {
                                   if (missing(key)) records.push_back({ChangeKind::CreateKey, steps, {}});
                                   return kRegOk;
                                 })
                        : Inspect(base, file, [&](StoredKey& key) { return missing(key) ? kRegNotFound : kRegOk; });
    if (status != kRegOk) return status;
    std::vector<std::string> path = base->path;
    for (std::string& step : Folded(steps)) path.push_back(std::move(step));
    out = NewHandle(base->root, base->remote, file, std::move(path));
    return kRegOk;
  }

  void Close(RegKey key) {
    std::lock_guard<std::mutex> guard(mutex_);
    if (handles_.erase(key) != 0) delete key;
  }

  int SetValue(RegKey key, const std::string& name, uint32_t type, const std::vector<uint8_t>& data) {
    if (!IsStorableName(name)) return kRegInvalidName;
    std::lock_guard<std::mutex> guard(mutex_);
    StoredValue value{std::string(), type, data};
    if (!Inward("The value name", name, value.name)) return kRegInvalidName;
    if (IsStringType(type) && !DataInward(name, data, value.data)) return kRegNoTranslation;
    std::string file;
    return Modify(key, file, [&](StoredKey& k, std::vector<JournalRecord>& records) {
      const StoredValue* old = k.FindValue(value.name);
      if (old == nullptr || old->type != value.type || old->data != value.data) {
        records.push_back({ChangeKind::SetValue, {}, std::move(value)});
      }
      return kRegOk;
    });
  }

  int QueryValue(RegKey key, const std::string& name, uint32_t& type, std::vector<uint8_t>& data) {
    std::lock_guard<std::mutex> guard(mutex_);
    std::string storedName;
    if (!Inward("The value name", name, storedName)) return kRegInvalidName;
    std::string file;
    return Inspect(key, file, [&](StoredKey& k) {
      const StoredValue* value = k.FindValue(storedName);
      if (value == nullptr) return kRegNotFound;
      type = value->type;
      data.clear();
      if (!IsStringType(value->type)) {
        data = value->data;
      } else if (!DataOutward(*value, data)) {
        return kRegNoTranslation;
      }
      return kRegOk;
    });
  }

  int DeleteValue(RegKey key, const std::string& name) {
    std::lock_guard<std::mutex> guard(mutex_);
    std::string storedName;
    if (!Inward("The value name", name, storedName)) return kRegInvalidName;
    std::string file;
    return Modify(key, file, [&](StoredKey& k, std::vector<JournalRecord>& records) {
      if (k.FindValue(storedName) == nullptr) return kRegNotFound;
      records.push_back({ChangeKind::DeleteValue, {}, StoredValue{storedName, 0, {}}});
      return kRegOk;
    });
  }

  int EnumKey(RegKey key, uint32_t index, std::string& name) {
    std::lock_guard<std::mutex> guard(mutex_);
    std::string file;
    return Inspect(key, file, [&](StoredKey& k) {
      if (index >= k.Subkeys().size()) return kRegNoMoreItems;
      auto it = k.Subkeys().begin();
      std::advance(it, index);
      return Outward("The key name", it->second->Name(), name) ? kRegOk : kRegNoTranslation;
    });
  }

  int DeleteKey(RegKey parent, const std::string& subkey) {
    std::vector<std::string> steps;
    if (int status = SplitSteps(codePage_, subkey, steps)) return status;
    if (steps.empty()) return kRegAccessDenied;
    std::lock_guard<std::mutex> guard(mutex_);
    if (!StepsInward(steps)) return kRegInvalidName;
    std::string file;
    int status = Modify(parent, file, [&](StoredKey& key, std::vector<JournalRecord>& records) {
      StoredKey* above = &key;
      for (size_t i = 0; i + 1 < steps.size() && above != nullptr; ++i) above = above->FindSubkey(steps[i]);
      StoredKey* target = above == nullptr ? nullptr : above->FindSubkey(steps.back());
      if (target == nullptr) return kRegNotFound;
      if (!target->Subkeys().empty()) return kRegHasSubkeys;
      records.push_back({ChangeKind::DeleteKey, steps, {}});
      return kRegOk;
    });
    if (status == kRegOk) {
      std::vector<std::string> path = parent->path;
      for (std::string& step : Folded(steps)) path.push_back(std::move(step));
      MarkDeleted(file, path);
    }
    return status;
  }

  void SetLockWait(LockWait wait) {
    std::lock_guard<std::mutex> guard(mutex_);
    lockWait_ = std::move(wait);
  }

  int FlushAll() {
    std::lock_guard<std::mutex> guard(mutex_);
    return Flush();
  }

  std::string TakeDiagnostic() {
    std::lock_guard<std::mutex> guard(mutex_);
    std::string text;
    text.swap(diagnostic_);
    return text;
  }

 private:
  // Text of the interface in the store's UTF-8; false with the diagnostic
  // set when it is not text of the code page.
  // what names the text; whose (when not empty) tells what it belongs to.
  bool Inward(const char* what, std::string_view text, std::string& out, const std::string& whose = {}) {
    std::string problem;
    if (codePage_.ToUtf8(text, out, problem)) return true;
    diagnostic_ = std::string(what) + " \"" + Shown(ShowBytes(text)) + "\"" + whose +
                  " cannot be converted from the code page " + codePage_.Name() + " to the registry's Unicode text: " +
                  problem + ".";
    return false;
  }

  // The store's UTF-8 text in the code page; false with the diagnostic set
  // when a character has no form there.
  bool Outward(const char* what, std::string_view utf8, std::string& out, const std::string& whose = {}) {
    std::string problem;
    if (codePage_.FromUtf8(utf8, out, problem)) return true;
    diagnostic_ = std::string(what) + " \"" + Shown(ShowCharacters(utf8)) + "\"" + whose +
                  " in the registry cannot be converted to the code page " + codePage_.Name() + ": " + problem + ".";
    return false;
  }

  // The steps of a key path in UTF-8; false when one is not text of the code
  // page (with the diagnostic set) or longer than a key name may be (in
  // UTF-16 units, as the registry counts characters).
  bool StepsInward(std::vector<std::string>& steps) {
    for (std::string& step : steps) {
      std::string utf8;
      if (!Inward("The key name", step, utf8)) return false;
      if (unicode::Utf8ToUtf16(utf8).size() / 2 > kRegMaxKeyName) return false;
      step = std::move(utf8);
    }
    return true;
  }

  // String data of the interface (NULs included) as the store's UTF-16LE.
  bool DataInward(const std::string& name, const std::vector<uint8_t>& data, std::vector<uint8_t>& out) {
    std::string utf8;
    std::string_view text(reinterpret_cast<const char*>(data.data()), data.size());
    if (!Inward("The string data", text, utf8, " of the value \"" + ShowBytes(name) + "\"")) return false;
    out = unicode::Utf8ToUtf16(utf8);
    return true;
  }

  // A string value's UTF-16LE data in the code page, NULs included.
  bool DataOutward(const StoredValue& value, std::vector<uint8_t>& out) {
    std::string whose = " of the value \"" + ShowCharacters(value.name) + "\"";
    std::string utf8;
    size_t failedAt = 0;
    if (!unicode::Utf16ToUtf8(value.data.data(), value.data.size(), utf8, &failedAt)) {
      diagnostic_ = "The string data" + whose + " in the registry is not Unicode text: at byte " +
                    std::to_string(failedAt + 1) +
                    (failedAt + 1 < value.data.size() ? " it has a lone surrogate." : " it ends with half a character.");
      return false;
    }
    std::string text;
    if (!Outward("The string data", utf8, text, whose)) return false;
    out.assign(text.begin(), text.end());
    return true;
  }

  // A text shown in a message, cut short when long.
  static std::string Shown(const std::string& text) {
    constexpr size_t kLongest = 120;
    return text.size() <= kLongest ? text : text.substr(0, kLongest) + "...";
  }

  RegKey NewHandle(RegRoot root, bool remote, std::string file, std::vector<std::string> path) {
    auto* key = new RegKeyObject{root, false, remote, std::move(file), std::move(path), false};
    handles_.insert(key);
    return key;
  }

  // Whether the handle is a root or open, without looking into it (a closed
  // handle's memory is gone).
  bool Known(RegKey key) const {
    for (const RegKeyObject& root : roots_) {
      if (key == &root) return true;
    }
    return handles_.count(key) != 0;
  }

  // Checks the handle and finds its root's file.
  int Resolve(RegKey key, std::string& file) {
    if (!Known(key)) return kRegInvalidHandle;
    if (key->deleted) return kRegKeyDeleted;
    if (!key->predefined) {
      file = key->file;
      return kRegOk;
    }
    std::string directory = StoreDirectory();
    if (directory.empty()) {
      diagnostic_ = "No directory for the registry store can be had (set TAV32_REGISTRY).";
      return kRegIoFailed;
    }
    file = RootFile(directory, key->root);
    return kRegOk;
  }

  int IoFailure(const std::string& file, const char* what, int error) {
    diagnostic_ = "Registry store file " + file + " could not be " + what + ": " + Trimmed(ErrorText(error));
    return kRegIoFailed;
  }

  // The file's tree with its journal applied, brought up to date: read again
  // only when the file changed since, else only the journal's new records.
  // Without the update lock (locked false), what may be a moment of another
  // process's update is read once more under the lock.
  int Load(const std::string& file, bool locked, LoadedFile*& out) {
    auto it = files_.find(file);
    int status = it != files_.end() && Continues(file, it->second) ? ReadJournal(file, it->second) : Reload(file);
    if (status != kRegOk) return status;
    it = files_.find(file);
    if (it->second.doubtful && !locked) {
      UpdateLock lock(file, lockWait_);
      if (lock.Held()) {
        files_.erase(file);
        return Load(file, true, out);
      }
    }
    LoadedFile& loaded = it->second;
    loaded.doubtful = false;
    if (!loaded.damage.empty()) {
      diagnostic_ = loaded.damage;
      return kRegStoreDamaged;
    }
    if (!loaded.torn.empty() && loaded.tornTold != loaded.journalIdentity.size) {
      loaded.tornTold = loaded.journalIdentity.size;
      if (!diagnostic_.empty()) diagnostic_ += "\n";
      diagnostic_ += "Registry journal " + JournalFile(file) + ": the bytes from " + std::to_string(loaded.used) +
                    " on were not applied: " + loaded.torn +
                    " (a change cut short when a run was stopped while writing it, never reported as done).";
    }
    out = &loaded;
    return kRegOk;
  }

  // Whether a journal is the one whose records were applied, at most grown
  // since: the same file, no shorter than what was applied of it.
  static bool GrewFrom(const FileIdentity& journal, const LoadedFile& loaded) {
    return journal.exists && journal.device == loaded.journalIdentity.device &&
           journal.number == loaded.journalIdentity.number && journal.size >= loaded.used;
  }

  // Whether the tree kept for the file is still the file's, so that only the
  // journal's new records are to be read: two looks at the files' identities.
  bool Continues(const std::string& file, const LoadedFile& loaded) {
    if (!(IdentityOf(file) == loaded.identity)) return false;
    FileIdentity journal = IdentityOf(JournalFile(file));
    switch (loaded.journal) {
      case JournalState::None: return true;
      case JournalState::Ignored: return journal == loaded.journalIdentity;
      case JournalState::Applied: return GrewFrom(journal, loaded);
    }
    return false;
  }

  // Reads the file and its whole journal afresh.
  int Reload(const std::string& file) {
    files_.erase(file);
    std::string bytes;
    FileIdentity identity;
    int readError = 0;
    if (!ReadFileAndIdentity(file, bytes, identity, readError)) return IoFailure(file, "read", readError);
    LoadedFile loaded;
    loaded.identity = identity;
    loaded.base = regstore::BaseOf(bytes);
    loaded.root = std::make_unique<StoredKey>(RootName(RootOfFile(file)));
    regstore::FormatError error;
    if (!regstore::ReadStoreFile(bytes, *loaded.root, error)) {
      loaded.damage = "Registry store file " + file + (error.line != 0 ? ", line " + std::to_string(error.line) : "") +
                      ": " + error.reason + ". The file is left unchanged; its keys cannot be used until it is mended.";
    }
    LoadedFile& kept = files_.insert_or_assign(file, std::move(loaded)).first->second;
    if (!kept.damage.empty()) return kRegOk;
    if (int status = ReadJournal(file, kept)) return status;
    if (!(IdentityOf(file) == kept.identity)) kept.doubtful = true;
    return kRegOk;
  }

  // Applies the journal's records that follow those applied already.
  int ReadJournal(const std::string& file, LoadedFile& loaded) {
    const std::string journal = JournalFile(file);
    std::string bytes;
    FileIdentity identity;
    int readError = 0;
    if (loaded.journal == JournalState::Ignored || loaded.journalIdentity == IdentityOf(journal)) return kRegOk;
    if (!ReadFileFrom(journal, loaded.used, bytes, identity, readError)) {
      files_.erase(file);
      return IoFailure(journal, "read", readError);
    }
    if (loaded.journal == JournalState::Applied && !GrewFrom(identity, loaded)) {
      return Reload(file);  // replaced since: a checkpoint came between
    }
    loaded.journalIdentity = identity;
    if (!identity.exists) return kRegOk;
    std::string_view records = bytes;
    if (loaded.journal == JournalState::None) {
      regstore::JournalBase base;
      if (!regstore::ReadJournalHeader(bytes, base) || !(base == loaded.base)) {
        loaded.journal = JournalState::Ignored;
        loaded.doubtful = true;
        return kRegOk;
      }
      loaded.journal = JournalState::Applied;
      loaded.used = regstore::kJournalHeaderSize;
      records.remove_prefix(regstore::kJournalHeaderSize);
    }
    regstore::JournalScan scan = regstore::ApplyRecords(records, *loaded.root);
    loaded.used += scan.used;
    loaded.torn = scan.damage;
    if (scan.damaged) loaded.doubtful = true;
    return kRegOk;
  }

  static RegRoot RootOfFile(const std::string& file) {
    std::string title = FileTitle(file);
    for (int i = 0; i < 4; ++i) {
      RegRoot root = static_cast<RegRoot>(i);
      if (title == std::string(RootName(root)) + ".reg") return root;
    }
    return RegRoot::LocalMachine;
  }

  // Writes the tree into the store file, atomically, and removes the journal
  // it has taken in. Only under the update lock.
  int Checkpoint(const std::string& file, LoadedFile& loaded) {
    std::string bytes = regstore::WriteStoreFile(*loaded.root);
    int error = 0;
    if (!ReplaceFileAtomically(file, bytes, error)) {
      files_.erase(file);
      return IoFailure(file, "written", error);
    }
    // A journal left behind no longer matches the file and is not applied.
    const std::string journal = JournalFile(file);
    if (loaded.journal != JournalState::None && !RemoveFile(journal) && LastError() != ENOENT) {
      int removeError = LastError();
      files_.erase(file);
      return IoFailure(journal, "removed", removeError);
    }
    loaded.identity = IdentityOf(file);
    loaded.base = regstore::BaseOf(bytes);
    loaded.journal = JournalState::None;
    loaded.journalIdentity = FileIdentity();
    loaded.used = 0;
    loaded.torn.clear();
    loaded.written = false;
    if (!loaded.identity.exists) files_.erase(file);
    return kRegOk;
  }

  // Makes the changes in the tree and appends them to the journal, which is
  // on disk when this returns; a journal grown to half the file's size (at
  // least kSmallestCheckpoint) is taken into the file. Only under the lock.
  int Record(const std::string& file, LoadedFile& loaded, const std::vector<JournalRecord>& records) {
    std::string data;
    for (const JournalRecord& record : records) {
      regstore::ApplyRecord(record, *loaded.root);
      data += regstore::EncodeRecord(record);
    }
    // A store file that is still empty (the update lock makes a missing one,
    // and takes it away again if it stays empty) gets its first contents
    // whole: a journal over an empty file would lose its file with the lock.
    if (loaded.base.size == 0 && loaded.journal == JournalState::None) return Checkpoint(file, loaded);
    bool create = loaded.journal == JournalState::None;
    if (create) data.insert(0, regstore::JournalHeader(loaded.base));
    const std::string journal = JournalFile(file);
    int error = 0;
    if (!AppendDurably(journal, data, create, file, error)) {
      files_.erase(file);
      return IoFailure(journal, "written", error);
    }
    loaded.journal = JournalState::Applied;
    loaded.used += data.size();
    loaded.journalIdentity = IdentityOf(journal);
    loaded.written = true;
    if (loaded.used > std::max<uint64_t>(kSmallestCheckpoint, loaded.base.size / 2)) return Checkpoint(file, loaded);
    return kRegOk;
  }

  // The handle's key in its loaded file; a handle whose key is gone stays
  // dead, so that a key created again later is never reached through it.
  int Reach(RegKey key, const std::string& file, bool locked, LoadedFile*& loaded, StoredKey*& node) {
    if (int status = Load(file, locked, loaded)) return status;
    node = loaded->root.get();
    for (const std::string& step : key->path) {
      node = node->FindSubkey(step);
      if (node == nullptr) {
        key->deleted = true;
        return kRegKeyDeleted;
      }
    }
    return kRegOk;
  }

  template <typename Look>
  int Inspect(RegKey key, std::string& file, Look look) {
    if (int status = Resolve(key, file)) return status;
    LoadedFile* loaded = nullptr;
    StoredKey* node = nullptr;
    if (int status = Reach(key, file, false, loaded, node)) return status;
    return look(*node);
  }

  // Plans a change of the handle's key under the update lock: plan looks at
  // the key and lists the changes to make, with paths from the key; they are
  // made and journalled when it returns kRegOk.
  template <typename Plan>
  int Modify(RegKey key, std::string& file, Plan plan) {
    if (int status = Resolve(key, file)) return status;
    std::string directory = file.substr(0, file.find_last_of('/'));
    if (!DirectoryExists(directory)) {
      if (key->remote) return kRegBadNetPath;
      std::error_code error;
      std::filesystem::create_directories(directory, error);
      if (error) return IoFailure(file, "created", error.value());
    }
    UpdateLock lock(file, lockWait_);
    if (!lock.Held()) return IoFailure(file, "locked", lock.Error());
    LoadedFile* loaded = nullptr;
    StoredKey* node = nullptr;
    if (int status = Reach(key, file, true, loaded, node)) return status;
    std::vector<JournalRecord> records;
    int status = plan(*node, records);
    if (status != kRegOk || records.empty()) return status;
    // A journal that cannot be continued (one a checkpoint has taken in, or
    // one with a torn tail) is replaced by a checkpoint first.
    if (loaded->journal == JournalState::Ignored || !loaded->torn.empty()) {
      if (int saved = Checkpoint(file, *loaded)) return saved;
      if (int reloaded = Reach(key, file, true, loaded, node)) return reloaded;
    }
    for (JournalRecord& record : records) record.path.insert(record.path.begin(), key->path.begin(), key->path.end());
    return Record(file, *loaded, records);
  }

  // Takes every journal this process appended to into its store file.
  int Flush() {
    int result = kRegOk;
    std::vector<std::string> written;
    for (const auto& [file, loaded] : files_) {
      if (loaded.written) written.push_back(file);
    }
    for (const std::string& file : written) {
      UpdateLock lock(file, lockWait_);
      LoadedFile* loaded = nullptr;
      int status = lock.Held() ? Load(file, true, loaded) : IoFailure(file, "locked", lock.Error());
      if (status == kRegOk && loaded->journal != JournalState::None) status = Checkpoint(file, *loaded);
      if (status != kRegOk) {
        files_.erase(file);
        result = status;
      }
    }
    return result;
  }

  void MarkDeleted(const std::string& file, const std::vector<std::string>& path) {
    for (RegKey handle : handles_) {
      if (handle->file != file || handle->path.size() < path.size()) continue;
      if (std::equal(path.begin(), path.end(), handle->path.begin())) handle->deleted = true;
    }
  }

  std::mutex mutex_;
  LockWait lockWait_;
  RegKeyObject roots_[4];
  std::unordered_set<RegKey> handles_;
  std::map<std::string, LoadedFile> files_;
  std::string diagnostic_;
  const CodePage& codePage_ = CodePage::OfProcess();
};

Store& TheStore() {
  static Store store;
  return store;
}

}  // namespace

RegKey RegLocalRoot(RegRoot root) { return TheStore().Root(root); }
int RegConnect(const std::string& computer, RegRoot root, RegKey& out) { return TheStore().Connect(computer, root, out); }
int RegOpen(RegKey base, const std::string& subkey, RegKey& out) { return TheStore().Open(base, subkey, false, out); }
int RegCreate(RegKey base, const std::string& subkey, RegKey& out) { return TheStore().Open(base, subkey, true, out); }
void RegClose(RegKey key) { TheStore().Close(key); }
int RegSetValue(RegKey key, const std::string& name, uint32_t type, const std::vector<uint8_t>& data) {
  return TheStore().SetValue(key, name, type, data);
}
int RegQueryValue(RegKey key, const std::string& name, uint32_t& type, std::vector<uint8_t>& data) {
  return TheStore().QueryValue(key, name, type, data);
}
int RegDeleteValue(RegKey key, const std::string& name) { return TheStore().DeleteValue(key, name); }
int RegEnumKey(RegKey key, uint32_t index, std::string& name) { return TheStore().EnumKey(key, index, name); }
int RegDeleteKey(RegKey parent, const std::string& subkey) { return TheStore().DeleteKey(parent, subkey); }
int RegFlush() { return TheStore().FlushAll(); }

void RegSetLockWait(LockWait wait) { TheStore().SetLockWait(std::move(wait)); }
std::string RegTakeDiagnostic() { return TheStore().TakeDiagnostic(); }

}  // namespace tav::platform
