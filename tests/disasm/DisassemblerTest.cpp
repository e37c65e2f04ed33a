#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>

#include "app/MainState.h"
#include "core/disasm/Disassembler.h"
#include "support/RecordingUi.h"
#include "support/TestFiles.h"

namespace qzr {
namespace {

std::string line(uint16_t address, uint16_t word) {
    return "        " + instructionLine(address, word);
}

void setWord(MainState& st, std::size_t address, uint16_t value) {
    ASSERT_TRUE(st.image.setProgramWord(address, splitWord(value)));
}

void eraseProgram(MainState& st) {
    for (std::size_t a = 0; a < layout::kProgramWords; ++a) setWord(st, a, 0x3FFF);
}

const std::string kEnd = "        END\r\n";
const std::string kOrgSeparator = ";----------------------------\r\n";

TEST(DisassemblerDecode, OperandForms) {
    struct Case {
        uint16_t word;
        const char* mnemonic;
        const char* operand;
    } cases[] = {
        {0x3A12, "LDWI", "012H"},     {0x0103, "BCR", "STATUS,ZF"}, {0x0183, "BCR", "STATUS,PF"},
        {0x03E0, "BCR", "060H,7"},    {0x0283, "BCR", "STATUS,5"},  {0x0405, "BTSC", "PORTA,0"},
        {0x0800, "BSR", "IAR,0"},     {0x0C07, "BTSS", "PORTC,0"},  {0x1B85, "ADDWR", "PORTA,R"},
        {0x1B05, "ADDWR", "PORTA,W"}, {0x1F20, "COMR", "020H,W"},   {0x1200, "ANDWR", "IAR,W"},
        {0x2FFF, "LJUMP", "07FFH"},   {0x2000, "LCALL", "0000H"},   {0x33FF, "JUMP", "01FFH"},
        {0x30FF, "CALL", "00FFH"},    {0x31A5, "RTIW", "0A5H"},     {0x37FF, "ADDWI", "0FFH"},
        {0x1000, "NOP", ""},          {0x1004, "RET", ""},          {0x1006, "CPIO", "PB"},
        {0x1009, "RTFI", ""},         {0x1090, "CLRW", ""},         {0x1104, "CLRR", "MSR"},
        {0x11FF, "STWR", "07FH"},
    };
    for (const Case& c : cases) {
        const DecodedWord d = decodeWord(c.word);
        EXPECT_EQ(d.mnemonic, c.mnemonic) << std::hex << c.word;
        EXPECT_EQ(d.operand, c.operand) << std::hex << c.word;
        EXPECT_FALSE(d.undefined) << std::hex << c.word;
    }
}

TEST(DisassemblerDecode, UndefinedWords) {
    for (uint16_t w : {0x1008, 0x100A, 0x107F, 0x3900, 0x3B00, 0x3FFF}) {
        EXPECT_TRUE(decodeWord(w).undefined) << std::hex << w;
        EXPECT_EQ(decodeWord(w).mnemonic, ";TBD");
    }
    EXPECT_EQ(decodeWord(0x1008).operand, ";100xH");
    EXPECT_EQ(decodeWord(0x3FFF).operand, "03FxxH");
    EXPECT_EQ(decodeWord(0x39AB).operand, "039xxH");
}

TEST(DisassemblerListing, LinesArePaddedAndEndedByCrLf) {
    EXPECT_EQ(line(0, 0x3A12), "        LDWI    012H            ;0000    3A12\r\n");
    EXPECT_EQ(line(1, 0x0103), "        BCR     STATUS,ZF       ;0001    0103\r\n");
    EXPECT_EQ(line(0x1FFF, 0x1000), "        NOP                     ;1FFF    1000\r\n");
    // A mnemonic or operand longer than its column is not cut.
    EXPECT_EQ(instructionLine(2, 0x1A85).substr(0, 8), "INCRSZ  ");
}

TEST(DisassemblerListing, ErasedBufferGivesDeclarationsAndEnd) {
    MainState st;
    eraseProgram(st);
    const std::string declarations =
        ";Registers\r\nIAR     EQU     00H\r\nRTCC    EQU     01H\r\nPCL     EQU     02H\r\n"
        "STATUS  EQU     03H\r\nMSR     EQU     04H\r\nPORTA   EQU     05H\r\nPORTB   EQU     06H\r\n"
        "PORTC   EQU     07H\r\n;\r\nW       EQU     0H\r\nR       EQU     1H\r\n;Flags\r\n"
        "CF      EQU     0H\r\nHC      EQU     1H\r\nZF      EQU     2H\r\nPF      EQU     3H\r\n"
        "TF      EQU     4H\r\n;\r\n        ORG     0000H           ;Addr    Org-Code\r\n";
    EXPECT_EQ(equ_table(), declarations);
    EXPECT_EQ(disassembleProgram(st.device, st.image), declarations + kEnd);
}

TEST(DisassemblerListing, OrgLineAfterEveryRunOfUndefinedWords) {
    MainState st;
    ASSERT_GE(st.device.programByteCount / 2, 200);
    eraseProgram(st);
    for (std::size_t a = 0; a < 10; ++a) setWord(st, a, 0x1000);
    for (std::size_t a = 100; a < 103; ++a) setWord(st, a, 0x3A00 + static_cast<uint16_t>(a));
    setWord(st, 150, 0x1008);  // undefined between two defined words
    setWord(st, 151, 0x1004);

    std::string expected = equ_table();
    for (uint16_t a = 0; a < 10; ++a) expected += line(a, 0x1000);
    expected += kOrgSeparator + "        ORG     0064H\r\n";
    for (uint16_t a = 100; a < 103; ++a) expected += line(a, 0x3A00 + a);
    expected += kOrgSeparator + "        ORG     0097H\r\n" + line(151, 0x1004);
    expected += kEnd;
    EXPECT_EQ(disassembleProgram(st.device, st.image), expected);
}

TEST(DisassemblerListing, WordZeroDefinedHasNoOrgAndStopsAtDeviceSize) {
    MainState st;
    const std::size_t words = static_cast<std::size_t>(st.device.programByteCount / 2);
    eraseProgram(st);
    setWord(st, 0, 0x1001);
    setWord(st, words - 1, 0x2FFF);
    setWord(st, words, 0x1000);  // beyond the device: not listed
    const std::string text = disassembleProgram(st.device, st.image);
    EXPECT_EQ(text.find(kOrgSeparator), text.rfind(kOrgSeparator));
    EXPECT_NE(text.find(line(0, 0x1001)), std::string::npos);
    EXPECT_TRUE(text.ends_with(line(static_cast<uint16_t>(words - 1), 0x2FFF) + kEnd));
}

TEST(DisassemblerListing, BytesOutsideTheWordFormAreMasked) {
    MainState st;
    eraseProgram(st);
    // A refused load may leave intermediate 8-bit bytes in the program area.
    ASSERT_TRUE(st.image.setProgramWord(0, Word{0xBA, 0xF4}));
    EXPECT_NE(disassembleProgram(st.device, st.image).find(line(0, 0x3A3A)), std::string::npos);
}

TEST(DisassemblerListing, ListingStopsAt8192Words) {
    MainState st;
    st.device.programByteCount = 32768;
    for (std::size_t a = 0; a < layout::kProgramWords; ++a) setWord(st, a, 0x1000);
    const std::string text = disassembleProgram(st.device, st.image);
    EXPECT_NE(text.find(";1FFF    1000"), std::string::npos);
    EXPECT_EQ(text.find(";2000    1000"), std::string::npos);
}

TEST(DisassemblerSave, WritesCrLfLinesAndReplacesAnExistingFile) {
    test::TempDir dir;
    MainState st;
    const std::string path = dir.file("out.dis");
    test::writeFile(path, "old content that is longer than the new one\r\n");
    ASSERT_TRUE(saveDisassembly(*st.ui, "A\nB\r\nC", path));
    EXPECT_EQ(test::readFile(path), "A\r\nB\r\nC\r\n");
    const std::string listing = disassembleProgram(st.device, st.image);
    ASSERT_TRUE(saveDisassembly(*st.ui, listing, path));
    EXPECT_EQ(test::readFile(path), listing);
    // No temporary file is left beside it.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
}

TEST(DisassemblerSave, FailedWriteIsReportedAndKeepsThePreviousFile) {
    test::TempDir dir;
    test::RecordingUi ui;
    MainState st;
    st.ui = &ui;
    EXPECT_FALSE(saveDisassembly(*st.ui, "X\r\n", dir.file("missing/out.dis")));
    EXPECT_EQ(ui.log, std::vector<std::string>{"File can't be saved!"});

    // A folder that cannot be written to: the old file stays as it was.
    const std::string path = dir.file("keep.dis");
    test::writeFile(path, "previous\r\n");
    ::chmod(dir.path().c_str(), 0500);
    const bool written = saveDisassembly(*st.ui, "new\r\n", path);
    ::chmod(dir.path().c_str(), 0700);
    if (::geteuid() != 0) {
        EXPECT_FALSE(written);
        EXPECT_EQ(test::readFile(path), "previous\r\n");
    }
}

TEST(DisassemblerSave, ProposedNameIsTheDataFileNameBeforeItsFirstDot) {
    EXPECT_EQ(disassemblySaveName("prog.v1.bin"), "prog");
    EXPECT_EQ(disassemblySaveName("noext"), "");
    EXPECT_EQ(disassemblySaveName(""), "");
    // Only the file-name part is cut: a dot in a folder name stays.
    EXPECT_EQ(disassemblySaveName("/data/v1.2/prog.mhx"), "/data/v1.2/prog");
    EXPECT_EQ(disassemblySaveName("/data/v1.2/prog"), "");
}

TEST(DisassemblerCli, WritesTheListing) {
    test::TempDir dir;
    const std::string path = dir.file("erased.dis");
    const test::CliResult r = test::runCli({"disasm", path});
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    MainState st;
    eraseProgram(st);
    EXPECT_EQ(test::readFile(path), disassembleProgram(st.device, st.image));

    const test::CliResult bad = test::runCli({"disasm", dir.file("no/such/dir.dis")});
    EXPECT_EQ(bad.status, 1);
    EXPECT_EQ(bad.out, "File can't be saved!\n");
    EXPECT_EQ(test::runCli({"disasm"}).status, 2);
}

TEST(DisassemblerCli, ListsALoadedDataFile) {
    test::TempDir dir;
    MainState st;
    std::vector<uint8_t> bin(static_cast<std::size_t>(st.device.programByteCount), 0xFF);
    const uint16_t words[] = {0x3A12, 0x0103, 0x1B85, 0x2FFF};
    for (std::size_t a = 0; a < 4; ++a) {
        bin[2 * a] = static_cast<uint8_t>(words[a] & 0xFF);
        bin[2 * a + 1] = static_cast<uint8_t>(words[a] >> 8);
    }
    bin[200] = 0x00;  // word 100: NOP
    bin[201] = 0x10;
    test::writeFile(dir.file("prog.bin"), bin);
    const test::CliResult r = test::runCli({"-l", dir.file("prog.bin"), "disasm", dir.file("prog.dis")});
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(test::readFile(dir.file("prog.dis")), equ_table() +
                                                        "        LDWI    012H            ;0000    3A12\r\n"
                                                        "        BCR     STATUS,ZF       ;0001    0103\r\n"
                                                        "        ADDWR   PORTA,R         ;0002    1B85\r\n"
                                                        "        LJUMP   07FFH           ;0003    2FFF\r\n" +
                                                        kOrgSeparator + "        ORG     0064H\r\n" +
                                                        line(100, 0x1000) + kEnd);
}

}  // namespace
}  // namespace qzr
