#pragma once
// Opening folders one component at a time; shared by the sources of the
// files seam, not part of it.

#include <filesystem>

#include "platform/unique_fd.h"

namespace zan::files_detail {

enum class MissingFolders { Fail, Create };

// Opens the folder (relative paths start at the current folder) for use as
// the base of *at() calls. With Create, every missing folder of the chain is
// made. Invalid on failure, errno telling why.
UniqueFd OpenFolder(const std::filesystem::path& folder, MissingFolders missing);

}  // namespace zan::files_detail
