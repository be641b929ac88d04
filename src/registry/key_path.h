// Taking a key path apart and opening the key it names, on this computer or
// a remote one. Shared by RegOpenKey, RegDeleteKey and OpenKeyPath.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "core/state.h"
#include "platform/registry.h"

namespace tav::registry {

// The computer argument LOCAL (any letter case): the registry of this computer.
bool IsLocalComputer(std::string_view computer);
// The path begins with one of the four root names over the name's length;
// a path that does not is a relative key path.
bool BeginsWithRootName(std::string_view path);
// The root key that the path's root component (up to the first backslash from
// the third character on) names exactly; none when the path has no valid root.
std::optional<platform::RegRoot> ValidRoot(std::string_view path);
// The text after the first backslash from the third character on; the whole
// path when it has none.
std::string SubkeyOf(std::string_view path);

// Whether resolving (computer, path) ends in error 13: the path is taken
// through its root (always with a remote computer, with LOCAL when it begins
// with a root name) and has no valid root.
bool LacksValidRoot(std::string_view computer, std::string_view path);
// Whether the computer argument can reach a registry at all: LOCAL, or a
// computer name that begins with a backslash.
bool ReachesRegistry(std::string_view computer);

enum class KeyOpen { Existing, OrCreate };

// Resolves (computer, path) and opens the subkey, creating missing keys with
// KeyOpen::OrCreate. A relative path given with LOCAL is taken under the
// current key. Reports error 13 for a path without a valid root. Returns the
// open key, or null when nothing could be opened; never changes the current
// key.
platform::RegKey OpenKeyByPath(InterpreterState& st, const std::string& computer, const std::string& path,
                               KeyOpen mode);

// Closes the current key, if one is open; there is none afterwards.
void CloseCurrentKey(InterpreterState& st);

// After a platform call: false and the store's own diagnostic told when the
// status is a failure, true for success.
bool Succeeded(InterpreterState& st, int status);

}  // namespace tav::registry
