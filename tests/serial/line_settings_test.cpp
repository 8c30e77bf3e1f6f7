// The line settings InitComm applies, on a termios record: the parts a
// pseudo-terminal cannot show (character size, parity generation).
#include <gtest/gtest.h>

#include <vector>

#include "comm_line_settings.h"

namespace {

using zan::commlink::ApplyLineSettings;
using zan::commlink::LineSettings;

termios PortWithSixBitsEvenParityAndRtsCts() {
    termios attributes{};
    attributes.c_cflag = CS6 | PARENB | CRTSCTS | CLOCAL | HUPCL;
    attributes.c_iflag = IXON | IXOFF | ICRNL | IGNPAR;
    attributes.c_lflag = ICANON | ECHO | ISIG;
    attributes.c_oflag = OPOST | ONLCR;
    cfsetspeed(&attributes, B1200);
    return attributes;
}

TEST(LineSettings, DataBitsUseTheLowByteAndOnlyFiveToEight) {
    struct Case {
        int dataBits;
        tcflag_t size;
    };
    const std::vector<Case> cases = {{5, CS5},     {6, CS6}, {7, CS7}, {8, CS8},
                                     {0x307, CS7}, {4, CS6}, {9, CS6}, {-1, CS6}};
    for (const auto& testCase : cases) {
        termios attributes = PortWithSixBitsEvenParityAndRtsCts();
        ApplyLineSettings(attributes, {9600, 0, testCase.dataBits, 0});
        EXPECT_EQ(attributes.c_cflag & CSIZE, testCase.size) << testCase.dataBits;
    }
}

TEST(LineSettings, EverythingNotNamedStaysAsThePortHadIt) {
    termios attributes = PortWithSixBitsEvenParityAndRtsCts();
    ApplyLineSettings(attributes, {14400, 1, 8, 2});
    EXPECT_EQ(cfgetospeed(&attributes), B1200);  // no termios constant for 14400
    EXPECT_EQ(attributes.c_cflag & (PARENB | PARODD | CRTSCTS | CLOCAL | HUPCL),
              static_cast<tcflag_t>(PARENB | CRTSCTS | CLOCAL | HUPCL));
    EXPECT_EQ(attributes.c_iflag & (IXON | IXOFF | IGNPAR | INPCK),
              static_cast<tcflag_t>(IXON | IXOFF | IGNPAR | INPCK));
    EXPECT_NE(attributes.c_cflag & CSTOPB, 0u);
    // Binary transfer.
    EXPECT_EQ(attributes.c_iflag & ICRNL, 0u);
    EXPECT_EQ(attributes.c_lflag & (ICANON | ECHO | ISIG), 0u);
    EXPECT_EQ(attributes.c_oflag & OPOST, 0u);
    EXPECT_EQ(attributes.c_cc[VMIN], 1);
    EXPECT_EQ(attributes.c_cc[VTIME], 0);
}

TEST(LineSettings, EveryTermiosRateHasItsConstant) {
    EXPECT_EQ(zan::commlink::SpeedConstant(50), B50);
    EXPECT_EQ(zan::commlink::SpeedConstant(115200), B115200);
    EXPECT_EQ(zan::commlink::SpeedConstant(4000000), B4000000);
    for (const int rate : {0, -9600, 14400, 56000, 128000, 256000, 4000001}) {
        EXPECT_FALSE(zan::commlink::SpeedConstant(rate)) << rate;
    }
}

}  // namespace
