// Dialogs that record the error boxes shown, answer every question with No and every file
// chooser from a script (a cancel when the script is used up).
#pragma once

#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "uwieg/dialogs.h"

namespace uwieg_test {

class RecordingDialogs final : public uwieg::Dialogs {
  public:
    std::vector<std::string> errors;
    std::vector<uwieg::FileQuestion> fileQuestions;
    std::deque<std::optional<std::string>> fileAnswers;

    void ShowError(const std::string& text) override { errors.push_back(text); }
    bool AskYesNo(const std::string&, const std::string&) override { return false; }
    void ShowMessage(const std::string&) override {}
    std::optional<std::string> ChooseFileToOpen(const uwieg::FileQuestion& question) override {
        return Answer(question);
    }
    std::optional<std::string> ChooseFileToSave(const uwieg::FileQuestion& question) override {
        return Answer(question);
    }

  private:
    std::optional<std::string> Answer(const uwieg::FileQuestion& question) {
        fileQuestions.push_back(question);
        if (fileAnswers.empty()) {
            return std::nullopt;
        }
        std::optional<std::string> answer = fileAnswers.front();
        fileAnswers.pop_front();
        return answer;
    }
};

}  // namespace uwieg_test
