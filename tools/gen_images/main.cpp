// Writes the four built-in firmware images (kvt41.bin, kvt43.bin, kvt51.bin, kvt53.bin) into
// the folder given as the only argument. They are the simulator's test firmware, so the
// simulated reader accepts them.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "sim/firmware.h"

namespace {

bool WriteImage(const std::filesystem::path& folder, int typeNumber) {
    const sim::Bytes image = sim::MakeTestImage(typeNumber);
    const std::filesystem::path path = folder / ("kvt" + std::to_string(typeNumber) + ".bin");
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(image.data()),
              static_cast<std::streamsize>(image.size()));
    out.close();
    if (image.empty() || !out) {
        std::fprintf(stderr, "gen_images: cannot write %s\n", path.string().c_str());
        return false;
    }
    std::printf("%s: %zu bytes\n", path.string().c_str(), image.size());
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: gen_images <output folder>\n");
        return 2;
    }
    const std::filesystem::path folder = argv[1];
    bool ok = true;
    for (int typeNumber : {41, 43, 51, 53}) {
        ok = WriteImage(folder, typeNumber) && ok;
    }
    return ok ? 0 : 1;
}
