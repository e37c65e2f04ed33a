#include "app/OperationCommands.h"

#include <array>
#include <cstdio>

#include "app/JournalCommands.h"
#include "app/MainState.h"
#include "core/serial_number/SerialNumber.h"
#include "core/writer/WriterDetect.h"

namespace qzr {

namespace {

struct CommandName {
    OperationType type;
    const char* name;
};

constexpr std::array<CommandName, kOperationTypeCount> kCommandNames{{
    {OperationType::BlankCheck, "blank-check"},
    {OperationType::EraseFlash, "erase"},
    {OperationType::ProgramIdChecksum, "program-id"},
    {OperationType::ProgramData, "program"},
    {OperationType::ProgramOptions, "program-options"},
    {OperationType::ProgramEeprom, "program-eeprom"},
    {OperationType::Verify, "verify"},
    {OperationType::VerifyProtected, "verify-protect"},
    {OperationType::AutoProgram, "auto"},
    {OperationType::AutoProgramNoBlankCheck, "auto-no-blank-check"},
    {OperationType::OverWrite, "force-write"},
}};

}  // namespace

bool CheckResetAddr(MainState& st) {
    const uint16_t address = resetAddress(st.device);
    if (!isBlankWord(st.image.programWord(address), st.device.highByteMask)) return true;
    char text[48];
    std::snprintf(text, sizeof text, "Reset address (%04Xh) is blank!!", static_cast<unsigned>(address));
    return st.ui->askAbortIgnore(text);
}

std::string operationRefusal(const MainState& st, OperationType type) {
    const bool serialMode = st.serial.serialMode;
    switch (type) {
        case OperationType::EraseFlash:
            if (!st.device.isFlash())
                return "Erase Flash memory: " + st.device.deviceName + " is not a flash device!!";
            break;
        case OperationType::ProgramEeprom:
            if (!st.device.hasEeprom())
                return "Program EEPROM data: " + st.device.deviceName + " has no EEPROM!!";
            break;
        case OperationType::ProgramIdChecksum:
            if (serialMode) return "Program ID and Checksum is disabled in serial number mode!!";
            break;
        case OperationType::ProgramData:
            if (serialMode) return "Program Memory is disabled in serial number mode!!";
            break;
        case OperationType::ProgramOptions:
            if (serialMode) return "Program OPTION is disabled in serial number mode!!";
            break;
        case OperationType::AutoProgram:
        case OperationType::AutoProgramNoBlankCheck:
            if (serialMode && st.serial.target == SerialTarget::Eeprom && st.device.hasEeprom() &&
                !st.settings.programEepromInAuto) {
                return "The serial number goes to the EEPROM, but \"Program EEPROM in Auto program mode\" is "
                       "off!!";
            }
            break;
        default:
            break;
    }
    return {};
}

bool dispatchOperation(MainState& st, OperationType type) {
    if (const std::string refusal = operationRefusal(st, type); !refusal.empty()) {
        st.ui->error(refusal);
        return false;
    }
    st.operation.operationType = type;
    switch (type) {
        case OperationType::ProgramData:
        case OperationType::AutoProgram:
        case OperationType::AutoProgramNoBlankCheck:
            if (!CheckResetAddr(st)) return false;
            break;
        case OperationType::OverWrite:
            SerialModeOff(st.serial, *st.views, false);
            break;
        default:
            break;
    }
    // The journal is opened (and the number moved past the lot's numbers) before the dialog opens.
    return prepareJournal(st);
}

bool WriterFunction(MainState& st, const std::function<void()>& showProgressDialog) {
    if (!PreparePort(st.link, st.device, *st.ui)) return false;
    showProgressDialog();
    afterOperationDialog(st);
    return true;
}

void afterOperationDialog(MainState& st) {
    st.views->reloadProgramWindow();
    st.views->reloadEepromWindow();
    st.views->refreshChecksums();
    st.views->refreshSerialIndicators();
}

std::optional<OperationType> operationTypeFromCommand(std::string_view command) {
    for (const CommandName& c : kCommandNames)
        if (command == c.name) return c.type;
    return std::nullopt;
}

const char* operationCommandName(OperationType type) {
    for (const CommandName& c : kCommandNames)
        if (c.type == type) return c.name;
    return "";
}

}  // namespace qzr
