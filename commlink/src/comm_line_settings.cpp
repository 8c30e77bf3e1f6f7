#include "comm_line_settings.h"

#include <array>
#include <utility>

namespace zan::commlink {
namespace {

constexpr std::array<std::pair<int, speed_t>, 30> SPEEDS{{
    {50, B50},           {75, B75},           {110, B110},         {134, B134},
    {150, B150},         {200, B200},         {300, B300},         {600, B600},
    {1200, B1200},       {1800, B1800},       {2400, B2400},       {4800, B4800},
    {9600, B9600},       {19200, B19200},     {38400, B38400},     {57600, B57600},
    {115200, B115200},   {230400, B230400},   {460800, B460800},   {500000, B500000},
    {576000, B576000},   {921600, B921600},   {1000000, B1000000}, {1152000, B1152000},
    {1500000, B1500000}, {2000000, B2000000}, {2500000, B2500000}, {3000000, B3000000},
    {3500000, B3500000}, {4000000, B4000000},
}};

void SetCharacterSize(termios& attributes, int dataBits) {
    tcflag_t size = 0;
    switch (dataBits & 0xFF) {
        case 5:
            size = CS5;
            break;
        case 6:
            size = CS6;
            break;
        case 7:
            size = CS7;
            break;
        case 8:
            size = CS8;
            break;
        default:
            return;
    }
    attributes.c_cflag = (attributes.c_cflag & ~CSIZE) | size;
}

void SetStopBits(termios& attributes, int stopBits) {
    switch (stopBits & 0xFF) {
        case 0:
            attributes.c_cflag &= ~CSTOPB;
            break;
        case 1:  // one and a half: the nearest termios offers is two
        case 2:
            attributes.c_cflag |= CSTOPB;
            break;
        default:
            break;
    }
}

// Windows comm ports know no line discipline: bytes pass as they are and are
// counted as they arrive. Flow control, modem control and the parity scheme
// are line settings and stay.
void SetBinaryTransfer(termios& attributes) {
    attributes.c_iflag &= ~(INLCR | IGNCR | ICRNL | ISTRIP | IUCLC);
    attributes.c_oflag &= ~OPOST;
    attributes.c_lflag &= ~(ICANON | ECHO | ECHOE | ECHOK | ECHONL | ISIG | IEXTEN);
    attributes.c_cflag |= CREAD;
    attributes.c_cc[VMIN] = 1;
    attributes.c_cc[VTIME] = 0;
}

}  // namespace

std::optional<speed_t> SpeedConstant(int baud) {
    for (const auto& [rate, constant] : SPEEDS) {
        if (rate == baud) {
            return constant;
        }
    }
    return std::nullopt;
}

void ApplyLineSettings(termios& attributes, const LineSettings& settings) {
    SetBinaryTransfer(attributes);
    if (const auto speed = SpeedConstant(settings.baud)) {
        cfsetispeed(&attributes, *speed);
        cfsetospeed(&attributes, *speed);
    }
    if ((settings.parity & 1) != 0) {
        attributes.c_iflag |= INPCK;
    } else {
        attributes.c_iflag &= ~INPCK;
    }
    SetCharacterSize(attributes, settings.dataBits);
    SetStopBits(attributes, settings.stopBits);
}

}  // namespace zan::commlink
