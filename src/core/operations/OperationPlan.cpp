#include "core/operations/OperationPlan.h"

#include "core/device/DeviceCatalogue.h"

namespace qzr {

OperationPlan buildOperationPlan(OperationType type, const DeviceFields& device, bool programEepromInAuto) {
    OperationPlan p;
    const bool flash = device.isFlash();
    // EEPROM in auto-program and in verify only for a device that has one, and only when the setting is on.
    const bool eeprom = device.hasEeprom() && programEepromInAuto;
    switch (type) {
        case OperationType::BlankCheck:
            p.doBlankCheck = true;
            p.lastStep = LastStep::BlankCheckData;
            break;
        case OperationType::EraseFlash:
            p.doErase = true;
            p.doBlankCheck = true;
            p.lastStep = LastStep::BlankCheckData;
            break;
        case OperationType::ProgramIdChecksum:
            p.doProgramId = p.doVerifyId = true;
            p.lastStep = LastStep::IdVerify;
            break;
        case OperationType::ProgramData:
            p.doProgramData = p.doVerifyData = true;
            p.lastStep = LastStep::DataVerify;
            break;
        case OperationType::ProgramOptions:
            p.doProgramOptions = p.doVerifyOptions = true;
            break;
        case OperationType::ProgramEeprom:
            p.doProgramEeprom = p.doVerifyEeprom = true;
            p.lastStep = LastStep::EepromVerify;
            break;
        case OperationType::Verify:
            p.doVerifyId = p.doVerifyData = p.doVerifyOptions = true;
            p.doVerifyEeprom = eeprom;
            p.verifyOnly = true;
            break;
        case OperationType::VerifyProtected:
            p.doVerifyId = p.doVerifyData = p.doVerifyOptions = true;
            p.verifyOnly = true;
            p.protectMode = true;
            break;
        case OperationType::AutoProgram:
        case OperationType::AutoProgramNoBlankCheck:
            p.doErase = flash;
            // A flash device is erased instead of blank checked.
            p.doBlankCheck = type == OperationType::AutoProgram && !flash;
            p.doProgramId = p.doVerifyId = true;
            p.doProgramData = p.doVerifyData = true;
            p.doProgramEeprom = p.doVerifyEeprom = eeprom;
            p.doProgramOptions = p.doVerifyOptions = true;
            p.isAuto = true;
            break;
        case OperationType::OverWrite:
            p.doProgramData = p.doVerifyData = true;
            p.lastStep = LastStep::DataVerify;
            p.overWrite = true;
            p.protectMode = true;
            break;
    }
    if (p.protectMode) {
        p.doVerifyEeprom = false;
        p.compareMask = 0x60;
    }
    return p;
}

const char* operationTitle(OperationType type) {
    switch (type) {
        case OperationType::BlankCheck:
            return "Blank check";
        case OperationType::EraseFlash:
            return "Erase flash memory";
        case OperationType::ProgramIdChecksum:
            return "Program ID && checksum";
        case OperationType::ProgramData:
            return "Program data";
        case OperationType::ProgramOptions:
            return "Program options";
        case OperationType::ProgramEeprom:
            return "Program EEPROM";
        case OperationType::Verify:
            return "Verify data";
        case OperationType::VerifyProtected:
            return "Verify data in protect mode";
        case OperationType::AutoProgram:
            return "Auto-program";
        case OperationType::AutoProgramNoBlankCheck:
            return "Auto-program without blank check";
        case OperationType::OverWrite:
            return "Over-write data";
    }
    return "";
}

}  // namespace qzr
