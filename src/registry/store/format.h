// The registry store's tree of keys and values, and its file format: the text
// that Windows' registry editor exports and imports, version 5.00 (UTF-16LE
// with a byte-order mark and CR LF line ends), one file per root key.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace tav::regstore {

struct StoredValue {
  std::string name;  // UTF-8, as created; empty for the default value
  uint32_t type = 0;
  // As a registry keeps it: the string types in UTF-16LE.
  std::vector<uint8_t> data;
};

// One key: its values in the order they were created, and its subkeys in
// case-insensitive name order. Names are looked up by their folded form.
class StoredKey {
 public:
  explicit StoredKey(std::string name) : name_(std::move(name)) {}

  const std::string& Name() const { return name_; }
  const std::vector<StoredValue>& Values() const { return values_; }
  const std::map<std::string, std::unique_ptr<StoredKey>>& Subkeys() const { return subkeys_; }

  const StoredValue* FindValue(std::string_view name) const;
  // Replaces the value of that name in its place, or adds it at the end.
  void SetValue(StoredValue value);
  bool DeleteValue(std::string_view name);

  StoredKey* FindSubkey(std::string_view name) const;
  // The subkey of that name, created (with the name's case) when missing.
  StoredKey& AddSubkey(std::string_view name);
  bool DeleteSubkey(std::string_view name);

 private:
  std::string name_;
  std::vector<StoredValue> values_;
  std::unordered_map<std::string, size_t> valueIndex_;
  std::map<std::string, std::unique_ptr<StoredKey>> subkeys_;
};

// Where and why a store file could not be read.
struct FormatError {
  unsigned line = 0;  // 0 when the file as a whole is at fault
  std::string reason;
};

// Reads a store file's bytes into a tree under root (whose name is the root
// key's, "HKEY_LOCAL_MACHINE"). Every header must name a key of that root.
// An empty file is an empty tree. False with error set when the text is not
// a registry file that can be read without losing anything.
bool ReadStoreFile(std::string_view bytes, StoredKey& root, FormatError& error);
// The file's bytes for the tree under root.
std::string WriteStoreFile(const StoredKey& root);

}  // namespace tav::regstore
