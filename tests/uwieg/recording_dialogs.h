// Dialogs that record the error boxes shown and answer every question with No.
#pragma once

#include <string>
#include <vector>

#include "uwieg/dialogs.h"

namespace uwieg_test {

class RecordingDialogs final : public uwieg::Dialogs {
  public:
    std::vector<std::string> errors;
    void ShowError(const std::string& text) override { errors.push_back(text); }
    bool AskYesNo(const std::string&, const std::string&) override { return false; }
    void ShowMessage(const std::string&) override {}
};

}  // namespace uwieg_test
