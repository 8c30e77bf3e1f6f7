#pragma once
// Pieces shared by the endpoint sources; not part of the seam.

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <optional>
#include <string>
#include <utility>

#include "platform/endpoints.h"
#include "platform/errno_text.h"
#include "platform/unique_fd.h"

namespace zan::endpoint_detail {

using UniqueFd = zan::UniqueFd;

using zan::ErrnoText;

// Creates the missing levels (0700) and checks both. nullopt: ready.
std::optional<EndpointError> PrepareFolder(const EndpointFolder& folder);

enum class FolderState { Ready, Missing };
// Checks the folder without creating anything.
EndpointResult<FolderState> InspectFolder(const EndpointFolder& folder);

struct SocketAddress {
    sockaddr_un address{};
    socklen_t length = 0;
};
EndpointResult<SocketAddress> SocketAddressFor(const std::string& path);

// A file name an endpoint can have: no folder separators, not "." or "..".
bool IsPlainEndpointName(const std::string& name);

enum class Liveness {
    Live,         // a datagram socket answers connect()
    Stale,        // the file is there but its owner is gone
    Gone,         // no file
    Unreachable,  // something else refuses (another socket type, permissions)
};
Liveness ProbeEndpoint(const SocketAddress& address);

// The whole post: one datagram to the endpoint at address, waiting at most
// POST_WAIT_LIMIT for room in its queue. True when it was queued.
bool PostDatagram(const SocketAddress& address, std::span<const std::uint8_t> bytes);

}  // namespace zan::endpoint_detail
