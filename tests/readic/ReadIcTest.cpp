// Reading a chip from the virtual writer: stages, texts, partial results, time-outs and the stop request.
#include <gtest/gtest.h>

#include <mutex>
#include <string>
#include <vector>

#include "app/DeviceCommands.h"
#include "app/MainState.h"
#include "app/ReadIcCommand.h"
#include "core/writer/ReadIc.h"
#include "core/writer/VirtualWriter.h"
#include "core/writer/WriterProtocol.h"
#include "readic/TapPort.h"
#include "support/RecordingUi.h"

namespace qzr {
namespace {

// Records what the read shows, from whichever thread.
class RecordingReadView final : public ReadIcView {
  public:
    void showLine(ReadIcLine line, const std::string& text, bool failure) override {
        std::lock_guard lock(mutex);
        static const char* names[] = {"Label1", "Label2", "Label3", "EEInfo"};
        lines.push_back(std::string(failure ? "red " : "") + names[static_cast<int>(line)] + ": " + text);
    }
    void showEepromLine() override {
        std::lock_guard lock(mutex);
        eepromShown = true;
    }
    void setGauge(int percent) override {
        std::lock_guard lock(mutex);
        gauge.push_back(percent);
    }
    void finished() override {
        std::lock_guard lock(mutex);
        ++finishedCalls;
    }

    std::mutex mutex;
    std::vector<std::string> lines;
    std::vector<int> gauge;
    bool eepromShown = false;
    int finishedCalls = 0;
};

// A chip with a pattern in every area.
VirtualChip patternChip(int coreType) {
    VirtualChip c;
    c.coreType = coreType;
    for (std::size_t i = 0; i < c.program.size(); ++i)
        c.program[i] = static_cast<uint8_t>((i * 7 + 3) & 0x7F);
    for (std::size_t i = 0; i < c.id.size(); ++i) c.id[i] = static_cast<uint8_t>(0x30 + i);
    c.options = {0x1A, 0x7E, 0x05, 0x06, 0x11, 0x72, 0x13, 0x74};  // option byte 1 keeps bit 6: not protected
    for (std::size_t i = 0; i < c.special.size(); ++i) c.special[i] = static_cast<uint8_t>(0x40 + i);
    for (std::size_t i = 0; i < c.eeprom.size(); ++i) c.eeprom[i] = static_cast<uint8_t>(0xFF - i);
    if (coreType == 3) c.options[1] = 0x7F;
    return c;
}

class ReadIcTest : public ::testing::Test {
  protected:
    ReadIcTest() : box(std::make_shared<VirtualWriter>(clock)), tap(std::make_shared<test::TapPort>(box)) {
        st.ui = &ui;
        st.link.clock = &clock;
        st.link.portEntry = "virtual";
        st.link.portFactory = [this](const std::string&) { return tap; };
    }

    void select(const char* name) {
        ASSERT_TRUE(selectDevice(st, name));
        box->insertChipFor(st.device);
        box->setChip(patternChip(st.device.coreType));
        ui.log.clear();
    }

    // The command as the window runs it: port, then the worker (the views are refreshed by endReadIc).
    ReadIcOutcome read() {
        if (!beginReadIc(st)) return ReadIcOutcome::Failed;
        ReadIcOutcome outcome;
        {
            ReadIcWorker worker(readIcJob(st), view);
            worker.start();
            outcome = worker.wait();
        }
        return outcome;
    }

    std::vector<std::string> lines() {
        std::lock_guard lock(view.mutex);
        return view.lines;
    }

    FakeClock clock;  // the time-outs count on it: they take no real time
    std::shared_ptr<VirtualWriter> box;
    std::shared_ptr<test::TapPort> tap;
    MainState st;
    test::RecordingUi ui;
    RecordingReadView view;
};

TEST_F(ReadIcTest, ReadsEveryStageOfAProgrammedChip) {
    select("QZR-D01");  // 2048 words, 256 EEPROM bytes
    const VirtualChip chip = box->chip();
    st.image.eepromArea()[300] = 0x55;  // beyond the device's EEPROM: left alone

    EXPECT_EQ(read(), ReadIcOutcome::Done);
    EXPECT_TRUE(st.icReadDone);
    EXPECT_EQ(lines(), (std::vector<std::string>{"Label2: Read ID and Checksum OK", "Label1: Read OPTION OK",
                                                 "Label3: Read Data OK", "EEInfo: Read EEPROM OK"}));
    EXPECT_TRUE(view.eepromShown);
    EXPECT_EQ(view.finishedCalls, 1);

    for (std::size_t i = 0; i < 32; ++i) EXPECT_EQ(st.image.idArea()[i], chip.id[i]) << i;
    EXPECT_EQ(st.optionBytes, (std::array<uint8_t, 4>{0x1A, 0x7E, 0x05, 0x06}));
    EXPECT_EQ(st.options.readOptionBytes, (std::array<uint8_t, 4>{0x11, 0x72, 0x13, 0x74}));
    for (std::size_t i = 0; i < 8; ++i) {
        EXPECT_EQ(st.image.auxArea()[i], chip.special[i]);
        EXPECT_EQ(st.image.auxArea()[8 + i], chip.special[32 + i]);
    }
    const std::size_t d = static_cast<std::size_t>(st.device.programByteCount);
    for (std::size_t i = 0; i < d; ++i) ASSERT_EQ(st.image.programArea()[i], chip.program[i]) << i;
    EXPECT_EQ(st.image.programArea()[d], 0x7F);  // the program area beyond the device is not touched
    for (std::size_t i = 0; i < 256; ++i) ASSERT_EQ(st.image.eepromByte(i), chip.eeprom[i]) << i;
    EXPECT_EQ(st.image.eepromByte(300), 0x55);

    // Headers: ID, options and auxiliary words with the continuation bit, program memory and EEPROM without.
    std::vector<std::pair<int, bool>> seen;
    for (const auto& ex : box->exchanges()) seen.emplace_back(ex.area, ex.continuation);
    EXPECT_EQ(seen,
              (std::vector<std::pair<int, bool>>{{2, true}, {1, true}, {5, true}, {0, false}, {3, false}}));

    // The gauge starts at 0, only rises, and ends at 100.
    ASSERT_FALSE(view.gauge.empty());
    EXPECT_EQ(view.gauge.front(), 0);
    EXPECT_EQ(view.gauge.back(), 100);
    EXPECT_TRUE(std::is_sorted(view.gauge.begin(), view.gauge.end()));
    EXPECT_EQ(std::adjacent_find(view.gauge.begin(), view.gauge.end()), view.gauge.end());
}

TEST_F(ReadIcTest, CoreType3KeepsFourBitsInEveryHighHalfAndSkipsTheEeprom) {
    select("QZR-D59");  // 512 words of 11 bits, no EEPROM
    VirtualChip chip = box->chip();
    for (std::size_t i = 1; i < chip.program.size(); i += 2) chip.program[i] = 0x7A;
    box->setChip(chip);

    EXPECT_EQ(read(), ReadIcOutcome::Done);
    EXPECT_EQ(lines(), (std::vector<std::string>{"Label2: Read ID and Checksum OK", "Label1: Read OPTION OK",
                                                 "Label3: Read Data OK"}));
    EXPECT_FALSE(view.eepromShown);
    EXPECT_EQ(st.image.programWord(0), (Word{chip.program[0], 0x0A}));
    EXPECT_EQ(st.image.programWord(511), (Word{chip.program[1022], 0x0A}));
    for (std::size_t i = 1; i < 32; i += 2) EXPECT_EQ(st.image.idArea()[i], chip.id[i] & 0x0F);
    EXPECT_EQ(st.optionBytes[1], 0x0F);
    EXPECT_EQ(st.options.readOptionBytes[1], 0x72 & 0x0F);
    EXPECT_EQ(st.image.auxArea()[9], chip.special[33] & 0x0F);
}

TEST_F(ReadIcTest, ShortProgramStreamKeepsTheEarlierStagesAndTheOldProgram) {
    select("QZR-D01");
    st.image.setProgramWord(0, Word{0x11, 0x22});
    // The chip's program stream loses two data bytes.
    tap->onHeader = [this](const std::array<uint8_t, 10>& h) {
        tap->transform = nullptr;
        if (test::TapPort::isProgramRead(h)) {
            tap->transform = [](int index, uint8_t b) {
                return index == 5 || index == 6 ? std::vector<uint8_t>{} : std::vector<uint8_t>{b};
            };
        }
    };

    EXPECT_EQ(read(), ReadIcOutcome::Failed);
    EXPECT_FALSE(st.icReadDone);
    EXPECT_EQ(lines(), (std::vector<std::string>{"Label2: Read ID and Checksum OK", "Label1: Read OPTION OK",
                                                 "red Label3: Read error!!"}));
    EXPECT_EQ(view.finishedCalls, 1);
    EXPECT_EQ(st.image.idArea()[0], box->chip().id[0]);
    EXPECT_EQ(st.optionBytes[0], 0x1A);
    EXPECT_EQ(st.image.programWord(0), (Word{0x11, 0x22}));
    EXPECT_NE(view.gauge.back(), 100);
    // Nothing after the failed stage: no EEPROM read.
    EXPECT_EQ(box->exchanges().back().area, 0);
    EXPECT_FALSE(view.eepromShown);
}

TEST_F(ReadIcTest, BytesWithBit7InTheProgramStreamAreSkipped) {
    select("QZR-D01");
    tap->onHeader = [this](const std::array<uint8_t, 10>& h) {
        tap->transform = nullptr;
        if (test::TapPort::isProgramRead(h)) {
            tap->transform = [](int index, uint8_t b) {
                if (index == 3) return std::vector<uint8_t>{0x90, b, 0xB5};
                return std::vector<uint8_t>{b};
            };
        }
    };
    EXPECT_EQ(read(), ReadIcOutcome::Done);
    EXPECT_EQ(lines()[2], "Label3: Read Data OK");
    const VirtualChip chip = box->chip();
    for (std::size_t i = 0; i < 8; ++i) EXPECT_EQ(st.image.programArea()[i], chip.program[i]) << i;
}

TEST_F(ReadIcTest, SurplusProgramBytesBeforeTheEndByteAreDroppedUpToWhatTheBufferHolds) {
    select("QZR-D59");
    const int d = st.device.programByteCount;
    // Up to 11 extra data bytes are kept in the buffer and not used; one more and the stream is no
    // program memory, so the read cannot go on for ever on a line that keeps sending.
    for (const int extra : {11, 12}) {
        st.icReadDone = false;
        box->insertChipFor(st.device);
        tap->onHeader = [this, d, extra](const std::array<uint8_t, 10>& h) {
            tap->transform = nullptr;
            if (test::TapPort::isProgramRead(h)) {
                tap->transform = [d, extra](int index, uint8_t b) {
                    std::vector<uint8_t> out;
                    if (index == d) out.assign(static_cast<std::size_t>(extra), 0x01);
                    out.push_back(b);
                    return out;
                };
            }
        };
        if (extra == 11) {
            EXPECT_EQ(read(), ReadIcOutcome::Done);
            EXPECT_TRUE(st.icReadDone);
            EXPECT_EQ(st.image.programArea()[static_cast<std::size_t>(d)], 0x7F);
        } else {
            EXPECT_EQ(read(), ReadIcOutcome::Failed);
            EXPECT_FALSE(st.icReadDone);
            EXPECT_EQ(lines().back(), "red Label3: Read error!!");
        }
    }
    // So does a line that sends nothing but skipped bytes.
    tap->onHeader = [this](const std::array<uint8_t, 10>& h) {
        tap->transform = nullptr;
        if (test::TapPort::isProgramRead(h)) {
            tap->transform = [](int, uint8_t) { return std::vector<uint8_t>(300, 0x90); };
        }
    };
    EXPECT_EQ(read(), ReadIcOutcome::Failed);
    EXPECT_EQ(lines().back(), "red Label3: Read error!!");
}

TEST_F(ReadIcTest, EveryByteOfTheIdReadIsKeptSoEveryByteMustCome) {
    select("QZR-D01");
    // The end byte in place of the last of the 32 ID bytes: the protocol would let it pass, but the
    // ID area would keep a byte of the exchange before.
    tap->onHeader = [this](const std::array<uint8_t, 10>& h) {
        tap->transform = nullptr;
        if (h[5] == kAreaId) {
            tap->transform = [](int index, uint8_t b) {
                return std::vector<uint8_t>{index == 31 ? uint8_t{0xB8} : b};
            };
        }
    };
    EXPECT_EQ(read(), ReadIcOutcome::Failed);
    EXPECT_EQ(lines(), std::vector<std::string>{"red Label2: Writer Error!!"});
}

TEST_F(ReadIcTest, AStopRequestBetweenStagesSendsNothingMore) {
    select("QZR-D01");
    // The window is closed as the ID stage ends.
    struct StopView final : ReadIcView {
        ReadIcWorker* worker = nullptr;
        void showLine(ReadIcLine, const std::string& text, bool) override {
            if (text == read_text::kIdOk) worker->requestStop();
        }
    } stopView;
    ASSERT_TRUE(beginReadIc(st));
    box->clearRecord();
    ReadIcWorker worker(readIcJob(st), stopView);
    stopView.worker = &worker;
    worker.start();
    EXPECT_EQ(worker.wait(), ReadIcOutcome::Stopped);
    EXPECT_EQ(box->exchanges().size(), 1u);  // the ID read only
    EXPECT_FALSE(st.icReadDone);
}

TEST_F(ReadIcTest, AnswersOfTheChipAreWordedPerStage) {
    struct Case {
        VirtualWriter::Faults faults;
        std::vector<std::string> lines;
    };
    VirtualWriter::Faults noChip;
    noChip.noChip = true;
    VirtualWriter::Faults adapter;
    adapter.adapterError = true;
    const Case cases[] = {
        {noChip, {"red Label2: Nothing in socket or type error!!"}},
        {adapter, {"red Label2: IC adapter board error!!"}},
    };
    for (const Case& c : cases) {
        view.lines.clear();
        select("QZR-D01");
        box->setFaults(c.faults);
        EXPECT_EQ(read(), ReadIcOutcome::Failed);
        EXPECT_EQ(lines(), c.lines);
        box->setFaults({});
    }
}

TEST_F(ReadIcTest, FailuresOfTheLaterReadsGoToTheirLines) {
    // The answer to the header of one area is replaced; the table gives the line and text for each.
    struct Case {
        uint8_t area;
        uint8_t reply;
        std::string last;
    };
    const Case cases[] = {
        {1, 0xFE, "red Label1: Nothing in socket or type error!!"},
        {1, 0xFD, "red Label1: IC adapter board error!!"},
        {1, 0x90, "red Label2: Writer Error!!"},
        {5, 0xFE, "red Label1: Nothing in socket or type error!!"},
        {5, 0x90, "red Label2: Writer Error!!"},
        {0, 0xFD, "red Label3: IC adapter board error!!"},
        {0, 0xFE, "red Label3: Nothing in socket or type error!!"},
        {3, 0x01, "red EEInfo: Writer Error!!"},  // a data byte where the end byte belongs
    };
    for (const Case& c : cases) {
        view.lines.clear();
        select("QZR-D01");
        const int afterBytes = c.area == 3 ? 256 : 0;
        tap->onHeader = [this, c, afterBytes](const std::array<uint8_t, 10>& h) {
            tap->transform = nullptr;
            if (h[5] == c.area) {
                tap->transform = [c, afterBytes](int index, uint8_t b) {
                    return index == afterBytes ? std::vector<uint8_t>{c.reply} : std::vector<uint8_t>{b};
                };
            }
        };
        EXPECT_EQ(read(), ReadIcOutcome::Failed) << int(c.area);
        ASSERT_FALSE(lines().empty());
        EXPECT_EQ(lines().back(), c.last) << int(c.area);
        // Only an EEPROM failure comes after a complete program read.
        EXPECT_EQ(st.icReadDone, c.area == 3);
    }
}

TEST_F(ReadIcTest, WithoutDeviceOrWithTheWrongWriterNothingIsRead) {
    st.device.deviceIndex = -1;
    EXPECT_EQ(read(), ReadIcOutcome::Failed);
    EXPECT_EQ(lines(), std::vector<std::string>{"red Label1: Unknow IC Type!!"});
    EXPECT_EQ(view.finishedCalls, 1);
    EXPECT_EQ(box->probeCount(), 0);

    view.lines.clear();
    select("QZR-D01");  // a class-2 device
    box->setKind(VirtualWriter::Kind::Class1);
    EXPECT_EQ(read(), ReadIcOutcome::Failed);
    EXPECT_EQ(lines(), std::vector<std::string>{"red Label1: Writer type is error!"});
    EXPECT_TRUE(box->exchanges().empty());
}

TEST_F(ReadIcTest, SilentProgramStreamTimesOutOnTheTimerCount) {
    select("QZR-D59");
    tap->onHeader = [this](const std::array<uint8_t, 10>& h) {
        tap->transform = nullptr;
        if (test::TapPort::isProgramRead(h)) {
            tap->transform = [](int index, uint8_t b) {
                return index < 100 ? std::vector<uint8_t>{b} : std::vector<uint8_t>{};
            };
        }
    };
    EXPECT_EQ(read(), ReadIcOutcome::Failed);
    EXPECT_EQ(lines().back(), "red Label3: Connect Timeout!! (6)");
}

TEST_F(ReadIcTest, CtsThatNeverComesForTheProgramHeaderTimesOut) {
    select("QZR-D59");
    tap->onHeader = [this](const std::array<uint8_t, 10>& h) {
        if (h[5] == kAreaSpecial) tap->ctsOff = true;  // from the header after the auxiliary words
    };
    EXPECT_EQ(read(), ReadIcOutcome::Failed);
    EXPECT_EQ(lines().back(), "red Label3: Connect Timeout!! (5)");
}

TEST_F(ReadIcTest, StopRequestEndsASilentReadWithoutTextOrFurtherExchanges) {
    select("QZR-D01");
    ASSERT_TRUE(beginReadIc(st));
    ReadIcWorker* running = nullptr;
    // The program stream falls silent after 10 bytes, and the window is closed then.
    tap->onHeader = [this, &running](const std::array<uint8_t, 10>& h) {
        tap->transform = nullptr;
        if (test::TapPort::isProgramRead(h)) {
            tap->transform = [&running](int index, uint8_t b) {
                if (index == 10) running->requestStop();
                return index < 10 ? std::vector<uint8_t>{b} : std::vector<uint8_t>{};
            };
        }
    };
    ReadIcWorker worker(readIcJob(st), view);
    running = &worker;
    worker.start();
    EXPECT_EQ(worker.wait(), ReadIcOutcome::Stopped);
    EXPECT_TRUE(worker.finished());
    EXPECT_EQ(lines(),
              (std::vector<std::string>{"Label2: Read ID and Checksum OK", "Label1: Read OPTION OK"}));
    EXPECT_EQ(box->exchanges().size(), 4u);
    EXPECT_FALSE(st.icReadDone);
    // The port is free again: the next read runs to the end.
    tap->onHeader = nullptr;
    tap->transform = nullptr;
    view.lines.clear();
    EXPECT_EQ(read(), ReadIcOutcome::Done);
}

TEST_F(ReadIcTest, StopDuringAnExchangeOfTheProtocolEndsAtOnce) {
    select("QZR-D01");
    ASSERT_TRUE(beginReadIc(st));
    ReadIcWorker* running = nullptr;
    // The ID read gets no answer, and the window is closed meanwhile.
    tap->onHeader = [this, &running](const std::array<uint8_t, 10>& h) {
        tap->transform = nullptr;
        if (h[5] == kAreaId) {
            tap->transform = [&running](int, uint8_t) {
                running->requestStop();
                return std::vector<uint8_t>{};
            };
        }
    };
    ReadIcWorker worker(readIcJob(st), view);
    running = &worker;
    worker.start();
    EXPECT_EQ(worker.wait(), ReadIcOutcome::Stopped);
    EXPECT_TRUE(lines().empty());
    EXPECT_EQ(box->exchanges().size(), 1u);
}

TEST_F(ReadIcTest, ACompleteReadRebuildsTheViewsAndClosesTheDisassembly) {
    struct Hooks final : ViewHooks {
        void recreateIdWindow() override { calls.push_back("id"); }
        void recreateProgramWindow() override { calls.push_back("program"); }
        void recreateEepromWindow(bool exists) override { calls.push_back(exists ? "eeprom" : "no eeprom"); }
        void closeDisassembly() override { calls.push_back("disassembly"); }
        std::vector<std::string> calls;
    } hooks;
    select("QZR-D01");
    st.views = &hooks;
    st.disassemblyOpen = true;
    EXPECT_EQ(read(), ReadIcOutcome::Done);
    endReadIc(st);
    EXPECT_EQ(hooks.calls, (std::vector<std::string>{"id", "program", "eeprom", "disassembly"}));
    EXPECT_FALSE(st.disassemblyOpen);

    // A failed read refreshes nothing.
    hooks.calls.clear();
    st.disassemblyOpen = true;
    box->setFaults([] {
        VirtualWriter::Faults f;
        f.noChip = true;
        return f;
    }());
    EXPECT_EQ(read(), ReadIcOutcome::Failed);
    endReadIc(st);
    EXPECT_TRUE(hooks.calls.empty());
    EXPECT_TRUE(st.disassemblyOpen);
}

TEST_F(ReadIcTest, ASerialPortErrorReachesTheWaitingThread) {
    select("QZR-D01");
    ASSERT_TRUE(beginReadIc(st));
    tap->onHeader = [this](const std::array<uint8_t, 10>& h) {
        if (test::TapPort::isProgramRead(h)) tap->failReads = true;
    };
    ReadIcWorker worker(readIcJob(st), view);
    worker.start();
    EXPECT_THROW(worker.wait(), ECommError);
    EXPECT_EQ(view.finishedCalls, 1);  // the window can be closed
    EXPECT_FALSE(st.icReadDone);
}

TEST(ReadIcTimer, CountsTicksOnlyWhileRunning) {
    FakeClock clock(5900);
    ReadIcTimer timer(clock);
    clock.advanceTicks(300);
    EXPECT_EQ(timer.count(), 0);
    timer.start();
    // A full second per count, across the wrap of the minute.
    clock.advanceTicks(99);
    EXPECT_EQ(timer.count(), 0);
    clock.advanceTicks(1);
    EXPECT_EQ(timer.count(), 1);
    // A reset clears the count but keeps the interval running; a start begins a new one.
    clock.advanceTicks(50);
    timer.reset();
    clock.advanceTicks(50);
    EXPECT_EQ(timer.count(), 1);
    timer.start();
    clock.advanceTicks(99);
    EXPECT_EQ(timer.count(), 1);
    timer.stop();
    clock.advanceTicks(500);
    EXPECT_EQ(timer.count(), 1);
}

}  // namespace
}  // namespace qzr
