// The dialogs seam: the window shows these with the toolkit's modal boxes, tests record them.
#pragma once

#include <optional>
#include <string>

namespace uwieg {

// What a file chooser asks: its title, the kind of file it lists ("Profil Trelvo (*.json)")
// and the name it suggests (a bare name or a whole path).
struct FileQuestion {
    std::string caption;
    std::string filter;
    std::string suggestedName;
};

class Dialogs {
  public:
    virtual ~Dialogs() = default;
    // Modal error box: error icon, title "Error", one "OK" button.
    virtual void ShowError(const std::string& text) = 0;
    // Modal question with Yes and No, no icon; true only for Yes.
    virtual bool AskYesNo(const std::string& text, const std::string& caption) = 0;
    // Plain message box with OK.
    virtual void ShowMessage(const std::string& text) = 0;
    // Modal file choosers: the path chosen, nothing when the user cancels. The save chooser
    // asks before replacing an existing file. A program without choosers answers as a cancel.
    virtual std::optional<std::string> ChooseFileToOpen(const FileQuestion&) {
        return std::nullopt;
    }
    virtual std::optional<std::string> ChooseFileToSave(const FileQuestion&) {
        return std::nullopt;
    }
};

}  // namespace uwieg
