// The %NAME% references of a program text, replaced by the environment's
// values.
#pragma once

#include <string>
#include <vector>

namespace tav {

// What an expansion left as written, as offsets into its result: the
// opening "%" of every reference whose variable is not set or empty, and the
// "%" that has no partner (npos when every one has).
struct ExpansionNotes {
  std::vector<size_t> unsetReferences;
  size_t unpaired = std::string::npos;
};
// Replaces %NAME% references by the environment's values ("%%" is one "%",
// a reference to a variable that is not set or empty stays as written).
// False when a "%" has no partner; with notes, out then holds the text
// expanded up to that "%" and the rest as written.
bool ExpandReferences(const std::string& text, std::string& out, ExpansionNotes* notes = nullptr);

}  // namespace tav
