#include "cli/progress.h"

#include <string>

namespace cli {

namespace {

constexpr int kBarWidth = 30;

// Characters of UTF-8 text: every byte but the continuation bytes starts one.
std::size_t Characters(const std::string& text) {
    std::size_t count = 0;
    for (const char c : text) {
        count += (static_cast<unsigned char>(c) & 0xC0) != 0x80 ? 1 : 0;
    }
    return count;
}

}  // namespace

void WatchStatus::Show(int done, int failed) {
    if (!shown_) {
        return;
    }
    Erase();
    const std::string line =
        "Czekam na czytniki (Ctrl+C kończy) · skonfigurowano: " + std::to_string(done) +
        ", błędów: " + std::to_string(failed);
    out_ << line << std::flush;
    drawnWidth_ = Characters(line);
}

void WatchStatus::Erase() {
    if (drawnWidth_ == 0) {
        return;
    }
    // Spaces rather than an erase sequence: consoles without escape sequences understand them.
    out_ << '\r' << std::string(drawnWidth_, ' ') << '\r' << std::flush;
    drawnWidth_ = 0;
}

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
