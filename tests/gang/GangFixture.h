#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "app/DeviceCommands.h"
#include "app/GangRun.h"
#include "app/MainState.h"
#include "app/OperationCommands.h"
#include "core/journal/Lot.h"
#include "core/journal/ProductionJournal.h"
#include "core/options/Options.h"
#include "core/writer/VirtualWriter.h"
#include "support/TestFiles.h"

namespace qzr::test {

// Messages of one socket, from its worker.
class LockedUi final : public UserInterface {
  public:
    void message(const std::string& text) override { add(text); }
    void error(const std::string& text) override { add("Error: " + text); }
    bool askYesNo(const std::string& text) override {
        add("? " + text);
        return false;
    }
    bool askAbortIgnore(const std::string& text) override {
        add("? " + text);
        return true;
    }
    std::vector<std::string> log() const {
        std::lock_guard lock(mutex_);
        return log_;
    }

  private:
    void add(std::string text) {
        std::lock_guard lock(mutex_);
        log_.push_back(std::move(text));
    }
    mutable std::mutex mutex_;
    std::vector<std::string> log_;
};

// The lines a socket's run shows; a test can wait (with a deadline) until a text has been shown.
class WatchedView final : public ProgressDialogModel {
  public:
    void setText(ViewLine l, const std::string& text) override {
        {
            std::lock_guard lock(mutex_);
            ProgressDialogModel::setText(l, text);
            texts_.push_back(text);
        }
        changed_.notify_all();
    }
    void setProgress(ViewLine l, const std::string& text) override {
        std::lock_guard lock(mutex_);
        ProgressDialogModel::setText(l, text);
    }
    bool waitFor(const std::string& text, std::chrono::seconds deadline = std::chrono::seconds(20)) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, deadline, [&] {
            for (const std::string& t : texts_)
                if (t == text) return true;
            return false;
        });
    }
    void clear() {
        std::lock_guard lock(mutex_);
        texts_.clear();
    }

  private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<std::string> texts_;
};

// A project on QZR-D10 with a two-byte serial number at 0x0010 (RTWI words there), serial-number mode on
// from 0100, and a journal in a folder of its own.
class GangTest : public ::testing::Test {
  protected:
    void SetUp() override {
        project.ui = &ui;
        ASSERT_TRUE(selectDevice(project, "QZR-D10"));
        const int words = project.device.programWordCount();
        for (int n = 0; n < words; ++n)
            project.image.setProgramWord(static_cast<std::size_t>(n),
                                         splitWord(0x2000u + static_cast<unsigned>(n * 5) % 0x1000u));
        project.image.setProgramWord(0x10, splitWord(0x3100));
        project.image.setProgramWord(0x11, splitWord(0x3100));
        project.optionBytes = {0x12, 0x5F, 0x7F, 0x7F};
        CalChecksum(project.options, project.optionBytes, project.device, project.image, *project.views);
        project.options.optionStatus = {};
        project.serial.startAddress = 0x10;
        project.serial.wordCount = 2;
        project.serial.serialMode = true;
        setSerialValue(project.serial, 0x0100);
        project.journal.enabled = true;
        project.journal.path = dir.file("journal.db");
    }

    // A gang of `count` emulated writers, each with a fresh chip for every run; ports opened.
    void makeGang(int count) {
        std::vector<GangRun::Socket> sockets;
        for (int k = 0; k < count; ++k) {
            views.push_back(std::make_unique<WatchedView>());
            uis.push_back(std::make_unique<LockedUi>());
            sockets.push_back({"virtual:new-chip", views.back().get(), uis.back().get()});
        }
        gang = std::make_unique<GangRun>(project, sockets);
        ASSERT_TRUE(gang->openPorts().empty());
    }

    VirtualWriter& box(int socket) { return dynamic_cast<VirtualWriter&>(*gang->link(socket).Comm1); }

    GangRound round() {
        for (auto& v : views) v->clear();
        gang->startRound();
        return gang->finishRound();
    }

    // The serial number on the socket's chip (the low bytes of the words at 0x0010 and 0x0011).
    unsigned chipNumber(int socket) {
        const VirtualChip chip = box(socket).chip();
        return ((chip.programWord(0x10) & 0xFF) << 8) | (chip.programWord(0x11) & 0xFF);
    }

    // Every program word of the socket's chip is the project's, the serial-number words aside.
    bool chipHoldsImage(int socket) {
        const VirtualChip chip = box(socket).chip();
        for (int n = 0; n < project.device.programWordCount(); ++n) {
            if (n == 0x10 || n == 0x11) continue;
            if (chip.programWord(static_cast<std::size_t>(n)) !=
                wordValue(project.image.programWord(static_cast<std::size_t>(n))))
                return false;
        }
        return true;
    }

    std::vector<ChipRecord> journalChips() {
        std::string error;
        auto j = openProductionJournal(project.journal.path, error);
        std::vector<ChipRecord> out;
        if (j) j->chips(out);
        return out;
    }

    TempDir dir;
    LockedUi ui;
    MainState project;
    std::vector<std::unique_ptr<WatchedView>> views;
    std::vector<std::unique_ptr<LockedUi>> uis;
    std::unique_ptr<GangRun> gang;
};

}  // namespace qzr::test
