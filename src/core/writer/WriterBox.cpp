#include "core/writer/WriterBox.h"

#include <algorithm>

#include "core/device/DeviceCatalogue.h"
#include "core/writer/WriterProtocol.h"

namespace qzr {

namespace {

// A command left unfinished for this many ticks is forgotten.
constexpr int kCommandTimeoutTicks = 50;

// The box's own reading of the bytes, kept apart from the program's vocabulary on purpose: a mistake in
// one shows up against the other.
namespace in {
constexpr uint8_t kProbe = 0xA0;
constexpr uint8_t kIdRequest = 0xAD;
constexpr uint8_t kHeader = 0xA1;
constexpr uint8_t kDownload = 0xA9;
constexpr uint8_t kRead = 0xA5;
constexpr uint8_t kProgram = 0xA6;
constexpr uint8_t kProgramPulse = 0xA7;
constexpr uint8_t kErase = 0xA8;
constexpr uint8_t kMoreBit = 0x40;
}  // namespace in
namespace out {
constexpr uint8_t kProgramDone = 0xB0;
constexpr uint8_t kProgramFail = 0xB1;
constexpr uint8_t kClass1 = 0xB2;
constexpr uint8_t kClass2 = 0xB3;
constexpr uint8_t kIdentifying = 0xB4;
constexpr uint8_t kReady = 0xB5;
constexpr uint8_t kDone = 0xB8;
constexpr uint8_t kAdapterError = 0xFD;
constexpr uint8_t kNoChip = 0xFE;
}  // namespace out
// Header byte positions and areas.
namespace at {
constexpr std::size_t kCountLow = 3;
constexpr std::size_t kCountHigh = 4;
constexpr std::size_t kArea = 5;
constexpr std::size_t kCommand = 9;
}  // namespace at
namespace areas {
constexpr uint8_t kProgram = 0;
constexpr uint8_t kOption = 1;
constexpr uint8_t kId = 2;
constexpr uint8_t kEeprom = 3;
constexpr uint8_t kSpecial = 5;
}  // namespace areas

uint8_t regionByte(const uint8_t* data, std::size_t size, std::size_t i, uint8_t blank) {
    return i < size ? data[i] : blank;
}

}  // namespace

void VirtualChip::blank() {
    program.fill(0x7F);
    id.fill(0x7F);
    options.fill(0x7F);
    special.fill(0x7F);
    eeprom.fill(0xFF);
}

bool VirtualChip::isProtected() const {
    return (options[1] & (coreType == 3 ? 0x08 : 0x40)) == 0;
}

std::vector<uint8_t> WriterBox::takeAnswers() {
    std::vector<uint8_t> out;
    out.swap(answers_);
    return out;
}

void WriterBox::reset() {
    rx_ = Rx::Idle;
    rxBuf_.clear();
}

void WriterBox::insertChip(bool flash, int coreType) {
    chip_ = VirtualChip{};
    chip_.flash = flash;
    chip_.coreType = coreType;
}

void WriterBox::insertChipFor(const DeviceFields& device) {
    insertChip(device.isFlash(), device.coreType);
}

void WriterBox::clearRecord() {
    exchanges_.clear();
    downloads_.clear();
    probes_ = 0;
    idRequests_ = 0;
}

void WriterBox::reply(uint8_t b) {
    if (faults_.silenceAfter == 0) return;
    if (faults_.silenceAfter > 0) --faults_.silenceAfter;
    if (faults_.wrongReply >= 0) {
        b = static_cast<uint8_t>(faults_.wrongReply);
        faults_.wrongReply = -1;
    }
    answers_.push_back(b);
}

bool WriterBox::pairsInStream(uint8_t area) const {
    if (kind_ != Kind::Identifying) return false;
    const std::string version = versionFromIdText(idText_);
    if (area == areas::kProgram || area == areas::kEeprom) return twoBytesPerHandshake(idText_, version);
    return writeDataPairMode(idText_, version);
}

void WriterBox::receive(uint8_t b) {
    // A command left unfinished for half a second is forgotten, as the box's own time-out does.
    const int now = clock_.clockTicks();
    if (rx_ != Rx::Idle && ticksSince(lastRxTick_, now) > kCommandTimeoutTicks) rx_ = Rx::Idle;
    lastRxTick_ = now;
    switch (rx_) {
        case Rx::Idle:
            if (b == in::kProbe) {
                ++probes_;
                reply(kind_ == Kind::Class1   ? out::kClass1
                      : kind_ == Kind::Class2 ? out::kClass2
                                              : out::kIdentifying);
            } else if (b == in::kIdRequest) {
                ++idRequests_;
                if (kind_ == Kind::Identifying) {
                    for (char c : idText_) reply(static_cast<uint8_t>(c) & 0x7F);
                    reply(out::kDone);
                }
            } else if (b == in::kHeader) {
                rx_ = Rx::Header;
                rxBuf_.assign(1, b);
            } else if (b == in::kDownload) {
                rx_ = Rx::Download;
                rxBuf_.assign(1, b);
            }
            break;  // anything else is noise on the line
        case Rx::Header:
            rxBuf_.push_back(b);
            if (rxBuf_.size() == 10) headerDone();
            break;
        case Rx::Download:
            rxBuf_.push_back(b);
            if (rxBuf_.size() == 32) downloadDone();
            break;
        case Rx::Program:
            programByte(b);
            break;
    }
}

void WriterBox::headerDone() {
    rx_ = Rx::Idle;
    Exchange ex;
    std::copy_n(rxBuf_.begin(), 10, ex.header.begin());
    ex.command = ex.header[at::kCommand] & ~in::kMoreBit;
    ex.area = ex.header[at::kArea];
    ex.continuation = (ex.header[at::kCommand] & in::kMoreBit) != 0;
    if (exchanges_.size() >= 2 * kExchangeRecord)
        exchanges_.erase(exchanges_.begin(),
                         exchanges_.begin() + static_cast<std::ptrdiff_t>(kExchangeRecord));
    exchanges_.push_back(ex);

    if (faults_.noChip) return reply(out::kNoChip);
    if (faults_.adapterError) return reply(out::kAdapterError);

    const int words = ex.header[at::kCountLow] + 256 * ex.header[at::kCountHigh] + 1;
    const uint8_t area = ex.area;
    switch (ex.command) {
        case in::kRead: {
            if (area == areas::kEeprom) {
                for (int i = 0; i < words; ++i) {
                    reply(regionByte(chip_.eeprom.data(), chip_.eeprom.size(), static_cast<std::size_t>(i),
                                     0xFF));
                }
            } else {
                const bool guard = area == areas::kProgram && chip_.isProtected();
                const uint8_t highGuard = chip_.coreType == 3 ? 0x0F : 0x1F;
                for (int i = 0; i < 2 * words; ++i) {
                    const auto j = static_cast<std::size_t>(i);
                    uint8_t v = 0x7F;
                    if (area == areas::kProgram)
                        v = regionByte(chip_.program.data(), chip_.program.size(), j, 0x7F);
                    if (area == areas::kOption)
                        v = regionByte(chip_.options.data(), chip_.options.size(), j, 0x7F);
                    if (area == areas::kId) v = regionByte(chip_.id.data(), chip_.id.size(), j, 0x7F);
                    if (area == areas::kSpecial)
                        v = regionByte(chip_.special.data(), chip_.special.size(), j, 0x7F);
                    if (guard) v |= (i % 2 == 0) ? 0x1F : highGuard;
                    reply(v & 0x7F);
                }
            }
            return reply(out::kDone);
        }
        case in::kProgram:
        case in::kProgramPulse:
            rx_ = Rx::Program;
            progArea_ = area;
            progTotal_ = 2 * words;
            progReceived_ = 0;
            progUnit_ = pairsInStream(area) ? 2 : 1;
            unitFill_ = 0;
            unitBad_ = false;
            return reply(out::kReady);
        case in::kErase:
            if (chip_.flash) {
                chip_.program.fill(0x7F);
                chip_.id.fill(0x7F);
                chip_.options.fill(0x7F);
                chip_.special.fill(0x7F);
            }
            return reply(out::kDone);
        default:
            return reply(out::kProgramFail);
    }
}

void WriterBox::downloadDone() {
    rx_ = Rx::Idle;
    std::array<uint8_t, 32> record{};
    std::copy_n(rxBuf_.begin(), 32, record.begin());
    unsigned sum = 0;
    for (int i = 1; i <= 30; ++i) sum += record[i];
    if ((sum & 0xFF) != record[31]) return reply(out::kProgramFail);
    downloads_.push_back(record);
    reply(out::kDone);
}

void WriterBox::programByte(uint8_t b) {
    const int j = progReceived_++;
    const auto uj = static_cast<std::size_t>(j);
    if (!exchanges_.empty()) ++exchanges_.back().dataBytes;
    switch (progArea_) {
        case areas::kProgram:
            if (uj < chip_.program.size()) chip_.program[uj] &= b;
            break;
        case areas::kOption:
            if (uj < chip_.options.size()) chip_.options[uj] &= b;
            break;
        case areas::kId:
            if (uj < chip_.id.size()) chip_.id[uj] &= b;
            break;
        case areas::kSpecial:
            if (uj < chip_.special.size()) chip_.special[uj] &= b;
            break;
        case areas::kEeprom:
            // (data, address) pairs; the address byte is the low 8 bits of the pair's position.
            if (j % 2 == 0) {
                eepromData_ = b;
            } else {
                const auto a = uj / 2;
                if (b != (a & 0xFF)) unitBad_ = true;
                if (a < chip_.eeprom.size()) chip_.eeprom[a] = eepromData_;
            }
            break;
        default:
            break;
    }
    if (faults_.failAtByte == j) unitBad_ = true;
    // One answer per unit (a byte, or a pair), and one after the last byte.
    if (++unitFill_ < progUnit_ && progReceived_ < progTotal_) return;
    unitFill_ = 0;
    if (unitBad_) {
        unitBad_ = false;
        rx_ = Rx::Idle;
        return reply(out::kProgramFail);
    }
    if (progReceived_ >= progTotal_) {
        rx_ = Rx::Idle;
        return reply(out::kProgramDone);
    }
    reply(out::kReady);
}

}  // namespace qzr
