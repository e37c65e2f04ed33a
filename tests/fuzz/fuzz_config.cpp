// The configuration reader on any text, and the writer after it: whatever a load leaves, the file saved
// from it loads back without a file-data or number error, and saving again gives the same text. The
// data-file name survives the round trip (blanks included).
#include <string>

#include "FuzzSupport.h"
#include "app/ConfigCommands.h"
#include "app/MainState.h"

using namespace qzr;

namespace {

// The name as the file keeps it: on one line, without the blanks and TABs at its end.
std::string keptName(std::string name) {
    for (char& c : name) {
        if (c == '\r' || c == '\n') c = ' ';
    }
    while (!name.empty() && (name.back() == ' ' || name.back() == '\t')) name.pop_back();
    return name;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    fuzz::Input in(data, size);
    // A data-file name for the saved file (never one that exists: it ends in an unknown kind's name).
    std::string dataName = in.text(in.byte() % 24);
    std::erase(dataName, '\0');  // names come from dialogs and the command line, which hold no zero byte
    if (!dataName.empty()) dataName += ".qzr-fuzz-none";

    MainState first;
    fuzz::RecordingUi ui1;
    first.ui = &ui1;
    first.configPath = "fuzz.cfg";
    LoadCfg(first, in.rest());

    first.dataFileName = dataName;
    const std::string text1 = SaveCfg(first);

    MainState second;
    fuzz::RecordingUi ui2;
    second.ui = &ui2;
    second.configPath = "fuzz.cfg";
    FUZZ_CHECK(!LoadCfg(second, text1));  // the data file never exists
    // One message, about the data file: neither the file-data error nor a number error came first.
    FUZZ_CHECK(ui2.log.size() == 1);
    const std::string name = keptName(dataName);
    FUZZ_CHECK(ui2.log.back() ==
               (name.empty() ? std::string("No data file name") : "Can not find '" + name + "' !"));

    second.dataFileName = dataName;
    const std::string text2 = SaveCfg(second);
    FUZZ_CHECK(text1 == text2);
    return 0;
}
