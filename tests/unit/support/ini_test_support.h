// Shared helpers of the INI tests: a fresh temporary directory per test,
// whole-file reads and writes in it, and section reads.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "ini/profile.h"
#include "test_support.h"

namespace tav::ini::testing {

class IniTest : public ::testing::Test {
 protected:
  std::string Path(const std::string& name) const { return dir_.file(name); }
  void Put(const std::string& name, const std::string& bytes) const { test::WriteFile(Path(name), bytes); }
  std::string Get(const std::string& name) const { return test::ReadFile(Path(name)); }
  // The names in the directory: shows a temporary file left behind.
  std::vector<std::string> Names() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir_.path())) {
      names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }
  // The section's lines as the section read returns them.
  std::vector<std::string> Section(const std::string& name, const std::string& section) const {
    std::vector<char> buffer(1 << 16);
    size_t count = GetProfileSection(Path(name), section, buffer);
    std::vector<std::string> lines;
    for (size_t at = 0; at < count; at += lines.back().size() + 1) lines.emplace_back(&buffer[at]);
    return lines;
  }

  test::TempDir dir_;
};

// Section text from lines: each ended by NUL, the list by one more.
inline std::string SectionText(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + '\0';
  return text + '\0';
}

}  // namespace tav::ini::testing
