#include <gtest/gtest.h>
#include <termios.h>

#include <vector>

#include "core/writer/SerialLineSettings.h"

// The line settings a port gets from the component's properties, checked without a device.

namespace qzr {
namespace {

// A terminal line as the system leaves it: cooked, echoing, 7E2 at 9600 with XON/XOFF on.
termios CookedLine(bool hardwareHandshake) {
    termios t{};
    t.c_iflag = ICRNL | IXON | IXANY | BRKINT | IMAXBEL | ISTRIP | INPCK;
    t.c_oflag = OPOST | ONLCR;
    t.c_lflag = ICANON | ECHO | ECHOE | ECHONL | ISIG | IEXTEN;
    t.c_cflag = CS7 | PARENB | CSTOPB | HUPCL | (hardwareHandshake ? CRTSCTS : 0);
    t.c_cc[VMIN] = 1;
    t.c_cc[VTIME] = 5;
    cfsetispeed(&t, B9600);
    cfsetospeed(&t, B9600);
    return t;
}

struct LineCase {
    TBaudrate rate;
    TDatabits databits;
    TParity parity;
    TStopbits stopbits;
    TFlowControl flow;
    bool parityCheck;
    bool startsWithCrtscts;
    // What the line gets.
    speed_t speed;
    tcflag_t csize;
    tcflag_t parityFlags;  // PARENB | PARODD | CMSPAR
    tcflag_t cstopb;
    tcflag_t crtscts;
    tcflag_t xonXoff;  // IXON | IXOFF | IXANY
    tcflag_t inpck;
};

TEST(SerialLineSettings, PropertiesBecomeARawLine) {
    using B = TBaudrate;
    using D = TDatabits;
    using P = TParity;
    using S = TStopbits;
    using F = TFlowControl;
    const std::vector<LineCase> cases = {
        // The writer link: 115200 8N1 without handshake.
        {B::br115200, D::da8, P::paNone, S::sb10, F::fcNone, false, true, B115200, CS8, 0, 0, 0, 0, 0},
        {B::br9600, D::da7, P::paEven, S::sb20, F::fcCTS, true, false, B9600, CS7, PARENB, CSTOPB, CRTSCTS, 0,
         INPCK},
        // Software handshake keeps the line's IXANY.
        {B::br1200, D::da5, P::paOdd, S::sb15, F::fcSoftware, false, false, B1200, CS5, PARENB | PARODD,
         CSTOPB, 0, IXON | IXOFF | IXANY, 0},
        // fcDefault keeps the hardware handshake the line had.
        {B::br57600, D::da6, P::paMark, S::sb10, F::fcDefault, false, true, B57600, CS6,
         PARENB | PARODD | CMSPAR, 0, CRTSCTS, 0, 0},
        {B::br110, D::da8, P::paSpace, S::sb10, F::fcDefault, true, false, B110, CS8, PARENB | CMSPAR, 0, 0,
         0, INPCK},
        // Rates without a standard constant hold B38400 until the free rate is set.
        {B::br14400, D::da8, P::paNone, S::sb10, F::fcNone, false, false, B38400, CS8, 0, 0, 0, 0, 0},
        {B::br256000, D::da8, P::paNone, S::sb20, F::fcCTS, false, false, B38400, CS8, 0, CSTOPB, CRTSCTS, 0,
         0},
        {B::br38400, D::da8, P::paNone, S::sb10, F::fcNone, false, true, B38400, CS8, 0, 0, 0, 0, 0},
    };
    for (const LineCase& c : cases) {
        SCOPED_TRACE(BaudrateValue(c.rate));
        CommLineSettings s{c.rate, c.databits, c.parity, c.stopbits, c.flow, {}, 0x21, 0x23};
        if (c.parityCheck) s.options.Include(TCommOption::coParityCheck);
        auto t = CommLineTermios(CookedLine(c.startsWithCrtscts), s);
        ASSERT_TRUE(t.has_value());
        EXPECT_EQ(cfgetospeed(&*t), c.speed);
        EXPECT_EQ(cfgetispeed(&*t), c.speed);
        EXPECT_EQ(t->c_cflag & CSIZE, c.csize);
        EXPECT_EQ(t->c_cflag & (PARENB | PARODD | CMSPAR), c.parityFlags);
        EXPECT_EQ(t->c_cflag & CSTOPB, c.cstopb);
        EXPECT_EQ(t->c_cflag & CRTSCTS, c.crtscts);
        EXPECT_EQ(t->c_iflag & (IXON | IXOFF | IXANY), c.xonXoff);
        EXPECT_EQ(t->c_iflag & INPCK, c.inpck);
        // Raw: no line editing, echo or translation; reads return at once.
        EXPECT_EQ(t->c_lflag & (ICANON | ECHO | ECHONL | ISIG | IEXTEN), 0U);
        EXPECT_EQ(t->c_oflag & OPOST, 0U);
        EXPECT_EQ(t->c_iflag & (ICRNL | INLCR | IGNCR | ISTRIP | BRKINT | IGNBRK | PARMRK | IMAXBEL), 0U);
        EXPECT_EQ(t->c_cflag & (CLOCAL | CREAD), static_cast<tcflag_t>(CLOCAL | CREAD));
        EXPECT_EQ(t->c_cc[VMIN], 0);
        EXPECT_EQ(t->c_cc[VTIME], 0);
        EXPECT_EQ(t->c_cc[VSTART], 0x21);
        EXPECT_EQ(t->c_cc[VSTOP], 0x23);
        EXPECT_TRUE(CommSameLineSettings(*t, *t, BaudrateValue(c.rate)));
    }
}

TEST(SerialLineSettings, EveryRateHasItsConstantOrAFreeRate) {
    const std::vector<std::pair<TBaudrate, speed_t>> rates = {
        {TBaudrate::br110, B110},       {TBaudrate::br300, B300},   {TBaudrate::br600, B600},
        {TBaudrate::br1200, B1200},     {TBaudrate::br2400, B2400}, {TBaudrate::br4800, B4800},
        {TBaudrate::br9600, B9600},     {TBaudrate::br14400, 0},    {TBaudrate::br19200, B19200},
        {TBaudrate::br38400, B38400},   {TBaudrate::br56000, 0},    {TBaudrate::br57600, B57600},
        {TBaudrate::br115200, B115200}, {TBaudrate::br128000, 0},   {TBaudrate::br256000, 0}};
    for (auto [rate, speed] : rates) {
        EXPECT_EQ(CommStandardSpeed(BaudrateValue(rate)), speed) << BaudrateValue(rate);
        CommLineSettings s;
        s.baudRate = rate;
        auto t = CommLineTermios(CookedLine(false), s);
        ASSERT_TRUE(t.has_value());
        EXPECT_EQ(cfgetospeed(&*t), speed ? speed : B38400) << BaudrateValue(rate);
    }
}

TEST(SerialLineSettings, RefusesWhatTheLineCannotHave) {
    CommLineSettings fourBits;
    fourBits.databits = TDatabits::da4;
    EXPECT_FALSE(CommLineTermios(CookedLine(false), fourBits).has_value());
    CommLineSettings dsrDtr;
    dsrDtr.flowControl = TFlowControl::fcDTR;
    EXPECT_FALSE(CommLineTermios(CookedLine(false), dsrDtr).has_value());
}

TEST(SerialLineSettings, ReadBackDiffersOnlyWhereTheDriverDidNotTakeTheSettings) {
    CommLineSettings s;
    s.baudRate = TBaudrate::br115200;
    s.parity = TParity::paEven;
    s.databits = TDatabits::da7;
    termios wanted = *CommLineTermios(CookedLine(false), s);
    struct Change {
        const char* what;
        void (*apply)(termios&);
        bool same;
    };
    const std::vector<Change> changes = {
        {"nothing", [](termios&) {}, true},
        {"parity dropped (a pseudo-terminal)", [](termios& t) { t.c_cflag &= ~PARENB; }, false},
        {"8 bits instead of 7", [](termios& t) { t.c_cflag = (t.c_cflag & ~CSIZE) | CS8; }, false},
        {"another speed", [](termios& t) { cfsetospeed(&t, B57600); }, false},
        {"reads wait for a byte", [](termios& t) { t.c_cc[VMIN] = 1; }, false},
        {"another XON character", [](termios& t) { t.c_cc[VSTART] = 0x01; }, false},
        {"echo left on", [](termios& t) { t.c_lflag |= ECHO; }, false},
        {"output newline mapping (not set here)", [](termios& t) { t.c_oflag |= ONLCR; }, true},
    };
    for (const Change& c : changes) {
        termios got = wanted;
        c.apply(got);
        EXPECT_EQ(CommSameLineSettings(wanted, got, 115200), c.same) << c.what;
    }
    // A free rate is checked through the driver's free rate setting, not through the placeholder.
    termios other = wanted;
    cfsetospeed(&other, B0);
    EXPECT_TRUE(CommSameLineSettings(wanted, other, 14400));

    struct Rate {
        int wanted;
        speed_t got;
        bool holds;
    };
    for (Rate r : std::vector<Rate>{{14400, 14400, true},
                                    {14400, 14800, true},
                                    {14400, 14900, false},
                                    {256000, 250000, true},
                                    {128000, 115200, false},
                                    {56000, 0, false}})
        EXPECT_EQ(CommFreeRateHolds(r.wanted, r.got), r.holds) << r.wanted << " " << r.got;
}

}  // namespace
}  // namespace qzr
