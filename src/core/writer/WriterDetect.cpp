#include "core/writer/WriterDetect.h"

#include <cerrno>

#include "core/common/UserInterface.h"
#include "core/common/ViewHooks.h"
#include "core/device/DeviceCatalogue.h"
#include "core/image/MemoryImage.h"
#include "core/writer/LinkState.h"
#include "core/writer/PortNames.h"
#include "core/writer/VirtualWriter.h"
#include "core/writer/WriterProtocol.h"

namespace qzr {

namespace {

// Makes (or keeps) the port object for the entry.
void choosePort(LinkState& link, const DeviceFields& device, const std::string& target) {
    if (link.portFactory) {
        if (!link.Comm1 || !samePortEntry(link.openEntry, link.portEntry))
            link.Comm1 = link.portFactory(link.portEntry);
        return;
    }
    const bool isVirtual = dynamic_cast<VirtualWriter*>(link.Comm1.get()) != nullptr;
    if (isVirtualPortEntry(target)) {
        if (!isVirtual) {
            auto box = std::make_shared<VirtualWriter>(link.tickClock());
            if (device.deviceIndex >= 0) box->insertChipFor(device);
            link.Comm1 = std::move(box);
        }
    } else if (!link.Comm1 || isVirtual) {
        link.Comm1 = std::shared_ptr<CommPort>(createSerialPort());
    }
}

}  // namespace

TFlowControl flowControlFor(const std::string& handshake) {
    if (handshake == "CTS") return TFlowControl::fcCTS;
    if (handshake == "None") return TFlowControl::fcNone;
    return TFlowControl::fcDefault;
}

void CheckComPort(LinkState& link, const DeviceFields& device, UserInterface& ui) {
    link.portError = false;
    link.portName = portDisplayName(link.portEntry);
    if (link.Comm1) link.Comm1->Close();

    const std::string target = resolvePortEntry(link.portEntry);
    choosePort(link, device, target);
    link.openEntry = link.portEntry;
    const std::string openError = "Open  " + link.portName + " Port Error!!";
    if (!link.Comm1) {
        ui.message(openError);
        link.portError = true;
        return;
    }
    CommPort& port = *link.Comm1;
    port.SetDeviceName(isVirtualPortEntry(target) ? "virtual" : target);
    port.SetFlowControl(flowControlFor(link.handshake));
    DelayIn10ms(link.tickClock(), 5);
    port.Open();
    if (const int error = port.LastOpenError(); error != 0) {
        ui.message(openError);
        if (error == EACCES || error == EPERM) {
            ui.message("Permission denied for " + target +
                       ": add your user to the dialout group (sudo usermod -aG dialout $USER), then log in "
                       "again.");
        }
        link.portError = true;
    }
}

LinkResult WriterLink::CheckWriter(const DeviceFields& device, UserInterface& ui, ViewHooks& views) {
    LinkState& link = linkState_;
    Purge();
    if (auto r = PacedSend(wb::kProbe, clockTicks()); r != WaitResult::Ok) {
        if (r == WaitResult::Stopped) return lrStopped;
        link.portError = true;
        return lrTimeout;
    }
    LinkResult result = lrTimeout;
    bool identified = false;
    int start = clockTicks();
    for (;;) {
        uint8_t b = 0;
        const bool got = ReadByte(b);
        if (got) {
            if (b == wb::kClass1 || b == wb::kClass2) {
                const int cls = b == wb::kClass1 ? 1 : 2;
                result = device.writerClass != cls ? lrWrongWriter
                         : cls == 1                ? lrClass1Writer
                                                   : lrClass2Writer;
                // A writer that does not identify itself: what the one before said about itself (its
                // model and version, and with them pair mode) no longer holds.
                link.writerIdText.clear();
                link.writerVersion.clear();
            } else if (b == wb::kIdentifying) {
                result = lrIdWriter;
                if (link.writerVersion.empty()) {
                    start = clockTicks();  // the reply budget restarts here
                    link.writerIdText.clear();
                    image_.headerArea()[0] = wb::kIdRequest;
                    if (ReadWriterID(15) == lrStopped) return lrStopped;
                    link.writerVersion = versionFromIdText(link.writerIdText);
                    if (switchesHandshakeOff(link.writerIdText, link.writerVersion)) {
                        link.handshake = "None";
                        views.refreshSelections();
                        CheckComPort(link, device, ui);  // re-opened without flow control
                        if (link.portError) {
                            // The re-open failed (its message has been shown): there is no connection now.
                            link.writerVersion.clear();
                            return lrTimeout;
                        }
                    }
                    identified = true;
                }
            } else {
                result = lrBadReply;
                link.writerVersion.clear();
            }
        }
        if (CheckTimeOut(start)) {
            result = lrTimeout;
            link.writerVersion.clear();
            link.portError = true;
            break;
        }
        if (got) break;
        if (stopRequested()) return lrStopped;
        IdleUntilInput(start);
    }
    // The firmware messages come after the time-out test, so the time a person takes to read them is not
    // counted against the writer's reply budget.
    if (identified && result == lrIdWriter) {
        if (isModelHrp011(link.writerIdText))
            ui.message("This writer can not use with this version software");
        if (isModelHrp021(link.writerIdText) && compareVersion(link.writerVersion, "V3.27") <= 0) {
            ui.message("Please update the firmware");
        }
    }
    return result;
}

bool PreparePort(LinkState& link, const DeviceFields& device, UserInterface& ui) {
    if (link.portError || !link.Comm1 || !samePortEntry(link.openEntry, link.portEntry))
        CheckComPort(link, device, ui);
    return !link.portError;
}

std::string takePortWarning(LinkState& link) {
    return link.Comm1 ? link.Comm1->TakeLatencyWarning() : std::string();
}

}  // namespace qzr
