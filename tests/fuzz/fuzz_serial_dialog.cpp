// The serial-number dialog driven as a user would: fields typed and left in any order, then OK. Typed
// fields hold only what they take; a left field holds its corrected form; an accepted OK leaves settings
// that fit the device and a number placed whole, and the dialog filled from them gives the same settings.
#include "FuzzSupport.h"
#include "app/DeviceCommands.h"
#include "app/MainState.h"
#include "app/SerialNumberCommands.h"
#include "core/serial_number/SerialNumber.h"

using namespace qzr;

namespace {

constexpr SerialField kFields[] = {SerialField::StartAddress, SerialField::NoOfByte, SerialField::StartValue,
                                   SerialField::Increment, SerialField::NoOfPart};

void checkTyped(const SerialNoFields& f, SerialField field) {
    const std::string& t = fieldText(f, field);
    if (field != SerialField::StartValue) FUZZ_CHECK(t.size() <= serialFieldMaxLength(f, field));
    for (char c : t) {
        FUZZ_CHECK(serialFieldAccepts(field, c));
        FUZZ_CHECK(!(c >= 'a' && c <= 'z'));
    }
}

void checkAccepted(const MainState& st) {
    const SerialNumberState& s = st.serial;
    FUZZ_CHECK(s.serialMode);
    const int n = s.wordCount;
    FUZZ_CHECK(n >= 1 && n <= kMaxSerialBytes);
    FUZZ_CHECK(s.increment >= 1 && s.increment <= 255);
    const bool eeprom = s.target == SerialTarget::Eeprom;
    FUZZ_CHECK(s.startAddress + static_cast<uint32_t>(n) <=
               (eeprom ? serialEepromCapacity(st.device) : serialProgramCapacity(st.device)));
    for (int i = 0; i < n; ++i) {
        const uint8_t placed =
            s.number[static_cast<std::size_t>(s.byteOrder == SerialByteOrder::MsbFirst ? n - 1 - i : i)];
        const uint32_t at = s.startAddress + static_cast<uint32_t>(i);
        if (eeprom) {
            FUZZ_CHECK(st.image.eepromByte(at) == placed);
        } else {
            const uint16_t w = wordValue(st.image.programWord(at));
            FUZZ_CHECK((w & 0xFF) == placed && (w >> 8) == 0x31);
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    static MainState st;
    fuzz::Input in(data, size);
    const auto devices = deviceTable();
    const DeviceRecord& device = devices[in.byte() % devices.size()];
    static SilentUserInterface silent;
    st.ui = &silent;
    if (st.deviceListText != device.name) selectDevice(st, device.name);
    st.serial = SerialNumberState{};
    // A table of RTWI words somewhere in program memory, as the user's firmware would hold it.
    const uint32_t words = serialProgramCapacity(st.device);
    const uint32_t tableStart = in.word() % words;
    const uint32_t tableLength = in.byte() % 12;
    for (uint32_t a = 0; a < words; ++a) {
        const bool inTable = a >= tableStart && a < tableStart + tableLength;
        st.image.setProgramWord(
            a, inTable ? splitWord(0x3100 + (a & 0xFF)) : Word{0x7F, st.device.highByteMask});
    }

    fuzz::RecordingUi ui;
    st.ui = &ui;
    SerialNoFields fields = FillSerialNoFields(st.serial);
    const uint8_t choices = in.byte();
    fields.mode = static_cast<SerialKind>(choices & 1);
    fields.byteOrder = static_cast<SerialByteOrder>((choices >> 1) & 1);
    fields.target = static_cast<SerialTarget>((choices >> 2) & 1);

    bool leftLast = true;
    while (in.remaining() > 0) {
        const uint8_t action = in.byte();
        const SerialField field = kFields[(action & 0x7F) % 5];
        if ((action & 0x80) == 0) {
            TypeSerialField(fields, field, in.text(in.byte() % 24));
            checkTyped(fields, field);
            leftLast = false;
            continue;
        }
        if (in.byte() & 1) {
            leftLast = LeaveSerialField(fields, field, ui);
            if (!leftLast) continue;
            const std::string& t = fieldText(fields, field);
            if (field == SerialField::StartAddress) FUZZ_CHECK(t.size() >= 4);
            if (field == SerialField::Increment || field == SerialField::NoOfPart)
                FUZZ_CHECK(!t.empty() && t != "0" && t.find_first_not_of('0') != std::string::npos);
            if (field == SerialField::NoOfByte || field == SerialField::StartValue) {
                const int n = fields.noOfByte.size() == 1 ? fields.noOfByte[0] - '0' : 0;
                if (n >= 1 && n <= kMaxSerialBytes)
                    FUZZ_CHECK(fields.startValue.size() == static_cast<std::size_t>(2 * n));
            }
            continue;
        }
        // OK: the focus leaves the field first; a field that refuses to be left keeps the dialog open.
        if (!leftLast) continue;
        if (!BtnOKClick(st, fields)) {
            FUZZ_CHECK(!st.serial.serialMode);
            continue;
        }
        checkAccepted(st);
        // The dialog opened again on these settings and confirmed gives the same settings.
        const SerialNumberState accepted = st.serial;
        SerialNoFields again = FillSerialNoFields(st.serial);
        FUZZ_CHECK(BtnOKClick(st, again));
        FUZZ_CHECK(st.serial.wordCount == accepted.wordCount &&
                   st.serial.startAddress == accepted.startAddress);
        FUZZ_CHECK(st.serial.number == accepted.number && st.serial.increment == accepted.increment);
        FUZZ_CHECK(st.serial.mode == accepted.mode && st.serial.byteOrder == accepted.byteOrder &&
                   st.serial.target == accepted.target);
        fields = again;
    }
    return 0;
}
