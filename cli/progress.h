// The upgrade's progress on standard error: a bar redrawn in place on a terminal, plain lines
// (every tenth of the way) when standard error is a file or a pipe.
#pragma once

#include <ostream>

#include "uwieg/upgrade.h"

namespace cli {

class UpgradeProgress final : public uwieg::UpgradeView {
  public:
    UpgradeProgress(std::ostream& err, bool terminal) : err_(err), terminal_(terminal) {}

    void SetUpgradeLabelVisible(bool /*visible*/) override {}
    void SetProgressMaximum(int maximum) override { maximum_ = maximum; }
    void SetProgressPosition(int position) override;
    void SetProgressVisible(bool visible) override;
    void ReaderReconnected() override {}

  private:
    std::ostream& err_;
    const bool terminal_;
    int maximum_ = 0;
    int lastTenth_ = -1;
    bool barDrawn_ = false;
};

}  // namespace cli
