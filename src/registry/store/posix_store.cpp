// The POSIX registry: a store of registry files of the interpreter's own.
//
// The store directory ($TAV32_REGISTRY, else "registry" in the Windows
// directory) holds one file per root key (HKEY_LOCAL_MACHINE.reg, ...),
// created when first written; a remote computer NAME is the folder
// computers/NAME in it. Every change is read, made and written back under the
// directory's update lock, and the file is replaced atomically, so it is on
// disk when the call returns and two processes never lose each other's
// changes. A file that cannot be read as a registry file is never written:
// every operation on its root fails and tells which file and line is at fault.
// Parsed files are kept in memory and read again only when the file changed.
// Names and string data are converted between the system's code page and the
// store's Unicode text exactly, or the operation fails and says why.
#include "platform/registry.h"

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

struct LoadedFile {
  FileIdentity identity;
  std::unique_ptr<StoredKey> root;
  std::string damage;  // why the file cannot be used; empty when it can
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
    auto walk = [&](StoredKey& key, bool& changed) {
      StoredKey* k = &key;
      for (const std::string& step : steps) {
        StoredKey* next = k->FindSubkey(step);
        if (next == nullptr && !create) return kRegNotFound;
        if (next == nullptr) {
          next = &k->AddSubkey(step);
          changed = true;
        }
        k = next;
      }
      return kRegOk;
    };
    int status = create ? Modify(base, file, walk) : Inspect(base, file, walk);
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
    return Modify(key, file, [&](StoredKey& k, bool& changed) {
      const StoredValue* old = k.FindValue(value.name);
      changed = old == nullptr || old->type != value.type || old->data != value.data;
      if (changed) k.SetValue(std::move(value));
      return kRegOk;
    });
  }

  int QueryValue(RegKey key, const std::string& name, uint32_t& type, std::vector<uint8_t>& data) {
    std::lock_guard<std::mutex> guard(mutex_);
    std::string storedName;
    if (!Inward("The value name", name, storedName)) return kRegInvalidName;
    std::string file;
    return Inspect(key, file, [&](StoredKey& k, bool&) {
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
    return Modify(key, file, [&](StoredKey& k, bool& changed) {
      changed = k.DeleteValue(storedName);
      return changed ? kRegOk : kRegNotFound;
    });
  }

  int EnumKey(RegKey key, uint32_t index, std::string& name) {
    std::lock_guard<std::mutex> guard(mutex_);
    std::string file;
    return Inspect(key, file, [&](StoredKey& k, bool&) {
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
    int status = Modify(parent, file, [&](StoredKey& key, bool& changed) {
      StoredKey* above = &key;
      for (size_t i = 0; i + 1 < steps.size() && above != nullptr; ++i) above = above->FindSubkey(steps[i]);
      StoredKey* target = above == nullptr ? nullptr : above->FindSubkey(steps.back());
      if (target == nullptr) return kRegNotFound;
      if (!target->Subkeys().empty()) return kRegHasSubkeys;
      changed = above->DeleteSubkey(steps.back());
      return kRegOk;
    });
    if (status == kRegOk) {
      std::vector<std::string> path = parent->path;
      for (std::string& step : Folded(steps)) path.push_back(std::move(step));
      MarkDeleted(file, path);
    }
    return status;
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

  // The file's tree, read again only when the file changed since.
  int Load(const std::string& file, LoadedFile*& out) {
    FileIdentity identity = IdentityOf(file);
    auto it = files_.find(file);
    if (it == files_.end() || !(it->second.identity == identity)) {
      std::string bytes;
      int readError = 0;
      if (!ReadFileAndIdentity(file, bytes, identity, readError)) return IoFailure(file, "read", readError);
      LoadedFile loaded;
      loaded.identity = identity;
      loaded.root = std::make_unique<StoredKey>(RootName(RootOfFile(file)));
      regstore::FormatError error;
      if (!regstore::ReadStoreFile(bytes, *loaded.root, error)) {
        loaded.damage = "Registry store file " + file + (error.line != 0 ? ", line " + std::to_string(error.line) : "") +
                        ": " + error.reason + ". The file is left unchanged; its keys cannot be used until it is mended.";
      }
      it = files_.insert_or_assign(file, std::move(loaded)).first;
    }
    if (!it->second.damage.empty()) {
      diagnostic_ = it->second.damage;
      return kRegStoreDamaged;
    }
    out = &it->second;
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

  int Save(const std::string& file, LoadedFile& loaded) {
    int error = 0;
    if (!ReplaceFileAtomically(file, regstore::WriteStoreFile(*loaded.root), error)) {
      files_.erase(file);
      return IoFailure(file, "written", error);
    }
    loaded.identity = IdentityOf(file);
    if (!loaded.identity.exists) files_.erase(file);
    return kRegOk;
  }

  // The handle's key in its loaded file; a handle whose key is gone stays
  // dead, so that a key created again later is never reached through it.
  int Reach(RegKey key, const std::string& file, LoadedFile*& loaded, StoredKey*& node) {
    if (int status = Load(file, loaded)) return status;
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
    if (int status = Reach(key, file, loaded, node)) return status;
    bool changed = false;
    return look(*node, changed);
  }

  template <typename Change>
  int Modify(RegKey key, std::string& file, Change change) {
    if (int status = Resolve(key, file)) return status;
    std::string directory = file.substr(0, file.find_last_of('/'));
    if (!DirectoryExists(directory)) {
      if (key->remote) return kRegBadNetPath;
      std::error_code error;
      std::filesystem::create_directories(directory, error);
      if (error) return IoFailure(file, "created", error.value());
    }
    UpdateLock lock(file);
    if (!lock.Held()) return IoFailure(file, "locked", LastError());
    LoadedFile* loaded = nullptr;
    StoredKey* node = nullptr;
    if (int status = Reach(key, file, loaded, node)) return status;
    bool changed = false;
    int status = change(*node, changed);
    if (changed) {
      int saved = Save(file, *loaded);
      if (status == kRegOk) status = saved;
    }
    return status;
  }

  void MarkDeleted(const std::string& file, const std::vector<std::string>& path) {
    for (RegKey handle : handles_) {
      if (handle->file != file || handle->path.size() < path.size()) continue;
      if (std::equal(path.begin(), path.end(), handle->path.begin())) handle->deleted = true;
    }
  }

  std::mutex mutex_;
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
std::string RegTakeDiagnostic() { return TheStore().TakeDiagnostic(); }

}  // namespace tav::platform
