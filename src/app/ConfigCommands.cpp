#include "app/ConfigCommands.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "app/ConfigCommands.h"
#include "app/DataCommands.h"
#include "app/DeviceCommands.h"
#include "app/MainState.h"
#include "core/common/FileIo.h"
#include "core/common/HexText.h"
#include "core/image/DataLoad.h"
#include "core/options/Options.h"
#include "core/serial_number/SerialNumber.h"
#include "core/writer/PortNames.h"

namespace qzr {

namespace {

constexpr const char* kCrLf = "\r\n";

void fileDataError(MainState& st) {
    st.ui->message("'" + st.configPath + "' file data error!");
}

// Takes the parsed values over into the working state (the device is already looked up).
void apply(MainState& st, const CfgValues& v) {
    st.deviceListText = v.device;
    st.dataFileName = v.dataFile;
    st.link.portEntry = v.portEntry;
    st.link.portName = portDisplayName(v.portEntry);

    SerialNumberState& s = st.serial;
    s.serialMode = v.serialMode;
    s.startAddress = v.startAddress;
    s.wordCount = v.byteCount;
    std::copy_n(v.serialBytes.begin(), v.byteCount, s.number.begin());
    s.increment = v.increment;
    s.mode = static_cast<SerialKind>(v.kind);
    s.byteOrder = static_cast<SerialByteOrder>(v.byteOrder);
    ShowSerialNo(st.serial, *st.views);

    st.optionBytes[0] = v.optionBytes[0];
    st.optionBytes[1] = v.optionBytes[1];
    if (v.allOptionBytes) {
        st.optionBytes[2] = v.optionBytes[2];
        st.optionBytes[3] = v.optionBytes[3];
    }
    std::copy(v.id.begin(), v.id.end(), st.image.idArea().begin());

    st.settings.keepOptions = v.keepOptions;
    st.settings.programEepromInAuto = v.programEepromInAuto;
    st.settings.bypassIcCheck = v.bypassIcCheck;
    st.settings.saveEepromWithData = v.saveEepromWithData;
    if (v.hasInfo) st.info = v.info;
    st.views->refreshSerialIndicators();
    st.views->refreshDeviceCommands();
}

}  // namespace

std::string SaveCfg(MainState& st) {
    SerialNumberState& s = st.serial;
    if (s.wordCount == 0) s.wordCount = 1;
    const int n = std::clamp(s.wordCount, 1, kMaxSerialBytes);

    std::string text;
    auto put = [&text](const std::string& line) { text += line + kCrLf; };
    put(std::string("Version: ") + kVersionText);
    put("File name: " + oneLine(st.dataFileName));
    put("COM port: " + oneLine(st.link.portEntry));
    put("Device name: " + oneLine(st.deviceListText));
    std::string serialBytes;
    for (int k = n - 1; k >= 0; --k) serialBytes += hexDigits(s.number[static_cast<std::size_t>(k)], 2);
    put("Serial mode: " + std::string(s.serialMode ? "1" : "0") + " " + std::to_string(s.startAddress) + " " +
        std::to_string(n) + " " + serialBytes + " " + std::to_string(s.increment) + " " +
        std::to_string(static_cast<int>(s.mode)) + " " + std::to_string(static_cast<int>(s.byteOrder)));
    put("Option code: " + hexByteList(st.optionBytes));
    std::string id;
    for (uint8_t b : st.image.idArea()) id += hexDigits(b, 2) + " ";
    put("ID code: " + id);
    auto bit = [](bool on) { return std::string(on ? "1" : "0"); };
    put("Keep option: " + bit(st.settings.keepOptions));
    put("Write EE in auto: " + bit(st.settings.programEepromInAuto));
    put("Bypass IC check: " + bit(st.settings.bypassIcCheck));
    put("Save EE Data: " + bit(st.settings.saveEepromWithData));
    put("Customer's Name: " + oneLine(st.info.customerName));
    put("Customer's project name: " + oneLine(st.info.projectName));
    put("Frequency: " + oneLine(st.info.operatingFrequency));
    put("Operating voltage: " + oneLine(st.info.operatingVoltageLow) + " ~ " +
        oneLine(st.info.operatingVoltageHigh));
    put("Operating current: " + oneLine(st.info.operatingCurrent));
    put("Sleep current: " + oneLine(st.info.sleepCurrent));
    return text;
}

bool LoadCfg(MainState& st, std::string_view content) {
    const CfgParse parsed = parseConfig(content);
    const CfgValues& values = parsed.values;
    switch (parsed.fault) {
        case CfgFault::none:
            break;
        case CfgFault::fileData:
            fileDataError(st);
            return false;
        case CfgFault::number:
            st.ui->error("'" + parsed.badNumber + "' is not a valid integer value");
            return false;
    }
    if (GetICInfo(st, values.device) < 0) {
        fileDataError(st);
        return false;
    }
    apply(st, values);
    st.views->refreshSelections();

    std::error_code ec;
    st.dataFileName = configDataFilePath(st.configPath, st.dataFileName);
    const std::string& name = st.dataFileName;
    if (name.empty() || !std::filesystem::is_regular_file(name, ec)) {
        st.ui->message(name.empty() ? "No data file name" : "Can not find '" + name + "' !");
        st.dataFileName.clear();
        return false;
    }
    // A configuration naming a configuration file (itself, perhaps) would load without end.
    if (dataFileKind(name) == DataFileKind::cfg) {
        fileDataError(st);
        return false;
    }
    UpdateOption(st.options, st.optionBytes, st.device, st.image, *st.ui, *st.views);
    if (!LoadProgramMemory(st, name)) return false;
    CalChecksum(st.options, st.optionBytes, st.device, st.image, *st.views);
    if (st.firstShowDone) UpdateScreen(st);
    return true;
}

bool LoadCfgFile(MainState& st) {
    FilePrefix file;
    switch (readFilePrefix(st.configPath, kMaxConfigFileBytes, file, true)) {
        case FileReadResult::ok:
            return LoadCfg(st, std::string(file.bytes.begin(), file.bytes.end()));
        case FileReadResult::tooLarge:
            fileDataError(st);
            return false;
        case FileReadResult::cannotOpen:
            break;
    }
    st.ui->message("File can't open!");
    return false;
}

bool writeConfigFile(MainState& st, const std::string& path) {
    if (!writeFileWhole(path, SaveCfg(st))) {
        st.ui->message("File can't be saved!");
        return false;
    }
    return true;
}

bool LoadConfigFile(MainState& st, const std::string& path) {
    st.configPath = path;
    const bool loaded = LoadCfgFile(st);
    if (!loaded) ResetData(st);
    st.disassemblyOpen = false;
    st.views->closeDisassembly();
    return loaded;
}

bool FileSaveItemClick(MainState& st, const std::string& name, int filterIndex) {
    if (filterIndex != 1 || name.empty()) {
        st.ui->message("File can't be saved!");
        return false;
    }
    return writeConfigFile(st, name);
}

bool LoadConfig1Click(MainState& st, const std::string& name, int filterIndex) {
    if (filterIndex != 1 || name.empty()) {
        st.ui->message("Can't load file!");
        return false;
    }
    return LoadConfigFile(st, name);
}

bool loadStartupConfig(MainState& st, const std::string& directory) {
    const std::string path = (std::filesystem::path(directory) / kDefaultConfigName).string();
    std::error_code ec;
    if (!std::filesystem::exists(path, ec)) {
        UpdateOption(st.options, st.optionBytes, st.device, st.image, *st.ui, *st.views);
        return false;
    }
    st.configPath = path;
    const bool loaded = LoadCfgFile(st);
    if (!loaded) ResetData(st);
    return loaded;
}

bool saveExitConfig(MainState& st, const std::string& directory) {
    st.configPath = (std::filesystem::path(directory) / kDefaultConfigName).string();
    return writeConfigFile(st, st.configPath);
}

}  // namespace qzr
