#include "ini/profile.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <optional>
#include <vector>

#include "ini/profile_layout.h"

namespace tav::ini {

namespace {

// Reads a profile file whole. A missing file reads as empty (exists false);
// false when the file exists but cannot be read.
bool LoadProfile(const std::string& path, std::string& bytes, bool& exists) {
  exists = platform::ReadWholeFile(path, bytes);
  if (exists) return true;
  bytes.clear();
  return !platform::FileExists(path);
}

// A file that begins with a UTF-16 byte-order mark holds wide characters,
// which the byte-wise edits would mix with single-byte lines.
bool IsWideText(std::string_view bytes) {
  return bytes.size() >= 2 && ((bytes[0] == '\xFF' && bytes[1] == '\xFE') || (bytes[0] == '\xFE' && bytes[1] == '\xFF'));
}

// A failed write, with its reason where callers look for it (0: the edit
// does not apply).
bool Failed(int error) {
  errno = error;
  return false;
}

// The read-modify-write of every profile write: under the file's update lock,
// reads the file, lets edit make the new bytes (nothing means the edit does
// not apply) and replaces the file with them, unless they are the same.
template <typename Edit>
bool UpdateProfile(const std::string& path, const platform::UpdateLock* held, Edit edit) {
  std::optional<platform::UpdateLock> own;
  if (held == nullptr) own.emplace(path);
  if (own && !own->Held()) return Failed(own->Error());
  std::string bytes;
  bool exists = false;
  if (!LoadProfile(path, bytes, exists)) return false;
  // A read-only profile file is left as it is and the write fails, as it
  // does where the file is written in place.
  if (exists && platform::IsReadOnlyFile(path)) return Failed(EACCES);
  // A UTF-16 file is left as it is too, rather than spoilt.
  if (exists && IsWideText(bytes)) return Failed(EILSEQ);
  ProfileLayout layout(bytes);
  std::optional<std::string> updated = edit(layout);
  if (!updated) return Failed(0);
  if (exists && *updated == bytes) return true;
  int error = 0;
  return platform::ReplaceFileAtomically(path, *updated, error) || Failed(error);
}

// The lines of a section text, up to the empty line that ends it.
std::vector<std::string_view> SplitSectionText(const char* text) {
  std::vector<std::string_view> lines;
  for (const char* line = text; *line != '\0'; line += std::strlen(line) + 1) lines.emplace_back(line);
  return lines;
}

// Copies text into buffer, cut to buffer.size() - 1 characters, with a NUL.
size_t CopyCut(std::string_view text, std::span<char> buffer) {
  if (buffer.empty()) return 0;
  size_t count = std::min(text.size(), buffer.size() - 1);
  std::copy_n(text.data(), count, buffer.data());
  buffer[count] = '\0';
  return count;
}

}  // namespace

size_t GetProfileSection(const std::string& path, std::string_view section, std::span<char> buffer) {
  if (buffer.size() < 2) return 0;
  std::fill(buffer.begin(), buffer.begin() + 2, '\0');
  std::string bytes;
  bool exists = false;
  if (!LoadProfile(path, bytes, exists) || !exists) return 0;
  return SectionFromBytes(bytes, section, buffer);
}

size_t SectionFromBytes(std::string_view bytes, std::string_view section, std::span<char> buffer) {
  if (buffer.size() < 2) return 0;
  std::fill(buffer.begin(), buffer.begin() + 2, '\0');
  ProfileLayout layout(bytes);
  std::optional<SectionSpan> span = layout.FindSection(section);
  if (!span) return 0;
  size_t room = buffer.size() - 2;
  size_t count = 0;
  for (std::string_view line : SectionEntries(layout, *span)) {
    if (count + line.size() + 1 > room) {
      std::copy_n(line.data(), room - count, buffer.data() + count);
      buffer[room] = '\0';
      buffer[room + 1] = '\0';
      return room;
    }
    std::copy_n(line.data(), line.size(), buffer.data() + count);
    count += line.size();
    buffer[count++] = '\0';
  }
  buffer[count] = '\0';
  return count;
}

size_t StringFromBytes(std::string_view bytes, std::string_view section, std::string_view key,
                       std::string_view fallback, std::span<char> buffer) {
  std::optional<std::string_view> value = FindEntryValue(ProfileLayout(bytes), section, key);
  return CopyCut(value ? *value : fallback, buffer);
}

std::optional<std::string> BytesAfterSectionWrite(std::string_view bytes, std::string_view section,
                                                  const char* text) {
  if (IsWideText(bytes)) return std::nullopt;
  return ReplaceSection(ProfileLayout(bytes), section, SplitSectionText(text));
}

std::optional<std::string> BytesAfterStringWrite(std::string_view bytes, std::string_view section,
                                                 std::string_view key, std::string_view value) {
  if (IsWideText(bytes)) return std::nullopt;
  return SetEntry(ProfileLayout(bytes), section, key, value);
}

std::optional<std::string> BytesAfterSectionDelete(std::string_view bytes, std::string_view section) {
  if (IsWideText(bytes)) return std::nullopt;
  return RemoveSection(ProfileLayout(bytes), section);
}

std::optional<std::string> SectionLines(std::string_view bytes, std::string_view section) {
  ProfileLayout layout(bytes);
  std::optional<SectionSpan> span = layout.FindSection(section);
  if (!span) return std::nullopt;
  std::string text;
  for (std::string_view line : SectionEntries(layout, *span)) {
    if (!text.empty()) text += '\n';
    text.append(line);
  }
  return text;
}

std::optional<std::string> KeyValue(std::string_view bytes, std::string_view section, std::string_view key) {
  std::optional<std::string_view> value = FindEntryValue(ProfileLayout(bytes), section, key);
  if (!value) return std::nullopt;
  return std::string(*value);
}

bool WriteProfileSection(const std::string& path, std::string_view section, const char* text,
                         const platform::UpdateLock* held) {
  std::vector<std::string_view> lines = SplitSectionText(text);
  return UpdateProfile(path, held, [&](const ProfileLayout& layout) -> std::optional<std::string> {
    return ReplaceSection(layout, section, lines);
  });
}

size_t GetProfileString(const std::string& path, std::string_view section, std::string_view key,
                        std::string_view fallback, std::span<char> buffer) {
  std::string bytes;
  bool exists = false;
  if (!LoadProfile(path, bytes, exists) || !exists) return CopyCut(fallback, buffer);
  return StringFromBytes(bytes, section, key, fallback, buffer);
}

bool WriteProfileString(const std::string& path, std::string_view section, std::string_view key,
                        std::string_view value, const platform::UpdateLock* held) {
  return UpdateProfile(path, held, [&](const ProfileLayout& layout) -> std::optional<std::string> {
    return SetEntry(layout, section, key, value);
  });
}

bool DeleteProfileSection(const std::string& path, std::string_view section, const platform::UpdateLock* held) {
  return UpdateProfile(path, held,
                       [&](const ProfileLayout& layout) { return RemoveSection(layout, section); });
}

bool ReadProfileString(const std::string& path, const std::string& section, const std::string& key,
                       std::string& value) {
  std::string bytes;
  if (!platform::ReadWholeFile(path, bytes)) return false;
  std::optional<std::string_view> found = FindEntryValue(ProfileLayout(bytes), section, key);
  if (!found) return false;
  value = std::string(*found);
  return true;
}

}  // namespace tav::ini
