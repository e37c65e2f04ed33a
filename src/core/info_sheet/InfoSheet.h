#pragma once

#include <array>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qzr {

struct DeviceFields;
class MemoryImage;
struct OptionState;
class UserInterface;

// tbInfoSheetClick's checks before the sheet opens, in order: a blank program area ("Data memory are blank or
// error"), blank or faulty options (the option-status messages), and security not enabled (asks "Security is
// not enabled, continue?"). Returns true when the sheet may open.
bool infoSheetMayOpen(const DeviceFields& device, const MemoryImage& image, const OptionState& options,
                      UserInterface& ui);

// One option row of the sheet: a copy of the main window's caption and value.
struct InfoSheetOption {
    std::string caption;
    std::string value;
    bool visible = false;  // the caption is shown: the row goes into the file and onto the page
    bool valueEnabled = true;
};

// The texts of the sheet (the controls of TInfoForm).
struct InfoSheet {
    std::string customerName;
    std::string projectName;
    std::string dataFileName;  // the data file's name without its folder
    std::string deviceName;
    std::string partNo;
    std::string codeNo;
    std::string memoryChecksum;
    std::string optionChecksum;
    std::string optionChecksumCaption;
    std::array<InfoSheetOption, 13> options;  // items 1..13 as the main window has them (index 5: security)
    std::string optionValue;
    bool serialEnabled = false;
    std::string serialStartAddress;
    std::string frequency;
    std::string voltageLow;
    std::string voltageHigh;
    std::string current;
    std::string sleepCurrent;
};

// The order of the option rows in the file and on the page: items 1-5, 7-13, then security (item 6); indexes
// into InfoSheet::options.
inline constexpr std::array<int, 13> kInfoOptionOrder{0, 1, 2, 3, 4, 6, 7, 8, 9, 10, 11, 12, 5};

// "Save && Print"'s field checks in order; the first empty field's message is shown and false returned.
bool checkInfoSheetFields(const InfoSheet& sheet, UserInterface& ui);

// Whether a typed character is taken by the serial start-address field holding `length` characters, and as
// what: 0-9 and A-F while fewer than 4 characters, a-f as capitals; nullopt when it is discarded.
std::optional<char> serialStartAddressKey(char key, std::size_t length);

// Prepends blanks until `text` is `n` characters long; a longer text is unchanged.
std::string AddSpace(std::string_view text, std::size_t n);
// Appends "-" until `text` is `n` characters long; a longer text is unchanged.
std::string AppendDash(std::string_view text, std::size_t n);

// The text file of the sheet, every line ended by CR LF; `date` in the short date format.
std::string SaveInfo(const InfoSheet& sheet, std::string_view date);

// SaveProjectInfo: proposes the data file's name before its first "." (folder kept; empty without a "."),
// asks "File existed, overwrite it?" when that name plus ".txt" exists (No: nothing saved), then asks
// `chooseFile` for the file (given the proposed name; nullopt: cancelled) and writes the sheet there whole.
// A file that cannot be written is reported ("File can't be saved!"). Returns the path written, if any.
std::optional<std::string> SaveProjectInfo(
    UserInterface& ui, std::string_view dataFileName, const InfoSheet& sheet, std::string_view date,
    const std::function<std::optional<std::string>(const std::string& proposedName)>& chooseFile);

// The printed page, in printer pixels of a 600 dots-per-inch page: every text with its size and position.
struct PageText {
    std::string text;
    int pointSize = 10;
    int x = 0;  // ignored when `centred`
    int y = 0;
    bool centred = false;  // horizontally centred on the page
};
struct InfoPage {
    static constexpr int kDotsPerInch = 600;
    std::string fontFamily = "Courier New";
    int logoTop = 300;  // the logo is centred horizontally with its top edge here
    std::vector<PageText> texts;
};

// y of page row k.
inline constexpr int infoRowY(int k) {
    return 1100 + 120 * k;
}

// PrintProjectInfo's page: the title, the numbered rows, the option rows, the signature block and the
// version. An empty operating condition prints as "______".
InfoPage infoPage(const InfoSheet& sheet, std::string_view date, std::string_view version);

}  // namespace qzr
