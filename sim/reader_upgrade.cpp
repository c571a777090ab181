#include "sim/reader_upgrade.h"

#include <algorithm>

#include "sim/firmware.h"
#include "wusb/crc.h"
#include "wusb/le_bytes.h"

namespace sim {

std::uint8_t UpgradeReceiver::Header(const Bytes& data) {
    active_ = false;
    if (data.size() != kImageHeaderSize) {
        return kStatusBadData;
    }
    const std::uint16_t blockCount = wusb::ReadLe16(&data[4]);
    if (blockCount == 0 || wusb::ReadLe16(&data[6]) != 0) {
        return kStatusBadData;
    }
    std::copy(data.begin(), data.end(), header_.begin());
    blockCount_ = blockCount;
    nextBlock_ = 0;
    blocksCrc_ = 0xFFFFFFFFu;
    entryAccepted_ = false;
    active_ = true;
    return kStatusOk;
}

std::uint8_t UpgradeReceiver::Block(const Bytes& data) {
    if (!active_) {
        return kStatusNoUpgrade;
    }
    if (data.size() != 2 + kImageBlockSize) {
        return kStatusBadData;
    }
    // A refused block leaves the upgrade where it was: the host may still send the right one.
    if (wusb::ReadLe16(data.data()) != nextBlock_ || nextBlock_ >= blockCount_) {
        return kStatusOutOfOrder;
    }
    // The CRC has no final XOR, so the blocks can be folded in one at a time.
    blocksCrc_ = wusb::Crc32(data.data() + 2, kImageBlockSize, blocksCrc_);
    ++nextBlock_;
    return kStatusOk;
}

std::uint8_t UpgradeReceiver::Entry(const Bytes& data, const Bytes& ownEntry) {
    if (!active_) {
        return kStatusNoUpgrade;
    }
    if (data.size() != kReaderEntrySize || ownEntry.size() != kReaderEntrySize ||
        data != ownEntry) {
        return kStatusBadData;
    }
    entryAccepted_ = true;
    return kStatusOk;
}

std::uint8_t UpgradeReceiver::Finish(const Bytes& data, std::uint16_t& installedVersion) {
    if (!active_) {
        return kStatusNoUpgrade;
    }
    if (!data.empty()) {
        return kStatusBadData;
    }
    active_ = false;
    const bool complete =
        nextBlock_ == blockCount_ && entryAccepted_ && blocksCrc_ == wusb::ReadLe32(&header_[8]);
    if (!complete) {
        return kStatusIntegrity;
    }
    installedVersion = wusb::ReadLe16(&header_[2]);
    return kStatusOk;
}

}  // namespace sim
