// The reader's side of a firmware upgrade: header, blocks in order, its own entry, and the
// integrity check at the end. The running firmware changes only when that check passes.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

namespace sim {

// Status bytes of the reader's status commands.
inline constexpr std::uint8_t kStatusOk = 0;
inline constexpr std::uint8_t kStatusBadData = 1;     // wrong length, CRC or entry
inline constexpr std::uint8_t kStatusOutOfOrder = 2;  // a block other than the next one
inline constexpr std::uint8_t kStatusNoUpgrade = 3;   // upgrade command without a header first
inline constexpr std::uint8_t kStatusIntegrity = 4;   // 'z' found the image incomplete or damaged

class UpgradeReceiver {
  public:
    using Bytes = std::vector<std::uint8_t>;

    // 'Z': 16 header bytes. Drops any unfinished upgrade and starts a new one.
    std::uint8_t Header(const Bytes& data);
    // 'Y': block index (u16) and 520 block bytes; blocks must come in ascending order from 0.
    std::uint8_t Block(const Bytes& data);
    // 'y': 8 bytes that must equal `ownEntry`, the entry of this reader in its type's image.
    std::uint8_t Entry(const Bytes& data, const Bytes& ownEntry);
    // 'z': no data. On kStatusOk `installedVersion` gets the header's image version. Either way
    // the upgrade is over.
    std::uint8_t Finish(const Bytes& data, std::uint16_t& installedVersion);

    bool inProgress() const { return active_; }
    void Drop() { active_ = false; }

  private:
    bool active_ = false;
    std::array<std::uint8_t, 16> header_{};
    std::uint16_t blockCount_ = 0;
    std::uint16_t nextBlock_ = 0;
    std::uint32_t blocksCrc_ = 0;
    bool entryAccepted_ = false;
};

}  // namespace sim
