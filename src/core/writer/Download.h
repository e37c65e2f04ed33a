#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "core/device/DeviceCatalogue.h"

namespace qzr {

class UserInterface;
class ViewHooks;
class WriterLink;

// The newer writer keeps the parameters of up to this many device types.
inline constexpr int kMaxDownloadDevices = 16;
inline constexpr std::size_t kDownloadRecordBytes = 32;
inline constexpr std::size_t kDownloadNameBytes = 16;

using DownloadRecord = std::array<uint8_t, kDownloadRecordBytes>;

// The record that opens a download: A9 FF, 28 zero bytes, 02, checksum 01.
DownloadRecord downloadStartRecord();

// The record of one device: A9, the sequence number, the name padded with blanks to 16 characters (cut at
// 16), the device parameters, 02 and the checksum (sum of bytes 1..30).
DownloadRecord downloadDeviceRecord(const DeviceFields& device, uint8_t sequence);

// Texts of the device-select window and of the download.
namespace download_text {
inline constexpr const char* kCaption = "Device select";
inline constexpr const char* kMaxLabel = "Maxium 16 devices can be selected.";
inline constexpr const char* kTotalLabel = "Total selected devices :";
inline constexpr const char* kAlreadySixteen = "Already selected 16 devices";
inline constexpr const char* kConnectTimeout = "Connect Timeout!!";
inline constexpr const char* kNotSupported = "This writer does not support devices download function";
inline constexpr const char* kUpdateFirmware = "Please update the writer firmware";
// "Writer Error (stage, code)!!"
std::string writerError(int stage, int code);
}  // namespace download_text

// The check marks of the device-select window: one row per device of the table, in table order, at most
// 16 of them checked. Lives as long as the window.
class DeviceSelection {
  public:
    // Fills the rows from the device table (stops at the first empty name); nothing checked.
    DeviceSelection();

    int rowCount() const { return static_cast<int>(names_.size()); }
    const std::string& name(int row) const { return names_.at(static_cast<std::size_t>(row)); }
    bool isChecked(int row) const;
    int checkedCount() const { return checkedCount_; }
    // The text of the counter beside "Total selected devices :".
    std::string countText() const { return std::to_string(checkedCount_); }

    // The user clicked the check box of `row`, which is now `checked`. A 17th check is taken back with
    // "Already selected 16 devices". Returns whether the row ends up checked. A row outside the list, or a
    // click that does not change the row, changes nothing.
    bool clickCheck(int row, bool checked, UserInterface& ui);
    // "Clear": nothing checked.
    void clear();
    // "Select defult": the devices offered for download by default, the first 16 of them in table order.
    void selectDefault();

  private:
    std::vector<std::string> names_;
    std::vector<bool> checked_;
    int checkedCount_ = 0;
};

// What the download shows in its window while it runs.
class DownloadView {
  public:
    virtual ~DownloadView() = default;
    // The row whose record is about to be sent is highlighted.
    virtual void highlightRow(int /*row*/) {}
    // Download progress, 0..100.
    virtual void setGauge(int /*percent*/) {}
};

// The download through `writer`: checks the writer (it must suit `device`, the selected one, and be the
// download-capable model with firmware "V3.09" or later), then sends the start record and one record per
// checked device, in table order, each acknowledged with 0xB8. A failure shows its message through `ui` and
// ends the download; the writer keeps the records already sent. Returns true when every record was
// acknowledged (no message then). The records' devices are looked up without touching `device`. The
// command is DownLoadClick (app/DownloadCommand.h).
bool downloadDevices(WriterLink& writer, const DeviceFields& device, UserInterface& ui, ViewHooks& views,
                     const DeviceSelection& selection, DownloadView& view);

}  // namespace qzr
