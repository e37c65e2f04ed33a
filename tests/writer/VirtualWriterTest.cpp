// The virtual writer driven by the protocol primitives over real bytes.
#include <gtest/gtest.h>

#include "app/DeviceCommands.h"
#include "app/MainState.h"
#include "app/StateHeader.h"
#include "core/device/DeviceCatalogue.h"
#include "core/writer/VirtualWriter.h"
#include "core/writer/WriterProtocol.h"

namespace qzr {
namespace {

class VirtualWriterTest : public ::testing::Test {
  protected:
    VirtualWriterTest() : box(clock), writer(st.link, st.image, box, clock) {
        selectDevice(st, "QZR-D11");  // one-time-programmable, 2048 words, two option words
        box.insertChipFor(st.device);
        box.Open();
        identify();
    }
    void identify() {
        st.link.writerIdText = box.idText();
        st.link.writerVersion = versionFromIdText(st.link.writerIdText);
    }
    // Programs n bytes of the transfer area into an area the way the engine's program exchanges do.
    LinkResult program(uint8_t area, int n) {
        GetHeader(st, area, kKindProgram);
        st.image.headerArea()[9] |= 0x40;
        if (LinkResult r = writer.SendHeader(10); r != lrReady) return r;
        return writer.WriteData(n);
    }
    LinkResult read(uint8_t area, int n, bool continuation = true) {
        GetHeader(st, area, kKindRead);
        if (continuation) st.image.headerArea()[9] |= 0x40;
        return writer.Read7BitData(n);
    }

    MainState st;
    FakeClock clock{500};
    VirtualWriter box;
    WriterLink writer;
};

TEST_F(VirtualWriterTest, AnswersTheProbeAndTheIdentificationByKind) {
    EXPECT_EQ(writer.CheckWriter(st.device, *st.ui, *st.views),
              lrIdWriter);  // version already known: no identification read
    EXPECT_EQ(box.idRequestCount(), 0);

    st.image.headerArea()[0] = 0xAD;
    st.link.writerIdText.clear();
    EXPECT_EQ(writer.ReadWriterID(15), lrDone);
    EXPECT_EQ(st.link.writerIdText, " HRP021A V3.30");

    box.setKind(VirtualWriter::Kind::Class1);
    EXPECT_EQ(writer.CheckWriter(st.device, *st.ui, *st.views),
              lrWrongWriter);  // QZR-D11 needs a class-2 writer
    box.setKind(VirtualWriter::Kind::Class2);
    EXPECT_EQ(writer.CheckWriter(st.device, *st.ui, *st.views), lrClass2Writer);
    EXPECT_EQ(box.probeCount(), 3);
}

TEST_F(VirtualWriterTest, ABlankChipReadsBlankInEveryArea) {
    EXPECT_EQ(read(kAreaId, 32), lrDone);
    EXPECT_EQ(st.image.transferArea()[0], 0x7F);
    EXPECT_EQ(read(kAreaOption, 8), lrDone);
    EXPECT_EQ(read(kAreaSpecial, 40), lrDone);
    EXPECT_EQ(read(kAreaProgram, st.device.programByteCount, false), lrDone);
    for (int i = 0; i < st.device.programByteCount; ++i) ASSERT_EQ(st.image.transferArea()[i], 0x7F) << i;

    const auto log = box.exchanges();
    ASSERT_EQ(log.size(), 4u);
    EXPECT_EQ(log[0].area, kAreaId);
    EXPECT_EQ(log[0].command, 0xA5);
    EXPECT_TRUE(log[0].continuation);
    EXPECT_EQ(log[3].area, kAreaProgram);
    EXPECT_FALSE(log[3].continuation);
}

TEST_F(VirtualWriterTest, ProgramDataStreamsWithPairHandshakeAndReadsBack) {
    // The engine's streaming loop: two bytes per handshake for this fast writer, 0xB0 at the end.
    st.image.setProgramWord(0, splitWord(0x1234));
    st.image.setProgramWord(2047, splitWord(0x0ABC));
    GetHeader(st, kAreaProgram, kKindProgram);
    ASSERT_EQ(writer.SendHeader(10), lrReady);
    GetRomData(st);
    const auto t = st.image.transferArea();
    const int n = st.device.programByteCount;
    int answers = 0;
    uint8_t last = 0;
    for (int p = 0; p < n; p += 2) {
        ASSERT_EQ(writer.PacedSend(t[p], writer.clockTicks()), WriterLink::WaitResult::Ok);
        writer.WriteByte(t[p + 1]);
        ASSERT_EQ(writer.WaitForByte(writer.clockTicks()), WriterLink::WaitResult::Ok);
        ASSERT_TRUE(writer.ReadByte(last));
        ++answers;
        if (last != 0xB5) break;
    }
    EXPECT_EQ(last, 0xB0);
    EXPECT_EQ(answers, n / 2);
    EXPECT_EQ(box.chip().programWord(0), 0x1234);
    EXPECT_EQ(box.chip().programWord(2047), 0x0ABC);

    EXPECT_EQ(read(kAreaProgram, n), lrDone);
    EXPECT_EQ(st.image.transferWord(0), splitWord(0x1234));
    EXPECT_EQ(st.image.transferWord(1), splitWord(0x3FFF));
}

TEST_F(VirtualWriterTest, OneTimeProgrammableBitsOnlyClearAndFlashErases) {
    auto t = st.image.transferArea();
    t[0] = 0x0F, t[1] = 0x70;
    ASSERT_EQ(program(kAreaId, 16), lrWriteDone);
    t[0] = 0x70, t[1] = 0x0F;
    ASSERT_EQ(program(kAreaId, 16), lrWriteDone);
    EXPECT_EQ(box.chip().id[0], 0x00);
    EXPECT_EQ(box.chip().id[1], 0x00);

    GetHeader(st, kAreaProgram, kKindErase);
    EXPECT_EQ(writer.SendHeader(10), lrDone);
    EXPECT_EQ(box.chip().id[0], 0x00);  // not flash: nothing erased

    box.insertChip(true, 2);
    t[0] = 0x01;
    ASSERT_EQ(program(kAreaId, 16), lrWriteDone);
    EXPECT_EQ(box.chip().id[0], 0x01);
    GetHeader(st, kAreaProgram, kKindErase);
    EXPECT_EQ(writer.SendHeader(10), lrDone);
    EXPECT_EQ(box.chip().id[0], 0x7F);
}

TEST_F(VirtualWriterTest, AProtectedChipReadsEveryProgramWordOredWithTheGuardBits) {
    VirtualChip chip = box.chip();
    chip.program[0] = 0x00, chip.program[1] = 0x00;
    chip.options[1] = 0x3F;  // security bit (0x40) programmed
    box.setChip(chip);
    EXPECT_EQ(read(kAreaProgram, st.device.programByteCount), lrDone);
    EXPECT_EQ(wordValue(st.image.transferWord(0)), 0x0F9F);
    EXPECT_EQ(read(kAreaOption, 8), lrDone);
    EXPECT_EQ(st.image.transferArea()[1], 0x3F);  // options read as they are

    box.insertChip(false, 3);
    chip = box.chip();
    chip.program[0] = 0x00, chip.program[1] = 0x00;
    chip.options[1] = 0x77;  // core type 3: security bit 0x08
    box.setChip(chip);
    EXPECT_EQ(read(kAreaProgram, 4), lrDone);
    EXPECT_EQ(wordValue(st.image.transferWord(0)), 0x079F);
}

TEST_F(VirtualWriterTest, EepromTakesDataAddressPairsAndReadsEightBitData) {
    selectDevice(st, "QZR-D01");  // flash with a 256-byte EEPROM
    GetHeader(st, kAreaEeprom, kKindProgramPulse);
    ASSERT_EQ(writer.SendHeader(10), lrReady);
    const int size = st.device.eepromSize;
    auto t = st.image.transferArea();
    for (int a = 0; a < size; ++a) {
        t[2 * a] = static_cast<uint8_t>(0xFF - a);
        t[2 * a + 1] = static_cast<uint8_t>(a);
    }
    uint8_t last = 0;
    for (int p = 0; p < 2 * size; p += 2) {
        writer.PacedSend(t[p], writer.clockTicks());
        writer.WriteByte(t[p + 1]);
        writer.WaitForByte(writer.clockTicks());
        writer.ReadByte(last);
        if (last != 0xB5) break;
    }
    EXPECT_EQ(last, 0xB0);
    GetHeader(st, kAreaEeprom, kKindRead);
    EXPECT_EQ(writer.Read8BitData(size), lrDone);
    EXPECT_EQ(t[0], 0xFF);
    EXPECT_EQ(t[0x47], 0xFF - 0x47);  // 0xB8 is data here
    EXPECT_EQ(t[size - 1], 0xFF - (size - 1));
}

TEST_F(VirtualWriterTest, FaultsNoChipAdapterFailAtByteSilenceWrongReplyAndCts) {
    VirtualWriter::Faults f;
    f.noChip = true;
    box.setFaults(f);
    EXPECT_EQ(read(kAreaId, 32), lrNoChip);
    f = {};
    f.adapterError = true;
    box.setFaults(f);
    GetHeader(st, kAreaId, kKindProgram);
    EXPECT_EQ(writer.SendHeader(10), lrAdapterError);

    f = {};
    f.failAtByte = 6;
    box.setFaults(f);
    EXPECT_EQ(program(kAreaId, 16), lrWriteFail);
    EXPECT_EQ(st.link.writeFailIndex, 7);  // pair mode: the answer follows bytes 6 and 7

    st.link.writerIdText = "HRP012";  // no pair mode on the program side...
    st.link.writerVersion.clear();
    box.setIdText(" HRP021 V3.10");  // ...nor on the writer's
    EXPECT_EQ(program(kAreaId, 16), lrWriteFail);
    EXPECT_EQ(st.link.writeFailIndex, 6);

    f = {};
    f.silenceAfter = 5;
    box.setFaults(f);
    st.image.transferArea()[5] = 0x55;
    const int start = clock.clockTicks();
    EXPECT_EQ(read(kAreaId, 32), lrTimeout);
    EXPECT_GT(ticksSince(start, clock.clockTicks()), 100);
    EXPECT_EQ(st.image.transferArea()[5], 0x55);

    f = {};
    f.wrongReply = 0x42;
    box.setFaults(f);
    GetHeader(st, kAreaId, kKindProgram);
    EXPECT_EQ(writer.SendHeader(10), lrBadReply);
    EXPECT_EQ(writer.SendHeader(10), lrReady);  // once only

    f = {};
    f.ctsOff = true;
    box.setFaults(f);
    EXPECT_EQ(writer.SendHeader(10), lrTimeout);
}

TEST_F(VirtualWriterTest, APurgeOfTheOutputDiscardsWhatTheBoxHasNotTakenYet) {
    // As on a real port: the header's last byte is still queued when the output is purged, so the box
    // never gets the whole header and answers nothing.
    GetHeader(st, kAreaProgram, kKindRead);
    for (int i = 0; i < 10; ++i) writer.PacedSend(st.image.headerArea()[i], writer.clockTicks());
    writer.Purge();
    EXPECT_EQ(box.InQueCount(), 0);
    EXPECT_TRUE(box.exchanges().empty());

    // Purging the input before the last byte loses nothing: the box answers after the whole header (sent
    // once the box has forgotten the unfinished one).
    clock.advanceTicks(60);
    for (int i = 0; i < 10; ++i) {
        if (i == 9) box.PurgeIn();
        writer.PacedSend(st.image.headerArea()[i], writer.clockTicks());
    }
    EXPECT_EQ(box.InQueCount(), st.device.programByteCount + 1);

    // Leftovers of an abandoned exchange are gone after the next exchange's purge.
    EXPECT_EQ(read(kAreaOption, 8), lrDone);
    EXPECT_EQ(st.image.transferArea()[0], 0x7F);
}

TEST_F(VirtualWriterTest, DownloadRecordsAreAcknowledgedWhenTheirChecksumHolds) {
    auto h = st.image.headerArea();
    std::fill(h.begin(), h.end(), 0);
    h[0] = 0xA9, h[1] = 0xFF, h[30] = 2, h[31] = 0x01;
    EXPECT_EQ(writer.SendHeader(32), lrDone);
    h[31] = 0x02;
    EXPECT_EQ(writer.SendHeader(32), lrBadReply);
    ASSERT_EQ(box.downloads().size(), 1u);
    EXPECT_EQ(box.downloads()[0][1], 0xFF);
}

TEST_F(VirtualWriterTest, KeepsItsChipAcrossCloseAndOpenAndRefusesAClosedPort) {
    st.image.transferArea()[0] = 0x00;
    ASSERT_EQ(program(kAreaId, 16), lrWriteDone);
    box.Close();
    EXPECT_EQ(box.InQueCount(), -1);
    EXPECT_FALSE(box.Cts());
    EXPECT_EQ(writer.SendHeader(10), lrTimeout);
    box.Open();
    EXPECT_THROW(box.Open(), ECommError);
    EXPECT_EQ(box.chip().id[0], 0x00);
    EXPECT_EQ(box.openCount(), 2);
}

}  // namespace
}  // namespace qzr

namespace qzr {
namespace {

// The handshake unit of a program stream follows the box's own firmware version: per pair from V3.26
// (" HRP021"), per byte before it and for writers that never identify themselves.
TEST(VirtualWriterHandshake, OneAnswerPerByteForOlderOrClassWriters) {
    for (const auto& [kind, id] : {std::pair{VirtualWriter::Kind::Identifying, std::string(" HRP021 V3.25")},
                                   std::pair{VirtualWriter::Kind::Class2, std::string(" HRP021A V3.30")}}) {
        MainState st;
        FakeClock clock;
        VirtualWriter box(clock);
        box.setKind(kind);
        box.setIdText(id);
        box.Open();
        WriterLink writer(st.link, st.image, box, clock);
        GetHeader(st, kAreaProgram, kKindProgram);
        ASSERT_EQ(writer.SendHeader(10), lrReady);
        int answers = 0;
        uint8_t b = 0;
        for (int p = 0; p < st.device.programByteCount; ++p) {
            writer.PacedSend(0x00, writer.clockTicks());
            ASSERT_EQ(writer.WaitForByte(writer.clockTicks()), WriterLink::WaitResult::Ok);
            writer.ReadByte(b);
            ++answers;
            if (b != 0xB5) break;
        }
        EXPECT_EQ(b, 0xB0);
        EXPECT_EQ(answers, st.device.programByteCount);
        EXPECT_EQ(box.chip().programWord(0), 0);
        EXPECT_EQ(box.exchanges().back().dataBytes, st.device.programByteCount);
    }
}

TEST(VirtualWriterHandshake, AnswersPacedAtTheLineRateStillArriveInOrder) {
    MainState st;
    VirtualWriter box;  // real clock: the answers take about 87 us a byte
    box.setLinePacing(true);
    box.Open();
    WriterLink writer(st.link, st.image, box, realClock());
    GetHeader(st, kAreaId, kKindRead);
    EXPECT_EQ(writer.Read7BitData(32), lrDone);
    EXPECT_EQ(st.image.transferArea()[31], 0x7F);
    st.image.headerArea()[0] = 0xAD;
    st.link.writerIdText.clear();
    EXPECT_EQ(writer.ReadWriterID(15), lrDone);
    EXPECT_EQ(st.link.writerIdText, " HRP021A V3.30");
}

TEST(VirtualWriterHandshake, AnEepromAddressOutOfStepIsAFailure) {
    MainState st;
    FakeClock clock;
    VirtualWriter box(clock);
    box.setKind(VirtualWriter::Kind::Class2);
    box.Open();
    WriterLink writer(st.link, st.image, box, clock);
    GetHeader(st, kAreaEeprom, kKindProgramPulse);
    ASSERT_EQ(writer.SendHeader(10), lrReady);
    const uint8_t stream[] = {0x11, 0x00, 0x22, 0x05};  // the second pair claims address 5
    uint8_t b = 0;
    for (uint8_t x : stream) {
        writer.PacedSend(x, writer.clockTicks());
        writer.WaitForByte(writer.clockTicks());
        writer.ReadByte(b);
    }
    EXPECT_EQ(b, 0xB1);
    EXPECT_EQ(box.chip().eeprom[0], 0x11);
}

}  // namespace
}  // namespace qzr

namespace qzr {
namespace {

// A box that serves chip after chip for hours keeps a bounded record of the headers it received: the
// record once grew by one entry per header, about 0.2 KiB per chip, for the life of the process.
TEST_F(VirtualWriterTest, TheRecordOfExchangesStaysBoundedOverManyChips) {
    const std::size_t headers = 3 * WriterBox::kExchangeRecord + 17;
    for (std::size_t n = 0; n < headers; ++n) {
        GetHeader(st, kAreaId, kKindRead);
        ASSERT_EQ(writer.Read7BitData(2 * 8 + 2), lrDone) << n;
    }
    const auto record = box.exchanges();
    EXPECT_GE(record.size(), WriterBox::kExchangeRecord);
    EXPECT_LT(record.size(), 2 * WriterBox::kExchangeRecord);
    EXPECT_EQ(record.back().area, kAreaId);
}

}  // namespace
}  // namespace qzr
