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

}  // namespace zan
