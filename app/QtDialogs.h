// The dialogs seam on Qt's modal message boxes and file dialogs.
#pragma once

#include "uwieg/dialogs.h"

class QtDialogs final : public uwieg::Dialogs {
  public:
    void ShowError(const std::string& text) override;
    bool AskYesNo(const std::string& text, const std::string& caption) override;
    void ShowMessage(const std::string& text) override;
    // The filter's first extension ("*.json") is added to a name typed without one.
    std::optional<std::string> ChooseFileToOpen(const uwieg::FileQuestion& question) override;
    std::optional<std::string> ChooseFileToSave(const uwieg::FileQuestion& question) override;
};
