#include <cstring>

#include "endpoint_detail.h"

namespace zan {

const char* EndpointErrorKindName(EndpointErrorKind kind) {
    switch (kind) {
        case EndpointErrorKind::FolderUnusable:
            return "folder-unusable";
        case EndpointErrorKind::FolderUnsafe:
            return "folder-unsafe";
        case EndpointErrorKind::NameTooLong:
            return "name-too-long";
        case EndpointErrorKind::NameTaken:
            return "name-taken";
        case EndpointErrorKind::SocketFailed:
            return "socket-failed";
    }
    return "unknown";
}

namespace endpoint_detail {

std::string ErrnoText(int error) {
    char buffer[256] = {};
    // The GNU variant may return a static string instead of filling buffer.
    return strerror_r(error, buffer, sizeof(buffer));
}

}  // namespace endpoint_detail
}  // namespace zan
