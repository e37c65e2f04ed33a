#include "core/writer/Download.h"

#include <algorithm>

#include "core/common/UserInterface.h"
#include "core/image/MemoryImage.h"
#include "core/writer/LinkState.h"
#include "core/writer/WriterProtocol.h"

namespace qzr {

namespace {

// The sequence number of the record that opens a download.
constexpr uint8_t kStartSequence = 0xFF;

void sealRecord(DownloadRecord& r) {
    r[30] = 2;
    unsigned sum = 0;
    for (std::size_t i = 1; i <= 30; ++i) sum += r[i];
    r[31] = static_cast<uint8_t>(sum & 0xFF);
}

}  // namespace

DownloadRecord downloadStartRecord() {
    DownloadRecord r{};
    r[0] = wb::kDownloadStart;
    r[1] = kStartSequence;
    sealRecord(r);
    return r;
}

DownloadRecord downloadDeviceRecord(const DeviceFields& d, uint8_t sequence) {
    DownloadRecord r{};
    r[0] = wb::kDownloadStart;
    r[1] = sequence;
    for (std::size_t i = 0; i < kDownloadNameBytes; ++i) {
        r[2 + i] = i < d.deviceName.size() ? static_cast<uint8_t>(d.deviceName[i]) : 0x20;
    }
    r[18] = static_cast<uint8_t>(d.romLastAddress >> 8);
    r[19] = static_cast<uint8_t>(d.eepromLastAddress >> 8);
    r[20] = d.algorithmCode;
    r[21] = d.modeBits;
    r[22] = d.writerParam;
    r[23] = d.deviceFlags;
    r[24] = static_cast<uint8_t>(d.coreType);
    r[25] = static_cast<uint8_t>(d.eepromLastAddress & 0xFF);
    r[26] = static_cast<uint8_t>(d.optionByteCount / 2 - 1);
    sealRecord(r);
    return r;
}

namespace download_text {
std::string writerError(int stage, int code) {
    return "Writer Error (" + std::to_string(stage) + ", " + std::to_string(code) + ")!!";
}
}  // namespace download_text

DeviceSelection::DeviceSelection() {
    for (int i = 0;; ++i) {
        std::string n = GetIcName(i);
        if (n.empty()) break;
        names_.push_back(std::move(n));
    }
    checked_.assign(names_.size(), false);
}

bool DeviceSelection::isChecked(int row) const {
    return row >= 0 && row < rowCount() && checked_[static_cast<std::size_t>(row)];
}

bool DeviceSelection::clickCheck(int row, bool checked, UserInterface& ui) {
    if (row < 0 || row >= rowCount()) return false;
    const auto r = static_cast<std::size_t>(row);
    if (checked_[r] == checked) return checked;
    if (!checked) {
        checked_[r] = false;
        --checkedCount_;
        return false;
    }
    if (checkedCount_ >= kMaxDownloadDevices) {
        ui.message(download_text::kAlreadySixteen);
        return false;
    }
    checked_[r] = true;
    ++checkedCount_;
    return true;
}

void DeviceSelection::clear() {
    std::fill(checked_.begin(), checked_.end(), false);
    checkedCount_ = 0;
}

void DeviceSelection::selectDefault() {
    int n = 0;
    for (int i = 0; i < rowCount(); ++i) {
        const bool offer = GetDownload(i) == 1 && n < kMaxDownloadDevices;
        checked_[static_cast<std::size_t>(i)] = offer;
        if (offer) ++n;
    }
    checkedCount_ = n;
}

namespace {

// Sends one record from the command header area; true when the writer acknowledged it with 0xB8.
bool sendRecord(WriterLink& writer, UserInterface& ui, const DownloadRecord& record, int stage) {
    std::copy(record.begin(), record.end(), writer.image().headerArea().begin());
    const LinkResult r = writer.SendHeader(static_cast<int>(kDownloadRecordBytes));
    if (r == lrDone) return true;
    if (r == lrStopped) return false;
    ui.message(r == lrTimeout ? std::string(download_text::kConnectTimeout)
                              : download_text::writerError(stage, static_cast<int>(r)));
    return false;
}

}  // namespace

bool downloadDevices(WriterLink& writer, const DeviceFields& device, UserInterface& ui, ViewHooks& views,
                     const DeviceSelection& selection, DownloadView& view) {
    const LinkState& link = writer.linkState();
    const LinkResult check = writer.CheckWriter(device, ui, views);
    if (check == lrStopped) return false;
    if (check == lrWrongWriter) {
        ui.message(download_text::writerError(1, static_cast<int>(check)));
        return false;
    }
    if (check == lrTimeout) {
        ui.message(download_text::kConnectTimeout);
        return false;
    }
    if (!isModelHrp021A(link.writerIdText)) {
        ui.message(download_text::kNotSupported);
        return false;
    }
    if (compareVersion(link.writerVersion, "V3.09") < 0) {
        ui.message(download_text::kUpdateFirmware);
        return false;
    }
    if (!sendRecord(writer, ui, downloadStartRecord(), 2)) return false;

    const int rows = selection.rowCount();
    int sequence = 1;
    view.setGauge(0);
    for (int i = 0; i < rows; ++i) {
        view.highlightRow(i);
        if (selection.isChecked(i)) {
            const auto record = findDevice(selection.name(i));
            if (!record) continue;
            if (!sendRecord(writer, ui, downloadDeviceRecord(*record, static_cast<uint8_t>(sequence)), 3)) {
                return false;
            }
            ++sequence;
        }
        view.setGauge(i * 100 / rows);
    }
    view.setGauge(100);
    return true;
}

}  // namespace qzr
