#pragma once
// Window endpoints: how the programs of the system, and host applications
// ported to Linux, address each other's "windows".
//
// Protocol (an external interface, other programs rely on every detail):
// - Folder: $XDG_RUNTIME_DIR/zansoftware/windows/, or without an absolute
//   XDG_RUNTIME_DIR, /tmp/zansoftware-<uid>/windows/. The two levels below
//   the runtime folder (or /tmp) are created with mode 0700. A level that is
//   owned by another user, open to group or others, or not a real directory
//   (a symlink included) is refused: nothing is created in it, sent to it or
//   looked up in it.
// - One endpoint is one AF_UNIX SOCK_DGRAM socket in that folder, named
//   "<class>@<title>", every byte of class and title outside [A-Za-z0-9._-]
//   written as %XX (upper-case hex). "#32770"/"ZanDriverSrv" is
//   "%2332770@ZanDriverSrv".
// - A message is one datagram of exactly 24 bytes, little-endian:
//   uint32 message, uint32 0, uint64 wParam, int64 lParam. The receiver
//   drops datagrams of any other size and datagrams from another user id
//   (SO_PASSCRED); the zero word is not checked.
// - A window is found when its file exists and a datagram socket can
//   connect() to it. A file whose owner is gone (connect() is refused) is
//   stale: never found, and removed by whoever creates that name next.
// - Posting sends one datagram on a socket connected to the endpoint. When
//   the receiver's queue is full (it takes net.unix.max_dgram_qlen + 1
//   datagrams while it is not reading) the post waits for room, at most
//   POST_WAIT_LIMIT, then gives up. It never waits for a receiver that is
//   gone: connect() or send() fail at once (ENOENT, ECONNREFUSED), also
//   when the receiver closes during the wait. Nothing answers.
//
// Errors are results, never exceptions. Every function and class here may
// be used from any thread; one OwnedEndpoint is used by one thread at a time.

#include <sys/types.h>

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <variant>

#include "platform/window_system.h"

namespace zan {

enum class EndpointErrorKind {
    FolderUnusable,  // a level of the folder could not be made or examined
    FolderUnsafe,    // another user's, open to group/others, or not a real directory
    NameTooLong,     // folder + name do not fit into a socket address
    NameTaken,       // a live endpoint already holds the name
    SocketFailed,    // the system refused a socket operation
};

// A short stable word for logs and tests, e.g. "name-taken".
const char* EndpointErrorKindName(EndpointErrorKind kind);

struct EndpointError {
    EndpointErrorKind kind;
    // One line for a person: what failed, on which path, and why.
    std::string message;
};

// Either a value or the reason there is none.
template <typename T>
class EndpointResult {
public:
    EndpointResult(T value) : state_(std::move(value)) {}
    EndpointResult(EndpointError error) : state_(std::move(error)) {}

    bool ok() const { return std::holds_alternative<T>(state_); }
    // Only when ok().
    T& value() { return std::get<T>(state_); }
    const T& value() const { return std::get<T>(state_); }
    // Only when !ok().
    const EndpointError& error() const { return std::get<EndpointError>(state_); }

private:
    std::variant<T, EndpointError> state_;
};

// The endpoint folder and the first level this layer creates for it.
struct EndpointFolder {
    std::string root;  // $XDG_RUNTIME_DIR/zansoftware or /tmp/zansoftware-<uid>
    std::string path;  // root + "/windows": the endpoints live here

    // runtimeDir: the value of XDG_RUNTIME_DIR or null; a value that is
    // empty or not absolute counts as unset. Pure: touches nothing.
    static EndpointFolder For(const char* runtimeDir, uid_t uid);
    // From this process's XDG_RUNTIME_DIR and effective user id.
    static EndpointFolder FromEnvironment();
};

// Escapes one part (class or title) for an endpoint name.
std::string EscapeEndpointText(std::string_view text);
// "<escaped class>@<escaped title>"; the '@' is the only unescaped one.
std::string EndpointName(std::string_view windowClass, std::string_view title);

inline constexpr std::size_t WINDOW_MESSAGE_SIZE = 24;
// The longest a post waits for room in a receiver's full queue.
inline constexpr std::chrono::milliseconds POST_WAIT_LIMIT{200};
std::array<std::uint8_t, WINDOW_MESSAGE_SIZE> EncodeWindowMessage(const WindowMessage& message);
// nullopt unless bytes.size() == WINDOW_MESSAGE_SIZE.
std::optional<WindowMessage> DecodeWindowMessage(std::span<const std::uint8_t> bytes);

// Finds and posts to endpoints. Holds no descriptors between calls, so one
// instance may be shared by threads.
class LinuxWindowSystem final : public WindowSystem {
public:
    // Resolves the folder from the environment at every call.
    LinuxWindowSystem() = default;
    explicit LinuxWindowSystem(EndpointFolder folder) : folder_(std::move(folder)) {}

    // nullopt when no live endpoint matches, and also when the folder is
    // refused (Find says why). Never creates the folder.
    std::optional<WindowRef> FindWindow(std::string_view windowClass,
                                        std::optional<std::string_view> title) override;

    // One datagram: true when it was queued. Waits at most POST_WAIT_LIMIT
    // for room in a full queue. False when the window has gone, its queue
    // stayed full, or window.name is not a plain file name.
    bool PostMessage(const WindowRef& window, const WindowMessage& message) override;

    // As FindWindow; the value is nullopt when nothing matches, the error
    // says why the folder was refused. A missing folder is not an error.
    EndpointResult<std::optional<WindowRef>> Find(std::string_view windowClass,
                                                  std::optional<std::string_view> title);

private:
    EndpointFolder Folder() const;

    std::optional<EndpointFolder> folder_;
};

// An endpoint this process owns: the socket and its file. Move-only.
// Destruction closes the socket and removes the file (when it is still this
// endpoint's file). Messages wait in the socket until Receive() takes them;
// an event loop watches fd() for readability and then calls Receive() until
// it returns nullopt.
class OwnedEndpoint {
public:
    // Creates the folder when needed, replaces a stale file of that name,
    // binds the socket. NameTaken when a live endpoint holds the name: the
    // caller may rely on this to run once per user session.
    static EndpointResult<OwnedEndpoint> Create(std::string_view windowClass,
                                                std::string_view title);
    static EndpointResult<OwnedEndpoint> Create(const EndpointFolder& folder,
                                                std::string_view windowClass,
                                                std::string_view title);

    OwnedEndpoint(OwnedEndpoint&& other) noexcept;
    OwnedEndpoint& operator=(OwnedEndpoint&& other) noexcept;
    OwnedEndpoint(const OwnedEndpoint&) = delete;
    OwnedEndpoint& operator=(const OwnedEndpoint&) = delete;
    ~OwnedEndpoint();

    // Non-blocking socket, close-on-exec; owned by this object: watch it,
    // never close it. -1 after a move.
    int fd() const;
    // The file name ("%2332770@ZanDriverSrv") and the full path; empty
    // after a move.
    const std::string& name() const;
    const std::string& path() const;

    // The next well-formed message from this user, or nullopt when none is
    // waiting. Never blocks; discards foreign and wrong-size datagrams on
    // the way.
    std::optional<WindowMessage> Receive();

private:
    // The socket and the identity of its file; removes the file, then
    // closes the socket.
    struct Binding;
    explicit OwnedEndpoint(std::unique_ptr<Binding> binding);

    std::unique_ptr<Binding> binding_;
};

}  // namespace zan
