#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <optional>
#include <string>
#include <vector>

#include "folder_walk.h"
#include "platform/files.h"

namespace zan {

namespace {

using files_detail::MissingFolders;
using files_detail::OpenFolder;

// The kernel's own limit on links followed while resolving one name.
constexpr int MAX_LINK_HOPS = 40;
constexpr std::size_t MAX_TEMPORARY_STEM = 200;
constexpr int TEMPORARY_NAME_ATTEMPTS = 100;

std::optional<std::string> ReadLinkAt(int folder, const std::string& name) {
    std::vector<char> buffer(256);
    for (;;) {
        const ssize_t length = ::readlinkat(folder, name.c_str(), buffer.data(), buffer.size());
        if (length < 0) {
            return std::nullopt;
        }
        if (static_cast<std::size_t>(length) < buffer.size()) {
            return std::string(buffer.data(), static_cast<std::size_t>(length));
        }
        buffer.resize(buffer.size() * 2);
    }
}

// The path of the file a chain of symbolic links ends in (the path itself
// when it is no link). A dangling link resolves to the missing file, which
// the replace then creates.
std::optional<std::filesystem::path> FollowLinks(std::filesystem::path path) {
    for (int hop = 0; hop < MAX_LINK_HOPS; ++hop) {
        const UniqueFd folder = OpenFolder(path.parent_path(), MissingFolders::Fail);
        if (!folder.valid()) {
            return std::nullopt;
        }
        const auto target = ReadLinkAt(folder.get(), path.filename().native());
        if (!target) {
            // EINVAL: not a link; ENOENT: nothing there yet. Either way this is the file.
            return (errno == EINVAL || errno == ENOENT) ? std::optional(path) : std::nullopt;
        }
        const std::filesystem::path next(*target);
        path = next.is_absolute() ? next : path.parent_path() / next;
    }
    return std::nullopt;
}

bool WriteAll(int fd, std::string_view content) {
    while (!content.empty()) {
        const ssize_t written = ::write(fd, content.data(), content.size());
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return false;
        }
        content.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

// A name of our own in the target's folder; O_EXCL makes sure no other
// file, and no other writer's temporary file, is ever reused.
UniqueFd CreateTemporary(int folder, const std::string& targetName, std::string& temporaryName) {
    static std::atomic<unsigned> counter{0};
    const std::string stem = "." + targetName.substr(0, MAX_TEMPORARY_STEM) + ".tmp-";
    for (int attempt = 0; attempt < TEMPORARY_NAME_ATTEMPTS; ++attempt) {
        temporaryName = stem + std::to_string(::getpid()) + "-" + std::to_string(counter++);
        UniqueFd fd(
            ::openat(folder, temporaryName.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
        if (fd.valid() || errno != EEXIST) {
            return fd;
        }
    }
    return {};
}

// The new file takes the old one's owner and mode. The owner only where the
// caller may give it; chown before chmod, because chown clears set-id bits.
bool CopyOwnerAndMode(int fd, const struct stat& old) {
    if (old.st_uid != ::geteuid() || old.st_gid != ::getegid()) {
        // An ordinary user cannot give a file away; the mode still matters.
        (void)::fchown(fd, old.st_uid, old.st_gid);
    }
    return ::fchmod(fd, old.st_mode & 07777) == 0;
}

void FlushFolder(int folder) {
    // The rename is only durable once the folder itself reaches the disk.
    // Without a readable folder it still happened; nothing to undo.
    const UniqueFd readable(::openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (readable.valid()) {
        (void)::fsync(readable.get());
    }
}

bool ReplaceIn(int folder, const std::string& name, std::string_view content) {
    struct stat old {};
    const bool targetExists = ::fstatat(folder, name.c_str(), &old, 0) == 0;
    if (!targetExists && errno != ENOENT) {
        return false;
    }
    std::string temporaryName;
    UniqueFd fd = CreateTemporary(folder, name, temporaryName);
    if (!fd.valid()) {
        return false;
    }
    const bool written = WriteAll(fd.get(), content) &&
                         (!targetExists || CopyOwnerAndMode(fd.get(), old)) &&
                         ::fsync(fd.get()) == 0;
    fd.Reset();
    if (!written || ::renameat(folder, temporaryName.c_str(), folder, name.c_str()) != 0) {
        (void)::unlinkat(folder, temporaryName.c_str(), 0);
        return false;
    }
    FlushFolder(folder);
    return true;
}

}  // namespace

bool LinuxFiles::ReplaceFile(const std::filesystem::path& target, std::string_view content) {
    if (!target.has_filename()) {
        return false;
    }
    const auto file = FollowLinks(target);
    if (!file || !file->has_filename()) {
        return false;
    }
    const UniqueFd folder = OpenFolder(file->parent_path(), MissingFolders::Fail);
    if (!folder.valid()) {
        return false;
    }
    return ReplaceIn(folder.get(), file->filename().native(), content);
}

}  // namespace zan
