// The type names and data syntaxes of RegSetValue.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tav::registry {

// The registry type that a type name ("REG_SZ", any letter case, the whole
// name) stores; none for a name not in the table.
std::optional<uint32_t> LookUpValueType(std::string_view typeName);
// The name a report shows for a registry type: the first of its names in the
// table ("REG_DWORD", not its little-endian alias), else "REG_TYPE_" and the
// number.
std::string TypeName(uint32_t type);

// The bytes that data stores under the registry type, by the type's syntax:
// a quoted string, a list of quoted strings, a 32-bit number or a list of
// byte numbers. False for a syntax error.
bool ParseValueData(uint32_t type, std::string_view text, std::vector<uint8_t>& data);

}  // namespace tav::registry
