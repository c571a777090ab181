// The dialogs seam on Qt's modal message boxes.
#pragma once

#include "uwieg/dialogs.h"

class QtDialogs final : public uwieg::Dialogs {
  public:
    void ShowError(const std::string& text) override;
    bool AskYesNo(const std::string& text, const std::string& caption) override;
    void ShowMessage(const std::string& text) override;
};
