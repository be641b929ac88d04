// The profile module: reading and writing INI (profile) files.
//
// A profile file is made of sections: a header line "[name]" and the lines
// below it up to the next header. Section names and keys match without regard
// to ASCII case, blanks around names, keys and values not counting; the first
// section of a name counts. Writes change only the lines they mean to change:
// every other byte of the file (other sections, comments, blank lines, the
// line-end style, a UTF-8 byte-order mark, a last line without a line end)
// stays as it was. A write replaces the file in one step (a temporary file
// in the same directory, flushed, renamed over the original), so a failure
// at any point leaves the original as it was, and it holds the file's update
// lock while it reads, edits and writes, so that writers in several processes
// never lose each other's changes. A file marked read-only is never written:
// every write to it fails and leaves it as it is.
//
// Section text is the section's lines, each ended by a NUL byte, the whole
// list ended by one more NUL byte (an empty list is a single NUL). A section
// read returns every non-blank line of the section, comment lines included,
// without the blanks around it; blank lines are not returned, and a section
// write keeps them where they were.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "platform/fs.h"

namespace tav::ini {

// Reads the section text of the first section of that name into buffer and
// returns the number of characters stored, the final NUL not counted: 0 when
// the file or the section is missing or the section has no lines, exactly
// buffer.size() - 2 when the section did not fit (the buffer then holds as
// much as fitted).
size_t GetProfileSection(const std::string& path, std::string_view section, std::span<char> buffer);

// Replaces all lines of the section with the lines of text (section text),
// in that order, creating the section and the file when missing. A caller
// that read the section under the file's update lock passes the lock as held;
// otherwise the write takes the lock itself. False when the file could not be
// read or written; the file is then unchanged.
bool WriteProfileSection(const std::string& path, std::string_view section, const char* text,
                         const platform::UpdateLock* held = nullptr);

// Copies the value of key in section (or fallback when there is none) into
// buffer, cut to buffer.size() - 1 characters and ended by a NUL, and returns
// the number of characters copied.
size_t GetProfileString(const std::string& path, std::string_view section, std::string_view key,
                        std::string_view fallback, std::span<char> buffer);

// Sets key=value in the section: the first line with the key is replaced,
// or the line is added at the end of the section; the section and the file
// are created when missing. False when the file could not be read or written.
bool WriteProfileString(const std::string& path, std::string_view section, std::string_view key,
                        std::string_view value, const platform::UpdateLock* held = nullptr);

// Removes the section (every section of that name): the header, its lines and
// the blank lines after them. False when the file has no such section or could
// not be read or written; the file is then unchanged.
bool DeleteProfileSection(const std::string& path, std::string_view section,
                          const platform::UpdateLock* held = nullptr);

// The value of key in section of the profile file at path, without its
// surrounding blanks; section and key match without regard to case, the first
// section of a name counts. False when the file, section or key is missing.
bool ReadProfileString(const std::string& path, const std::string& section, const std::string& key,
                       std::string& value);

// The same reads and writes on bytes in memory: a dry run reads and edits the
// bytes it plans for a file. The writes give the bytes the file would hold,
// or nothing where a write to such a file fails (UTF-16 text, no section to
// delete).
size_t SectionFromBytes(std::string_view bytes, std::string_view section, std::span<char> buffer);
size_t StringFromBytes(std::string_view bytes, std::string_view section, std::string_view key,
                       std::string_view fallback, std::span<char> buffer);
std::optional<std::string> BytesAfterSectionWrite(std::string_view bytes, std::string_view section, const char* text);
std::optional<std::string> BytesAfterStringWrite(std::string_view bytes, std::string_view section,
                                                 std::string_view key, std::string_view value);
std::optional<std::string> BytesAfterSectionDelete(std::string_view bytes, std::string_view section);

// The section's lines joined by LF (nothing when there is no such section),
// and a key's value in it: what a report shows before and after a write.
std::optional<std::string> SectionLines(std::string_view bytes, std::string_view section);
std::optional<std::string> KeyValue(std::string_view bytes, std::string_view section, std::string_view key);

}  // namespace tav::ini
