// QTP files. Read: any content is read record by record without going back, and every number taken fits
// the device. Written: a file written from any settings reads back to the same numbers, then ends.
#include "FuzzSupport.h"
#include "app/DeviceCommands.h"
#include "app/MainState.h"
#include "core/serial_number/QtpFile.h"
#include "core/serial_number/SerialNumber.h"

using namespace qzr;

namespace {

MainState& stateFor(const DeviceRecord& device) {
    static MainState st;
    static SilentUserInterface silent;
    st.ui = &silent;
    if (st.deviceListText != device.name) selectDevice(st, device.name);
    return st;
}

void readAny(MainState& st, fuzz::Input& in) {
    st.serial = SerialNumberState{};
    st.serial.byteOrder = static_cast<SerialByteOrder>(in.byte() & 1);
    st.serial.qtpContent = std::string(in.rest());
    std::size_t offset = 0;
    for (int records = 0;; ++records) {
        FUZZ_CHECK(records <= 1 + static_cast<int>(st.serial.qtpContent.size()) / 11);
        fuzz::RecordingUi ui;
        st.ui = &ui;
        ReadSerialData(st.serial, st.device, *st.ui);
        FUZZ_CHECK(ui.log.size() <= 1);
        if (st.serial.qtpNoNumber) break;
        FUZZ_CHECK(ui.log.empty());
        FUZZ_CHECK(st.serial.qtpReadOffset > offset);
        offset = st.serial.qtpReadOffset;
        const int n = st.serial.wordCount;
        FUZZ_CHECK(n >= 1 && n <= kMaxSerialBytes);
        const uint32_t capacity = st.serial.target == SerialTarget::Eeprom ? serialEepromCapacity(st.device)
                                                                           : serialProgramCapacity(st.device);
        FUZZ_CHECK(st.serial.startAddress + static_cast<uint32_t>(n) <= capacity);
    }
}

void writeAndReadBack(MainState& st, fuzz::Input& in) {
    SerialNumberState s;
    s.wordCount = 1 + in.byte() % kMaxSerialBytes;
    for (uint8_t& b : s.number) b = in.byte();
    s.increment = 1 + in.byte() % 255;
    s.mode = static_cast<SerialKind>(in.byte() & 1);
    s.byteOrder = static_cast<SerialByteOrder>(in.byte() & 1);
    const bool eeprom =
        (in.byte() & 1) && serialEepromCapacity(st.device) >= static_cast<uint32_t>(s.wordCount);
    s.target = eeprom ? SerialTarget::Eeprom : SerialTarget::ProgramMemory;
    const uint32_t capacity = eeprom ? serialEepromCapacity(st.device) : serialProgramCapacity(st.device);
    s.startAddress = in.word() % (capacity - static_cast<uint32_t>(s.wordCount) + 1);
    const long parts = 1 + in.byte() % 40;

    SerialNumberState writer = s;
    const std::string file = buildQtpFile(writer, parts);

    st.serial = SerialNumberState{};
    st.serial.byteOrder = s.byteOrder;
    st.serial.qtpContent = file;
    fuzz::RecordingUi ui;
    st.ui = &ui;
    SerialNumberState expected = s;
    for (long k = 0; k < parts; ++k) {
        ReadSerialData(st.serial, st.device, *st.ui);
        FUZZ_CHECK(!st.serial.qtpNoNumber);
        FUZZ_CHECK(st.serial.wordCount == s.wordCount);
        FUZZ_CHECK(st.serial.startAddress == s.startAddress);
        FUZZ_CHECK(st.serial.target == s.target);
        for (int i = 0; i < s.wordCount; ++i)
            FUZZ_CHECK(st.serial.number[static_cast<std::size_t>(i)] ==
                       expected.number[static_cast<std::size_t>(i)]);
        SerialNoNext(expected);
    }
    ReadSerialData(st.serial, st.device, *st.ui);
    FUZZ_CHECK(st.serial.qtpNoNumber);
    FUZZ_CHECK(ui.log.empty());
    // The writer left the number after the last record.
    for (int i = 0; i < s.wordCount; ++i)
        FUZZ_CHECK(writer.number[static_cast<std::size_t>(i)] ==
                   expected.number[static_cast<std::size_t>(i)]);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    fuzz::Input in(data, size);
    const uint8_t choice = in.byte();
    const auto devices = deviceTable();
    MainState& st = stateFor(devices[in.byte() % devices.size()]);
    if (choice & 1) {
        writeAndReadBack(st, in);
    } else {
        readAny(st, in);
    }
    return 0;
}
