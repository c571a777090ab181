// The terminal seam: whether the standard streams are terminals, and the one question the CLI
// asks (y/N). Production uses the process's own console; tests script it.
#pragma once

#include <istream>
#include <ostream>
#include <string>

namespace cli {

class Terminal {
  public:
    virtual ~Terminal() = default;
    virtual bool StdinIsTerminal() const = 0;
    virtual bool StdoutIsTerminal() const = 0;
    virtual bool StderrIsTerminal() const = 0;
    // Shows `question` with " [y/N] " on standard error and reads one answer line; true only
    // for y, yes, t or tak (any case). End of input or an interrupted read count as No.
    virtual bool AskYesNo(const std::string& question) = 0;
};

class SystemTerminal final : public Terminal {
  public:
    SystemTerminal(std::istream& in, std::ostream& err) : in_(in), err_(err) {}
    bool StdinIsTerminal() const override;
    bool StdoutIsTerminal() const override;
    bool StderrIsTerminal() const override;
    bool AskYesNo(const std::string& question) override;

  private:
    std::istream& in_;
    std::ostream& err_;
};

// The answer line read as a yes (y, yes, t, tak; blanks and case ignored).
bool IsYes(const std::string& answer);

}  // namespace cli
