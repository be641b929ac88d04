#include "registry_support.h"

#include <cstdlib>
#include <filesystem>

namespace tav::test {

namespace {

void Restore(const char* name, bool had, const std::string& value) {
  if (had) {
    ::setenv(name, value.c_str(), 1);
  } else {
    ::unsetenv(name);
  }
}

}  // namespace

void RegistryTest::SetUp() {
  const char* old = std::getenv("TAV32_REGISTRY");
  hadSaved_ = old != nullptr;
  if (old != nullptr) saved_ = old;
  // The store takes its code page from the locale when first used: the tests
  // speak UTF-8 whatever locale they are run in.
  const char* locale = std::getenv("LC_ALL");
  hadLocale_ = locale != nullptr;
  if (locale != nullptr) savedLocale_ = locale;
  ::setenv("LC_ALL", "C.UTF-8", 1);
  UseStore(dir_.file("registry"));
}

void RegistryTest::TearDown() {
  // What the test left in journals goes into its store before the store goes.
  platform::RegFlush();
  platform::RegTakeDiagnostic();
  Restore("TAV32_REGISTRY", hadSaved_, saved_);
  Restore("LC_ALL", hadLocale_, savedLocale_);
}

void RegistryTest::UseStore(const std::string& directory) {
  store_ = directory;
  ::setenv("TAV32_REGISTRY", directory.c_str(), 1);
}

std::string RegistryTest::StoreText(const std::string& file) {
  platform::RegFlush();
  std::string bytes = ReadFile(file);
  std::string out;
  if (bytes.size() < 2 || bytes[0] != '\xFF' || bytes[1] != '\xFE') return "(no UTF-16LE mark)";
  for (size_t i = 2; i + 1 < bytes.size(); i += 2) {
    unsigned unit = static_cast<uint8_t>(bytes[i]) | (static_cast<uint8_t>(bytes[i + 1]) << 8);
    if (unit == '\r') continue;
    if (unit < 0x80) {
      out += static_cast<char>(unit);
    } else if (unit < 0x800) {
      out += static_cast<char>(0xC0 | (unit >> 6));
      out += static_cast<char>(0x80 | (unit & 0x3F));
    } else {
      out += static_cast<char>(0xE0 | (unit >> 12));
      out += static_cast<char>(0x80 | ((unit >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (unit & 0x3F));
    }
  }
  return out;
}

std::optional<RegValue> QueryValue(platform::RegKey key, const std::string& name) {
  RegValue value;
  if (platform::RegQueryValue(key, name, value.type, value.data) != platform::kRegOk) return std::nullopt;
  return value;
}

platform::RegKey OpenLocal(const std::string& subkey, platform::RegRoot root) {
  platform::RegKey key = nullptr;
  if (platform::RegOpen(platform::RegLocalRoot(root), subkey, key) != platform::kRegOk) return nullptr;
  return key;
}

bool KeyExists(const std::string& subkey) {
  platform::RegKey key = OpenLocal(subkey);
  platform::RegClose(key);
  return key != nullptr;
}

std::vector<uint8_t> Bytes(std::string_view text) { return std::vector<uint8_t>(text.begin(), text.end()); }

}  // namespace tav::test
