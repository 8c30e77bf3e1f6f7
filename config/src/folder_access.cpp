#include "folder_access.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>

namespace zan::config {

namespace {

constexpr int kFolderFlags = O_PATH | O_DIRECTORY | O_CLOEXEC;

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
    UniqueFd current(::open(folder.is_absolute() ? "/" : ".", kFolderFlags));
    if (!current.valid()) {
        return {};
    }
    for (const auto& part : folder.relative_path()) {
        const std::string& name = part.native();
        if (!IsPlainComponent(name)) {
            continue;
        }
        int next = ::openat(current.get(), name.c_str(), kFolderFlags);
        if (next < 0 && errno == ENOENT && missing == MissingFolders::kCreate) {
            if (::mkdirat(current.get(), name.c_str(), 0777) != 0 && errno != EEXIST) {
                return FailKeepingErrno(current);
            }
            next = ::openat(current.get(), name.c_str(), kFolderFlags);
        }
        if (next < 0) {
            return FailKeepingErrno(current);
        }
        current.Reset(next);
    }
    return current;
}

std::optional<std::string> ReadWholeFile(const std::filesystem::path& file) {
    if (!file.has_filename()) {
        return std::nullopt;
    }
    const UniqueFd folder = OpenFolder(file.parent_path(), MissingFolders::kFail);
    if (!folder.valid()) {
        return std::nullopt;
    }
    // O_NONBLOCK and the type check: a FIFO or device put in the document's
    // place must not hang the program that reads it.
    const UniqueFd fd(
        ::openat(folder.get(), file.filename().c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    struct stat info {};
    if (!fd.valid() || ::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode)) {
        return std::nullopt;
    }
    std::string content;
    std::array<char, 16384> buffer{};
    for (;;) {
        const ssize_t count = ::read(fd.get(), buffer.data(), buffer.size());
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count < 0) {
            return std::nullopt;
        }
        if (count == 0) {
            return content;
        }
        content.append(buffer.data(), static_cast<std::size_t>(count));
    }
}

EntryState EntryAt(const std::filesystem::path& path) {
    if (!path.has_filename()) {
        return EntryState::kUnknown;
    }
    const UniqueFd folder = OpenFolder(path.parent_path(), MissingFolders::kFail);
    if (!folder.valid()) {
        return errno == ENOENT ? EntryState::kAbsent : EntryState::kUnknown;
    }
    struct stat info {};
    if (::fstatat(folder.get(), path.filename().c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0) {
        return EntryState::kPresent;
    }
    return errno == ENOENT ? EntryState::kAbsent : EntryState::kUnknown;
}

}  // namespace zan::config
