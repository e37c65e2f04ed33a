#include "writer/WriterDetect.h"

#include <cerrno>

#include "app/MainState.h"
#include "writer/PortNames.h"
#include "writer/VirtualWriter.h"
#include "writer/WriterProtocol.h"

namespace qzr {

namespace {

// Makes (or keeps) the port object for the entry.
void choosePort(MainState& st, const std::string& target) {
    LinkState& link = st.link;
    if (link.portFactory) {
        if (!link.Comm1 || link.openEntry != link.portEntry) link.Comm1 = link.portFactory(link.portEntry);
        return;
    }
    const bool isVirtual = dynamic_cast<VirtualWriter*>(link.Comm1.get()) != nullptr;
    if (isVirtualPortEntry(target)) {
        if (!isVirtual) {
            auto box = std::make_shared<VirtualWriter>(link.tickClock());
            if (st.device.deviceIndex >= 0) box->insertChipFor(st.device);
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

void CheckComPort(MainState& st) {
    LinkState& link = st.link;
    link.portError = false;
    link.portName = portDisplayName(link.portEntry);
    if (link.Comm1) link.Comm1->Close();

    const std::string target = resolvePortEntry(link.portEntry);
    choosePort(st, target);
    link.openEntry = link.portEntry;
    const std::string openError = "Open  " + link.portName + " Port Error!!";
    if (!link.Comm1) {
        st.ui->message(openError);
        link.portError = true;
        return;
    }
    CommPort& port = *link.Comm1;
    port.SetDeviceName(isVirtualPortEntry(target) ? "virtual" : target);
    port.SetFlowControl(flowControlFor(link.handshake));
    DelayIn10ms(link.tickClock(), 5);
    port.Open();
    if (const int error = port.LastOpenError(); error != 0) {
        st.ui->message(openError);
        if (error == EACCES || error == EPERM) {
            st.ui->message(
                "Permission denied for " + target +
                ": add your user to the dialout group (sudo usermod -aG dialout $USER), then log in "
                "again.");
        }
        link.portError = true;
    }
}

int WriterLink::CheckWriter() {
    LinkState& link = st_.link;
    Purge();
    if (auto r = PacedSend(wb::kProbe, clockTicks()); r != WaitResult::Ok) {
        if (r == WaitResult::Stopped) return lrStopped;
        link.portError = true;
        return lrTimeout;
    }
    int result = lrTimeout;
    bool identified = false;
    int start = clockTicks();
    for (;;) {
        uint8_t b = 0;
        const bool got = ReadByte(b);
        if (got) {
            if (b == wb::kClass1 || b == wb::kClass2) {
                const int cls = b == wb::kClass1 ? 1 : 2;
                result = st_.device.writerClass != cls ? lrWrongWriter
                         : cls == 1                    ? lrClass1Writer
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
                    st_.image.headerArea()[0] = wb::kIdRequest;
                    if (ReadWriterID(15) == lrStopped) return lrStopped;
                    link.writerVersion = versionFromIdText(link.writerIdText);
                    if (switchesHandshakeOff(link.writerIdText, link.writerVersion)) {
                        link.handshake = "None";
                        st_.views->refreshSelections();
                        CheckComPort(st_);  // re-opened without flow control
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
            st_.ui->message("This writer can not use with this version software");
        if (isModelHrp021(link.writerIdText) && compareVersion(link.writerVersion, "V3.27") <= 0) {
            st_.ui->message("Please update the firmware");
        }
    }
    return result;
}

int PortChanged(MainState& st) {
    LinkState& link = st.link;
    if (link.portError || !link.Comm1 || !samePortEntry(link.portEntry, link.openEntry)) {
        CheckComPort(st);
        if (link.portError) return 0;
    }
    WriterLink writer(st);
    const int r = writer.CheckWriter();
    if (r == lrClass1Writer || r == lrClass2Writer || r == lrIdWriter) {
        st.ui->message("Connect OK!");
    } else if (r == lrTimeout) {
        st.ui->message("Connect " + link.portName + " Timeout!!");
    } else {
        st.ui->message("Connect Fail!");
    }
    return r;
}

void StartupConnection(MainState& st) {
    CheckComPort(st);
    if (st.link.portError) return;
    WriterLink writer(st);
    const int r = writer.CheckWriter();
    if (r == lrClass1Writer || r == lrClass2Writer || r == lrIdWriter) return;
    if (r == lrTimeout) {
        st.ui->message("Connect " + st.link.portName + " Timeout!!");
    } else {
        st.ui->message("Connect Fail!");
    }
}

bool PreparePort(MainState& st) {
    if (st.link.portError || !st.link.Comm1 || st.link.openEntry != st.link.portEntry) CheckComPort(st);
    return !st.link.portError;
}

std::string takePortWarning(MainState& st) {
    return st.link.Comm1 ? st.link.Comm1->TakeLatencyWarning() : std::string();
}

}  // namespace qzr
