#include "core/expand.h"

#include <optional>

#include "platform/process.h"

namespace tav {

bool ExpandReferences(const std::string& text, std::string& out, ExpansionNotes* notes) {
  out.clear();
  out.reserve(text.size());
  size_t i = 0;
  for (;;) {
    size_t open = text.find('%', i);
    if (open == std::string::npos) {
      out.append(text, i, std::string::npos);
      return true;
    }
    if (open + 1 < text.size() && text[open + 1] == '%') {
      out.append(text, i, open + 1 - i);
      i = open + 2;
      continue;
    }
    size_t close = text.find('%', open + 1);
    if (close == std::string::npos) {
      if (notes != nullptr) {
        out.append(text, i, open - i);
        notes->unpaired = out.size();
        out.append(text, open, std::string::npos);
      }
      return false;
    }
    std::optional<std::string> value = platform::GetEnvironment(text.substr(open + 1, close - open - 1));
    if (!value || value->empty()) {
      if (notes != nullptr) notes->unsetReferences.push_back(out.size() + (open - i));
      out.append(text, i, close + 1 - i);
    } else {
      out.append(text, i, open - i);
      out += *value;
    }
    i = close + 1;
  }
}

}  // namespace tav
