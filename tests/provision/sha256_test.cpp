// SHA-256 against the FIPS 180 examples and lengths around the padding boundaries, in one piece
// and fed in uneven parts.
#include <gtest/gtest.h>

#include <string>

#include "uwieg/sha256.h"

namespace uwieg {
namespace {

TEST(Sha256, FipsExamples) {
    EXPECT_EQ(Sha256Hex("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    EXPECT_EQ(Sha256Hex("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"),
              "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
    EXPECT_EQ(Sha256Hex(std::string(1'000'000, 'a')),
              "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
    EXPECT_EQ(Sha256Hex(""), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
}

TEST(Sha256, LengthsAroundTheBlockAndPaddingBoundaries) {
    // 55 bytes leave room for the length in the same block, 56 do not; 64 fill one exactly.
    const std::pair<std::size_t, const char*> cases[] = {
        {55, "9f4390f8d30c2dd92ec9f095b65e2b9ae9b0a925a5258e241c9f1e910f734318"},
        {56, "b35439a4ac6f0948b6d6f9e3c6af0f5f590ce20f1bde7090ef7970686ec6738a"},
        {63, "7d3e74a05d7db15bce4ad9ec0658ea98e3f06eeecf16b4c6fff2da457ddc2f34"},
        {64, "ffe054fe7ae0cb6dc65c3af9b61d5209f439851db43d0ba5997337df154668eb"},
        {65, "635361c48bb9eab14198e76ea8ab7f1a41685d6ad62aa9146d301d4f17eb0ae0"},
        {119, "31eba51c313a5c08226adf18d4a359cfdfd8d2e816b13f4af952f7ea6584dcfb"},
        {120, "2f3d335432c70b580af0e8e1b3674a7c020d683aa5f73aaaedfdc55af904c21c"},
    };
    for (const auto& [length, digest] : cases) {
        EXPECT_EQ(Sha256Hex(std::string(length, 'a')), digest) << length << " bytes";
    }
}

TEST(Sha256, PartsGiveTheSameDigestAsTheWhole) {
    const std::string text = "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq";
    for (std::size_t split = 0; split <= text.size(); split += 7) {
        Sha256 hash;
        hash.Update(std::string_view(text).substr(0, split));
        hash.Update(std::string_view(text).substr(split));
        const auto digest = hash.Finish();
        EXPECT_EQ(digest[0], 0x24);
        EXPECT_EQ(digest[31], 0xc1) << "split at " << split;
    }
}

}  // namespace
}  // namespace uwieg
