// A firmware upgrade image: 16-byte header, 520-byte blocks, then an entry table of 4 groups
// of 65 eight-byte slots (the 65th never sent). Only version, block count and reserved word
// are interpreted; everything else goes to the reader byte for byte.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace uwieg {

inline constexpr std::size_t kImageHeaderSize = 16;
inline constexpr std::size_t kImageBlockSize = 520;
inline constexpr std::size_t kEntryGroupSize = 520;
inline constexpr std::size_t kEntryTableSize = 4 * kEntryGroupSize;
inline constexpr std::size_t kEntrySize = 8;

class UpgradeImage {
  public:
    // `bytes` with their stored size; the view must outlive the image object.
    explicit UpgradeImage(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

    std::span<const std::uint8_t> bytes() const { return bytes_; }
    // Header fields; 0 when the stored image is too short to hold them.
    std::uint16_t headerWord0() const { return Word(0); }
    std::uint16_t version() const { return Word(2); }
    std::uint16_t blockCount() const { return Word(4); }
    std::uint16_t reservedWord() const { return Word(6); }

    // Reserved word 0 and stored size == block count × 520 + 2096.
    bool IsValid() const;

    // The accessors below never reach past the stored bytes: where the header's block count
    // points outside them (an image that fails IsValid), they throw std::out_of_range.
    std::span<const std::uint8_t> Header() const;
    // Block `index` (< blockCount()), 520 bytes.
    std::span<const std::uint8_t> Block(std::size_t index) const;
    // The 8-byte entry chosen by the low 8 bits of the reader number.
    std::span<const std::uint8_t> ReaderEntry(std::uint16_t readerNumber) const;
    // Offset of that entry within the entry table.
    static std::size_t EntryTableOffset(std::uint16_t readerNumber);

  private:
    std::uint16_t Word(std::size_t offset) const;
    std::span<const std::uint8_t> bytes_;
};

// The built-in image for a reader type (41, 43, 51, 53); none for any other type.
std::optional<UpgradeImage> BuiltInImage(int typeNumber);

}  // namespace uwieg
