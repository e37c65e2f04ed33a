#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "app/DeviceCommands.h"
#include "app/MainState.h"
#include "support/RecordingUi.h"
#include "support/TestFiles.h"

namespace qzr::test {

// Records which views a command asked to rebuild.
class RecordingViews final : public ViewHooks {
  public:
    void recreateIdWindow() override { calls.push_back("id"); }
    void recreateProgramWindow() override { calls.push_back("program"); }
    void reloadProgramWindow() override { calls.push_back("reload"); }
    void recreateEepromWindow(bool exists) override { calls.push_back(exists ? "eeprom" : "no-eeprom"); }
    void closeDisassembly() override { calls.push_back("disasm"); }
    void refreshSerialIndicators() override { calls.push_back("serial"); }
    std::vector<std::string> calls;
};

// A state after start-up with the given device, a recording user interface and views, and a folder.
struct ImageFixture : ::testing::Test {
    MainState st;
    RecordingUi ui;
    RecordingViews views;
    TempDir dir;

    ImageFixture() {
        st.ui = &ui;
        st.views = &views;
        st.firstShowDone = true;
    }
    void device(const std::string& name) {
        ASSERT_TRUE(selectDevice(st, name));
        ui.log.clear();
        views.calls.clear();
    }
    // A file in the folder with the given content.
    std::string file(const std::string& name, const std::string& content) {
        const std::string path = dir.file(name);
        writeFile(path, content);
        return path;
    }
    std::string file(const std::string& name, const std::vector<uint8_t>& content) {
        const std::string path = dir.file(name);
        writeFile(path, content);
        return path;
    }
    uint16_t word(std::size_t n) const { return wordValue(st.image.programWord(n)); }
};

// A binary image of `words` 16-bit words, all `fill`, low byte first.
inline std::vector<uint8_t> binWords(std::size_t words, uint16_t fill) {
    std::vector<uint8_t> v(2 * words);
    for (std::size_t i = 0; i < words; ++i) {
        v[2 * i] = static_cast<uint8_t>(fill & 0xFF);
        v[2 * i + 1] = static_cast<uint8_t>(fill >> 8);
    }
    return v;
}
inline void setBinWord(std::vector<uint8_t>& v, std::size_t n, uint16_t w) {
    v[2 * n] = static_cast<uint8_t>(w & 0xFF);
    v[2 * n + 1] = static_cast<uint8_t>(w >> 8);
}

}  // namespace qzr::test
