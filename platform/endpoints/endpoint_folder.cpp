#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <charconv>
#include <cstdlib>

#include "endpoint_detail.h"

namespace zan {

EndpointFolder EndpointFolder::For(const char* runtimeDir, uid_t uid) {
    // A relative or empty XDG_RUNTIME_DIR is invalid by the XDG rules and
    // would put the folder wherever the program happens to run.
    const bool usable = runtimeDir != nullptr && runtimeDir[0] == '/';
    EndpointFolder folder;
    if (usable) {
        std::string base = runtimeDir;
        while (base.size() > 1 && base.back() == '/') {
            base.pop_back();
        }
        folder.root = (base == "/" ? "" : base) + "/zansoftware";
    } else {
        folder.root = "/tmp/zansoftware-" + std::to_string(uid);
    }
    folder.path = folder.root + "/windows";
    return folder;
}

EndpointFolder EndpointFolder::FromEnvironment() {
    // secure_getenv: a set-user-id program must not let its caller choose
    // where it puts or looks for endpoints.
    return For(::secure_getenv("XDG_RUNTIME_DIR"), geteuid());
}

namespace endpoint_detail {
namespace {

std::string ModeText(mode_t mode) {
    std::array<char, 8> digits{};
    const auto result =
        std::to_chars(digits.data(), digits.data() + digits.size(), mode & 07777U, 8);
    const std::string octal(digits.data(), result.ptr);
    return std::string(octal.size() < 4 ? 4 - octal.size() : 0, '0') + octal;
}

EndpointError Unsafe(const std::string& level, const std::string& why) {
    return {EndpointErrorKind::FolderUnsafe,
            "window folder " + level + " " + why + "; refusing to use it"};
}

// The level must be a directory of ours that nobody else may enter: in a
// shared place such as /tmp, anyone could have made it first.
std::optional<EndpointError> CheckLevel(const std::string& level, const struct stat& status) {
    if (S_ISLNK(status.st_mode)) {
        return Unsafe(level, "is a symbolic link");
    }
    if (!S_ISDIR(status.st_mode)) {
        return Unsafe(level, "is not a directory");
    }
    const uid_t self = geteuid();
    if (status.st_uid != self) {
        return Unsafe(level, "belongs to user id " + std::to_string(status.st_uid) +
                                 ", not to user id " + std::to_string(self));
    }
    if ((status.st_mode & 077U) != 0) {
        return Unsafe(level, "is open to group or others (mode " + ModeText(status.st_mode) +
                                 ", needs 0700)");
    }
    return std::nullopt;
}

EndpointError Unusable(const std::string& what, const std::string& level, int error) {
    return {EndpointErrorKind::FolderUnusable,
            "cannot " + what + " window folder " + level + ": " + ErrnoText(error)};
}

std::optional<EndpointError> PrepareLevel(const std::string& level) {
    if (::mkdir(level.c_str(), 0700) != 0 && errno != EEXIST) {
        return Unusable("create", level, errno);
    }
    struct stat status {};
    if (::lstat(level.c_str(), &status) != 0) {
        return Unusable("examine", level, errno);
    }
    return CheckLevel(level, status);
}

}  // namespace

std::optional<EndpointError> PrepareFolder(const EndpointFolder& folder) {
    for (const std::string* level : {&folder.root, &folder.path}) {
        if (auto error = PrepareLevel(*level)) {
            return error;
        }
    }
    return std::nullopt;
}

EndpointResult<FolderState> InspectFolder(const EndpointFolder& folder) {
    for (const std::string* level : {&folder.root, &folder.path}) {
        struct stat status {};
        if (::lstat(level->c_str(), &status) != 0) {
            if (errno == ENOENT) {
                return FolderState::Missing;
            }
            return Unusable("examine", *level, errno);
        }
        if (auto error = CheckLevel(*level, status)) {
            return *error;
        }
    }
    return FolderState::Ready;
}

}  // namespace endpoint_detail
}  // namespace zan
