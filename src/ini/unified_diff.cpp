#include "ini/unified_diff.h"

#include <algorithm>
#include <vector>

#include "core/text.h"

namespace tav::ini {

namespace {

constexpr size_t kContext = 3;
// Beyond this many cells the longest common subsequence is not searched: the
// whole file shows as replaced, which is still a true diff.
constexpr size_t kTableLimit = 4'000'000;

struct Line {
  std::string_view text;  // with its line end
  bool ended = true;
};

std::vector<Line> SplitLines(std::string_view text) {
  std::vector<Line> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t lf = text.find('\n', start);
    if (lf == std::string_view::npos) {
      lines.push_back({text.substr(start), false});
      break;
    }
    lines.push_back({text.substr(start, lf + 1 - start), true});
    start = lf + 1;
  }
  return lines;
}

// One step of the edit script: ' ' kept, '-' removed, '+' added.
struct Step {
  char op;
  size_t index;  // in before for ' ' and '-', in after for '+'
};

std::vector<Step> EditScript(const std::vector<Line>& a, const std::vector<Line>& b) {
  std::vector<Step> steps;
  size_t n = a.size(), m = b.size();
  if ((n + 1) * (m + 1) > kTableLimit) {
    for (size_t i = 0; i < n; ++i) steps.push_back({'-', i});
    for (size_t j = 0; j < m; ++j) steps.push_back({'+', j});
    return steps;
  }
  // common[i][j]: the longest common subsequence of a[i..] and b[j..].
  std::vector<uint32_t> common((n + 1) * (m + 1), 0);
  auto at = [&](size_t i, size_t j) -> uint32_t& { return common[i * (m + 1) + j]; };
  for (size_t i = n; i-- > 0;) {
    for (size_t j = m; j-- > 0;) {
      at(i, j) = a[i].text == b[j].text ? at(i + 1, j + 1) + 1 : std::max(at(i + 1, j), at(i, j + 1));
    }
  }
  size_t i = 0, j = 0;
  while (i < n || j < m) {
    if (i < n && j < m && a[i].text == b[j].text) {
      steps.push_back({' ', i++});
      ++j;
    } else if (i < n && (j == m || at(i + 1, j) >= at(i, j + 1))) {
      steps.push_back({'-', i++});
    } else {
      steps.push_back({'+', j++});
    }
  }
  return steps;
}

void AppendLine(std::string& out, char op, const Line& line) {
  std::string_view text = line.text;
  if (!text.empty() && text.back() == '\n') text.remove_suffix(1);
  if (!text.empty() && text.back() == '\r') text.remove_suffix(1);
  out += op;
  out.append(text);
  out += '\n';
  if (!line.ended) out += "\\ No newline at end of file\n";
}

// The "@@ -start,count +start,count @@" header of the steps [from, to).
std::string HunkHeader(const std::vector<Step>& steps, size_t from, size_t to) {
  size_t beforeStart = 0, afterStart = 0, beforeCount = 0, afterCount = 0;
  bool beforeSeen = false, afterSeen = false;
  // The line numbers where the hunk starts: the first line of each side in
  // it, or the line before when that side has none.
  size_t beforeLine = 0, afterLine = 0;
  for (size_t k = 0; k < from; ++k) {
    if (steps[k].op != '+') ++beforeLine;
    if (steps[k].op != '-') ++afterLine;
  }
  for (size_t k = from; k < to; ++k) {
    if (steps[k].op != '+') {
      if (!beforeSeen) beforeStart = beforeLine + 1;
      beforeSeen = true;
      ++beforeCount;
    }
    if (steps[k].op != '-') {
      if (!afterSeen) afterStart = afterLine + 1;
      afterSeen = true;
      ++afterCount;
    }
  }
  if (!beforeSeen) beforeStart = beforeLine;
  if (!afterSeen) afterStart = afterLine;
  return "@@ -" + std::to_string(beforeStart) + "," + std::to_string(beforeCount) + " +" + std::to_string(afterStart) +
         "," + std::to_string(afterCount) + " @@\n";
}

}  // namespace

std::string UnifiedDiff(std::string_view name, std::string_view before, std::string_view after) {
  if (before == after) return std::string();
  std::vector<Line> a = SplitLines(before), b = SplitLines(after);
  std::vector<Step> steps = EditScript(a, b);
  std::string out = Format("--- %.*s\n+++ %.*s\n", static_cast<int>(name.size()), name.data(),
                           static_cast<int>(name.size()), name.data());
  size_t k = 0;
  while (k < steps.size()) {
    while (k < steps.size() && steps[k].op == ' ') ++k;
    if (k == steps.size()) break;
    size_t from = k >= kContext ? k - kContext : 0;
    // The hunk goes on while the next change is within twice the context.
    size_t end = k;
    for (size_t kept = 0; end < steps.size() && kept <= 2 * kContext; ++end) {
      kept = steps[end].op == ' ' ? kept + 1 : 0;
    }
    size_t to = end;
    while (to > k && steps[to - 1].op == ' ') --to;
    size_t lastChange = to;
    to = std::min(steps.size(), lastChange + kContext);
    out += HunkHeader(steps, from, to);
    for (size_t s = from; s < to; ++s) {
      const Step& step = steps[s];
      AppendLine(out, step.op, step.op == '+' ? b[step.index] : a[step.index]);
    }
    k = to;
  }
  return out;
}

}  // namespace tav::ini
