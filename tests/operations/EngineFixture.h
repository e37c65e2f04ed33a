#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <string>
#include <vector>

#include "app/DeviceCommands.h"
#include "app/MainState.h"
#include "app/OperationEngine.h"
#include "core/operations/OperationView.h"
#include "core/options/Options.h"
#include "core/writer/Clock.h"
#include "core/writer/VirtualWriter.h"
#include "support/RecordingUi.h"

namespace qzr::test {

// Records every call of the engine as one line ("lbDataMsg: Program data...", "lbDataMsg red",
// "lbEEMsg shown", "Continue on", ...) and keeps the dialog's state. Thread safe.
class RecordingView final : public OperationView {
  public:
    void setText(ViewLine l, const std::string& text) override {
        add(std::string(viewLineName(l)) + ": " + text, [&] { model_.setText(l, text); });
    }
    void setProgress(ViewLine l, const std::string& text) override {
        add(std::string(viewLineName(l)) + " progress: " + text, [&] { model_.setText(l, text); });
    }
    void setRed(ViewLine l, bool red) override {
        add(std::string(viewLineName(l)) + (red ? " red" : " normal"), [&] { model_.setRed(l, red); });
    }
    void setVisible(ViewLine l, bool visible) override {
        add(std::string(viewLineName(l)) + (visible ? " shown" : " hidden"),
            [&] { model_.setVisible(l, visible); });
    }
    void setContinueEnabled(bool e) override {
        add(std::string("Continue ") + (e ? "on" : "off"), [&] { model_.setContinueEnabled(e); });
    }
    void setExitEnabled(bool e) override {
        add(std::string("Exit ") + (e ? "on" : "off"), [&] { model_.setExitEnabled(e); });
    }
    void setRepeatTimer(bool e) override {
        add(std::string("timer ") + (e ? "on" : "off"), [&] { model_.setRepeatTimer(e); });
    }
    void stateChanged() override {
        add("state changed", [] {});
    }

    std::vector<std::string> events() const {
        std::lock_guard lock(mutex_);
        return events_;
    }
    // Only the texts, without the progress addresses.
    std::vector<std::string> texts() const {
        std::vector<std::string> out;
        for (const std::string& e : events())
            if (e.find(": ") != std::string::npos && e.find(" progress: ") == std::string::npos)
                out.push_back(e);
        return out;
    }
    ProgressDialogModel model() const {
        std::lock_guard lock(mutex_);
        return model_;
    }
    void clear() {
        std::lock_guard lock(mutex_);
        events_.clear();
    }

  private:
    template <class F>
    void add(std::string e, F apply) {
        std::lock_guard lock(mutex_);
        events_.push_back(std::move(e));
        apply();
    }
    mutable std::mutex mutex_;
    std::vector<std::string> events_;
    ProgressDialogModel model_;
};

// A link between the engine and the virtual writer that injects what the box itself does not: CTS going
// off after a number of written bytes, one received byte replaced, a stop request raised after a number of
// written bytes, the serial component failing.
class InjectLink final : public CommLink {
  public:
    explicit InjectLink(CommLink& inner) : inner_(inner) {}
    void PurgeIn() override { inner_.PurgeIn(); }
    void PurgeOut() override { inner_.PurgeOut(); }
    int Write(const uint8_t* buffer, int count) override {
        if (throwAfterWrites >= 0 && written >= throwAfterWrites) throw ECommError("Write error", 5);
        if (stop && stopAfterWrites >= 0 && written >= stopAfterWrites) *stop = true;
        written += count;
        if (stop && *stop) writtenAfterStop += count;
        return inner_.Write(buffer, count);
    }
    int Read(uint8_t* buffer, int count) override {
        const int n = inner_.Read(buffer, count);
        for (int i = 0; i < n; ++i, ++readCount)
            if (readCount == replaceReadAt) buffer[i] = replaceWith;
        return n;
    }
    int InQueCount() override { return inner_.InQueCount(); }
    bool Cts() override { return (ctsOffAfterWrites < 0 || written < ctsOffAfterWrites) && inner_.Cts(); }
    bool WaitForInput(int timeoutMs) override { return inner_.WaitForInput(timeoutMs); }

    int ctsOffAfterWrites = -1;
    int replaceReadAt = -1;
    uint8_t replaceWith = 0;
    int stopAfterWrites = -1;
    int throwAfterWrites = -1;  // the serial component fails (ECommError)
    std::atomic<bool>* stop = nullptr;
    int written = 0;
    int writtenAfterStop = 0;
    int readCount = 0;

  private:
    CommLink& inner_;
};

class EngineTest : public ::testing::Test {
  protected:
    void SetUp() override {
        st.ui = &ui;
        // The writer check re-opens the program's port when a fast writer switches the handshake off: let
        // that be a virtual port, never a serial device of the machine.
        st.link.portEntry = "virtual";
        st.link.clock = &clock;
        box.Open();
        useDevice("QZR-D10");
    }

    void useDevice(const char* name) {
        ASSERT_TRUE(selectDevice(st, name));
        box.insertChipFor(st.device);
    }

    // A program in every word of the device, valid options (status 0) and the checksums. Option byte 1
    // with bit 6 set leaves the chip unprotected.
    void loadProject(uint8_t option0 = 0x12, uint8_t option1 = 0x5F) {
        const int words = st.device.programWordCount();
        for (int n = 0; n < words; ++n)
            st.image.setProgramWord(static_cast<std::size_t>(n),
                                    splitWord(0x2000u + static_cast<unsigned>(n * 5) % 0x1000u));
        st.optionBytes = {option0, option1, 0x7F, 0x7F};
        CalChecksum(st.options, st.optionBytes, st.device, st.image, *st.views);
        st.options.optionStatus = {};
    }

    RunOutcome run(OperationType type, CommLink* link = nullptr, const std::atomic<bool>* stop = nullptr) {
        st.operation.operationType = type;
        resetProgressLines(view);  // as the dialog's restart does
        view.clear();
        box.clearRecord();
        OperationEngine engine(st, link ? *link : static_cast<CommLink&>(box), clock, view, stop);
        return engine.run();
    }

    // The headers the box received: "read ID+", "program data+", "pulse EEPROM+", "erase data", and
    // "close ID" for the closing exchange (a read with header byte 3 = 0 and no continuation; no other read
    // asks for one word).
    std::vector<std::string> exchanges() const {
        static const char* const kAreas[] = {"data", "options", "ID", "EEPROM", "4", "special"};
        std::vector<std::string> out;
        for (const VirtualWriter::Exchange& e : box.exchanges()) {
            std::string kind = e.command == 0xA5   ? "read"
                               : e.command == 0xA6 ? "program"
                               : e.command == 0xA7 ? "pulse"
                                                   : "erase";
            if (e.command == 0xA5 && e.header[3] == 0 && !e.continuation) kind = "close";
            out.push_back(kind + " " + (e.area < 6 ? kAreas[e.area] : "?") + (e.continuation ? "+" : ""));
        }
        return out;
    }

    // A run that gave up in the middle of a stream leaves the box waiting for the rest of it; re-opening the
    // port resets it.
    void reopenBox() {
        box.Close();
        box.Open();
    }

    const ProgressDialogModel::Line line(ViewLine l) const { return view.model().line(l); }

    MainState st;
    FakeClock clock;
    VirtualWriter box{clock};
    RecordingView view;
    RecordingUi ui;
};

}  // namespace qzr::test
