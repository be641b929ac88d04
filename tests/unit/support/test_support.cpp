#include "test_support.h"

#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>
#include <vector>

namespace tav::test {

TempDir::TempDir() {
  std::random_device seed;
  std::mt19937 random(seed());
  std::filesystem::path base = std::filesystem::temp_directory_path();
  for (int attempt = 0; attempt < 100 && path_.empty(); ++attempt) {
    std::filesystem::path candidate = base / ("tav32-test." + std::to_string(random() % 1000000000));
    std::error_code error;
    if (std::filesystem::create_directory(candidate, error)) path_ = candidate.string();
  }
}

TempDir::~TempDir() {
  std::error_code ignored;
  if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

void WriteFile(const std::string& path, const std::string& content) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << content;
}

}  // namespace tav::test
