// The parts of the protocol that are pure text and bytes.

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <vector>

#include "platform/endpoints.h"

namespace zan {
namespace {

TEST(EndpointNameTest, EscapesEveryByteOutsideTheSafeSet) {
    struct Case {
        std::string text;
        std::string escaped;
    };
    const std::vector<Case> cases = {
        {"ZanDriverSrv", "ZanDriverSrv"},
        {"#32770", "%2332770"},
        {"a.b_c-9", "a.b_c-9"},
        {"", ""},
        {"a b", "a%20b"},
        {"x@y", "x%40y"},
        {"../etc/passwd", "..%2Fetc%2Fpasswd"},
        {"100%", "100%25"},
        {"\xE5\x85\xB3\xE4\xBA\x8E", "%E5%85%B3%E4%BA%8E"},  // UTF-8 "关于"
        {std::string("\0\x7F\xFF", 3), "%00%7F%FF"},
        {"back\\slash", "back%5Cslash"},
    };
    for (const Case& row : cases) {
        EXPECT_EQ(EscapeEndpointText(row.text), row.escaped) << "text: " << row.text;
    }
}

TEST(EndpointNameTest, JoinsEscapedClassAndTitleWithOneAt) {
    EXPECT_EQ(EndpointName("#32770", "ZanDriverSrv"), "%2332770@ZanDriverSrv");
    EXPECT_EQ(EndpointName("TfrmForward", "Vellum"), "TfrmForward@Vellum");
    EXPECT_EQ(EndpointName("TfrmTadpoleForward", "ZanTadpoleResend"),
              "TfrmTadpoleForward@ZanTadpoleResend");
    // Class "a@b" title "c" and class "a" title "b@c" must not share a name.
    EXPECT_EQ(EndpointName("a@b", "c"), "a%40b@c");
    EXPECT_EQ(EndpointName("a", "b@c"), "a@b%40c");
}

TEST(WindowMessageCodecTest, WritesLittleEndianFieldsAndAZeroWord) {
    const WindowMessage message{0x0A0B0C0DU, 0x1122334455667788ULL, -2};
    const auto bytes = EncodeWindowMessage(message);
    const std::array<std::uint8_t, WINDOW_MESSAGE_SIZE> expected = {
        0x0D, 0x0C, 0x0B, 0x0A, 0x00, 0x00, 0x00, 0x00,  //
        0x88, 0x77, 0x66, 0x55, 0x44, 0x33, 0x22, 0x11,  //
        0xFE, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
    EXPECT_EQ(bytes, expected);
}

TEST(WindowMessageCodecTest, DecodesWhatItEncodesAtTheEdgesOfEveryField) {
    const std::vector<WindowMessage> messages = {
        {0, 0, 0},
        {2427, 0, 0},
        {0xFFFFFFFFU, std::numeric_limits<std::uint64_t>::max(),
         std::numeric_limits<std::int64_t>::min()},
        {2034, 0x100000000ULL, std::numeric_limits<std::int64_t>::max()},
        {0x0112, 16, -1},
    };
    for (const WindowMessage& message : messages) {
        const auto bytes = EncodeWindowMessage(message);
        EXPECT_EQ(DecodeWindowMessage(bytes), message) << "message " << message.message;
    }
}

TEST(WindowMessageCodecTest, RefusesAnyOtherSize) {
    const std::vector<std::uint8_t> bytes(WINDOW_MESSAGE_SIZE + 1, 0);
    for (const std::size_t size : {std::size_t{0}, std::size_t{23}, std::size_t{25}}) {
        EXPECT_FALSE(DecodeWindowMessage(std::span(bytes.data(), size))) << "size " << size;
    }
}

TEST(EndpointFolderTest, FollowsTheRuntimeFolderOrFallsBackToTmp) {
    struct Case {
        const char* runtimeDir;
        uid_t uid;
        std::string root;
    };
    const std::vector<Case> cases = {
        {"/run/user/1000", 1000, "/run/user/1000/zansoftware"},
        {"/run/user/1000/", 1000, "/run/user/1000/zansoftware"},
        {"/", 0, "/zansoftware"},
        {nullptr, 1000, "/tmp/zansoftware-1000"},
        {"", 0, "/tmp/zansoftware-0"},
        {"relative/dir", 42, "/tmp/zansoftware-42"},
    };
    for (const Case& row : cases) {
        const EndpointFolder folder = EndpointFolder::For(row.runtimeDir, row.uid);
        EXPECT_EQ(folder.root, row.root) << (row.runtimeDir ? row.runtimeDir : "(unset)");
        EXPECT_EQ(folder.path, row.root + "/windows");
    }
}

}  // namespace
}  // namespace zan
