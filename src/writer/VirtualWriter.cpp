#include "writer/VirtualWriter.h"

#include <algorithm>
#include <thread>

#include "device/DeviceCatalogue.h"
#include "writer/WriterProtocol.h"

namespace qzr {

namespace {

// One byte at 115200 bit/s with start and stop bits.
constexpr auto kByteTime = std::chrono::microseconds(87);
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

VirtualWriter::VirtualWriter(Clock& clock) : clock_(clock) {}

void VirtualWriter::SetDeviceName(const std::string& name) {
    std::lock_guard lock(mutex_);
    if (open_) throw ECommError("Port already assigned (open)", -1);
    deviceName_ = name;
}

std::string VirtualWriter::DeviceName() const {
    std::lock_guard lock(mutex_);
    return deviceName_;
}

void VirtualWriter::SetFlowControl(TFlowControl flow) {
    std::lock_guard lock(mutex_);
    flow_ = flow;
}

void VirtualWriter::Open() {
    std::lock_guard lock(mutex_);
    if (open_) throw ECommError("Port already assigned (open)", -1);
    if (faults_.openError != 0) {
        lastOpenError_ = faults_.openError;
        return;
    }
    open_ = true;
    lastOpenError_ = 0;
    ++openCount_;
}

void VirtualWriter::Close() {
    std::lock_guard lock(mutex_);
    open_ = false;
    pending_.clear();
    arrived_.clear();
    rx_ = Rx::Idle;
    rxBuf_.clear();
}

bool VirtualWriter::Enabled() const {
    std::lock_guard lock(mutex_);
    return open_;
}

int VirtualWriter::LastOpenError() const {
    std::lock_guard lock(mutex_);
    return lastOpenError_;
}

void VirtualWriter::PurgeIn() {
    std::lock_guard lock(mutex_);
    arrived_.clear();
}

void VirtualWriter::PurgeOut() {}

void VirtualWriter::promote() {
    const auto now = pacing_ ? std::chrono::steady_clock::now() : TimePoint{};
    while (!pending_.empty() && pending_.front().second <= now) {
        arrived_.push_back(pending_.front().first);
        pending_.pop_front();
    }
}

int VirtualWriter::Write(const uint8_t* buffer, int count) {
    std::lock_guard lock(mutex_);
    if (!open_) return -1;
    // Whatever the box said before has reached the line by now.
    promote();
    const auto now = pacing_ ? std::chrono::steady_clock::now() : TimePoint{};
    for (int i = 0; i < count; ++i) {
        if (pacing_) hostLineFreeAt_ = std::max(now, hostLineFreeAt_) + kByteTime;
        receive(buffer[i]);
    }
    return count;
}

int VirtualWriter::Read(uint8_t* buffer, int count) {
    std::lock_guard lock(mutex_);
    if (!open_) return 0;
    promote();
    int n = 0;
    while (n < count && !arrived_.empty()) {
        buffer[n++] = arrived_.front();
        arrived_.pop_front();
    }
    return n;
}

int VirtualWriter::InQueCount() {
    std::lock_guard lock(mutex_);
    if (!open_) return -1;
    promote();
    return static_cast<int>(arrived_.size());
}

bool VirtualWriter::Cts() {
    std::lock_guard lock(mutex_);
    return open_ && !faults_.ctsOff;
}

bool VirtualWriter::WaitForInput(int timeoutMs) {
    std::unique_lock lock(mutex_);
    if (open_) {
        promote();
        if (!arrived_.empty()) return true;
        if (!pending_.empty()) {
            // Paced: sleep until the next byte is on the line (or the time-out).
            const auto until = std::min(pending_.front().second, std::chrono::steady_clock::now() +
                                                                     std::chrono::milliseconds(timeoutMs));
            lock.unlock();
            std::this_thread::sleep_until(until);
            lock.lock();
            promote();
            return !arrived_.empty();
        }
    }
    lock.unlock();
    clock_.sleepFor(timeoutMs);
    return false;
}

void VirtualWriter::reply(uint8_t b) {
    if (faults_.silenceAfter == 0) return;
    if (faults_.silenceAfter > 0) --faults_.silenceAfter;
    if (faults_.wrongReply >= 0) {
        b = static_cast<uint8_t>(faults_.wrongReply);
        faults_.wrongReply = -1;
    }
    TimePoint at{};
    if (pacing_) {
        // After the byte being answered has arrived, and after the answers before it.
        at = std::max(hostLineFreeAt_, lineFreeAt_) + kByteTime;
        lineFreeAt_ = at;
    }
    pending_.emplace_back(b, at);
}

bool VirtualWriter::pairsInStream(uint8_t area) const {
    if (kind_ != Kind::Identifying) return false;
    const std::string version = versionFromIdText(idText_);
    if (area == kAreaProgram || area == kAreaEeprom) return twoBytesPerHandshake(idText_, version);
    return writeDataPairMode(idText_, version);
}

void VirtualWriter::receive(uint8_t b) {
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

void VirtualWriter::headerDone() {
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

void VirtualWriter::downloadDone() {
    rx_ = Rx::Idle;
    std::array<uint8_t, 32> record{};
    std::copy_n(rxBuf_.begin(), 32, record.begin());
    unsigned sum = 0;
    for (int i = 1; i <= 30; ++i) sum += record[i];
    if ((sum & 0xFF) != record[31]) return reply(wb::kProgramFail);
    downloads_.push_back(record);
    reply(wb::kDone);
}

void VirtualWriter::programByte(uint8_t b) {
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

void VirtualWriter::setKind(Kind kind) {
    std::lock_guard lock(mutex_);
    kind_ = kind;
}

void VirtualWriter::setIdText(const std::string& text) {
    std::lock_guard lock(mutex_);
    idText_ = text;
}

std::string VirtualWriter::idText() const {
    std::lock_guard lock(mutex_);
    return idText_;
}

void VirtualWriter::insertChip(bool flash, int coreType) {
    std::lock_guard lock(mutex_);
    chip_ = VirtualChip{};
    chip_.flash = flash;
    chip_.coreType = coreType;
}

void VirtualWriter::insertChipFor(const DeviceFields& device) {
    insertChip(device.isFlash(), device.coreType);
}

VirtualChip VirtualWriter::chip() const {
    std::lock_guard lock(mutex_);
    return chip_;
}

void VirtualWriter::setChip(const VirtualChip& chip) {
    std::lock_guard lock(mutex_);
    chip_ = chip;
}

void VirtualWriter::setFaults(const Faults& faults) {
    std::lock_guard lock(mutex_);
    faults_ = faults;
}

VirtualWriter::Faults VirtualWriter::faults() const {
    std::lock_guard lock(mutex_);
    return faults_;
}

void VirtualWriter::setLinePacing(bool on) {
    std::lock_guard lock(mutex_);
    pacing_ = on;
}

std::vector<VirtualWriter::Exchange> VirtualWriter::exchanges() const {
    std::lock_guard lock(mutex_);
    return exchanges_;
}

std::vector<std::array<uint8_t, 32>> VirtualWriter::downloads() const {
    std::lock_guard lock(mutex_);
    return downloads_;
}

int VirtualWriter::probeCount() const {
    std::lock_guard lock(mutex_);
    return probes_;
}

int VirtualWriter::idRequestCount() const {
    std::lock_guard lock(mutex_);
    return idRequests_;
}

int VirtualWriter::openCount() const {
    std::lock_guard lock(mutex_);
    return openCount_;
}

TFlowControl VirtualWriter::flowControl() const {
    std::lock_guard lock(mutex_);
    return flow_;
}

void VirtualWriter::clearRecord() {
    std::lock_guard lock(mutex_);
    exchanges_.clear();
    downloads_.clear();
    probes_ = 0;
    idRequests_ = 0;
}

}  // namespace qzr
