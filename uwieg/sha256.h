// SHA-256 (FIPS 180-4), to name a profile's exact text in the audit log. Written here rather
// than taken from a crypto library: one small hash is not worth a dependency that the Windows
// build would have to carry as well.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace uwieg {

class Sha256 {
  public:
    Sha256();
    void Update(std::string_view bytes);
    // The digest of everything updated so far; the object is spent afterwards.
    std::array<std::uint8_t, 32> Finish();

  private:
    void Block(const std::uint8_t* block);

    std::array<std::uint32_t, 8> state_;
    std::array<std::uint8_t, 64> pending_{};
    std::size_t pendingLength_ = 0;
    std::uint64_t totalLength_ = 0;
};

// 64 lower-case hexadecimal digits.
std::string Sha256Hex(std::string_view bytes);

}  // namespace uwieg
