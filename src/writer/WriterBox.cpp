#include "writer/WriterBox.h"

#include <algorithm>

#include "device/DeviceCatalogue.h"
#include "writer/WriterProtocol.h"

namespace qzr {

namespace {

// A command left unfinished for this many ticks is forgotten.
constexpr int kCommandTimeoutTicks = 50;

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
    if (area == kAreaProgram || area == kAreaEeprom) return twoBytesPerHandshake(idText_, version);
    return writeDataPairMode(idText_, version);
}

void WriterBox::receive(uint8_t b) {
    // A command left unfinished for half a second is forgotten, as the box's own time-out does.
    const int now = clock_.clockTicks();
    if (rx_ != Rx::Idle && ticksSince(lastRxTick_, now) > kCommandTimeoutTicks) rx_ = Rx::Idle;
    lastRxTick_ = now;
    switch (rx_) {
        case Rx::Idle:
            if (b == wb::kProbe) {
                ++probes_;
                reply(kind_ == Kind::Class1   ? wb::kClass1
                      : kind_ == Kind::Class2 ? wb::kClass2
                                              : wb::kIdentifying);
            } else if (b == wb::kIdRequest) {
                ++idRequests_;
                if (kind_ == Kind::Identifying) {
                    for (char c : idText_) reply(static_cast<uint8_t>(c) & 0x7F);
                    reply(wb::kDone);
                }
            } else if (b == wb::kHeaderStart) {
                rx_ = Rx::Header;
                rxBuf_.assign(1, b);
            } else if (b == wb::kDownloadStart) {
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
    ex.command = ex.header[9] & 0xBF;
    ex.area = ex.header[5];
    ex.continuation = (ex.header[9] & 0x40) != 0;
    exchanges_.push_back(ex);

    if (faults_.noChip) return reply(wb::kNoChip);
    if (faults_.adapterError) return reply(wb::kAdapterError);

    const int words = ex.header[3] + 256 * ex.header[4] + 1;
    const uint8_t area = ex.area;
    switch (ex.command) {
        case 0xA5: {  // read
            if (area == kAreaEeprom) {
                for (int i = 0; i < words; ++i) {
                    reply(regionByte(chip_.eeprom.data(), chip_.eeprom.size(), static_cast<std::size_t>(i),
                                     0xFF));
                }
            } else {
                const bool guard = area == kAreaProgram && chip_.isProtected();
                const uint8_t highGuard = chip_.coreType == 3 ? 0x0F : 0x1F;
                for (int i = 0; i < 2 * words; ++i) {
                    const auto j = static_cast<std::size_t>(i);
                    uint8_t v = 0x7F;
                    if (area == kAreaProgram)
                        v = regionByte(chip_.program.data(), chip_.program.size(), j, 0x7F);
                    if (area == kAreaOption)
                        v = regionByte(chip_.options.data(), chip_.options.size(), j, 0x7F);
                    if (area == kAreaId) v = regionByte(chip_.id.data(), chip_.id.size(), j, 0x7F);
                    if (area == kAreaSpecial)
                        v = regionByte(chip_.special.data(), chip_.special.size(), j, 0x7F);
                    if (guard) v |= (i % 2 == 0) ? 0x1F : highGuard;
                    reply(v & 0x7F);
                }
            }
            return reply(wb::kDone);
        }
        case 0xA6:
        case 0xA7:  // program
            rx_ = Rx::Program;
            progArea_ = area;
            progTotal_ = 2 * words;
            progReceived_ = 0;
            progUnit_ = pairsInStream(area) ? 2 : 1;
            unitFill_ = 0;
            unitBad_ = false;
            return reply(wb::kReady);
        case 0xA8:  // erase
            if (chip_.flash) {
                chip_.program.fill(0x7F);
                chip_.id.fill(0x7F);
                chip_.options.fill(0x7F);
                chip_.special.fill(0x7F);
            }
            return reply(wb::kDone);
        default:
            return reply(wb::kProgramFail);
    }
}

void WriterBox::downloadDone() {
    rx_ = Rx::Idle;
    std::array<uint8_t, 32> record{};
    std::copy_n(rxBuf_.begin(), 32, record.begin());
    unsigned sum = 0;
    for (int i = 1; i <= 30; ++i) sum += record[i];
    if ((sum & 0xFF) != record[31]) return reply(wb::kProgramFail);
    downloads_.push_back(record);
    reply(wb::kDone);
}

void WriterBox::programByte(uint8_t b) {
    const int j = progReceived_++;
    const auto uj = static_cast<std::size_t>(j);
    if (!exchanges_.empty()) ++exchanges_.back().dataBytes;
    switch (progArea_) {
        case kAreaProgram:
            if (uj < chip_.program.size()) chip_.program[uj] &= b;
            break;
        case kAreaOption:
            if (uj < chip_.options.size()) chip_.options[uj] &= b;
            break;
        case kAreaId:
            if (uj < chip_.id.size()) chip_.id[uj] &= b;
            break;
        case kAreaSpecial:
            if (uj < chip_.special.size()) chip_.special[uj] &= b;
            break;
        case kAreaEeprom:
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
        return reply(wb::kProgramFail);
    }
    if (progReceived_ >= progTotal_) {
        rx_ = Rx::Idle;
        return reply(wb::kProgramDone);
    }
    reply(wb::kReady);
}

}  // namespace qzr
