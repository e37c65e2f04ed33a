#include "core/info_sheet/InfoSheet.h"

#include <filesystem>
#include <system_error>

#include "core/common/FileIo.h"
#include "core/common/UserInterface.h"
#include "core/device/DeviceCatalogue.h"
#include "core/image/MemoryImage.h"
#include "core/options/OptionState.h"
#include "core/options/Options.h"

namespace qzr {

namespace {

bool programAreaBlank(const DeviceFields& device, const MemoryImage& image) {
    const int words = device.programWordCount();
    for (int n = 0; n < words; ++n)
        if (!isBlankWord(image.programWord(static_cast<std::size_t>(n)), device.highByteMask)) return false;
    return true;
}

// Index of the security item in the main window's items.
constexpr std::size_t kSecurityItem = 5;

}  // namespace

bool infoSheetMayOpen(const DeviceFields& device, const MemoryImage& image, const OptionState& options,
                      UserInterface& ui) {
    if (programAreaBlank(device, image)) {
        ui.message("Data memory are blank or error");
        return false;
    }
    const std::string optionMessage = optionStatusMessage(options.optionStatus);
    if (!optionMessage.empty()) {
        ui.message(optionMessage);
        return false;
    }
    if (options.items[kSecurityItem].valueText != "Enable")
        return ui.askYesNo("Security is not enabled, continue?");
    return true;
}

bool checkInfoSheetFields(const InfoSheet& s, UserInterface& ui) {
    const std::pair<const std::string*, const char*> checks[] = {
        {&s.customerName, "Please enter Customer's Name"},
        {&s.projectName, "Please enter Customer's Project Name"},
        {&s.partNo, "Please enter Device Part No."},
        {&s.codeNo, "Please enter Code No."},
    };
    for (const auto& [field, message] : checks) {
        if (field->empty()) {
            ui.message(message);
            return false;
        }
    }
    if (s.serialEnabled && s.serialStartAddress.empty()) {
        ui.message("Please enter serial no. start address");
        return false;
    }
    return true;
}

std::optional<char> serialStartAddressKey(char key, std::size_t length) {
    if (length >= 4) return std::nullopt;
    if ((key >= '0' && key <= '9') || (key >= 'A' && key <= 'F')) return key;
    if (key >= 'a' && key <= 'f') return static_cast<char>(key - 'a' + 'A');
    return std::nullopt;
}

std::string AddSpace(std::string_view text, std::size_t n) {
    std::string out(text);
    if (out.size() < n) out.insert(0, n - out.size(), ' ');
    return out;
}

std::string AppendDash(std::string_view text, std::size_t n) {
    std::string out(text);
    if (out.size() < n) out.append(n - out.size(), '-');
    return out;
}

std::string SaveInfo(const InfoSheet& s, std::string_view date) {
    std::string out;
    auto line = [&out](const std::string& text) { out += text + "\r\n"; };
    auto row = [&line](std::string_view label, const std::string& value) {
        line(AddSpace(label, 24) + " " + value);
    };
    line("                   Date: " + std::string(date));
    line("            Device name: " + s.deviceName);
    line("              File name: " + s.dataFileName);
    line("        Customer's name: " + s.customerName);
    line("Customer's project name: " + s.projectName);
    for (int k : kInfoOptionOrder) {
        const InfoSheetOption& o = s.options[static_cast<std::size_t>(k)];
        if (o.visible) row(o.caption, o.value);
    }
    row("Option value:", s.optionValue);
    if (s.serialEnabled) {
        row("Serial no mode:", "Enable");
        row("Serial no start address:", s.serialStartAddress + "H");
    } else {
        row("Serial no mode:", "Disable");
    }
    row("Memory checksum:", s.memoryChecksum + "H");
    row("Operating frequency:", s.frequency + " Hz");
    row("Operating voltage:", s.voltageLow + " ~ " + s.voltageHigh + " V");
    row("Operating current:", s.current + " mA");
    row("Sleep current:", s.sleepCurrent + " uA");
    row("Part no :", s.partNo + "-" + s.codeNo);
    return out;
}

std::optional<std::string> SaveProjectInfo(
    UserInterface& ui, std::string_view dataFileName, const InfoSheet& sheet, std::string_view date,
    const std::function<std::optional<std::string>(const std::string& proposedName)>& chooseFile) {
    const std::string proposed = dialogInitialName(dataFileName);
    std::error_code ec;
    if (!proposed.empty() && std::filesystem::exists(proposed + ".txt", ec) &&
        !ui.askYesNo("File existed, overwrite it?"))
        return std::nullopt;
    const auto path = chooseFile(proposed);
    if (!path || path->empty()) return std::nullopt;
    if (!writeFileWhole(*path, SaveInfo(sheet, date))) {
        ui.error("File can't be saved!");
        return std::nullopt;
    }
    return path;
}

InfoPage infoPage(const InfoSheet& s, std::string_view date, std::string_view version) {
    InfoPage page;
    auto& t = page.texts;
    t.push_back({"Customer Information Sheet for " + s.deviceName, 16, 0, 900, true});
    auto at = [&t](int x, int row, std::string text) {
        t.push_back({std::move(text), 10, x, infoRowY(row), false});
    };
    auto orBlank = [](const std::string& v) { return v.empty() ? std::string("______") : v; };

    at(500, 1, AppendDash("1. Customer's Name", 30) + " " + s.customerName);
    at(500, 2, AppendDash("2. Customer's Project Name", 30) + " " + s.projectName);
    at(500, 3, AppendDash("3. File Name", 30) + " " + s.dataFileName);
    at(500, 4, "4. Options : ");
    int row = 5;
    for (int k : kInfoOptionOrder) {
        const InfoSheetOption& o = s.options[static_cast<std::size_t>(k)];
        if (o.visible) at(700, row++, AppendDash(o.caption, 30) + " " + o.value);
    }
    at(700, row, AppendDash("Option Value", 40) + " " + s.optionValue);
    at(500, 19, "5. Checksum : ");
    at(700, 20, AppendDash("Memory ", 40) + " " + s.memoryChecksum + "H");
    at(700, 21, AppendDash("with Options and EEPROM (if existed) ", 40) + " " + s.optionChecksum + "H");
    at(500, 22,
       std::string("6. Serial Mode ------------------- ") + (s.serialEnabled ? "Enable" : "Disable"));
    if (s.serialEnabled) at(700, 23, AppendDash("Serial no start address : ", 30) + s.serialStartAddress);
    const int a = s.serialEnabled ? 23 : 22;
    at(500, a + 2, "7. Operating condistions : ");
    at(700, a + 3, AppendDash("Frequency ", 30) + " " + orBlank(s.frequency) + " Hz");
    at(700, a + 4,
       AppendDash("Operating Voltage ", 30) + " " + orBlank(s.voltageLow) + " ~ " + orBlank(s.voltageHigh) +
           " V");
    at(700, a + 5, AppendDash("Operating current ", 30) + " " + orBlank(s.current) + " mA");
    at(700, a + 6, AppendDash("Sleep current ", 30) + " " + orBlank(s.sleepCurrent) + " uA");
    at(500, a + 8, "8. Part no : " + s.partNo + "-" + s.codeNo);

    at(400, a + 13, "Customer: _________________ Date: " + std::string(date));
    at(400, a + 15, "Salesman: _________________ Date: ________,    FAE: _________________ Date: ________");
    at(400, a + 17, "  Leader: _________________ Date: ________, Leader: _________________ Date: ________");
    at(400, a + 19, " Samples: __ programmed by tester or");
    at(400, a + 20, "          __ programmed by writer (__ 1st order QTY >= 10K ea, approved: __________)");
    t.push_back({"Version : " + std::string(version), 10, 3700, 6500, false});
    return page;
}

}  // namespace qzr
