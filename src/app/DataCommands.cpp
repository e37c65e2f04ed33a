#include "app/DataCommands.h"

#include <filesystem>

#include "app/ConfigCommands.h"
#include "app/DeviceCommands.h"
#include "app/MainState.h"
#include "core/image/DataLoad.h"
#include "core/operations/OperationState.h"
#include "core/options/Options.h"
#include "core/serial_number/PassCounter.h"
#include "core/serial_number/SerialNumber.h"

namespace qzr {

namespace {

// "&Load Data" hands a configuration file to the configuration loader; a configuration that is not taken
// over ends with the device reset, and the file still counts as loaded. (The configuration loader refuses
// a configuration whose data file is itself a configuration, so this never nests.)
void loadConfigurationFile(MainState& st, const std::string& fileName) {
    st.configPath = fileName;
    if (!LoadCfgFile(st)) ResetData(st);
}

}  // namespace

bool LoadProgramMemory(MainState& st, const std::string& fileName) {
    // The program memory view exists from the end of start-up on; format warnings are shown only then.
    UserInterface* formatWarnings = st.firstShowDone ? st.ui : nullptr;
    const DataLoadResult loaded = loadDataFile(st.device, *st.ui, formatWarnings, st.image, fileName);
    switch (loaded.outcome) {
        case DataLoadOutcome::refused:
            return false;
        case DataLoadOutcome::configuration:
            loadConfigurationFile(st, fileName);
            SerialModeOff(st.serial, *st.views, false);
            return true;
        case DataLoadOutcome::refusedAfterReading:
            SerialModeOff(st.serial, *st.views, false);
            return false;
        case DataLoadOutcome::taken:
            break;
    }
    SerialModeOff(st.serial, *st.views, false);
    st.dataFileDamaged = loaded.damaged;
    st.damagedDataAccepted = false;
    return true;
}

std::string damagedDataNote(const MainState& st) {
    return st.dataFileDamaged ? kDamagedDataNote : "";
}

bool confirmDamagedData(MainState& st, OperationType type) {
    switch (type) {
        case OperationType::ProgramIdChecksum:  // the ID checksum is built from the data
        case OperationType::ProgramData:
        case OperationType::ProgramEeprom:
        case OperationType::AutoProgram:
        case OperationType::AutoProgramNoBlankCheck:
        case OperationType::OverWrite:
            break;
        case OperationType::BlankCheck:
        case OperationType::EraseFlash:
        case OperationType::ProgramOptions:
        case OperationType::Verify:
        case OperationType::VerifyProtected:
            return true;
    }
    if (!st.dataFileDamaged || st.damagedDataAccepted) return true;
    st.damagedDataAccepted = st.ui->askYesNo(kDamagedDataQuestion);
    return st.damagedDataAccepted;
}

void UpdateScreen(MainState& st) {
    st.views->recreateIdWindow();
    st.views->recreateProgramWindow();
    st.views->recreateEepromWindow(st.device.hasEeprom());
    UpdateOption(st.options, st.optionBytes, st.device, st.image, *st.ui, *st.views);
}

bool FileOpen1Execute(MainState& st, const std::optional<std::string>& chosenFile) {
    if (chosenFile) {
        // Options and name are put back when the file is not taken over, so a refused file changes nothing.
        const auto previousOptions = st.optionBytes;
        const std::string previousName = st.dataFileName;
        if (!st.settings.keepOptions) st.optionBytes.fill(0x7F);
        std::error_code ec;
        if (!std::filesystem::exists(*chosenFile, ec)) {
            st.optionBytes = previousOptions;
            st.ui->message("File don't exist!");
            return false;
        }
        st.dataFileName = *chosenFile;
        if (!LoadProgramMemory(st, *chosenFile)) {
            st.optionBytes = previousOptions;
            st.dataFileName = previousName;
            return false;
        }
        UpdateScreen(st);
    }
    st.disassemblyOpen = false;
    st.views->closeDisassembly();
    SerialModeOff(st.serial, *st.views, true);
    ResetPassCount(st.serial, *st.views);
    CalChecksum(st.options, st.optionBytes, st.device, st.image, *st.views);
    return chosenFile.has_value();
}

}  // namespace qzr
