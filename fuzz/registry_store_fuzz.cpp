// The registry store's file reader and writer. An input is a store file,
// optionally followed by "\n@@\n" and a stream of edits made the way the
// store's interface makes them (names and string data in Windows-1252).
// Whatever the reader accepts, and whatever the edits make of it, must be
// written so that reading it back gives the same tree, and writing that tree
// again gives the same bytes.
#include <algorithm>
#include <memory>
#include <string>

#include "fuzz_support.h"
#include "platform/code_page.h"
#include "platform/registry.h"
#include "platform/unicode.h"
#include "registry/store/format.h"

namespace tav::fuzz {
namespace {

using regstore::FormatError;
using regstore::StoredKey;
using regstore::StoredValue;
namespace unicode = platform::unicode;

constexpr std::string_view kEditsMark = "\n@@\n";
constexpr const char* kRootName = "HKEY_LOCAL_MACHINE";

// Reads the edit stream byte by byte; past its end every read gives zero.
class EditStream {
 public:
  explicit EditStream(std::string_view bytes) : bytes_(bytes) {}
  bool AtEnd() const { return bytes_.empty(); }
  uint8_t Byte() {
    if (bytes_.empty()) return 0;
    uint8_t b = static_cast<uint8_t>(bytes_.front());
    bytes_.remove_prefix(1);
    return b;
  }
  // A length byte, then that many bytes.
  std::string Text() {
    size_t length = std::min<size_t>(Byte() % 64, bytes_.size());
    std::string text(bytes_.substr(0, length));
    bytes_.remove_prefix(length);
    return text;
  }

 private:
  std::string_view bytes_;
};

// Names as the store's interface accepts them: no NUL and no line break; a
// key name also no backslash, at least one and at most 255 characters.
bool StorableName(const std::string& name) { return name.find_first_of(std::string("\0\r\n", 3)) == std::string::npos; }
bool StorableKeyName(const std::string& name) {
  return !name.empty() && name.size() <= platform::kRegMaxKeyName && StorableName(name) &&
         name.find('\\') == std::string::npos;
}

bool IsStringType(uint32_t type) {
  return type == platform::kRegSz || type == platform::kRegExpandSz || type == platform::kRegMultiSz;
}

uint32_t ValueType(uint8_t choice) {
  static constexpr uint32_t kTypes[] = {0, 1, 2, 3, 4, 5, 7, 11, 0xFFFFFFFFu};
  return kTypes[choice % std::size(kTypes)];
}

// Windows-1252 text as the store keeps it, checked to come back byte for
// byte; false for text with a byte that has no character.
bool StoredText(std::string_view ansi, std::string& utf8) {
  static const platform::CodePage kAnsi("CP1252");
  std::string problem;
  if (!kAnsi.ToUtf8(ansi, utf8, problem)) return false;
  std::string back;
  FUZZ_CHECK(kAnsi.FromUtf8(utf8, back, problem) && back == ansi);
  return true;
}

void SetValue(StoredKey& key, EditStream& edits) {
  std::string name = edits.Text();
  uint32_t type = ValueType(edits.Byte());
  std::string bytes = edits.Text();
  std::string storedName;
  if (!StorableName(name) || !StoredText(name, storedName)) return;
  std::vector<uint8_t> data(bytes.begin(), bytes.end());
  if (IsStringType(type)) {
    std::string utf8;
    if (!StoredText(bytes, utf8)) return;
    std::vector<uint8_t> utf16 = unicode::Utf8ToUtf16(utf8);
    std::string back;
    FUZZ_CHECK(unicode::Utf16ToUtf8(utf16.data(), utf16.size(), back) && back == utf8);
    data = std::move(utf16);
  }
  key.SetValue(StoredValue{storedName, type, std::move(data)});
}

void ApplyEdits(StoredKey& root, EditStream edits) {
  StoredKey* key = &root;
  while (!edits.AtEnd()) {
    switch (edits.Byte() % 5) {
      case 0: {
        std::string name = edits.Text();
        if (!StorableKeyName(name)) break;
        // Enumeration gives the name back as it was created.
        std::string stored;
        if (!StoredText(name, stored)) break;
        key = &key->AddSubkey(stored);
        break;
      }
      case 1:
        key = &root;
        break;
      case 2:
        SetValue(*key, edits);
        break;
      case 3:
        key->DeleteValue(unicode::AnsiToUtf8(edits.Text()));
        break;
      case 4: {
        std::string name = unicode::AnsiToUtf8(edits.Text());
        StoredKey* sub = key->FindSubkey(name);
        if (sub != nullptr && sub->Subkeys().empty()) key->DeleteSubkey(name);
        break;
      }
    }
  }
}

bool SameValues(const StoredKey& a, const StoredKey& b) {
  if (a.Values().size() != b.Values().size()) return false;
  for (size_t i = 0; i < a.Values().size(); ++i) {
    const StoredValue& x = a.Values()[i];
    const StoredValue& y = b.Values()[i];
    if (x.name != y.name || x.type != y.type || x.data != y.data) return false;
  }
  return true;
}

bool SameTree(const StoredKey& a, const StoredKey& b) {
  if (a.Name() != b.Name() || !SameValues(a, b) || a.Subkeys().size() != b.Subkeys().size()) return false;
  for (auto x = a.Subkeys().begin(), y = b.Subkeys().begin(); x != a.Subkeys().end(); ++x, ++y) {
    if (x->first != y->first || !SameTree(*x->second, *y->second)) return false;
  }
  return true;
}

}  // namespace
}  // namespace tav::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace tav::fuzz;
  std::string_view input = AsText(data, size);
  size_t mark = input.find(kEditsMark);
  std::string_view file = input.substr(0, mark);
  std::string_view edits = mark == std::string_view::npos ? std::string_view() : input.substr(mark + kEditsMark.size());

  auto root = std::make_unique<StoredKey>(kRootName);
  FormatError error;
  if (!ReadStoreFile(file, *root, error)) {
    FUZZ_CHECK(!error.reason.empty());
    // The store never writes a file it cannot read; the edits start afresh.
    root = std::make_unique<StoredKey>(kRootName);
  }
  ApplyEdits(*root, EditStream(edits));

  std::string written = WriteStoreFile(*root);
  StoredKey reread(kRootName);
  FormatError rereadError;
  FUZZ_CHECK(ReadStoreFile(written, reread, rereadError));
  FUZZ_CHECK(SameTree(*root, reread));
  FUZZ_CHECK(WriteStoreFile(reread) == written);
  return 0;
}
