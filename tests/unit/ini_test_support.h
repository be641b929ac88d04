// Shared helpers of the INI tests: a fresh temporary directory per test and
// whole-file reads and writes.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "ini/profile.h"

namespace tav::ini::testing {

class IniTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    dir_ = std::filesystem::temp_directory_path() /
           (std::string("tav32-ini-") + info->test_suite_name() + "-" + info->name() + "-" +
            std::to_string(std::hash<std::string>{}(std::filesystem::current_path().string())));
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  std::string Path(const std::string& name) const { return (dir_ / name).string(); }
  void Put(const std::string& name, const std::string& bytes) const {
    std::ofstream(Path(name), std::ios::binary) << bytes;
  }
  std::string Get(const std::string& name) const {
    std::ifstream in(Path(name), std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }
  // The names in the directory: shows a temporary file left behind.
  std::vector<std::string> Names() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir_)) names.push_back(entry.path().filename());
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

  std::filesystem::path dir_;
};

// Section text from lines: each ended by NUL, the list by one more.
inline std::string SectionText(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + '\0';
  return text + '\0';
}

}  // namespace tav::ini::testing
