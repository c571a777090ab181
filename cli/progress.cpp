#include "cli/progress.h"

#include <string>

namespace cli {

namespace {

constexpr int kBarWidth = 30;

}  // namespace

void UpgradeProgress::SetProgressPosition(int position) {
    if (maximum_ <= 0) {
        return;
    }
    const std::string counts = std::to_string(position) + "/" + std::to_string(maximum_);
    if (terminal_) {
        const int filled = position * kBarWidth / maximum_;
        err_ << "\rUpgrade [" << std::string(static_cast<std::size_t>(filled), '#')
             << std::string(static_cast<std::size_t>(kBarWidth - filled), '.') << "] " << counts
             << std::flush;
        barDrawn_ = true;
        return;
    }
    const int tenth = position * 10 / maximum_;
    if (tenth != lastTenth_) {
        lastTenth_ = tenth;
        err_ << "Upgrade: blok " << counts << '\n' << std::flush;
    }
}

void UpgradeProgress::SetProgressVisible(bool visible) {
    if (!visible && barDrawn_) {
        err_ << '\n' << std::flush;
        barDrawn_ = false;
    }
}

}  // namespace cli
