#include "core/writer/SerialLineSettings.h"

#include <sys/ioctl.h>

#include <cerrno>
#include <cmath>

namespace qzr {

namespace {

// The flags the component sets on a line and checks after setting them.
constexpr tcflag_t kCheckedCflag = CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS | CLOCAL | CREAD;
constexpr tcflag_t kCheckedIflag = IXON | IXOFF | INPCK | ICRNL | INLCR | IGNCR | ISTRIP;
constexpr tcflag_t kCheckedLflag = ICANON | ECHO | ISIG | IEXTEN;

// Raw transfer: no line editing, no echo, no character translation; reads return at once.
void MakeRaw(termios& t) {
    t.c_iflag &= ~(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IUCLC | IMAXBEL);
    t.c_oflag &= ~OPOST;
    t.c_lflag &= ~(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    t.c_cflag |= CLOCAL | CREAD;
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = 0;
}

void SetSpeed(termios& t, int rate) {
    speed_t speed = CommStandardSpeed(rate);
    // A rate without a B-constant is set through termios2 after the rest; B38400 holds its place.
    cfsetispeed(&t, speed ? speed : B38400);
    cfsetospeed(&t, speed ? speed : B38400);
}

// False for a character size the line cannot have.
bool SetCharacterSize(termios& t, TDatabits databits) {
    t.c_cflag &= ~CSIZE;
    switch (databits) {
        case TDatabits::da4:
            return false;  // no such character size here
        case TDatabits::da5:
            t.c_cflag |= CS5;
            break;
        case TDatabits::da6:
            t.c_cflag |= CS6;
            break;
        case TDatabits::da7:
            t.c_cflag |= CS7;
            break;
        case TDatabits::da8:
            t.c_cflag |= CS8;
            break;
    }
    return true;
}

void SetParity(termios& t, TParity parity) {
    t.c_cflag &= ~(PARENB | PARODD | CMSPAR);
    switch (parity) {
        case TParity::paNone:
            break;
        case TParity::paOdd:
            t.c_cflag |= PARENB | PARODD;
            break;
        case TParity::paEven:
            t.c_cflag |= PARENB;
            break;
        case TParity::paMark:
            t.c_cflag |= PARENB | CMSPAR | PARODD;
            break;
        case TParity::paSpace:
            t.c_cflag |= PARENB | CMSPAR;
            break;
    }
}

void SetStopbits(termios& t, TStopbits stopbits) {
    // 1.5 stop bits: the UART gives 1.5 for 5-bit characters when asked for 2.
    if (stopbits == TStopbits::sb10)
        t.c_cflag &= ~CSTOPB;
    else
        t.c_cflag |= CSTOPB;
}

// False for a handshake the line does not offer.
bool SetHandshake(termios& t, TFlowControl flow) {
    // XON/XOFF only where asked for: a terminal line starts with IXON set, which would swallow the bytes
    // 0x11 and 0x13 of the writer's data streams. fcDefault keeps the port's hardware handshake as it was.
    if (flow != TFlowControl::fcSoftware) t.c_iflag &= ~(IXON | IXOFF | IXANY);
    switch (flow) {
        case TFlowControl::fcNone:
            t.c_cflag &= ~CRTSCTS;
            break;
        case TFlowControl::fcCTS:
            t.c_cflag |= CRTSCTS;
            break;
        case TFlowControl::fcDTR:
            return false;  // DSR/DTR handshake: not offered
        case TFlowControl::fcSoftware:
            t.c_iflag |= IXON | IXOFF;
            break;
        case TFlowControl::fcDefault:
            break;
    }
    return true;
}

// The driver's termios2 block, for bit rates without a B-constant (14400, 56000, 128000, 256000).
struct KernelTermios2 {
    tcflag_t c_iflag;
    tcflag_t c_oflag;
    tcflag_t c_cflag;
    tcflag_t c_lflag;
    cc_t c_line;
    cc_t c_cc[19];
    speed_t c_ispeed;
    speed_t c_ospeed;
};
constexpr unsigned long kGetTermios2 = _IOR('T', 0x2A, KernelTermios2);
constexpr unsigned long kSetTermios2 = _IOW('T', 0x2B, KernelTermios2);
constexpr tcflag_t kOtherBaud = 0010000;  // BOTHER: the speed is in c_ispeed / c_ospeed

}  // namespace

int BaudrateValue(TBaudrate rate) {
    static constexpr int kRates[] = {110,   300,   600,   1200,  2400,   4800,   9600,  14400,
                                     19200, 38400, 56000, 57600, 115200, 128000, 256000};
    return kRates[static_cast<int>(rate)];
}

speed_t CommStandardSpeed(int rate) {
    switch (rate) {
        case 110:
            return B110;
        case 300:
            return B300;
        case 600:
            return B600;
        case 1200:
            return B1200;
        case 2400:
            return B2400;
        case 4800:
            return B4800;
        case 9600:
            return B9600;
        case 19200:
            return B19200;
        case 38400:
            return B38400;
        case 57600:
            return B57600;
        case 115200:
            return B115200;
        default:
            return 0;
    }
}

std::optional<termios> CommLineTermios(const termios& current, const CommLineSettings& settings) {
    termios t = current;
    MakeRaw(t);
    SetSpeed(t, BaudrateValue(settings.baudRate));
    if (!SetCharacterSize(t, settings.databits)) return std::nullopt;
    SetParity(t, settings.parity);
    SetStopbits(t, settings.stopbits);
    // Special characters; the error, end-of-file and event characters have no use on a raw line.
    t.c_cc[VSTART] = settings.xonChar;
    t.c_cc[VSTOP] = settings.xoffChar;
    if (!SetHandshake(t, settings.flowControl)) return std::nullopt;
    if (settings.options.Contains(TCommOption::coParityCheck))
        t.c_iflag |= INPCK;
    else
        t.c_iflag &= ~INPCK;
    return t;
}

bool CommSameLineSettings(const termios& wanted, const termios& got, int rate) {
    bool same = (wanted.c_cflag & kCheckedCflag) == (got.c_cflag & kCheckedCflag) &&
                (wanted.c_iflag & kCheckedIflag) == (got.c_iflag & kCheckedIflag) &&
                (wanted.c_lflag & kCheckedLflag) == (got.c_lflag & kCheckedLflag) &&
                (wanted.c_oflag & OPOST) == (got.c_oflag & OPOST) && wanted.c_cc[VMIN] == got.c_cc[VMIN] &&
                wanted.c_cc[VTIME] == got.c_cc[VTIME] && wanted.c_cc[VSTART] == got.c_cc[VSTART] &&
                wanted.c_cc[VSTOP] == got.c_cc[VSTOP];
    speed_t speed = CommStandardSpeed(rate);
    return same && (!speed || (cfgetospeed(&got) == speed && cfgetispeed(&got) == speed));
}

bool CommFreeRateHolds(int wanted, speed_t got) {
    return !(std::abs(static_cast<double>(got) - wanted) > wanted * 0.03);
}

void CommSetFreeRate(int fd, int rate) {
    const char* kRefused = "Error updating DataControlBlock";
    KernelTermios2 t2{};
    if (ioctl(fd, kGetTermios2, &t2) != 0) throw ECommError(kRefused, errno);
    t2.c_cflag &= ~static_cast<tcflag_t>(CBAUD | (CBAUD << 16));
    t2.c_cflag |= kOtherBaud | (kOtherBaud << 16);
    t2.c_ispeed = static_cast<speed_t>(rate);
    t2.c_ospeed = static_cast<speed_t>(rate);
    if (ioctl(fd, kSetTermios2, &t2) != 0) throw ECommError(kRefused, errno);
    KernelTermios2 back2{};
    if (ioctl(fd, kGetTermios2, &back2) != 0) throw ECommError(kRefused, errno);
    if (!CommFreeRateHolds(rate, back2.c_ospeed)) throw ECommError(kRefused, EINVAL);
}

}  // namespace qzr
