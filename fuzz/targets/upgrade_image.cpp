// Upgrade image validation over arbitrary bytes. Input: a mode byte, then the image. With bit 0
// of the mode set, the image is cut or padded to the size its block count asks for (at most 7
// blocks), so that the fuzzer reaches valid images and everything behind the validation.
#include <algorithm>
#include <initializer_list>
#include <stdexcept>
#include <vector>

#include "fuzz/support/check.h"
#include "fuzz/support/input.h"
#include "uwieg/image.h"

namespace {

using Span = std::span<const std::uint8_t>;

constexpr std::size_t kFittedBlocksMax = 7;

std::size_t WellFormedSize(std::size_t blocks) {
    return uwieg::kImageHeaderSize + blocks * uwieg::kImageBlockSize + uwieg::kEntryTableSize;
}

// `part` lies inside `whole` at `offset` with `size` bytes.
void CheckAt(Span whole, Span part, std::size_t offset, std::size_t size) {
    FUZZ_CHECK(part.size() == size);
    FUZZ_CHECK(offset + size <= whole.size());
    FUZZ_CHECK(part.data() == whole.data() + offset);
}

// Outside its contract an accessor may refuse; whatever it gives must still lie in the image.
template <typename Access>
void CheckRefusedOrInside(Span whole, Access access) {
    try {
        const Span part = access();
        FUZZ_CHECK(part.data() >= whole.data());
        FUZZ_CHECK(part.data() + part.size() <= whole.data() + whole.size());
    } catch (const std::out_of_range&) {
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::Input input(data, size);
    const std::uint8_t mode = input.U8();
    std::vector<std::uint8_t> bytes = input.Rest();
    if ((mode & 0x01) != 0 && bytes.size() >= 6) {
        bytes[4] = static_cast<std::uint8_t>(bytes[4] % (kFittedBlocksMax + 1));
        bytes[5] = 0;
        bytes.resize(WellFormedSize(bytes[4]), mode);
    }
    // Exactly sized, so that a read past the stored size is caught.
    const Span whole(bytes.data(), bytes.size());
    const uwieg::UpgradeImage image(whole);

    const std::size_t blocks = image.blockCount();
    const bool wellFormed = image.reservedWord() == 0 && bytes.size() == WellFormedSize(blocks);
    FUZZ_CHECK(image.IsValid() == wellFormed);

    const std::initializer_list<std::uint16_t> readers{
        0, 1, 63, 64, 127, 128, 255, 256, 0xFFFF, static_cast<std::uint16_t>(mode << 1)};
    if (!image.IsValid()) {
        CheckRefusedOrInside(whole, [&] { return image.Header(); });
        for (std::size_t i : {std::size_t{0}, blocks / 2, blocks}) {
            CheckRefusedOrInside(whole, [&] { return image.Block(i); });
        }
        for (std::uint16_t reader : readers) {
            CheckRefusedOrInside(whole, [&] { return image.ReaderEntry(reader); });
        }
        return 0;
    }

    CheckAt(whole, image.Header(), 0, uwieg::kImageHeaderSize);
    for (std::size_t i = 0; i < blocks; ++i) {
        CheckAt(whole, image.Block(i), uwieg::kImageHeaderSize + i * uwieg::kImageBlockSize,
                uwieg::kImageBlockSize);
    }
    const std::size_t table = uwieg::kImageHeaderSize + blocks * uwieg::kImageBlockSize;
    for (std::uint16_t reader : readers) {
        const std::size_t offset = uwieg::UpgradeImage::EntryTableOffset(reader);
        // One of the 64 reader slots of its group, never the unused 65th.
        FUZZ_CHECK(offset % uwieg::kEntryGroupSize < 64 * uwieg::kEntrySize);
        FUZZ_CHECK(offset == uwieg::UpgradeImage::EntryTableOffset(reader & 0xFF));
        CheckAt(whole, image.ReaderEntry(reader), table + offset, uwieg::kEntrySize);
    }
    return 0;
}
