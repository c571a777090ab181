#include "uwieg/image.h"

#include <stdexcept>

#include "uwieg/images/embedded.h"
#include "wusb/le_bytes.h"

namespace uwieg {
std::uint16_t UpgradeImage::Word(std::size_t offset) const {
    if (bytes_.size() < offset + 2) {
        return 0;
    }
    return wusb::ReadLe16(&bytes_[offset]);
}

bool UpgradeImage::IsValid() const {
    return bytes_.size() >= kImageHeaderSize && reservedWord() == 0 &&
           bytes_.size() == kImageHeaderSize + blockCount() * kImageBlockSize + kEntryTableSize;
}

std::span<const std::uint8_t> UpgradeImage::Header() const {
    if (bytes_.size() < kImageHeaderSize) {
        throw std::out_of_range("upgrade image shorter than its header");
    }
    return bytes_.first(kImageHeaderSize);
}

std::span<const std::uint8_t> UpgradeImage::Block(std::size_t index) const {
    const std::size_t offset = kImageHeaderSize + index * kImageBlockSize;
    // A malformed image must not make us send bytes from beyond the stored data.
    if (index >= blockCount() || offset + kImageBlockSize > bytes_.size()) {
        throw std::out_of_range("upgrade image block out of range");
    }
    return bytes_.subspan(offset, kImageBlockSize);
}

std::size_t UpgradeImage::EntryTableOffset(std::uint16_t readerNumber) {
    const std::size_t low = readerNumber & 0xFFu;
    return (low / 64) * kEntryGroupSize + (low % 64) * kEntrySize;
}

std::span<const std::uint8_t> UpgradeImage::ReaderEntry(std::uint16_t readerNumber) const {
    const std::size_t offset =
        kImageHeaderSize + blockCount() * kImageBlockSize + EntryTableOffset(readerNumber);
    if (offset + kEntrySize > bytes_.size()) {
        throw std::out_of_range("upgrade image entry out of range");
    }
    return bytes_.subspan(offset, kEntrySize);
}

std::optional<UpgradeImage> BuiltInImage(int typeNumber) {
    switch (typeNumber) {
        case 41:
            return UpgradeImage({images::kKvt41, images::kKvt41Size});
        case 43:
            return UpgradeImage({images::kKvt43, images::kKvt43Size});
        case 51:
            return UpgradeImage({images::kKvt51, images::kKvt51Size});
        case 53:
            return UpgradeImage({images::kKvt53, images::kKvt53Size});
        default:
            return std::nullopt;
    }
}

}  // namespace uwieg
