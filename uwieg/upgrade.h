// The upgrade offer and stream: 'Z' header, 'Y' per block, 'y' the reader's entry, 'z' finish,
// then a 1000 ms wait and a new connection.
#pragma once

#include <cstdint>

#include "uwieg/device.h"
#include "uwieg/dialogs.h"
#include "uwieg/image.h"

namespace uwieg {

inline constexpr const char* kUpgradeQuestion =
    "    Czytnik zawiera nieaktualne oprogramowanie.\n"
    "    Wykonać upgrade oprogramowania czytnika?";
inline constexpr const char* kUpgradeCaption = "Upgrade";
inline constexpr const char* kBadImageText = "Błąd pliku upgrade.";
inline constexpr std::uint32_t kAfterUpgradeMs = 1000;

// What the sequence shows; the window implements it with its label and progress bar.
class UpgradeView {
  public:
    virtual ~UpgradeView() = default;
    virtual void SetUpgradeLabelVisible(bool visible) = 0;
    virtual void SetProgressMaximum(int maximum) = 0;
    virtual void SetProgressPosition(int position) = 0;
    virtual void SetProgressVisible(bool visible) = 0;
    // The reader was connected again after the upgrade; show its new identity.
    virtual void ReaderReconnected() = 0;
};

// For flows with no window to show the upgrade on (provisioning, benches, tests).
class SilentUpgradeView final : public UpgradeView {
  public:
    void SetUpgradeLabelVisible(bool) override {}
    void SetProgressMaximum(int) override {}
    void SetProgressPosition(int) override {}
    void SetProgressVisible(bool) override {}
    void ReaderReconnected() override {}
};

// One reader command each, through TunnelStatus. A part that the header places beyond the
// stored image throws std::out_of_range before anything is sent; UpgrCheck validates first.
void UpgrHeader(UWiegDev& dev, const UpgradeImage& image);
void UpgrBlock(UWiegDev& dev, std::uint16_t index, const UpgradeImage& image);
void UpgrEntry(UWiegDev& dev, const UpgradeImage& image);
void UpgrFinish(UWiegDev& dev);

enum class UpgradeOutcome {
    Current,   // no newer image; nothing was asked
    Declined,  // the user answered No
    BadImage,  // the image failed its check; the message was shown, nothing sent
    Done,      // the reader runs the new firmware and is connected again
};

// Offers and runs the upgrade when `image` is newer than the connected reader's firmware.
// Failures of the commands (UWiegErr, WUsbErr) leave to the caller.
UpgradeOutcome UpgrCheck(UWiegDev& dev, const UpgradeImage& image, Dialogs& dialogs,
                         UpgradeView& view);
// The same with the built-in image for the reader's type (nothing for other types).
UpgradeOutcome UpgrCheck(UWiegDev& dev, Dialogs& dialogs, UpgradeView& view);

// True when the built-in image for this reader's type is newer than its firmware.
bool UpgradeAvailable(const ReaderIdentity& identity);

}  // namespace uwieg
