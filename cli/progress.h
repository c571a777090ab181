// Progress on a terminal. The upgrade's on standard error: a bar redrawn in place on a
// terminal, plain lines (every tenth of the way) when standard error is a file or a pipe.
// The watch's on standard output, among its result lines: one line redrawn in place.
#pragma once

#include <ostream>
#include <string>

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

// provision --watch on a terminal: a last line that says the watch waits and how to end it,
// with the readers served so far. Erased before every other line and redrawn after it, so the
// result lines stay as they are without a terminal. Does nothing when not `shown`.
class WatchStatus final {
  public:
    WatchStatus(std::ostream& out, bool shown) : out_(out), shown_(shown) {}
    ~WatchStatus() { Erase(); }
    WatchStatus(const WatchStatus&) = delete;
    WatchStatus& operator=(const WatchStatus&) = delete;

    void Show(int done, int failed);
    void Erase();

  private:
    std::ostream& out_;
    const bool shown_;
    std::size_t drawnWidth_ = 0;  // in characters; 0 while nothing is drawn
};

}  // namespace cli
