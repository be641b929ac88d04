#include "sync/paths.h"

#include "platform/fs.h"

namespace tav::sync {

std::string ParentPath(std::string_view path) {
  char separator = platform::PathSeparator();
  size_t cut = platform::LastSeparator(path);
  if (cut == std::string_view::npos) return std::string(path);
  std::string parent(path.substr(0, cut));
  if (parent.empty() || parent.back() == ':') parent += separator;
  return parent;
}

std::string WithoutTrailingSeparator(std::string_view path) {
  std::string out(path);
  while (out.size() > 1 && platform::EndsWithSeparator(out) && out[out.size() - 2] != ':') out.pop_back();
  return out;
}

}  // namespace tav::sync
