#pragma once

#include <string>

namespace qzr {

// The writer operation that a command dispatches; the engine reads it again at every run.
enum class OperationType : int {
    BlankCheck = 0,
    EraseFlash = 1,
    ProgramIdChecksum = 2,
    ProgramData = 3,
    ProgramOptions = 4,
    ProgramEeprom = 5,
    Verify = 6,
    VerifyProtected = 7,
    AutoProgram = 8,
    AutoProgramNoBlankCheck = 9,
    OverWrite = 10,
};

inline constexpr int kOperationTypeCount = 11;

struct OperationState {
    OperationType operationType = OperationType::BlankCheck;
    bool qtpSimulation = false;    // engineering panel "QTP Sim"
    bool flashTestRepeat = false;  // engineering panel "Flash Pgm test"
    bool showProgramTime = false;  // engineering panel "Show program time"
    // The production record (ProductionLog.h): one line per chip that a writer operation reached is added
    // to this file; empty: no record. The user's own setting, not part of the configuration file.
    std::string productionLogPath;
};

}  // namespace qzr
