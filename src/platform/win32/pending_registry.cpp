// Placeholder for the registry on Windows until the real one is built: every
// operation fails cleanly with ERROR_CALL_NOT_IMPLEMENTED.
#include "platform/registry.h"

namespace tav::platform {

namespace {
constexpr int kNotImplemented = 120;
}  // namespace

RegKey RegLocalRoot(RegRoot) { return nullptr; }
int RegConnect(const std::string&, RegRoot, RegKey& out) {
  out = nullptr;
  return kNotImplemented;
}
int RegOpen(RegKey, const std::string&, RegKey& out) {
  out = nullptr;
  return kNotImplemented;
}
int RegCreate(RegKey, const std::string&, RegKey& out) {
  out = nullptr;
  return kNotImplemented;
}
void RegClose(RegKey) {}
int RegSetValue(RegKey, const std::string&, uint32_t, const std::vector<uint8_t>&) { return kNotImplemented; }
int RegQueryValue(RegKey, const std::string&, uint32_t& type, std::vector<uint8_t>& data) {
  type = kRegNone;
  data.clear();
  return kNotImplemented;
}
int RegDeleteValue(RegKey, const std::string&) { return kNotImplemented; }
int RegEnumKey(RegKey, uint32_t, std::string& name) {
  name.clear();
  return kNotImplemented;
}
int RegDeleteKey(RegKey, const std::string&) { return kNotImplemented; }
std::string RegTakeDiagnostic() { return std::string(); }

}  // namespace tav::platform
