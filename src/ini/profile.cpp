#include "ini/profile.h"

#include "core/text.h"
#include "platform/fs.h"

namespace tav::ini {

namespace {

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
  return s;
}

}  // namespace

bool ReadProfileString(const std::string& path, const std::string& section, const std::string& key,
                       std::string& value) {
  std::string text;
  if (!platform::ReadWholeFile(path, text)) return false;
  bool inSection = false;
  bool seenSection = false;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string_view line = Trim(std::string_view(text).substr(start, end - start));
    start = end + 1;
    if (!line.empty() && line.front() == '[') {
      if (inSection) return false;
      size_t close = line.find(']');
      std::string_view name = Trim(line.substr(1, close == std::string_view::npos ? std::string_view::npos : close - 1));
      inSection = !seenSection && EqualsNoCase(name, section);
      seenSection = seenSection || inSection;
      continue;
    }
    if (!inSection) continue;
    size_t eq = line.find('=');
    if (eq == std::string_view::npos) continue;
    if (EqualsNoCase(Trim(line.substr(0, eq)), key)) {
      value = std::string(Trim(line.substr(eq + 1)));
      return true;
    }
  }
  return false;
}

}  // namespace tav::ini
