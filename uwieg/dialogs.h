// The dialogs seam: the window shows these with the toolkit's modal boxes, tests record them.
#pragma once

#include <string>

namespace uwieg {

class Dialogs {
public:
    virtual ~Dialogs() = default;
    // Modal error box: error icon, title "Error", one "OK" button.
    virtual void ShowError(const std::string& text) = 0;
    // Modal question with Yes and No, no icon; true only for Yes.
    virtual bool AskYesNo(const std::string& text, const std::string& caption) = 0;
    // Plain message box with OK.
    virtual void ShowMessage(const std::string& text) = 0;
};

}  // namespace uwieg
