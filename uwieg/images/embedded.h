// The four built-in firmware images, embedded at build time from the .bin files beside this
// header, each with its stored size (the size check uses it, not a figure from the header).
#pragma once

#include <cstddef>
#include <cstdint>

namespace uwieg::images {

extern const std::uint8_t kKvt41[];
extern const std::size_t kKvt41Size;
extern const std::uint8_t kKvt43[];
extern const std::size_t kKvt43Size;
extern const std::uint8_t kKvt51[];
extern const std::size_t kKvt51Size;
extern const std::uint8_t kKvt53[];
extern const std::size_t kKvt53Size;

}  // namespace uwieg::images
