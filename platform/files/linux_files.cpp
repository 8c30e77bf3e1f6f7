#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdlib>
#include <vector>

#include "folder_walk.h"
#include "platform/files.h"

namespace zan {

namespace {

using files_detail::MissingFolders;
using files_detail::OpenFolder;

std::string Environment(const char* name) {
    const char* value = ::secure_getenv(name);
    return value == nullptr ? std::string() : std::string(value);
}

}  // namespace

std::optional<std::string> LinuxFiles::ReadWholeFile(const std::filesystem::path& file) {
    if (!file.has_filename()) {
        return std::nullopt;
    }
    const UniqueFd folder = OpenFolder(file.parent_path(), MissingFolders::Fail);
    if (!folder.valid()) {
        return std::nullopt;
    }
    // O_NONBLOCK and the type check: a FIFO or device put in the file's
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

EntryState LinuxFiles::EntryAt(const std::filesystem::path& path) {
    if (!path.has_filename()) {
        return EntryState::Unknown;
    }
    const UniqueFd folder = OpenFolder(path.parent_path(), MissingFolders::Fail);
    if (!folder.valid()) {
        return errno == ENOENT ? EntryState::Absent : EntryState::Unknown;
    }
    struct stat info {};
    if (::fstatat(folder.get(), path.filename().c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0) {
        return EntryState::Present;
    }
    return errno == ENOENT ? EntryState::Absent : EntryState::Unknown;
}

bool LinuxFiles::MakeFolderChain(const std::filesystem::path& folder) {
    return OpenFolder(folder, MissingFolders::Create).valid();
}

std::filesystem::path LinuxFiles::ProgramFolder() {
    std::vector<char> buffer(1024);
    for (;;) {
        const ssize_t length = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (length < 0) {
            return {};
        }
        if (static_cast<std::size_t>(length) < buffer.size()) {
            return std::filesystem::path(
                       std::string(buffer.data(), static_cast<std::size_t>(length)))
                .parent_path();
        }
        buffer.resize(buffer.size() * 2);
    }
}

std::filesystem::path LinuxFiles::HomeFolder() {
    std::string home = Environment("HOME");
    if (!home.empty()) {
        return home;
    }
    // Services started without a login environment may lack HOME.
    std::vector<char> buffer(16384);
    struct passwd entry {};
    struct passwd* result = nullptr;
    if (::getpwuid_r(::geteuid(), &entry, buffer.data(), buffer.size(), &result) == 0 &&
        result != nullptr && result->pw_dir != nullptr) {
        return result->pw_dir;
    }
    return {};
}

std::filesystem::path LinuxFiles::XdgConfigHome() {
    return Environment("XDG_CONFIG_HOME");
}

std::uint32_t LinuxFiles::EffectiveUserId() {
    return ::geteuid();
}

Files& SystemFiles() {
    static LinuxFiles files;
    return files;
}

}  // namespace zan
