#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include "endpoint_detail.h"

namespace zan {
namespace {

using endpoint_detail::ErrnoText;
using endpoint_detail::Liveness;
using endpoint_detail::SocketAddress;
using endpoint_detail::UniqueFd;

EndpointError SocketFailure(const std::string& what, const std::string& path, int error) {
    return {EndpointErrorKind::SocketFailed,
            "cannot " + what + " " + path + ": " + ErrnoText(error)};
}

// Two programs that find the same stale file must not both remove it: the
// second would delete the first one's fresh endpoint. A lock on the folder
// makes "probe, remove, bind" one step.
class FolderLock {
public:
    explicit FolderLock(const std::string& folder)
        : directory_(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC)) {
        if (directory_.valid()) {
            int result = 0;
            do {
                result = ::flock(directory_.get(), LOCK_EX);
            } while (result != 0 && errno == EINTR);
            locked_ = result == 0;
        }
    }
    bool locked() const { return locked_; }

private:
    UniqueFd directory_;  // closing it releases the lock
    bool locked_ = false;
};

int Bind(int socket, const SocketAddress& address) {
    const auto* generic = reinterpret_cast<const sockaddr*>(&address.address);
    return ::bind(socket, generic, address.length) == 0 ? 0 : errno;
}

std::optional<EndpointError> BindReplacingStale(int socket, const SocketAddress& address,
                                                const std::string& name, const std::string& path) {
    int error = Bind(socket, address);
    if (error == EADDRINUSE) {
        switch (endpoint_detail::ProbeEndpoint(address)) {
            case Liveness::Live:
                return EndpointError{EndpointErrorKind::NameTaken,
                                     "window " + name + " is already open (" + path + ")"};
            case Liveness::Unreachable:
                return EndpointError{
                    EndpointErrorKind::NameTaken,
                    path + " is in use by something that is not a window endpoint"};
            case Liveness::Stale:
                if (::unlink(path.c_str()) != 0 && errno != ENOENT) {
                    return SocketFailure("remove the stale endpoint", path, errno);
                }
                break;
            case Liveness::Gone:
                break;
        }
        error = Bind(socket, address);
    }
    if (error != 0) {
        return SocketFailure("bind endpoint", path, error);
    }
    return std::nullopt;
}

bool SameFile(const std::string& path, dev_t device, ino_t inode) {
    struct stat status {};
    return ::lstat(path.c_str(), &status) == 0 && status.st_dev == device && status.st_ino == inode;
}

struct Sender {
    bool hasCredentials = false;
    uid_t uid = 0;
};

// Reads the kernel's stamp of the sender and closes any descriptors that
// came along: nobody asked for them, and keeping them would leak.
Sender InspectControl(msghdr& header) {
    Sender sender;
    for (cmsghdr* control = CMSG_FIRSTHDR(&header); control != nullptr;
         control = CMSG_NXTHDR(&header, control)) {
        if (control->cmsg_level != SOL_SOCKET) {
            continue;
        }
        if (control->cmsg_type == SCM_CREDENTIALS && control->cmsg_len >= CMSG_LEN(sizeof(ucred))) {
            ucred credentials{};
            std::memcpy(&credentials, CMSG_DATA(control), sizeof(credentials));
            sender.hasCredentials = true;
            sender.uid = credentials.uid;
        } else if (control->cmsg_type == SCM_RIGHTS) {
            const std::size_t count = (control->cmsg_len - CMSG_LEN(0)) / sizeof(int);
            for (std::size_t index = 0; index < count; ++index) {
                int passed = -1;
                std::memcpy(&passed, CMSG_DATA(control) + index * sizeof(int), sizeof(int));
                const UniqueFd unwanted(passed);
            }
        }
    }
    return sender;
}

}  // namespace

EndpointResult<OwnedEndpoint> OwnedEndpoint::Create(std::string_view windowClass,
                                                    std::string_view title) {
    return Create(EndpointFolder::FromEnvironment(), windowClass, title);
}

EndpointResult<OwnedEndpoint> OwnedEndpoint::Create(const EndpointFolder& folder,
                                                    std::string_view windowClass,
                                                    std::string_view title) {
    if (auto error = endpoint_detail::PrepareFolder(folder)) {
        return *error;
    }
    std::string name = EndpointName(windowClass, title);
    std::string path = folder.path + "/" + name;
    const auto address = endpoint_detail::SocketAddressFor(path);
    if (!address.ok()) {
        return address.error();
    }
    UniqueFd socket(::socket(AF_UNIX, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    if (!socket.valid()) {
        return SocketFailure("create a socket for", path, errno);
    }
    // Before bind, so that no datagram can arrive without its sender's uid.
    const int enable = 1;
    if (::setsockopt(socket.get(), SOL_SOCKET, SO_PASSCRED, &enable, sizeof(enable)) != 0) {
        return SocketFailure("ask for sender credentials on", path, errno);
    }
    const FolderLock lock(folder.path);
    if (!lock.locked()) {
        return EndpointError{EndpointErrorKind::FolderUnusable,
                             "cannot lock window folder " + folder.path + ": " + ErrnoText(errno)};
    }
    if (auto error = BindReplacingStale(socket.get(), address.value(), name, path)) {
        return *error;
    }
    struct stat status {};
    if (::lstat(path.c_str(), &status) != 0) {
        const int error = errno;
        return SocketFailure("examine the new endpoint", path, error);
    }
    return OwnedEndpoint(std::make_unique<Binding>(std::move(socket), std::move(name),
                                                   std::move(path), status.st_dev, status.st_ino));
}

struct OwnedEndpoint::Binding {
    Binding(UniqueFd boundSocket, std::string fileName, std::string filePath, dev_t fileDevice,
            ino_t fileInode)
        : socket(std::move(boundSocket)),
          name(std::move(fileName)),
          path(std::move(filePath)),
          device(fileDevice),
          inode(fileInode) {}
    Binding(const Binding&) = delete;
    Binding& operator=(const Binding&) = delete;
    // Removes the file while the socket still answers: until then nobody
    // takes it for stale, so the file removed is surely ours. The socket
    // closes after this body, with the members.
    ~Binding() {
        if (SameFile(path, device, inode)) {
            ::unlink(path.c_str());
        }
    }

    UniqueFd socket;
    std::string name;
    std::string path;
    // Identity of the bound file, so that destruction never removes a file
    // that another endpoint has since put in its place.
    dev_t device;
    ino_t inode;
};

OwnedEndpoint::OwnedEndpoint(std::unique_ptr<Binding> binding) : binding_(std::move(binding)) {}
OwnedEndpoint::OwnedEndpoint(OwnedEndpoint&& other) noexcept = default;
OwnedEndpoint& OwnedEndpoint::operator=(OwnedEndpoint&& other) noexcept = default;
OwnedEndpoint::~OwnedEndpoint() = default;

int OwnedEndpoint::fd() const {
    return binding_ ? binding_->socket.get() : -1;
}

const std::string& OwnedEndpoint::name() const {
    static const std::string NONE;
    return binding_ ? binding_->name : NONE;
}

const std::string& OwnedEndpoint::path() const {
    static const std::string NONE;
    return binding_ ? binding_->path : NONE;
}

std::optional<WindowMessage> OwnedEndpoint::Receive() {
    if (!binding_) {
        return std::nullopt;
    }
    for (;;) {
        std::array<std::uint8_t, WINDOW_MESSAGE_SIZE> bytes{};
        iovec vector{bytes.data(), bytes.size()};
        // Room for the credentials only: descriptors a sender attaches do
        // not fit and the kernel discards them instead of installing them.
        alignas(cmsghdr) std::array<char, CMSG_SPACE(sizeof(ucred))> control{};
        msghdr header{};
        header.msg_iov = &vector;
        header.msg_iovlen = 1;
        header.msg_control = control.data();
        header.msg_controllen = control.size();
        const ssize_t size =
            ::recvmsg(binding_->socket.get(), &header, MSG_DONTWAIT | MSG_TRUNC | MSG_CMSG_CLOEXEC);
        if (size < 0) {
            if (errno == EINTR) {
                continue;
            }
            return std::nullopt;
        }
        const Sender sender = InspectControl(header);
        if (!sender.hasCredentials || sender.uid != geteuid()) {
            continue;
        }
        // With MSG_TRUNC the result is the datagram's real length.
        if (size != static_cast<ssize_t>(WINDOW_MESSAGE_SIZE)) {
            continue;
        }
        return DecodeWindowMessage(bytes);
    }
}

}  // namespace zan
