// Port entries: ComN, device paths and "virtual".
#include <gtest/gtest.h>

#include <cstdlib>

#include "app/DeviceCommands.h"
#include "app/MainState.h"
#include "core/writer/FreshChip.h"
#include "core/writer/PortNames.h"
#include "core/writer/VirtualWriter.h"
#include "core/writer/WriterDetect.h"
#include "support/TestFiles.h"

namespace qzr {
namespace {

TEST(PortNames, EntriesAndTheirDisplayNames) {
    EXPECT_EQ(comPortNumber("Com3"), 3);
    EXPECT_EQ(comPortNumber("COM8"), 8);
    EXPECT_EQ(comPortNumber("com12"), 12);
    EXPECT_FALSE(comPortNumber("Com0"));
    EXPECT_FALSE(comPortNumber("Com"));
    EXPECT_FALSE(comPortNumber("Com3x"));
    EXPECT_FALSE(comPortNumber("/dev/ttyS0"));
    EXPECT_TRUE(isVirtualPortEntry("Virtual"));
    EXPECT_TRUE(isVirtualPortEntry("virtual:New-Chip"));
    EXPECT_FALSE(isVirtualPortEntry("virtual:"));
    EXPECT_EQ(portDisplayName("Com3"), "COM3");
    EXPECT_EQ(portDisplayName("virtual"), "VIRTUAL");
    EXPECT_EQ(portDisplayName("/dev/ttyUSB0"), "/dev/ttyUSB0");
}

TEST(PortNames, SameEntryComparesComByNumberVirtualWithoutCaseAndPathsExactly) {
    struct Case {
        const char* a;
        const char* b;
        bool same;
    };
    for (const Case& c :
         {Case{"Com1", "COM1", true}, Case{"com01", "Com1", true}, Case{"Com1", "Com2", false},
          Case{"VIRTUAL", "virtual", true}, Case{"virtual", "virtual:new-chip", false},
          Case{"/dev/ttyUSB0", "/dev/ttyUSB0", true}, Case{"/dev/ttyUSB0", "/dev/ttyusb0", false},
          Case{"", "Com1", false}, Case{"Com1", "/dev/ttyS0", false}}) {
        EXPECT_EQ(samePortEntry(c.a, c.b), c.same) << c.a << " / " << c.b;
        EXPECT_EQ(samePortEntry(c.b, c.a), c.same) << c.b << " / " << c.a;
    }
}

TEST(PortNames, ComEntriesResolveThroughTheEnvironmentThenThePresentDevices) {
    test::TempDir dev;
    // Plain files are not serial devices: nothing is present here.
    test::writeFile(dev.file("ttyUSB0"), "");
    EXPECT_TRUE(presentSerialDevices(dev.path().string()).empty());
    EXPECT_EQ(resolvePortEntry("Com2", dev.path().string()), "Com2");

    ::setenv("QZR_COM2", "/dev/ttyACM9", 1);
    EXPECT_EQ(resolvePortEntry("Com2", dev.path().string()), "/dev/ttyACM9");
    ::unsetenv("QZR_COM2");
    EXPECT_EQ(resolvePortEntry("/dev/ttyUSB3"), "/dev/ttyUSB3");
    EXPECT_EQ(resolvePortEntry("virtual"), "virtual");
}

TEST(PortNames, PresentDevicesComeInGroupOrderAndNumericOrder) {
    // /dev/null and friends are character devices: a folder of links to them stands in for /dev.
    test::TempDir dev;
    const char* names[] = {"ttyS10", "ttyS2", "ttyACM0", "ttyUSB1", "ttyUSB0", "ttySX", "tty0"};
    for (const char* n : names) std::filesystem::create_symlink("/dev/null", dev.path() / n);
    const auto found = presentSerialDevices(dev.path().string());
    std::vector<std::string> expected;
    for (const char* n : {"ttyUSB0", "ttyUSB1", "ttyACM0", "ttyS2", "ttyS10"})
        expected.push_back(dev.file(n));
    EXPECT_EQ(found, expected);
    EXPECT_EQ(resolvePortEntry("Com4", dev.path().string()), dev.file("ttyS2"));
}

// The port list: Com1..Com8 with what each opens, then the present adapters by their stable names.
TEST(PortNames, PortListNamesTheDeviceBehindEachEntry) {
    test::TempDir dev;
    std::filesystem::create_symlink("/dev/null", dev.path() / "ttyUSB0");
    std::filesystem::create_symlink("/dev/null", dev.path() / "ttyACM0");
    std::filesystem::create_directories(dev.path() / "serial" / "by-id");
    const auto byId = dev.path() / "serial" / "by-id";
    std::filesystem::create_symlink("/dev/zero", byId / "usb-Maker_B-if00");
    std::filesystem::create_symlink("/dev/null", byId / "usb-Maker_A-if00");
    test::writeFile((byId / "usb-not-a-device").string(), "");
    std::filesystem::create_symlink(dev.path() / "gone", byId / "usb-unplugged");
    ::setenv("QZR_COM3", "virtual", 1);
    ::setenv("QZR_COM4", "/dev/ttyS9", 1);
    const auto list = portListEntries(dev.path().string());
    ::unsetenv("QZR_COM3");
    ::unsetenv("QZR_COM4");

    std::vector<std::pair<std::string, std::string>> got;
    for (const PortListEntry& e : list) got.emplace_back(e.entry, e.device);
    const std::vector<std::pair<std::string, std::string>> expected{
        {"Com1", dev.file("ttyUSB0")},
        {"Com2", dev.file("ttyACM0")},
        {"Com3", "virtual"},
        {"Com4", "/dev/ttyS9"},
        {"Com5", ""},
        {"Com6", ""},
        {"Com7", ""},
        {"Com8", ""},
        {(byId / "usb-Maker_A-if00").string(), "/dev/null"},
        {(byId / "usb-Maker_B-if00").string(), "/dev/zero"},
    };
    EXPECT_EQ(got, expected);
    EXPECT_EQ(stableSerialNames("/nonexistent"), std::vector<std::string>{});
}

}  // namespace
}  // namespace qzr

namespace qzr {
namespace {

// "virtual:new-chip": a fresh blank chip at every run; "virtual" keeps its chip.
TEST(PortNames, FreshChipEntryPutsABlankChipInBeforeEveryRun) {
    for (const char* entry : {"virtual:new-chip", "virtual"}) {
        SCOPED_TRACE(entry);
        MainState st;
        selectDevice(st, "QZR-D10");
        st.link.portEntry = entry;
        CheckComPort(st.link, st.device, *st.ui);
        ASSERT_FALSE(st.link.portError);
        auto* box = dynamic_cast<VirtualWriter*>(st.link.Comm1.get());
        ASSERT_NE(box, nullptr);
        VirtualChip used = box->chip();
        used.program[0] = 0x00;
        box->setChip(used);
        insertFreshChipForRun(st.link, st.device);
        EXPECT_EQ(box->chip().program[0], isFreshChipPortEntry(entry) ? 0x7F : 0x00);
        st.link.Comm1->Close();
    }
}

}  // namespace
}  // namespace qzr
