// The reads and writes of the INI statements. In a run they are the
// system's profile operations, and with a report file each write that changes
// a file is recorded with the section or key before and after. Under WHATIF
// nothing is written: a write computes the bytes the file would hold, shows
// their diff against the file as the run sees it and keeps them as planned,
// and later reads see the planned bytes.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "core/state.h"
#include "platform/fs.h"

namespace tav::ini {

size_t ReadSectionOf(InterpreterState& st, const std::string& path, std::string_view section, std::span<char> buffer);
size_t ReadStringOf(InterpreterState& st, const std::string& path, std::string_view section, std::string_view key,
                    std::string_view fallback, std::span<char> buffer);
bool WriteSectionOf(InterpreterState& st, const std::string& path, std::string_view section, const char* text,
                    const platform::UpdateLock* held = nullptr);
bool WriteStringOf(InterpreterState& st, const std::string& path, std::string_view section, std::string_view key,
                   std::string_view value, const platform::UpdateLock* held = nullptr);
bool DeleteSectionOf(InterpreterState& st, const std::string& path, std::string_view section,
                     const platform::UpdateLock* held = nullptr);
// In a dry run, plans the file empty when it is missing (IniAddLine does
// before it reads); a real run's update lock makes it.
void CreateIfMissing(InterpreterState& st, const std::string& path);

}  // namespace tav::ini
