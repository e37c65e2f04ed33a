#pragma once

#include <cstdint>

#include "core/operations/OperationState.h"

namespace qzr {

struct DeviceFields;

// Which read step ends the writer sequence (the options verify always ends it when it runs).
enum class LastStep : int {
    OptionsVerify = 0,
    BlankCheckData = 1,
    IdVerify = 2,
    DataVerify = 3,
    EepromVerify = 4
};

// What one run does, built from the operation type, the device and the settings.
struct OperationPlan {
    bool doErase = false;
    bool doBlankCheck = false;
    bool doProgramId = false;
    bool doVerifyId = false;
    bool doProgramData = false;
    bool doVerifyData = false;
    bool doProgramEeprom = false;
    bool doVerifyEeprom = false;
    bool doProgramOptions = false;
    bool doVerifyOptions = false;
    bool isAuto = false;
    bool overWrite = false;    // program exchanges use kind 3 (0xA7)
    bool protectMode = false;  // verify compares only what a protected chip returns
    bool verifyOnly = false;   // success texts say "verify OK"
    uint8_t compareMask = 0x7F;
    LastStep lastStep = LastStep::OptionsVerify;

    friend bool operator==(const OperationPlan&, const OperationPlan&) = default;
};

// The plan of one run for the device and the "Program EEPROM in Auto program mode" setting.
OperationPlan buildOperationPlan(OperationType type, const DeviceFields& device, bool programEepromInAuto);

// The progress dialog's title of each operation type, as stored ("&&" shows as "&").
const char* operationTitle(OperationType type);

}  // namespace qzr
