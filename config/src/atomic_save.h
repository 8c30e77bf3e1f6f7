#pragma once
// Replaces a file's content so that a reader sees either the old file or the
// new one, never a mixture, and a failure at any point leaves the old file
// byte for byte.

#include <filesystem>
#include <string_view>

namespace zan::config {

// Writes content to a temporary file in the target's folder, flushes it to
// disk and renames it over the target. An existing target keeps its
// permission bits (and, where the caller may, its owner). When the target is
// a symbolic link, the file it finally points to is replaced and the link
// stays. Returns false, with the target untouched, on any failure.
bool SaveFileAtomically(const std::filesystem::path& target, std::string_view content);

}  // namespace zan::config
