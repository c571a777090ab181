// The dialogs seam on a terminal: errors and messages go to standard error after the program's
// name, and the one question is answered by --yes or by the user at the terminal.
#pragma once

#include <string>

#include "cli/context.h"
#include "uwieg/dialogs.h"

namespace cli {

class CliDialogs final : public uwieg::Dialogs {
  public:
    CliDialogs(const Context& context, bool assumeYes) : context_(context), assumeYes_(assumeYes) {}

    void ShowError(const std::string& text) override { context_.Error(text); }
    bool AskYesNo(const std::string& text, const std::string& caption) override;
    void ShowMessage(const std::string& text) override { context_.Error(text); }

  private:
    const Context& context_;
    const bool assumeYes_;
};

// The window's question text for a terminal: each line without its leading blanks.
std::string TerminalQuestion(const std::string& text);

}  // namespace cli
