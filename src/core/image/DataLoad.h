#pragma once

#include <cstddef>
#include <string>

namespace qzr {

struct DeviceFields;
class MemoryImage;
class UserInterface;

// The kinds of data file, decided by the text after the last "." of the name, in any case.
enum class DataFileKind { cfg, obj, hex, bin, mhx, other };
DataFileKind dataFileKind(const std::string& fileName);

// Size limits of the loader. A .bin or .obj file is never read beyond what the image can hold; a HEX text
// longer than kMaxHexTextBytes is refused.
inline constexpr std::size_t kBinWithEepromBase = 0x8200;

// What loadDataFile did with a file.
enum class DataLoadOutcome {
    refused,              // not read, or refused before anything was decided (its message was shown)
    refusedAfterReading,  // read, then refused (the 11-bit test; its message was shown)
    configuration,        // a configuration file: the caller hands it to the configuration loader
    taken,                // the image holds the file's data
};
struct DataLoadResult {
    DataLoadOutcome outcome = DataLoadOutcome::refused;
    bool damaged = false;  // a HEX file whose reading reported an error (its message was shown)
};

// Loads the data file `fileName` into `image` for `device`: reads it by its kind, translates the other
// maker's words (warning through `formatWarnings` unless it is null), checks the size (offering to duplicate
// a half-size program), tests core-type-3 words for 11 bits and splits every word into the image form. The
// image changes only when the file is taken; every refusal shows its message through `ui`. A configuration
// file is only opened (a file that cannot be opened is refused), never read.
DataLoadResult loadDataFile(const DeviceFields& device, UserInterface& ui, UserInterface* formatWarnings,
                            MemoryImage& image, const std::string& fileName);

// Steps of the loader, for the configuration loader and the tests.
// Converts every word of the program area from the intermediate form (low byte, high byte) to the image
// form (7 + 7 bits, high part masked with highByteMask).
void splitProgramWords(MemoryImage& image, uint8_t highByteMask);

}  // namespace qzr
