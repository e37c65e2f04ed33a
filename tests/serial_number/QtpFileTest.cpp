#include <gtest/gtest.h>

#include <filesystem>

#include "app/QtpCommands.h"
#include "core/serial_number/QtpFile.h"
#include "serial_number/SerialTestSupport.h"
#include "support/TestFiles.h"

namespace qzr {
namespace {

using test::SerialFixtureState;

QtpFileChooser chosen(const std::string& path, int filterIndex = 2) {
    return [path, filterIndex]() { return std::optional<QtpFileChoice>(QtpFileChoice{path, filterIndex}); };
}

SerialNoFields fieldsFor(const std::string& address, const std::string& count, const std::string& value,
                         const std::string& parts) {
    SerialNoFields f;
    f.startAddress = address;
    f.noOfByte = count;
    f.startValue = value;
    f.increment = "1";
    f.noOfPart = parts;
    return f;
}

TEST(QtpRecord, MatchesTheRecordLayout) {
    SerialNumberState s;
    s.wordCount = 2;
    s.startAddress = 0x10;
    s.number[1] = 0x12;
    s.number[0] = 0x34;
    EXPECT_EQ(qtpRecord(s), ":040010001231343144\r\n");
    s.byteOrder = SerialByteOrder::LsbFirst;
    EXPECT_EQ(qtpRecord(s), ":040010003431123144\r\n");
    s.target = SerialTarget::Eeprom;
    s.wordCount = 1;
    s.number[0] = 0xAB;
    EXPECT_EQ(qtpRecord(s), ":02421000AB0001\r\n");
}

TEST(QtpWrite, ThreePartsSequentialIntoProgramMemory) {
    SerialFixtureState f;
    test::TempDir dir;
    f.putRtwi(0x100, 1);
    f.st.serial.serialMode = true;
    SerialNoFields in = fieldsFor("0100", "1", "05", "3");
    EXPECT_EQ(BtnQtpFileClick(f.st, in, chosen(dir.file("parts"))), QtpWriteResult::Written);
    EXPECT_EQ(test::readFile(dir.file("parts.txt")),
              ":020100000531C7\r\n:020100000631C6\r\n:020100000731C5\r\n:00000001FF");
    EXPECT_EQ(f.st.serial.number[0], 0x08) << "the number after the last record";
    EXPECT_FALSE(f.st.serial.serialMode) << "writing a file leaves the mode off";
    EXPECT_EQ(f.word(0x100), 0x3100) << "writing a file places no number";
    EXPECT_TRUE(f.ui.log.empty());
    // Only the file itself is left in the folder.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
}

TEST(QtpWrite, PseudoRandomRecordsFollowTheRegister) {
    SerialFixtureState f;
    test::TempDir dir;
    SerialNoFields in = fieldsFor("0000", "1", "00", "4");
    in.mode = SerialKind::PseudoRandom;
    in.target = SerialTarget::Eeprom;
    ASSERT_EQ(BtnQtpFileClick(f.st, in, chosen(dir.file("r.qtp"))), QtpWriteResult::Written);
    EXPECT_EQ(test::readFile(dir.file("r.qtp")),
              ":024200000000BC\r\n:024200000100BB\r\n:024200000300B9\r\n:024200000600B6\r\n:00000001FF");
}

TEST(QtpWrite, RefusalsAndTheExistingFile) {
    SerialFixtureState f;
    test::TempDir dir;
    SerialNoFields in = fieldsFor("0000", "1", "05", "100001");
    in.target = SerialTarget::Eeprom;
    EXPECT_EQ(BtnQtpFileClick(f.st, in, chosen(dir.file("a"))), QtpWriteResult::Refused);
    in.noOfPart = "0";
    EXPECT_EQ(BtnQtpFileClick(f.st, in, chosen(dir.file("a"))), QtpWriteResult::Refused);
    in.noOfPart = "2";
    in.startAddress = "0100";  // past the 256 EEPROM bytes
    EXPECT_EQ(BtnQtpFileClick(f.st, in, chosen(dir.file("a"))), QtpWriteResult::Refused);
    in.startAddress = "0000";
    EXPECT_EQ(BtnQtpFileClick(f.st, in, chosen(dir.file("a"), 1)), QtpWriteResult::NotWritten);
    EXPECT_EQ(BtnQtpFileClick(f.st, in, [] { return std::optional<QtpFileChoice>(); }),
              QtpWriteResult::Cancelled);
    EXPECT_FALSE(std::filesystem::exists(dir.file("a.txt")));

    test::writeFile(dir.file("a.txt"), std::string("keep"));
    EXPECT_EQ(BtnQtpFileClick(f.st, in, chosen(dir.file("a"))), QtpWriteResult::NotWritten);
    EXPECT_EQ(test::readFile(dir.file("a.txt")), "keep");
    f.ui.answer(true);
    EXPECT_EQ(BtnQtpFileClick(f.st, in, chosen(dir.file("a"))), QtpWriteResult::Written);
    EXPECT_EQ(test::readFile(dir.file("a.txt")), ":024200000500B7\r\n:024200000600B6\r\n:00000001FF");

    // A folder that cannot take the file: reported, the number not advanced.
    f.st.serial.number[0] = 0;
    EXPECT_EQ(BtnQtpFileClick(f.st, in, chosen(dir.file("missing/b.txt"))), QtpWriteResult::NotWritten);
    EXPECT_EQ(f.st.serial.number[0], 0x05);

    EXPECT_EQ(f.ui.log, (std::vector<std::string>{
                            "\"No. of Parts\" value overflow!",
                            "\"No. of Parts\" value overflow!",
                            "Serial no located beyond EEPROM memory size",
                            "File can't be saved!",
                            "? File Exists, Replace?",
                            "? File Exists, Replace?",
                            "File can't be saved!",
                        }));
}

// ----- reading -----

struct QtpReader : SerialFixtureState {
    void open(const std::string& content) {
        st.serial.qtpContent = content;
        st.serial.qtpReadOffset = 0;
        st.serial.qtpFileOpen = true;
    }
    bool read() {
        ReadSerialData(st.serial, st.device, *st.ui);
        return !st.serial.qtpNoNumber;
    }
};

TEST(QtpRead, RecordsInTurnThenTheEndRecord) {
    QtpReader r;
    r.open(":020100000531C7\r\n:02421000AB0001\n:040010001231343144\r\n:00000001FF");
    ASSERT_TRUE(r.read());
    EXPECT_EQ(r.st.serial.wordCount, 1);
    EXPECT_EQ(r.st.serial.startAddress, 0x100u);
    EXPECT_EQ(r.st.serial.target, SerialTarget::ProgramMemory);
    EXPECT_EQ(r.st.serial.number[0], 0x05);
    ASSERT_TRUE(r.read());
    EXPECT_EQ(r.st.serial.target, SerialTarget::Eeprom);
    EXPECT_EQ(r.st.serial.startAddress, 0x10u);
    EXPECT_EQ(r.st.serial.number[0], 0xAB);
    ASSERT_TRUE(r.read());
    EXPECT_EQ(r.st.serial.wordCount, 2);
    EXPECT_EQ(r.st.serial.number[1], 0x12);
    EXPECT_EQ(r.st.serial.number[0], 0x34);
    EXPECT_FALSE(r.read()) << "the end record";
    EXPECT_EQ(r.st.serial.wordCount, 2) << "the end record leaves the last number as it was";
    EXPECT_TRUE(r.ui.log.empty());
}

TEST(QtpRead, OppositeByteOrderReversesTheBytes) {
    QtpReader r;
    r.st.serial.byteOrder = SerialByteOrder::LsbFirst;
    r.open(":040010001231343144\r\n");
    ASSERT_TRUE(r.read());
    EXPECT_EQ(r.st.serial.number[0], 0x12);
    EXPECT_EQ(r.st.serial.number[1], 0x34);
}

// A damaged record gives its message and no number: the chip is never programmed with a number that was
// not read whole, and the last good number stays.
TEST(QtpRead, DamagedRecordsEndWithTheirMessage) {
    struct Case {
        const char* content;
        const char* message;
    };
    const Case cases[] = {
        {"", "File Information Error!"},
        {"\r\n\r\n", "File Information Error!"},
        {"020100000531C7\r\n", "File Information Error!"},
        {"\x7F\x45\x4C\x46\x02\x01\x01", "File Information Error!"},
        {":", "File data error!"},
        {":0", "File data error!"},
        {":ZZ0100000531C7\r\n", "File data error!"},
        {":0201", "File data error!"},
        {":02010G000531C7\r\n", "File data error!"},
        {":020100X00531C7\r\n", "File data error!"},
        {":0201000005", "File data error!"},
        {":020100000532C6\r\n", "File data error!"},  // marker of an EEPROM-less program record wrong
        {":02421000AB3100\r\n", "File data error!"},  // EEPROM record with the program marker
        {":0201000005\xFF"
         "1C7\r\n",
         "File data error!"},
        {":020100000531", "File data error!"},
        {":020100000531C8\r\n", "File Checksum Error!"},
        {":020100000531C7XX\r\n", "File data error!"},  // more on the line than the record
        {":020100000531C7 \r\n", "File data error!"},
        {":030100000531C6\r\n", "File data error!"},                                  // odd byte count
        {":1201000001310231033104310531063107310831093158\r\n", "File data error!"},  // 9 bytes
        {":02010001053100\r\n", "File data error!"},  // an end-of-file type that claims a byte
        {":020800000531C0\r\n", "File data error!"},  // word 0x800: past the 2048 words
        {":025200000500A7\r\n", "File data error!"},  // EEPROM byte 0x1000: past the EEPROM
    };
    for (const Case& c : cases) {
        QtpReader r;
        r.st.serial.number[0] = 0x77;
        r.st.serial.wordCount = 1;
        r.st.serial.startAddress = 0x10;
        r.open(c.content);
        EXPECT_FALSE(r.read()) << c.content;
        EXPECT_EQ(r.ui.log, std::vector<std::string>{c.message}) << c.content;
        EXPECT_EQ(r.st.serial.number[0], 0x77) << c.content;
        EXPECT_EQ(r.st.serial.wordCount, 1) << c.content;
        EXPECT_EQ(r.st.serial.startAddress, 0x10u) << c.content;
        EXPECT_EQ(r.st.serial.target, SerialTarget::ProgramMemory) << c.content;
    }
}

TEST(QtpRead, EightBytesFitAndEndTheDeviceExactly) {
    QtpReader r;
    // Eight bytes into the last eight words of 2048, and into the last eight EEPROM bytes.
    r.open(":1007F8000131023103310431053106310731083145\r\n:1042F8001100220033004400550066007700880052\r\n");
    ASSERT_TRUE(r.read());
    EXPECT_EQ(r.st.serial.wordCount, 8);
    EXPECT_EQ(r.st.serial.startAddress, 0x7F8u);
    EXPECT_EQ(r.st.serial.number[7], 0x01);
    EXPECT_EQ(r.st.serial.number[0], 0x08);
    ASSERT_TRUE(r.read());
    EXPECT_EQ(r.st.serial.startAddress, 0xF8u);
    EXPECT_EQ(r.st.serial.number[0], 0x88);
    EXPECT_TRUE(r.ui.log.empty());
}

// ----- opening a file and the engine's bookkeeping -----

TEST(QtpLoad, OpensTakesTheFirstNumberAndPlacesIt) {
    SerialFixtureState f;
    test::TempDir dir;
    f.putRtwi(0x100, 1);
    test::writeFile(dir.file("parts.txt"), std::string(":020100000531C7\r\n:020100000631C6\r\n:00000001FF"));
    EXPECT_TRUE(LoadQTPFile1Click(f.st, chosen(dir.file("parts.txt"))));
    EXPECT_TRUE(f.st.serial.serialMode);
    EXPECT_TRUE(f.st.serial.qtpFileOpen);
    EXPECT_EQ(f.word(0x100), 0x3105);
    EXPECT_EQ(qtpFileLabel(f.st.serial), dir.file("parts.txt").substr(1))
        << "the path after its first separator";

    // After each good chip: the next record, then the end of the file.
    EXPECT_TRUE(SerialNoAfterGoodRun(f.st.serial, f.st.operation.qtpSimulation, f.st.options,
                                     f.st.optionBytes, f.st.device, f.st.image, *f.st.ui, *f.st.views));
    EXPECT_EQ(f.word(0x100), 0x3106);
    f.st.operation.qtpSimulation = true;
    EXPECT_FALSE(SerialNoAfterGoodRun(f.st.serial, f.st.operation.qtpSimulation, f.st.options,
                                      f.st.optionBytes, f.st.device, f.st.image, *f.st.ui, *f.st.views));
    EXPECT_FALSE(f.st.serial.serialMode);
    EXPECT_FALSE(f.st.serial.qtpFileOpen);
    EXPECT_FALSE(f.st.operation.qtpSimulation);
    EXPECT_EQ(qtpFileLabel(f.st.serial), "Disable");
    EXPECT_EQ(f.word(0x100), 0x3106);
    EXPECT_TRUE(f.ui.log.empty());
}

TEST(QtpLoad, ADamagedRecordEndsQtpProgramming) {
    SerialFixtureState f;
    test::TempDir dir;
    f.putRtwi(0x100, 1);
    test::writeFile(dir.file("q.txt"),
                    std::string(":020100000531C7\r\n:020100000631C0\r\n:020100000731C5\r\n"));
    ASSERT_TRUE(LoadQTPFile1Click(f.st, chosen(dir.file("q.txt"))));
    EXPECT_FALSE(SerialNoAfterGoodRun(f.st.serial, f.st.operation.qtpSimulation, f.st.options,
                                      f.st.optionBytes, f.st.device, f.st.image, *f.st.ui, *f.st.views));
    EXPECT_EQ(f.ui.log, std::vector<std::string>{"File Checksum Error!"});
    EXPECT_EQ(f.word(0x100), 0x3105) << "the half-read number is never placed";
    EXPECT_FALSE(f.st.serial.serialMode);
}

TEST(QtpLoad, RefusedFiles) {
    SerialFixtureState f;
    test::TempDir dir;
    f.st.serial.serialMode = true;
    test::writeFile(dir.file("q.txt"), std::string(":020100000531C7\r\n"));
    EXPECT_FALSE(LoadQTPFile1Click(f.st, chosen(dir.file("q.txt"))));  // word 0x100 is blank
    EXPECT_FALSE(f.st.serial.serialMode);
    EXPECT_FALSE(f.st.serial.qtpFileOpen);
    EXPECT_EQ(f.word(0x100), 0x3FFF);

    test::writeFile(dir.file("end.txt"), std::string(":00000001FF"));
    EXPECT_FALSE(LoadQTPFile1Click(f.st, chosen(dir.file("end.txt"))));
    EXPECT_FALSE(LoadQTPFile1Click(f.st, chosen(dir.file("none.txt"))));
    f.st.serial.serialMode = true;
    EXPECT_FALSE(LoadQTPFile1Click(f.st, chosen(dir.file("q.txt"), 1)));
    EXPECT_TRUE(f.st.serial.serialMode) << "the wrong filter stops before anything is read";
    EXPECT_FALSE(LoadQTPFile1Click(f.st, chosen(dir.path().string())));
    EXPECT_EQ(f.ui.log, (std::vector<std::string>{"The program memory is not 'RTWI'", "Can't load file!",
                                                  "Can't load file!"}));
}

TEST(QtpLoad, ADeviceChangeClosesTheFile) {
    SerialFixtureState f;
    test::TempDir dir;
    test::writeFile(dir.file("q.txt"), std::string(":02421000AB0001\r\n"));
    ASSERT_TRUE(LoadQTPFile1Click(f.st, chosen(dir.file("q.txt"))));
    EXPECT_EQ(f.st.image.eepromByte(0x10), 0xAB);
    selectDevice(f.st, "QZR-D01");
    EXPECT_FALSE(f.st.serial.qtpFileOpen);
    EXPECT_FALSE(f.st.serial.serialMode);
    EXPECT_EQ(qtpFileLabel(f.st.serial), "Disable");
    EXPECT_TRUE(f.st.serial.qtpContent.empty());
}

}  // namespace
}  // namespace qzr
