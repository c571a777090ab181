#include "uwieg/upgrade.h"

#include <algorithm>
#include <array>
#include <optional>

#include "uwieg/session.h"
#include "wusb/le_bytes.h"

namespace uwieg {
namespace {

constexpr std::uint8_t kHeaderCommand = 'Z';
constexpr std::uint8_t kBlockCommand = 'Y';
constexpr std::uint8_t kEntryCommand = 'y';
constexpr std::uint8_t kFinishCommand = 'z';

constexpr std::size_t kBlockDataSize = 2 + kImageBlockSize;

std::uint32_t Size32(std::size_t size) {
    return static_cast<std::uint32_t>(size);
}

}  // namespace

void UpgrHeader(UWiegDev& dev, const UpgradeImage& image) {
    const auto header = image.Header();
    dev.TunnelStatus(kHeaderCommand, header.data(), Size32(header.size()));
}

void UpgrBlock(UWiegDev& dev, std::uint16_t index, const UpgradeImage& image) {
    const auto block = image.Block(index);
    std::array<std::uint8_t, kBlockDataSize> data{};
    wusb::WriteLe16(&data[0], index);
    std::copy(block.begin(), block.end(), data.begin() + 2);
    dev.TunnelStatus(kBlockCommand, data.data(), Size32(data.size()));
}

void UpgrEntry(UWiegDev& dev, const UpgradeImage& image) {
    const auto entry = image.ReaderEntry(dev.identity().readerNumber());
    dev.TunnelStatus(kEntryCommand, entry.data(), Size32(entry.size()));
}

void UpgrFinish(UWiegDev& dev) {
    dev.TunnelStatus(kFinishCommand, nullptr, 0);
}

UpgradeOutcome UpgrCheck(UWiegDev& dev, const UpgradeImage& image, Dialogs& dialogs,
                         UpgradeView& view) {
    if (image.version() <= dev.firmwareVersion) {
        return UpgradeOutcome::Current;
    }
    view.SetUpgradeLabelVisible(true);
    if (!dialogs.AskYesNo(kUpgradeQuestion, kUpgradeCaption)) {
        view.SetUpgradeLabelVisible(false);
        return UpgradeOutcome::Declined;
    }
    if (!image.IsValid()) {
        dialogs.ShowMessage(kBadImageText);
        return UpgradeOutcome::BadImage;
    }

    UpgrHeader(dev, image);
    const std::uint16_t count = image.blockCount();
    view.SetProgressMaximum(count);
    view.SetProgressPosition(0);
    view.SetProgressVisible(true);
    for (std::uint16_t i = 0; i < count; ++i) {
        view.SetProgressPosition(i);
        UpgrBlock(dev, i, image);
    }
    view.SetProgressPosition(count);
    UpgrEntry(dev, image);
    UpgrFinish(dev);

    // The reader restarts into its new firmware; give it time before talking to it again.
    dev.clock().Sleep(kAfterUpgradeMs);
    view.SetUpgradeLabelVisible(false);
    view.SetProgressVisible(false);
    ConnectReader(dev);
    view.ReaderReconnected();
    return UpgradeOutcome::Done;
}

UpgradeOutcome UpgrCheck(UWiegDev& dev, Dialogs& dialogs, UpgradeView& view) {
    const std::optional<UpgradeImage> image = BuiltInImage(dev.identity().typeNumber());
    if (!image) {
        return UpgradeOutcome::Current;
    }
    return UpgrCheck(dev, *image, dialogs, view);
}

bool UpgradeAvailable(const ReaderIdentity& identity) {
    const std::optional<UpgradeImage> image = BuiltInImage(identity.typeNumber());
    return image && image->version() > identity.firmwareVersion;
}

}  // namespace uwieg
