#include "test_support.h"

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <vector>

namespace tav::test {

TempDir::TempDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "tav32-test.XXXXXX").string();
  std::vector<char> buffer(pattern.begin(), pattern.end());
  buffer.push_back('\0');
  char* made = ::mkdtemp(buffer.data());
  path_ = made != nullptr ? made : "";
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
