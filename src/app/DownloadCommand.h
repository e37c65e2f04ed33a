#pragma once

namespace qzr {

struct MainState;
class DeviceSelection;
class DownloadView;
class WriterLink;

// "Download" of the device-select window: downloadDevices (writer/Download.h) through the program's port
// for the selected device, with the state's user interface. The working fields stay those of the selected
// device.
bool DownLoadClick(MainState& st, const DeviceSelection& selection, DownloadView& view);
// The same through the given writer link (tests).
bool DownLoadClick(MainState& st, WriterLink& writer, const DeviceSelection& selection, DownloadView& view);

}  // namespace qzr
