// Window endpoints over real sockets, each test in a runtime folder of its own.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <vector>

#include "platform/endpoints.h"
#include "test_support.h"

namespace zan {
namespace {

using endpoint_test::Fd;
using endpoint_test::PrivateRuntimeFolder;
using namespace std::chrono_literals;

mode_t ModeOf(const std::string& path) {
    struct stat status {};
    EXPECT_EQ(::lstat(path.c_str(), &status), 0) << path;
    return status.st_mode & 07777U;
}

bool Exists(const std::string& path) {
    struct stat status {};
    return ::lstat(path.c_str(), &status) == 0;
}

class EndpointTest : public ::testing::Test {
protected:
    OwnedEndpoint Open(std::string_view windowClass, std::string_view title) {
        auto created = OwnedEndpoint::Create(runtime_.folder(), windowClass, title);
        if (!created.ok()) {
            // GoogleTest reports the exception as this test's failure.
            throw std::runtime_error(created.error().message);
        }
        return std::move(created.value());
    }

    bool Post(std::string_view windowClass, std::optional<std::string_view> title,
              const WindowMessage& message) {
        const auto window = windows_.FindWindow(windowClass, title);
        return window && windows_.PostMessage(*window, message);
    }

    PrivateRuntimeFolder runtime_;
    LinuxWindowSystem windows_{runtime_.folder()};
};

TEST_F(EndpointTest, EveryFieldArrivesAsPosted) {
    OwnedEndpoint endpoint = Open("#32770", "ZanDriverSrv");
    EXPECT_EQ(endpoint.name(), "%2332770@ZanDriverSrv");
    EXPECT_EQ(endpoint.path(), runtime_.windows() + "/%2332770@ZanDriverSrv");

    const std::vector<WindowMessage> messages = {
        {2427, 0, 0},
        {2428, 0, 5},
        {0x0112, 16, -1},
        {2034, 0x100000000ULL, std::numeric_limits<std::int64_t>::min()},
        {0xFFFFFFFFU, std::numeric_limits<std::uint64_t>::max(),
         std::numeric_limits<std::int64_t>::max()},
    };
    for (const WindowMessage& message : messages) {
        ASSERT_TRUE(Post("#32770", "ZanDriverSrv", message));
    }
    for (const WindowMessage& message : messages) {
        EXPECT_EQ(endpoint.Receive(), message);
    }
    EXPECT_FALSE(endpoint.Receive());
}

TEST_F(EndpointTest, CreatesBothFolderLevelsPrivate) {
    const OwnedEndpoint endpoint = Open("TfrmForward", "Vellum");
    EXPECT_EQ(ModeOf(runtime_.path() + "/zansoftware"), 0700U);
    EXPECT_EQ(ModeOf(runtime_.windows()), 0700U);
    struct stat status {};
    ASSERT_EQ(::lstat(endpoint.path().c_str(), &status), 0);
    EXPECT_TRUE(S_ISSOCK(status.st_mode));
}

TEST_F(EndpointTest, DropsDatagramsOfAnyOtherSize) {
    OwnedEndpoint endpoint = Open("Relay", "Sizes");
    const std::vector<std::uint8_t> bytes(64, 0x11);
    for (const std::size_t size : {0UL, 1UL, 23UL, 25UL, 48UL, 64UL}) {
        ASSERT_TRUE(endpoint_test::SendRaw(endpoint.path(), std::span(bytes.data(), size)));
    }
    ASSERT_TRUE(Post("Relay", "Sizes", {2034, 33, 0}));
    EXPECT_EQ(endpoint.Receive(), (WindowMessage{2034, 33, 0}));
    EXPECT_FALSE(endpoint.Receive());
}

TEST_F(EndpointTest, DropsADatagramFromAnotherUser) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "sending as another user needs root";
    }
    OwnedEndpoint endpoint = Open("#32770", "ZanDriverSrv");
    // The folder is 0700, so the other user gets a socket that root has
    // already connected, as a program passing its descriptor would.
    const Fd connected = endpoint_test::ConnectedDatagramSocket(endpoint.path());
    ASSERT_GE(connected.get(), 0);
    endpoint_test::ChildProcess sender({"/usr/bin/setpriv", "--reuid=65534", "--regid=65534",
                                        "--clear-groups", ZAN_FOREIGN_SENDER},
                                       runtime_.environment(), {connected.get()});
    const auto result = sender.Finish();
    ASSERT_EQ(result.status, 0) << result.err;
    ASSERT_EQ(result.out, "65534\n");

    ASSERT_TRUE(Post("#32770", "ZanDriverSrv", {2427, 0, 0}));
    EXPECT_EQ(endpoint.Receive(), (WindowMessage{2427, 0, 0}));
    EXPECT_FALSE(endpoint.Receive());
}

TEST_F(EndpointTest, ClosesDescriptorsThatComeWithAMessage) {
    OwnedEndpoint endpoint = Open("Relay", "Rights");
    std::array<int, 2> pipe{-1, -1};
    ASSERT_EQ(::pipe2(pipe.data(), O_CLOEXEC), 0);
    const Fd readEnd(pipe[0]);
    {
        const Fd writeEnd(pipe[1]);
        const Fd socket = endpoint_test::ConnectedDatagramSocket(endpoint.path());
        auto bytes = EncodeWindowMessage({2034, 1, 2});
        iovec vector{bytes.data(), bytes.size()};
        alignas(cmsghdr) std::array<char, CMSG_SPACE(sizeof(int))> control{};
        msghdr header{};
        header.msg_iov = &vector;
        header.msg_iovlen = 1;
        header.msg_control = control.data();
        header.msg_controllen = control.size();
        cmsghdr* rights = CMSG_FIRSTHDR(&header);
        rights->cmsg_level = SOL_SOCKET;
        rights->cmsg_type = SCM_RIGHTS;
        rights->cmsg_len = CMSG_LEN(sizeof(int));
        std::memcpy(CMSG_DATA(rights), &pipe[1], sizeof(int));
        ASSERT_EQ(::sendmsg(socket.get(), &header, 0), static_cast<ssize_t>(bytes.size()));
    }
    EXPECT_EQ(endpoint.Receive(), (WindowMessage{2034, 1, 2}));
    // Only a write end that this process still held would keep the pipe open.
    pollfd watched{readEnd.get(), POLLIN, 0};
    ASSERT_EQ(::poll(&watched, 1, 0), 1);
    EXPECT_NE(watched.revents & POLLHUP, 0);
}

TEST_F(EndpointTest, StaleFileIsNotFoundAndIsReplacedByTheNextOwner) {
    std::filesystem::create_directories(runtime_.windows());
    std::filesystem::permissions(runtime_.path() + "/zansoftware",
                                 std::filesystem::perms::owner_all);
    std::filesystem::permissions(runtime_.windows(), std::filesystem::perms::owner_all);
    const std::string stale = runtime_.windows() + "/%2332770@ZanDriverSrv";
    endpoint_test::MakeStaleSocketFile(stale);
    ASSERT_TRUE(Exists(stale));

    EXPECT_FALSE(windows_.FindWindow("#32770", "ZanDriverSrv"));
    EXPECT_FALSE(windows_.FindWindow("#32770", std::nullopt));

    OwnedEndpoint endpoint = Open("#32770", "ZanDriverSrv");
    EXPECT_EQ(windows_.FindWindow("#32770", "ZanDriverSrv"), (WindowRef{"%2332770@ZanDriverSrv"}));
    ASSERT_TRUE(Post("#32770", "ZanDriverSrv", {2427, 0, 0}));
    EXPECT_EQ(endpoint.Receive(), (WindowMessage{2427, 0, 0}));
}

TEST_F(EndpointTest, LiveNameIsRefusedAndTheOwnerKeepsIt) {
    OwnedEndpoint first = Open("#32770", "ZanDriverSrv");
    const auto second = OwnedEndpoint::Create(runtime_.folder(), "#32770", "ZanDriverSrv");
    ASSERT_FALSE(second.ok());
    EXPECT_EQ(second.error().kind, EndpointErrorKind::NameTaken);
    EXPECT_NE(second.error().message.find("already open"), std::string::npos);

    ASSERT_TRUE(Post("#32770", "ZanDriverSrv", {2427, 0, 0}));
    EXPECT_EQ(first.Receive(), (WindowMessage{2427, 0, 0}));
}

TEST_F(EndpointTest, DestructionRemovesTheFileButNotASuccessors) {
    std::string path;
    {
        const OwnedEndpoint endpoint = Open("Relay", "Gone");
        path = endpoint.path();
        ASSERT_TRUE(Exists(path));
    }
    EXPECT_FALSE(Exists(path));
    EXPECT_FALSE(windows_.FindWindow("Relay", "Gone"));

    // Someone removed the first owner's file and a second owner took the
    // name: the first one's end must leave the second one reachable.
    OwnedEndpoint first = Open("Relay", "Gone");
    ASSERT_EQ(::unlink(path.c_str()), 0);
    const OwnedEndpoint second = Open("Relay", "Gone");
    first = Open("Relay", "Other");
    EXPECT_TRUE(windows_.FindWindow("Relay", "Gone"));
}

TEST_F(EndpointTest, MovedEndpointKeepsItsFileAndMessages) {
    std::optional<OwnedEndpoint> moved;
    {
        OwnedEndpoint original = Open("Relay", "Moved");
        moved.emplace(std::move(original));
    }
    ASSERT_TRUE(Post("Relay", "Moved", {1, 2, 3}));
    EXPECT_EQ(moved->Receive(), (WindowMessage{1, 2, 3}));
}

TEST_F(EndpointTest, AnyTitleFindsTheFirstLiveEndpointInNameOrder) {
    const OwnedEndpoint b = Open("TPaletteMain", "b");
    const OwnedEndpoint a = Open("TPaletteMain", "a");
    const OwnedEndpoint longerClass = Open("TPaletteMainX", "0");
    const OwnedEndpoint atInClass = Open("TPaletteMain@x", "0");
    endpoint_test::MakeStaleSocketFile(runtime_.windows() + "/TPaletteMain@0");

    EXPECT_EQ(windows_.FindWindow("TPaletteMain", std::nullopt), (WindowRef{"TPaletteMain@a"}));
    EXPECT_EQ(windows_.FindWindow("TPaletteMainX", std::nullopt), (WindowRef{"TPaletteMainX@0"}));
    EXPECT_FALSE(windows_.FindWindow("TPalette", std::nullopt));
    EXPECT_FALSE(windows_.FindWindow("TfrmMain_Tadpole", std::nullopt));
}

// How many datagrams a receiver that does not read takes before its queue
// is full: net.unix.max_dgram_qlen + 1 (11 on a default kernel, 513 where
// systemd raises the limit).
int DatagramsBeforeAFullQueue() {
    std::ifstream limit("/proc/sys/net/unix/max_dgram_qlen");
    int length = 10;
    limit >> length;
    return length + 1;
}

TEST_F(EndpointTest, AStoppedReceiverGetsEveryPostOnceItReadsAgain) {
    constexpr int POSTS = 30;
    OwnedEndpoint endpoint = Open("Relay", "Busy");
    const auto window = windows_.FindWindow("Relay", "Busy");
    ASSERT_TRUE(window);

    std::mutex mutex;
    std::condition_variable posted;
    std::vector<bool> results;
    std::thread poster([&] {
        for (int index = 0; index < POSTS; ++index) {
            const bool queued = windows_.PostMessage(*window, {2034, 0, index});
            const std::lock_guard lock(mutex);
            results.push_back(queued);
            posted.notify_all();
        }
    });
    // The receiver reads again once the queue is full, while the next post
    // waits for room.
    {
        std::unique_lock lock(mutex);
        const auto full = static_cast<std::size_t>(std::min(POSTS, DatagramsBeforeAFullQueue()));
        ASSERT_TRUE(posted.wait_for(lock, 10s, [&] { return results.size() >= full; }));
    }
    std::vector<WindowMessage> received;
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (received.size() < POSTS && std::chrono::steady_clock::now() < deadline) {
        if (auto message = endpoint.Receive()) {
            received.push_back(*message);
            continue;
        }
        pollfd readable{endpoint.fd(), POLLIN, 0};
        ::poll(&readable, 1, 100);
    }
    poster.join();

    EXPECT_EQ(results, std::vector<bool>(POSTS, true));
    ASSERT_EQ(received.size(), static_cast<std::size_t>(POSTS));
    for (int index = 0; index < POSTS; ++index) {
        EXPECT_EQ(received[static_cast<std::size_t>(index)], (WindowMessage{2034, 0, index}));
    }
}

TEST_F(EndpointTest, AReceiverThatNeverReadsHoldsThePosterOnlyForTheBound) {
    OwnedEndpoint endpoint = Open("Relay", "Stuck");
    const auto window = windows_.FindWindow("Relay", "Stuck");
    ASSERT_TRUE(window);
    const int room = DatagramsBeforeAFullQueue();
    for (int index = 0; index < room; ++index) {
        ASSERT_TRUE(windows_.PostMessage(*window, {2034, 0, index})) << index;
    }

    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(windows_.PostMessage(*window, {2034, 0, room}));
    const auto held = std::chrono::steady_clock::now() - start;
    EXPECT_GE(held, POST_WAIT_LIMIT);
    // Far above the bound: only a post that waits without one fails this.
    EXPECT_LT(held, 5s);

    for (int index = 0; index < room; ++index) {
        ASSERT_EQ(endpoint.Receive(), (WindowMessage{2034, 0, index}));
    }
    EXPECT_EQ(endpoint.Receive(), std::nullopt) << "the post that gave up queued nothing";
}

TEST_F(EndpointTest, NothingIsFoundOrPostedWithoutTheFolder) {
    EXPECT_FALSE(windows_.FindWindow("#32770", "ZanDriverSrv"));
    EXPECT_FALSE(windows_.FindWindow("#32770", std::nullopt));
    EXPECT_FALSE(windows_.PostMessage(WindowRef{"%2332770@ZanDriverSrv"}, {2427, 0, 0}));
    EXPECT_FALSE(Exists(runtime_.path() + "/zansoftware"));
}

TEST_F(EndpointTest, PostRefusesNamesThatLeaveTheFolder) {
    const OwnedEndpoint endpoint = Open("Relay", "Here");
    for (const char* name : {"", ".", "..", "../windows/Relay@Here", "x/../Relay@Here"}) {
        EXPECT_FALSE(windows_.PostMessage(WindowRef{name}, {1, 0, 0})) << name;
    }
}

TEST_F(EndpointTest, NamesTooLongForASocketPathAreAnError) {
    const std::string title(200, 'T');
    const auto created = OwnedEndpoint::Create(runtime_.folder(), "Relay", title);
    ASSERT_FALSE(created.ok());
    EXPECT_EQ(created.error().kind, EndpointErrorKind::NameTooLong);
    EXPECT_NE(created.error().message.find("at most 107"), std::string::npos);
    // Three bytes each once escaped: short in characters, long as a path.
    const auto escaped = OwnedEndpoint::Create(runtime_.folder(), "Relay", std::string(30, '#'));
    ASSERT_FALSE(escaped.ok());
    EXPECT_EQ(escaped.error().kind, EndpointErrorKind::NameTooLong);

    EXPECT_FALSE(windows_.FindWindow("Relay", title));
    EXPECT_FALSE(windows_.PostMessage(WindowRef{EndpointName("Relay", title)}, {1, 0, 0}));
}

// A folder level that was there before us and must not be trusted.
class UnsafeFolderTest : public EndpointTest {
protected:
    void MakeFolders(mode_t rootMode, mode_t windowsMode) {
        const std::string root = runtime_.path() + "/zansoftware";
        ASSERT_EQ(::mkdir(root.c_str(), 0700), 0);
        ASSERT_EQ(::mkdir(runtime_.windows().c_str(), 0700), 0);
        ASSERT_EQ(::chmod(root.c_str(), rootMode), 0);
        ASSERT_EQ(::chmod(runtime_.windows().c_str(), windowsMode), 0);
    }

    void ExpectRefused(const std::string& why) {
        const auto created = OwnedEndpoint::Create(runtime_.folder(), "#32770", "ZanDriverSrv");
        ASSERT_FALSE(created.ok());
        EXPECT_EQ(created.error().kind, EndpointErrorKind::FolderUnsafe);
        EXPECT_NE(created.error().message.find(why), std::string::npos) << created.error().message;
        const auto found = windows_.Find("#32770", std::nullopt);
        ASSERT_FALSE(found.ok());
        EXPECT_EQ(found.error().kind, EndpointErrorKind::FolderUnsafe);
        EXPECT_FALSE(Exists(runtime_.windows() + "/%2332770@ZanDriverSrv"));
    }
};

TEST_F(UnsafeFolderTest, FolderOpenToGroupOrOthersIsRefused) {
    struct Case {
        mode_t root;
        mode_t windows;
        std::string why;
    };
    const std::vector<Case> cases = {
        {0700, 0755, "(mode 0755, needs 0700)"},
        {0750, 0700, "(mode 0750, needs 0700)"},
        {0700, 0701, "(mode 0701, needs 0700)"},
        {0700, 01777, "(mode 1777, needs 0700)"},
    };
    for (const Case& row : cases) {
        SCOPED_TRACE(row.why);
        MakeFolders(row.root, row.windows);
        ExpectRefused(row.why);
        std::filesystem::remove_all(runtime_.path() + "/zansoftware");
    }
}

TEST_F(UnsafeFolderTest, FolderOfAnotherUserIsRefused) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "giving a folder away needs root";
    }
    MakeFolders(0700, 0700);
    ASSERT_EQ(::chown(runtime_.windows().c_str(), 65534, 65534), 0);
    ExpectRefused("belongs to user id 65534");
}

TEST_F(UnsafeFolderTest, SymlinkInPlaceOfTheFolderIsRefused) {
    const std::string elsewhere = runtime_.path() + "/elsewhere";
    ASSERT_EQ(::mkdir(elsewhere.c_str(), 0700), 0);
    ASSERT_EQ(::symlink(elsewhere.c_str(), (runtime_.path() + "/zansoftware").c_str()), 0);
    ExpectRefused("is a symbolic link");
    EXPECT_TRUE(std::filesystem::is_empty(elsewhere));
}

TEST_F(UnsafeFolderTest, FileInPlaceOfTheFolderIsRefused) {
    const std::string root = runtime_.path() + "/zansoftware";
    ASSERT_EQ(::mkdir(root.c_str(), 0700), 0);
    const Fd file(::open(runtime_.windows().c_str(), O_CREAT | O_WRONLY | O_CLOEXEC, 0600));
    ASSERT_GE(file.get(), 0);
    ExpectRefused("is not a directory");
}

TEST_F(EndpointTest, FolderThatCannotBeMadeIsAnError) {
    const std::string missing = runtime_.path() + "/no/such/runtime";
    const auto created =
        OwnedEndpoint::Create(EndpointFolder::For(missing.c_str(), ::geteuid()), "A", "B");
    ASSERT_FALSE(created.ok());
    EXPECT_EQ(created.error().kind, EndpointErrorKind::FolderUnusable);
    EXPECT_NE(created.error().message.find("cannot create window folder " + missing),
              std::string::npos)
        << created.error().message;
}

TEST_F(EndpointTest, WindowSystemsOfDifferentFoldersDoNotSeeEachOther) {
    const std::string other = runtime_.path() + "/other";
    ASSERT_EQ(::mkdir(other.c_str(), 0700), 0);
    const EndpointFolder folder = EndpointFolder::For(other.c_str(), ::geteuid());
    auto created = OwnedEndpoint::Create(folder, "A", "B");
    ASSERT_TRUE(created.ok()) << created.error().message;
    LinuxWindowSystem pinned(folder);
    const auto window = pinned.FindWindow("A", "B");
    ASSERT_TRUE(window);
    EXPECT_FALSE(windows_.FindWindow("A", "B"));
    EXPECT_FALSE(windows_.PostMessage(*window, {9, 8, 7}));
    EXPECT_TRUE(pinned.PostMessage(*window, {9, 8, 7}));
    EXPECT_EQ(created.value().Receive(), (WindowMessage{9, 8, 7}));
}

}  // namespace
}  // namespace zan
