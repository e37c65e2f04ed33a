#pragma once

#include <array>
#include <string>

namespace qzr {

// The stored form of a text to show ("&" stored as "&&"), for texts that come from outside (file names).
std::string storedText(const std::string& shown);

// The lines of the progress dialog, top to bottom: stTitle, lbEraseMsg, lbBlankCheckMsg, lbIDMsg, lbDataMsg,
// lbEEMsg, lbOptionMsg, lbQTPMsg, lbTotalTime.
enum class ViewLine : int { Title, Erase, BlankCheck, Id, Data, Eeprom, Option, Qtp, TotalTime };
inline constexpr int kViewLineCount = 9;

// The dialog's control name of a line ("lbDataMsg").
const char* viewLineName(ViewLine line);

// A text as the dialog shows it: a stored "&&" is shown as "&"; a lone "&" stays.
std::string displayText(const std::string& stored);

// What the operation engine writes to the progress dialog, in order. The engine calls it from its worker
// thread; the GUI queues each call to the user-interface thread, the command-line program prints, tests
// record. Texts are passed as stored ("&&" for an ampersand).
class OperationView {
  public:
    virtual ~OperationView() = default;
    virtual void setText(ViewLine line, const std::string& text) = 0;
    // A progress address during a data or EEPROM stream (a text of the line that is redrawn often).
    virtual void setProgress(ViewLine line, const std::string& text) { setText(line, text); }
    // How far a long stream of the run has come (program data or EEPROM pairs written, program memory
    // read): `done` of `total` bytes. The dialog shows nothing of it; the command-line program draws a bar.
    virtual void streamProgress(int /*done*/, int /*total*/) {}
    // true: painted red; false: the system window-text colour.
    virtual void setRed(ViewLine line, bool red) = 0;
    virtual void setVisible(ViewLine line, bool visible) = 0;
    virtual void setContinueEnabled(bool enabled) = 0;
    virtual void setExitEnabled(bool enabled) = 0;
    // The repeat timer (one second) of the flash programming test.
    virtual void setRepeatTimer(bool enabled) = 0;
    // A run has ended and may have changed what the main window shows (pass count, serial number,
    // checksums); the GUI refreshes those on its own thread.
    virtual void stateChanged() {}
};

// The dialog's state as the engine's calls leave it; starts as the dialog is designed (title
// "Auto Program", only the blank-check line of the step lines shown, both buttons disabled, timer off).
struct ProgressDialogModel : OperationView {
    struct Line {
        std::string text;  // as stored
        bool red = false;
        bool visible = false;
    };
    std::array<Line, kViewLineCount> lines;
    bool continueEnabled = false;
    bool exitEnabled = false;
    bool repeatTimer = false;

    ProgressDialogModel();
    Line& line(ViewLine l) { return lines[static_cast<int>(l)]; }
    const Line& line(ViewLine l) const { return lines[static_cast<int>(l)]; }

    void setText(ViewLine l, const std::string& text) override { line(l).text = text; }
    void setRed(ViewLine l, bool red) override { line(l).red = red; }
    void setVisible(ViewLine l, bool visible) override { line(l).visible = visible; }
    void setContinueEnabled(bool enabled) override { continueEnabled = enabled; }
    void setExitEnabled(bool enabled) override { exitEnabled = enabled; }
    void setRepeatTimer(bool enabled) override { repeatTimer = enabled; }
};

// Restart of the dialog before the next run (Continue or the repeat timer): both buttons disabled, the six
// step lines hidden and back in the normal colour; title, QTP line and total time keep their texts.
void resetProgressLines(OperationView& view);

}  // namespace qzr
