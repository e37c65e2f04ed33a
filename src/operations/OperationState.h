#pragma once

namespace qzr {

enum class OperationType : int {
    BlankCheck = 0,
    Erase = 1,
    ProgramId = 2,
    ProgramData = 3,
    ProgramOptions = 4,
    ProgramEeprom = 5,
    Verify = 6,
    VerifyProtect = 7,
    AutoProgram = 8,
    AutoProgramNoBlankCheck = 9,
    OverWrite = 10,
};

struct OperationState {
    OperationType operationType = OperationType::BlankCheck;
    bool qtpSimulation = false;    // engineering panel "QTP Sim"
    bool flashTestRepeat = false;  // engineering panel "Flash Pgm test"
    bool showProgramTime = false;  // engineering panel "Show program time"
};

}  // namespace qzr
