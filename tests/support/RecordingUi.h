#pragma once

#include <deque>
#include <string>
#include <vector>

#include "core/common/UserInterface.h"

namespace qzr::test {

// Records every text the core shows, in order, and answers questions from a script (default No / Abort).
class RecordingUi final : public UserInterface {
  public:
    void message(const std::string& text) override { log.push_back(text); }
    void error(const std::string& text) override { log.push_back("Error: " + text); }
    bool askYesNo(const std::string& text) override {
        log.push_back("? " + text);
        return nextAnswer();
    }
    bool askAbortIgnore(const std::string& text) override {
        log.push_back("? " + text);
        return nextAnswer();
    }

    // Queues answers: true = Yes / Ignore.
    void answer(bool a) { answers.push_back(a); }

    std::vector<std::string> log;
    std::deque<bool> answers;

  private:
    bool nextAnswer() {
        if (answers.empty()) return false;
        bool a = answers.front();
        answers.pop_front();
        return a;
    }
};

}  // namespace qzr::test
