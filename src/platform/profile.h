// Profile (INI) files: the private-profile operations that the INI statements
// use. Where the system has them (Windows) they are the system's own, so that
// files the system maps elsewhere, such as WIN.INI, behave as they do for
// every other program there; elsewhere they are the profile module of ini/.
//
// Paths are full paths. Section text is a section's lines, each ended by a
// NUL byte, the whole list ended by one more NUL byte. Section names and keys
// match without regard to case. On every build a file marked read-only, or
// one that holds UTF-16 text, is never written: every write to it fails and
// leaves it as it is.
//
// A write that fails leaves the reason in LastError(); LastError() is 0 when
// the write failed only because the edit does not apply (no such section).
#pragma once

#include <span>
#include <string>
#include <string_view>

#include "platform/fs.h"

namespace tav::platform {

// Reads the section text of the section into buffer and returns the number of
// characters stored, the final NUL not counted: 0 when the file or the
// section is missing or empty, exactly buffer.size() - 2 when the section did
// not fit.
size_t ProfileReadSection(const std::string& path, std::string_view section, std::span<char> buffer);

// Replaces all lines of the section with the lines of text, creating the
// section and the file when missing. held is the file's update lock when the
// caller already holds it (it read the section under it); otherwise the write
// serialises itself. False when the file could not be written; it is then as
// it was.
bool ProfileWriteSection(const std::string& path, std::string_view section, const char* text,
                         const UpdateLock* held = nullptr);

// Copies the value of key in section (or fallback when there is none) into
// buffer, cut to buffer.size() - 1 characters and ended by a NUL, and returns
// the number of characters copied.
size_t ProfileReadString(const std::string& path, std::string_view section, std::string_view key,
                         std::string_view fallback, std::span<char> buffer);

// Sets key=value in the section, adding the key, the section and the file as
// needed. False when the file could not be written. held as for
// ProfileWriteSection.
bool ProfileWriteString(const std::string& path, std::string_view section, std::string_view key,
                        std::string_view value, const UpdateLock* held = nullptr);

// Removes the section, header and lines. False when the file has no such
// section or could not be written.
bool ProfileDeleteSection(const std::string& path, std::string_view section, const UpdateLock* held = nullptr);

}  // namespace tav::platform
