#include "sync/matchers.h"

#include <algorithm>

#include "core/text.h"
#include "platform/code_page.h"
#include "sync/paths.h"

namespace tav::sync {

namespace {

// How the end of a pattern fits the rest of the name.
enum class PatternEnd {
  kWholeName,        // the name must have ended too
  kOrAppendedDot,    // or only the dot appended to a name without one is left
  kAnyRest,          // whatever remains
};

// Walks an upper-case name against an upper-case pattern.
bool WalkPattern(std::string_view name, std::string_view pattern, PatternEnd end) {
  size_t i = 0;
  size_t j = 0;
  for (;;) {
    if (i == pattern.size()) {
      if (end == PatternEnd::kAnyRest || j == name.size()) return true;
      return end == PatternEnd::kOrAppendedDot && j + 1 == name.size();
    }
    char p = pattern[i];
    if (p == '*') {
      ++i;
      if (i == pattern.size()) return true;
      size_t found = name.find(pattern[i], j);
      if (found == std::string_view::npos) return false;
      j = found + 1;
      ++i;
      continue;
    }
    // A "?" needs a character to step over: at the end of the name it fails.
    if (j == name.size()) return false;
    if (p != '?' && p != name[j]) return false;
    ++i;
    ++j;
  }
}

void AppendDotToLastComponent(std::string& text, char separator) {
  size_t cut = platform::CodePage::OfProcess().FindLastOf(text, std::string_view(&separator, 1));
  size_t start = cut == std::string::npos ? 0 : cut + 1;
  if (text.find('.', start) == std::string::npos) text += '.';
}

// A share path \\SERVER\SHARE\DIR becomes :\DIR, so that a root-anchored
// exclusion fits it; a path from the POSIX root is taken the same way.
void AnchorAtRoot(std::string& path, char separator) {
  if (path.size() >= 2 && path[0] == separator && path[1] == separator) {
    const platform::CodePage& codePage = platform::CodePage::OfProcess();
    size_t afterServer = codePage.Find(path, separator, 2);
    if (afterServer == std::string::npos) return;
    size_t afterShare = codePage.Find(path, separator, afterServer + 1);
    if (afterShare == std::string::npos) return;
    path.erase(0, afterShare);
    path.insert(path.begin(), ':');
    return;
  }
  if (!path.empty() && path[0] == separator) path.insert(path.begin(), ':');
}

bool AnyExclusionFits(const std::vector<std::string>& list, const std::string& path) {
  for (const std::string& exclusion : list) {
    if (MatchPathTail(path, exclusion)) return true;
  }
  return false;
}

}  // namespace

bool MatchName(std::string_view name, std::string_view pattern) {
  // "*" and "*.*" fit every name (with its dot appended when it has none).
  if (pattern == "*.*" || pattern == "*") return true;
  std::string upperName = ToUpperAscii(name);
  PatternEnd end = PatternEnd::kWholeName;
  if (upperName.find('.') == std::string::npos) {
    upperName += '.';
    // A pattern that names the file exactly (README) still fits it.
    end = PatternEnd::kOrAppendedDot;
  }
  return WalkPattern(upperName, ToUpperAscii(pattern), end);
}

bool MatchPathTail(std::string_view path, std::string_view exclusion) {
  char separator = platform::PathSeparator();
  std::string upperPath = ToUpperAscii(path);
  std::string upperExclusion = ToUpperAscii(exclusion);
  if (!upperExclusion.empty() && upperExclusion[0] == ':') AnchorAtRoot(upperPath, separator);
  AppendDotToLastComponent(upperPath, separator);
  AppendDotToLastComponent(upperExclusion, separator);
  std::reverse(upperPath.begin(), upperPath.end());
  std::reverse(upperExclusion.begin(), upperExclusion.end());
  return WalkPattern(upperPath, upperExclusion, PatternEnd::kAnyRest);
}

std::string NormaliseExclusion(std::string_view written) {
  char separator = platform::PathSeparator();
  // Written with either separator, as the system's own paths may be.
  std::string entry(written);
  const platform::CodePage& codePage = platform::CodePage::OfProcess();
  for (size_t at = codePage.FindFirstOf(entry, "\\/"); at != std::string::npos;
       at = codePage.FindFirstOf(entry, "\\/", at + 1)) {
    entry[at] = separator;
  }
  bool hasDrive = entry.size() >= 2 && entry[1] == ':';
  bool isShare = entry.size() >= 2 && entry[0] == separator && entry[1] == separator;
  if (hasDrive || isShare) return entry;
  if (!entry.empty() && entry[0] == separator) return std::string(1, ':').append(entry);
  return std::string(1, separator) + entry;
}

void NormaliseExcludeLists(SyncRequest& request) {
  for (std::string& entry : request.excludeDir) entry = NormaliseExclusion(entry);
  for (std::string& entry : request.excludeFile) entry = NormaliseExclusion(entry);
}

bool IsReservedName(std::string_view name) { return StartsWithNoCase(name, "!SYN"); }

bool AcceptEntry(const SyncContext& ctx, const platform::FindData& entry, const std::string& directory) {
  const SyncRequest& request = ctx.request;
  if (entry.IsDirectory()) {
    if (!ctx.recurse) return false;
    if (!entry.name.empty() && entry.name[0] == '.') return false;
    if (!MatchName(entry.name, request.dirsLike)) return false;
    return request.excludeDir.empty() || !AnyExclusionFits(request.excludeDir, JoinPath(directory, entry.name));
  }
  if (!MatchName(entry.name, request.filesLike)) return false;
  if (IsReservedName(entry.name)) return false;
  return request.excludeFile.empty() || !AnyExclusionFits(request.excludeFile, JoinPath(directory, entry.name));
}

}  // namespace tav::sync
