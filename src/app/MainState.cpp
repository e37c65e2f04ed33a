#include "app/MainState.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "app/DeviceCommands.h"

namespace qzr {

namespace {
SilentUserInterface silentUi;
ViewHooks noViews;
}  // namespace

MainState::MainState() : ui(&silentUi), views(&noViews) {
    std::error_code ec;
    startupDirectory = std::filesystem::current_path(ec).string();
    auto id = image.idArea();
    std::fill(id.begin(), id.end(), 0x7F);
    auto program = image.programArea();
    std::fill(program.begin(), program.end(), 0x7F);
    auto eeprom = image.eepromArea();
    std::fill(eeprom.begin(), eeprom.begin() + layout::kEepromClearBytes, 0);
    deviceListText = deviceTable()[0].name;
    GetICInfo(*this, deviceListText);
}

}  // namespace qzr
