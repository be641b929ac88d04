#include "test_support.h"

#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#include <sddl.h>
#endif

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

#ifdef _WIN32
std::string AccessListText(const std::string& path) {
  DWORD needed = 0;
  ::GetFileSecurityA(path.c_str(), DACL_SECURITY_INFORMATION, nullptr, 0, &needed);
  std::vector<char> descriptor(needed + 1);
  std::string text;
  if (needed == 0 || !::GetFileSecurityA(path.c_str(), DACL_SECURITY_INFORMATION, descriptor.data(), needed, &needed)) {
    return text;
  }
  char* converted = nullptr;
  if (::ConvertSecurityDescriptorToStringSecurityDescriptorA(descriptor.data(), SDDL_REVISION_1,
                                                             DACL_SECURITY_INFORMATION, &converted, nullptr)) {
    text = converted;
    ::LocalFree(converted);
  }
  return text;
}

bool LetOnlyThisUserIn(const std::string& path) {
  HANDLE token = nullptr;
  if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token)) return false;
  alignas(TOKEN_USER) char user[256];
  DWORD size = 0;
  bool known = ::GetTokenInformation(token, TokenUser, user, sizeof user, &size);
  ::CloseHandle(token);
  char* sid = nullptr;
  if (!known || !::ConvertSidToStringSidA(reinterpret_cast<TOKEN_USER*>(user)->User.Sid, &sid)) return false;
  std::string text = std::string("D:P(A;;FA;;;") + sid + ")";
  ::LocalFree(sid);
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (!::ConvertStringSecurityDescriptorToSecurityDescriptorA(text.c_str(), SDDL_REVISION_1, &descriptor, nullptr)) {
    return false;
  }
  bool set = ::SetFileSecurityA(path.c_str(), DACL_SECURITY_INFORMATION, descriptor);
  ::LocalFree(descriptor);
  return set;
}
#endif

}  // namespace tav::test
