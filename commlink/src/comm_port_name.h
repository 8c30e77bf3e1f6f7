#pragma once
// Port names as callers give them ("\\.\ttyUSB0" or a path) turned into the
// path to open.

#include <optional>
#include <string>

namespace zan::commlink {

// "\\.\NAME" and a bare NAME without '/' -> "/dev/NAME" (backslashes in NAME
// become slashes); any other name is a path as it stands. nullopt for a name
// that cannot be opened safely: empty, holding a zero character, a device
// name with an empty or ".." folder, or (wide) not valid Unicode.
std::optional<std::string> PortPathFromName(const std::string& name);
std::optional<std::string> PortPathFromName(const std::wstring& name);

}  // namespace zan::commlink
