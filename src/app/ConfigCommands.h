#pragma once

#include <string>
#include <string_view>

#include "core/config/ConfigFile.h"

namespace qzr {

struct MainState;

// The 17 lines of a configuration file for the current state, each ended by CR LF. A serial-number byte
// count of 0 is set to 1 first.
std::string SaveCfg(MainState& st);

// Loads a configuration file's content (`st.configPath` names it in messages): the keyed text format only.
// Selects the named device without the device reset and loads the named data file. Returns true when the
// set-up and the data file were taken over; on false the message was shown and the caller runs the device
// reset. A file refused before its device is looked up leaves the state as it was.
bool LoadCfg(MainState& st, std::string_view content);

// Reads `st.configPath` (bounded) and loads it with LoadCfg.
bool LoadCfgFile(MainState& st);

// Writes the configuration file `path` whole or not at all (a previous file is replaced only by a complete
// new one). A failed write shows "File can't be saved!" and returns false.
bool writeConfigFile(MainState& st, const std::string& path);

// File > "Load Config File" with the first filter and a non-empty name: the configuration-file name becomes
// `path`, the file is loaded (false: device reset), an open disassembly window is closed.
bool LoadConfigFile(MainState& st, const std::string& path);

// The two file menu commands after their dialog was confirmed with `name` and filter entry `filterIndex`
// (1 = "Config files (*.cfg)", 2 = the QTP entry). With another entry or an empty name the save shows
// "File can't be saved!" and the load "Can't load file!", and nothing is written or read.
bool FileSaveItemClick(MainState& st, const std::string& name, int filterIndex);
bool LoadConfig1Click(MainState& st, const std::string& name, int filterIndex);

// First show of the main window: loads `directory`/Default.cfg when it exists (false: device reset),
// otherwise refreshes the option display. Returns true when the file was loaded.
bool loadStartupConfig(MainState& st, const std::string& directory);

// Shut-down: writes `directory`/Default.cfg (whole or not at all).
bool saveExitConfig(MainState& st, const std::string& directory);

}  // namespace qzr
