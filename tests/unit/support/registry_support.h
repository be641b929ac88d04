// Helpers for the registry tests: a fresh store directory named by
// TAV32_REGISTRY for each test, a UTF-8 locale, and the store files' text.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/registry.h"
#include "test_support.h"

namespace tav::test {

class RegistryTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Points the store at another directory (created when missing).
  void UseStore(const std::string& directory);
  const std::string& StoreDir() const { return store_; }
  std::string RootFile(const std::string& root = "HKEY_LOCAL_MACHINE") const { return store_ + "/" + root + ".reg"; }
  // The text of a store file written as UTF-16LE, once the journals are in, as UTF-8 with LF line ends
  // (characters of the Basic Multilingual Plane only).
  static std::string StoreText(const std::string& file);

  TempDir dir_;

 private:
  std::string store_;
  std::string saved_;
  bool hadSaved_ = false;
  std::string savedLocale_;
  bool hadLocale_ = false;
};

// The value's type and bytes as the interface gives them back.
struct RegValue {
  uint32_t type = 0;
  std::vector<uint8_t> data;
  bool operator==(const RegValue&) const = default;
};
std::optional<RegValue> QueryValue(platform::RegKey key, const std::string& name);
// Opens a key below the local root; null when it does not exist.
platform::RegKey OpenLocal(const std::string& subkey, platform::RegRoot root = platform::RegRoot::LocalMachine);
bool KeyExists(const std::string& subkey);
std::vector<uint8_t> Bytes(std::string_view text);

}  // namespace tav::test
