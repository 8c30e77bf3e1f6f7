#include "scratch_folder.h"

#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cstdlib>
#include <stdexcept>
#include <string_view>
#include <system_error>
#include <vector>

#include "platform/unique_fd.h"

namespace zan::config::testing {

namespace {

using Fd = zan::UniqueFd;

void RemoveEntry(int parent, const char* name);

void RemoveContents(int folder) {
    // Listed through the descriptor's short /proc name, so depth never matters.
    std::error_code error;
    const std::filesystem::path listing =
        std::filesystem::path("/proc/self/fd") / std::to_string(folder);
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(listing, error)) {
        names.push_back(entry.path().filename());
    }
    for (const auto& name : names) {
        RemoveEntry(folder, name.c_str());
    }
}

void RemoveEntry(int parent, const char* name) {
    struct stat info {};
    if (::fstatat(parent, name, &info, AT_SYMLINK_NOFOLLOW) != 0) {
        return;
    }
    if (S_ISDIR(info.st_mode)) {
        const Fd folder(::openat(parent, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (folder.get() >= 0) {
            ::fchmod(folder.get(), 0700);
            RemoveContents(folder.get());
        }
        ::unlinkat(parent, name, AT_REMOVEDIR);
    } else {
        ::unlinkat(parent, name, 0);
    }
}

// Opens the folder of file, walking one component at a time.
int OpenParent(const std::filesystem::path& file, bool create) {
    int current = ::open("/", O_PATH | O_DIRECTORY | O_CLOEXEC);
    for (const auto& part : file.parent_path().relative_path()) {
        if (part.empty()) {
            continue;
        }
        if (create) {
            ::mkdirat(current, part.c_str(), 0755);
        }
        const int next = ::openat(current, part.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
        ::close(current);
        if (next < 0) {
            return -1;
        }
        current = next;
    }
    return current;
}

}  // namespace

ScratchFolder::ScratchFolder() {
    const char* base = ::secure_getenv("TMPDIR");
    std::string pattern = std::string(base != nullptr && *base != '\0' ? base : "/tmp") +
                          "/palmkey-config-test-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("cannot make a scratch folder");
    }
    path_ = pattern;
}

ScratchFolder::~ScratchFolder() {
    const Fd parent(::open(path_.parent_path().c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (parent.get() >= 0) {
        RemoveEntry(parent.get(), path_.filename().c_str());
    }
}

void WriteTextFile(const std::filesystem::path& file, const std::string& content) {
    const Fd folder(OpenParent(file, true));
    const Fd fd(::openat(folder.get(), file.filename().c_str(),
                         O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
    if (fd.get() < 0 ||
        ::write(fd.get(), content.data(), content.size()) != static_cast<ssize_t>(content.size())) {
        throw std::runtime_error("cannot write " + file.string());
    }
}

std::optional<std::string> ReadTextFile(const std::filesystem::path& file) {
    const Fd folder(OpenParent(file, false));
    if (folder.get() < 0) {
        return std::nullopt;
    }
    const Fd fd(::openat(folder.get(), file.filename().c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.get() < 0) {
        return std::nullopt;
    }
    std::string content;
    std::array<char, 4096> buffer{};
    ssize_t count = 0;
    while ((count = ::read(fd.get(), buffer.data(), buffer.size())) > 0) {
        content.append(buffer.data(), static_cast<std::size_t>(count));
    }
    return content;
}

std::filesystem::path VeryLongPathBelow(const std::filesystem::path& base) {
    std::filesystem::path path = base;
    const std::string component(200, 'd');
    while (path.native().size() <= PATH_MAX + 200) {
        path /= component;
    }
    return path;
}

}  // namespace zan::config::testing
