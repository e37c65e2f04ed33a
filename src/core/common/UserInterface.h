#pragma once

#include <string>

namespace qzr {

// What the core asks of the person at the screen. The GUI shows message boxes, the command-line program
// prints, tests record and answer from a script.
class UserInterface {
  public:
    virtual ~UserInterface() = default;
    // A plain message box.
    virtual void message(const std::string& text) = 0;
    // A validation message: a box titled "Error" with the stop icon.
    virtual void error(const std::string& text) = 0;
    // A confirmation with Yes and No; true for Yes.
    virtual bool askYesNo(const std::string& text) = 0;
    // A confirmation with Abort and Ignore; true for Ignore.
    virtual bool askAbortIgnore(const std::string& text) = 0;
};

// Says nothing and answers No / Abort.
class SilentUserInterface final : public UserInterface {
  public:
    void message(const std::string&) override {}
    void error(const std::string&) override {}
    bool askYesNo(const std::string&) override { return false; }
    bool askAbortIgnore(const std::string&) override { return false; }
};

}  // namespace qzr
