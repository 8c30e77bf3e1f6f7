#include "folder_walk.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <string>

namespace zan::files_detail {

namespace {

constexpr int FOLDER_FLAGS = O_PATH | O_DIRECTORY | O_CLOEXEC;

bool IsPlainComponent(const std::string& name) {
    return !name.empty() && name != ".";
}

// Callers look at errno after a failure; closing the folder opened so far
// must not disturb it.
UniqueFd FailKeepingErrno(UniqueFd& opened) {
    const int error = errno;
    opened.Reset();
    errno = error;
    return {};
}

}  // namespace

UniqueFd OpenFolder(const std::filesystem::path& folder, MissingFolders missing) {
    UniqueFd current(::open(folder.is_absolute() ? "/" : ".", FOLDER_FLAGS));
    if (!current.valid()) {
        return {};
    }
    for (const auto& part : folder.relative_path()) {
        const std::string& name = part.native();
        if (!IsPlainComponent(name)) {
            continue;
        }
        int next = ::openat(current.get(), name.c_str(), FOLDER_FLAGS);
        if (next < 0 && errno == ENOENT && missing == MissingFolders::Create) {
            if (::mkdirat(current.get(), name.c_str(), 0777) != 0 && errno != EEXIST) {
                return FailKeepingErrno(current);
            }
            next = ::openat(current.get(), name.c_str(), FOLDER_FLAGS);
        }
        if (next < 0) {
            return FailKeepingErrno(current);
        }
        current.Reset(next);
    }
    return current;
}

}  // namespace zan::files_detail
