#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "ImageTestSupport.h"
#include "app/BufferCommands.h"
#include "app/DataCommands.h"
#include "core/common/FileIo.h"
#include "core/image/DataLoad.h"
#include "core/image/DataSave.h"
#include "core/image/PicTranslation.h"
#include "core/operations/OperationState.h"
#include "core/options/Options.h"

namespace qzr {
namespace {

using test::binWords;
using test::setBinWord;
using Log = std::vector<std::string>;

struct DataLoad : test::ImageFixture {
    bool load(const std::string& path) { return LoadProgramMemory(st, path); }
};

TEST_F(DataLoad, BinaryLoadedAndSavedAsHex) {
    device("QZR-D10");  // 1024 words, no EEPROM
    auto bin = binWords(1024, 0x3FFF);
    setBinWord(bin, 0, 0x2805);
    ASSERT_TRUE(load(file("prog.bin", bin)));
    EXPECT_TRUE(ui.log.empty());
    EXPECT_EQ(st.image.programWord(0), (Word{0x05, 0x50}));
    EXPECT_EQ(word(1), 0x3FFF);

    ASSERT_TRUE(SaveProgramMemory(st.device, st.image, *st.ui, dir.file("out.mhx"), DataSaveFormat::hex));
    const std::string hex = test::readFile(dir.file("out.mhx"));
    EXPECT_EQ(hex.substr(0, 45), ":100000000528FF3FFF3FFF3FFF3FFF3FFF3FFF3F11\r\n");
    EXPECT_EQ(std::count(hex.begin(), hex.end(), '\n'), 129);
    EXPECT_NE(hex.find("\r\n:1007F000"), std::string::npos);
    EXPECT_EQ(hex.substr(hex.size() - 25), "FF3FFF3F09\r\n:00000001FF\r\n");

    // The saved .bin gives back the same bytes, and so does the .mhx read back.
    ASSERT_TRUE(SaveProgramMemory(st.device, st.image, *st.ui, dir.file("out.bin"), DataSaveFormat::binary));
    EXPECT_EQ(test::readFile(dir.file("out.bin")), std::string(bin.begin(), bin.end()));
    st.image.setProgramWord(0, Word{});
    ASSERT_TRUE(load(dir.file("out.mhx")));
    EXPECT_EQ(word(0), 0x2805);
    EXPECT_TRUE(ui.log.empty());
}

TEST_F(DataLoad, BinaryWithEepromTail) {
    device("QZR-D02");  // 1024 words, 128 EEPROM bytes
    std::vector<uint8_t> bin(0x8200 + 2 * 128, 0xFF);
    setBinWord(bin, 5, 0x1234);
    for (std::size_t k = 0; k < 128; ++k) setBinWord(bin, 0x4100 + k, static_cast<uint16_t>(0xEE00 + k));
    ASSERT_TRUE(load(file("ee.bin", bin)));
    EXPECT_EQ(word(5), 0x1234);
    EXPECT_EQ(st.image.eepromByte(0), 0x00);
    EXPECT_EQ(st.image.eepromByte(127), 127);

    // Saved again: the same file, byte for byte, except the ignored odd EEPROM bytes.
    ASSERT_TRUE(
        SaveProgramMemory(st.device, st.image, *st.ui, dir.file("again.bin"), DataSaveFormat::binary));
    for (std::size_t k = 0; k < 128; ++k) bin[0x8201 + 2 * k] = 0;
    for (std::size_t w = 0; w < 1024; ++w) {
        if (w != 5) setBinWord(bin, w, 0x3FFF);
    }
    EXPECT_EQ(test::readFile(dir.file("again.bin")), std::string(bin.begin(), bin.end()));

    // A word between the program and the EEPROM that is not blank refuses the file, right after the
    // program as well as at 8000H.
    for (std::size_t offset : {std::size_t{0x8000}, std::size_t{2048}}) {
        auto bad = bin;
        setBinWord(bad, offset / 2, 0x0000);
        ui.log.clear();
        EXPECT_FALSE(load(file("bad.bin", bad)));
        EXPECT_EQ(ui.log, Log{"File size unmatch!"});
    }
}

TEST_F(DataLoad, SizeCheckAndDuplication) {
    device("QZR-D10");
    const MemoryImage before = st.image;
    auto half = binWords(512, 0x3FFF);
    setBinWord(half, 0, 0x0123);
    const std::string path = file("half.bin", half);

    // No: refused, and the image is as it was.
    EXPECT_FALSE(load(path));
    EXPECT_EQ(ui.log,
              (Log{"? Code size is half of ROM size. Duplicate the program ?", "File size unmatch!"}));
    EXPECT_TRUE(std::ranges::equal(st.image.all(), before.all()));

    ui.log.clear();
    ui.answer(true);
    ASSERT_TRUE(load(path));
    EXPECT_EQ(word(0), 0x0123);
    EXPECT_EQ(word(512), 0x0123);
    EXPECT_EQ(word(513), 0x3FFF);

    for (std::size_t size : {std::size_t{2049}, std::size_t{2047}, std::size_t{0}, std::size_t{40000}}) {
        ui.log.clear();
        EXPECT_FALSE(load(file("odd.bin", std::vector<uint8_t>(size, 0))));
        EXPECT_EQ(ui.log, Log{"File size unmatch!"}) << size;
    }
}

TEST_F(DataLoad, PicHexOfHalfTheMemoryOffersDuplication) {
    device("QZR-D26");  // core type 2, 1024 words
    std::string text;
    for (uint32_t a = 0; a < 0x400; a += 16) {
        char line[64];
        std::snprintf(line, sizeof line, ":10%04X00", a);
        uint32_t sum = 0x10 + (a >> 8) + (a & 0xFF);
        std::string r = line;
        for (int i = 0; i < 8; ++i) {
            r += "2329";  // GOTO 123H, low byte first
            sum += 0x23 + 0x29;
        }
        std::snprintf(line, sizeof line, "%02X\r\n", (256 - sum % 256) % 256);
        text += r + line;
    }
    ASSERT_TRUE(load(file("half.HEX", text + ":00000001FF\r\n")));
    EXPECT_EQ(ui.log, Log{"? Code size is less than half of ROM size. Duplicate the program ?"});
    EXPECT_EQ(word(0), 0x2923);  // a 14-bit GOTO stays what it is
    EXPECT_EQ(word(0x1FF), 0x2923);
    EXPECT_EQ(word(0x200), 0x3FFF);  // never written: blank
    EXPECT_EQ(word(0x3FF), 0x3FFF);
}

TEST_F(DataLoad, Pic12BitWordsAreTranslated) {
    device("QZR-D10");  // core type 1
    auto obj = binWords(1024, 0xFFFF);
    setBinWord(obj, 0, 0x0C55);  // MOVLW 55H
    setBinWord(obj, 1, 0x0FFF);
    ASSERT_TRUE(load(file("a.b.obj", obj)));
    EXPECT_TRUE(ui.log.empty());
    EXPECT_EQ(st.image.programWord(0), (Word{0x55, 0x74}));  // LDWI 55H
    EXPECT_EQ(word(1), 0x36FF);
    EXPECT_EQ(word(2), 0x3FFF);

    // 14-bit code for a 12-bit device: one warning, translated all the same.
    setBinWord(obj, 2, 0x3000);
    setBinWord(obj, 3, 0x2000);
    ASSERT_TRUE(load(file("p14.obj", obj)));
    EXPECT_EQ(ui.log, Log{"Warning: File format error !(14 bit)"});
    EXPECT_EQ(word(0), 0x3A55);
    // During start-up the warning is not shown.
    ui.log.clear();
    st.firstShowDone = false;
    ASSERT_TRUE(load(file("p14.obj", obj)));
    EXPECT_TRUE(ui.log.empty());
}

TEST_F(DataLoad, Pic14BitDeviceWarnsAboutTwelveBitCode) {
    device("QZR-D26");
    auto obj = binWords(1024, 0xFFFF);
    setBinWord(obj, 0, 0x0C55);
    ASSERT_TRUE(load(file("p12.obj", obj)));
    EXPECT_EQ(ui.log, Log{"Warning: File format error !(12 bit)"});
    EXPECT_EQ(word(0), 0x1655);  // RRF 55H -> RRR
}

TEST_F(DataLoad, TranslationTables) {
    // One word of each row group of both tables.
    EXPECT_EQ(translatePic12Word(0x040), 0x1080);
    EXPECT_EQ(translatePic12Word(0x000), 0x1000);
    EXPECT_EQ(translatePic12Word(0x066), 0x1106);
    EXPECT_EQ(translatePic12Word(0x02A), 0x118A);
    EXPECT_EQ(translatePic12Word(0x006), 0x1006);
    EXPECT_EQ(translatePic12Word(0x1E3), 0x1B83);  // ADDWF 3,F: d bit to bit 7
    EXPECT_EQ(translatePic12Word(0x5E3), 0x0B83);  // BSF 3,7: bit number to bits 7-9
    EXPECT_EQ(translatePic12Word(0x9AB), 0x30AB);  // CALL
    EXPECT_EQ(translatePic12Word(0xBFF), 0x33FF);  // GOTO 1FFH
    EXPECT_EQ(translatePic12Word(0xFFFF), 0xFFFF);
    EXPECT_EQ(translatePic14Word(0x0103), 0x1080);
    EXPECT_EQ(translatePic14Word(0x0060), 0x1000);
    EXPECT_EQ(translatePic14Word(0x0009), 0x1009);
    EXPECT_EQ(translatePic14Word(0x0008), 0x1004);
    EXPECT_EQ(translatePic14Word(0x01A5), 0x1125);
    EXPECT_EQ(translatePic14Word(0x00A5), 0x11A5);
    EXPECT_EQ(translatePic14Word(0x0066), 0x1006);
    EXPECT_EQ(translatePic14Word(0x07A5), 0x1BA5);
    EXPECT_EQ(translatePic14Word(0x1FA5), 0x0FA5);
    EXPECT_EQ(translatePic14Word(0x3F12), 0x3712);  // ADDLW
    EXPECT_EQ(translatePic14Word(0x3712), 0x3112);  // RETLW
    EXPECT_EQ(translatePic14Word(0x3A12), 0x3612);  // XORLW
    EXPECT_EQ(translatePic14Word(0x2123), 0x2123);  // CALL
    EXPECT_EQ(translatePic14Word(0xC000), 0xC000);  // matches nothing
}

TEST_F(DataLoad, FileKindsAndRefusals) {
    device("QZR-D10");
    EXPECT_FALSE(load(file("data.txt", "x")));
    EXPECT_FALSE(load(dir.file("missing.bin")));
    std::filesystem::create_directory(dir.file("folder.bin"));
    EXPECT_FALSE(load(dir.file("folder.bin")));
    EXPECT_EQ(ui.log, (Log{"File type incorrect!", "File can't open!", "File can't open!"}));

    device("QZR-D59");  // core type 3
    ui.log.clear();
    EXPECT_FALSE(load(file("x.hex", ":00000001FF\r\n")));
    EXPECT_FALSE(load(file("x.OBJ", binWords(512, 0x07FF))));
    EXPECT_EQ(ui.log, (Log{"File type incorrect!", "File type incorrect!"}));
}

TEST_F(DataLoad, CoreType3TakesOnlyElevenBitWords) {
    device("QZR-D59");  // 512 words of 11 bits
    auto bin = binWords(512, 0x07FF);
    setBinWord(bin, 3, 0x0123);
    setBinWord(bin, 4, 0xFFFF);  // bits 3-6 of the high byte all set
    ASSERT_TRUE(load(file("ok.bin", bin)));
    EXPECT_EQ(st.image.programWord(3), (Word{0x23, 0x02}));
    EXPECT_EQ(st.image.programWord(4), (Word{0x7F, 0x0F}));
    EXPECT_EQ(st.image.programWord(511), (Word{0x7F, 0x0F}));

    const MemoryImage before = st.image;
    setBinWord(bin, 511, 0x0800);  // the last word has bit 11 set
    EXPECT_FALSE(load(file("bad.bin", bin)));
    EXPECT_EQ(ui.log, Log{"It is not 11-bit instructions !"});
    EXPECT_TRUE(std::ranges::equal(st.image.all(), before.all()));
}

TEST_F(DataLoad, OversizedAndGarbageFiles) {
    device("QZR-D52");
    const std::string big = dir.file("big.mhx");
    test::writeFile(big, "");
    std::filesystem::resize_file(big, 9u << 20);
    EXPECT_FALSE(load(big));
    EXPECT_EQ(ui.log, Log{"File is too large!"});

    // Binary noise in every kind ends with a message or a load, never outside the image's regions.
    std::vector<uint8_t> noise(70000);
    for (std::size_t i = 0; i < noise.size(); ++i) noise[i] = static_cast<uint8_t>((i * 2654435761u) >> 13);
    noise[100] = ':';
    for (const char* name : {"n.bin", "n.obj", "n.hex", "n.mhx"}) {
        ui.log.clear();
        const bool loaded = load(file(name, noise));
        EXPECT_TRUE(loaded || !ui.log.empty()) << name;
    }
}

TEST_F(DataLoad, LoadDataCommand) {
    device("QZR-D02");
    st.optionBytes = {1, 2, 3, 4};
    st.dataFileName = "old.bin";
    st.serial.serialMode = true;
    st.serial.qtpFileOpen = true;
    st.serial.passCountText = "12";

    // A missing file and a refused file change nothing.
    EXPECT_FALSE(FileOpen1Execute(st, dir.file("none.bin")));
    EXPECT_FALSE(FileOpen1Execute(st, file("short.bin", binWords(10, 0))));
    EXPECT_EQ(ui.log, (Log{"File don't exist!", "File size unmatch!"}));
    EXPECT_EQ(st.optionBytes, (std::array<uint8_t, 4>{1, 2, 3, 4}));
    EXPECT_EQ(st.dataFileName, "old.bin");
    EXPECT_TRUE(st.serial.serialMode);
    EXPECT_TRUE(views.calls.empty());

    // The option bytes are kept or reset to 0x7F (then masked for the device by the option display).
    const std::string path = file("good.bin", binWords(1024, 0x0000));
    st.settings.keepOptions = true;
    ASSERT_TRUE(FileOpen1Execute(st, path));
    const auto kept = st.optionBytes;
    EXPECT_EQ(kept[0], 1);
    st.optionBytes = {0x7F, 0x7F, 0x7F, 0x7F};
    UpdateOption(st.options, st.optionBytes, st.device, st.image, *st.ui, *st.views);
    const auto reset = st.optionBytes;
    st.optionBytes = kept;
    st.settings.keepOptions = false;
    views.calls.clear();
    ASSERT_TRUE(FileOpen1Execute(st, path));
    EXPECT_EQ(st.optionBytes, reset);
    EXPECT_NE(st.optionBytes, kept);
    EXPECT_EQ(st.dataFileName, path);
    EXPECT_FALSE(st.serial.serialMode);
    EXPECT_FALSE(st.serial.qtpFileOpen);
    EXPECT_EQ(st.serial.passCountText, "0");
    EXPECT_EQ(views.calls, (Log{"serial", "id", "program", "eeprom", "disasm", "serial", "serial"}));

    // Cancelled: the closing steps only.
    views.calls.clear();
    EXPECT_FALSE(FileOpen1Execute(st, std::nullopt));
    EXPECT_EQ(views.calls, (Log{"disasm", "serial", "serial"}));
    EXPECT_EQ(st.dataFileName, path);
}

TEST_F(DataLoad, DamagedHexIsTakenOverMarkedAndAskedForOnce) {
    device("QZR-D10");
    const std::string damaged = ":0400000001020304F3\r\n:00000001FF\r\n";
    ASSERT_TRUE(FileOpen1Execute(st, file("bad.mhx", damaged)));
    EXPECT_EQ(ui.log.front(), "Checksum error at line 1 !");
    EXPECT_TRUE(st.dataFileDamaged);
    EXPECT_EQ(damagedDataNote(st), kDamagedDataNote);

    // Only operations that write the data ask; No refuses and asks again, Yes holds until the next load.
    ui.log.clear();
    EXPECT_TRUE(confirmDamagedData(st, OperationType::Verify));
    EXPECT_TRUE(confirmDamagedData(st, OperationType::ProgramOptions));
    EXPECT_FALSE(confirmDamagedData(st, OperationType::ProgramData));
    ui.answer(true);
    EXPECT_TRUE(confirmDamagedData(st, OperationType::AutoProgram));
    EXPECT_TRUE(confirmDamagedData(st, OperationType::OverWrite));
    EXPECT_EQ(ui.log, Log(2, std::string("? ") + kDamagedDataQuestion));

    // A refused load keeps the mark; a good load, or Clear Buffer, clears it.
    EXPECT_FALSE(FileOpen1Execute(st, file("short.bin", binWords(10, 0))));
    EXPECT_TRUE(st.dataFileDamaged);
    ASSERT_TRUE(FileOpen1Execute(st, file("good.mhx", ":0400000001020304F2\r\n:00000001FF\r\n")));
    EXPECT_FALSE(st.dataFileDamaged);
    EXPECT_EQ(damagedDataNote(st), "");
    ASSERT_TRUE(FileOpen1Execute(st, dir.file("bad.mhx")));
    EXPECT_TRUE(st.dataFileDamaged);
    ui.log.clear();
    EXPECT_FALSE(confirmDamagedData(st, OperationType::ProgramEeprom));  // asked again after the new load
    EXPECT_EQ(ui.log.size(), 1u);
    ClearBuffer(st);
    EXPECT_FALSE(st.dataFileDamaged);
    EXPECT_TRUE(confirmDamagedData(st, OperationType::ProgramData));
}

TEST(CliDamagedData, ADamagedDataFileStopsTheRunWithStatus2) {
    test::TempDir dir;
    const std::string hex = dir.file("prog.mhx");
    test::writeFile(hex, std::string(":0400000001020304F2\r\n:00000001FF\r\n"));
    ASSERT_EQ(test::runCli({"-d", "QZR-D10", "-l", hex, "save-config", dir.file("p.cfg")}).status, 0);
    test::writeFile(hex, std::string(":0400000001020304F3\r\n:00000001FF\r\n"));  // now damaged
    for (const auto& option : {std::vector<std::string>{"-d", "QZR-D10", "-l", hex},
                               std::vector<std::string>{"-c", dir.file("p.cfg")},
                               std::vector<std::string>{"-l", dir.file("p.cfg")}}) {
        auto args = option;
        args.insert(args.end(), {"save", dir.file("out.bin")});
        const test::CliResult r = test::runCli(args);
        EXPECT_EQ(r.status, 2) << option[option.size() - 1];
        EXPECT_NE(r.out.find("Checksum error at line 1 !\n"), std::string::npos) << r.out;
        EXPECT_NE(r.err.find("is damaged"), std::string::npos) << r.err;
        EXPECT_FALSE(std::filesystem::exists(dir.file("out.bin")));
    }
}

TEST(DataFileNames, KindsAndDialogNames) {
    EXPECT_EQ(dataFileKind("a.Hex"), DataFileKind::hex);
    EXPECT_EQ(dataFileKind("a.hex.bin"), DataFileKind::bin);
    EXPECT_EQ(dataFileKind("dir.mhx/prog"), DataFileKind::other);
    EXPECT_EQ(dataFileKind("x.CfG"), DataFileKind::cfg);
    EXPECT_EQ(dataFileKind("x."), DataFileKind::other);
    EXPECT_EQ(dialogInitialName("/data/v1.2/prog.x.mhx"), "/data/v1.2/prog");
    EXPECT_EQ(dialogInitialName("/data/v1.2/prog"), "");
}

}  // namespace
}  // namespace qzr
