#include "wusb/capture/wire_capture.h"

#include "trelvo/version.h"
#include "wusb/capture/pcapng.h"

namespace wusb::capture {

namespace {

// Larger blocks than capture readers accept mean the file is something else (and are not read).
constexpr std::uint32_t kMaxBlockLength = 16 * 1024 * 1024;

std::span<const std::uint8_t> Bytes(const std::string& text) {
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

}  // namespace

std::unique_ptr<AppendFile> OpenCaptureFile(Files& files, const std::string& path,
                                            std::string_view program) {
    std::unique_ptr<AppendFile> file = files.OpenAppend(path);
    const std::uint64_t size = file->Size();
    if (size > 0) {
        // Only whole blocks may stand before the new section, or readers lose their footing.
        const std::uint32_t last = TrailingBlockLength(Bytes(file->ReadTail(4)));
        if (last > size || last > kMaxBlockLength ||
            !EndsWithWholeBlock(Bytes(file->ReadTail(last)))) {
            throw FileError("„" + path +
                            "” nie jest plikiem pcapng (albo jest ucięty w środku bloku); "
                            "wybierz inny plik do zapisu ruchu");
        }
    }
    const std::string application = std::string(program) + " " + trelvo::kVersion;
    const Block header = SectionHeaderBlock(application);
    file->Append({reinterpret_cast<const char*>(header.data()), header.size()});
    return file;
}

}  // namespace wusb::capture
