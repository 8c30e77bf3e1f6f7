#pragma once
// File access that works for paths of any length: folders are opened one
// component at a time, so no system call ever sees more than one name and
// PATH_MAX never applies.

#include <filesystem>
#include <optional>
#include <string>

#include "platform/unique_fd.h"

namespace zan::config {

enum class MissingFolders { kFail, kCreate };

// Opens the folder (relative paths start at the current folder) for use as
// the base of *at() calls. With kCreate, every missing folder of the chain is
// made. Invalid on failure, errno telling why.
UniqueFd OpenFolder(const std::filesystem::path& folder, MissingFolders missing);

// The whole content of a regular file, or nothing when it cannot be opened
// or read, or is something else (a folder, a FIFO, a device).
std::optional<std::string> ReadWholeFile(const std::filesystem::path& file);

enum class EntryState { kAbsent, kPresent, kUnknown };

// Whether anything (file, folder, even a dangling link) has this name.
// kUnknown when the question cannot be answered, a folder without search
// permission for example.
EntryState EntryAt(const std::filesystem::path& path);

}  // namespace zan::config
