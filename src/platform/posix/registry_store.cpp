// POSIX registry: not built yet. Every operation fails.
#include "platform/registry.h"

namespace tav::platform {

namespace {
constexpr int kNotAvailable = 1;
}

RegKey RegLocalRoot(RegRoot) { return nullptr; }
int RegConnect(const std::string&, RegRoot, RegKey& out) { out = nullptr; return kNotAvailable; }
int RegOpen(RegKey, const std::string&, RegKey& out) { out = nullptr; return kNotAvailable; }
int RegCreate(RegKey, const std::string&, RegKey& out) { out = nullptr; return kNotAvailable; }
void RegClose(RegKey) {}
int RegSetValue(RegKey, const std::string&, uint32_t, const std::vector<uint8_t>&) { return kNotAvailable; }
int RegQueryValue(RegKey, const std::string&, uint32_t&, std::vector<uint8_t>&) { return kNotAvailable; }
int RegDeleteValue(RegKey, const std::string&) { return kNotAvailable; }
int RegEnumKey(RegKey, uint32_t, std::string&) { return kNotAvailable; }
int RegDeleteKey(RegKey, const std::string&) { return kNotAvailable; }
std::string RegTakeDiagnostic() { return std::string(); }

}  // namespace tav::platform
