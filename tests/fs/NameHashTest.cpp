#include <gtest/gtest.h>

#include <cstring>

#include "FileCore.h"

TEST(NameHash, KnownVectors) {
    struct Case {
        const char* text;
        std::uint32_t hash;
    } cases[] = {
        {"", 0u},
        {"abc", 0x5CC2DA5Au},
        {"ABC", 0x5CC2DA5Au},
        {"aBc", 0x5CC2DA5Au},
    };
    for (const Case& c : cases) EXPECT_EQ(NameHash(c.text), c.hash) << c.text;
}

TEST(NameHash, HighBytesAreNotFolded) {
    EXPECT_NE(NameHash("\xe9"), NameHash("\xc9"));
}

TEST(Slashes, ConvertInPlaceBothWays) {
    char text[] = "Car/a/b";
    ToBackSlashes(text);
    EXPECT_STREQ(text, "Car\\a\\b");
    ToForwardSlashes(text);
    EXPECT_STREQ(text, "Car/a/b");
}

namespace {

// The hash one byte at a time, as its definition reads: CRC-32 (reflected,
// 0xEDB88320, start 0, no final inversion) over the text with a to z
// folded to upper case.
std::uint32_t ByteAtATime(const unsigned char* text, std::size_t length) {
    std::uint32_t h = 0;
    for (std::size_t i = 0; i < length; ++i) {
        unsigned c = text[i];
        if (c >= 'a' && c <= 'z') c -= 0x20;
        h ^= c;
        for (int k = 0; k < 8; ++k) h = (h & 1) ? (h >> 1) ^ 0xEDB88320u : h >> 1;
    }
    return h;
}

}  // namespace

// The fast hash takes eight bytes a step: every length around those steps,
// every byte value (letters at the fold's edges, bytes from 0x80 up) at every
// position within a step, and names filling a record's 128 bytes with no
// terminator.
TEST(NameHash, SameAsByteAtATime) {
    unsigned x = 12345;
    auto next = [&x] {
        x = x * 1103515245u + 12345u;
        return static_cast<unsigned char>(x >> 16);
    };
    const unsigned char edges[] = {'@', 'A', 'Z', '[', '`', 'a', 'z', '{', 0x7F, 0x80, 0xC1, 0xE1, 0xFA, 0xFF, 1};
    for (std::size_t length = 0; length <= 40; ++length) {
        for (int round = 0; round < 40; ++round) {
            unsigned char text[48] = {};
            for (std::size_t i = 0; i < length; ++i) {
                unsigned char c = round % 2 ? next() : edges[next() % sizeof edges];
                text[i] = c == 0 ? 'q' : c;
            }
            const char* s = reinterpret_cast<const char*>(text);
            ASSERT_EQ(NameHash(s), ByteAtATime(text, length)) << "length " << length;
            ASSERT_EQ(NameHashBounded(s, 128), ByteAtATime(text, length)) << "length " << length;
            // A bound shorter than the text cuts it there.
            ASSERT_EQ(NameHashBounded(s, length / 2), ByteAtATime(text, length / 2)) << "length " << length;
        }
    }
    unsigned char field[128];
    for (unsigned char& c : field) c = static_cast<unsigned char>('a' + next() % 26);
    EXPECT_EQ(NameHashBounded(reinterpret_cast<const char*>(field), sizeof field), ByteAtATime(field, sizeof field));
    for (int v = 1; v < 256; ++v) {
        unsigned char one[9] = {'x', 'y', 'z', 'a', 'b', 'c', 'd', static_cast<unsigned char>(v), 0};
        ASSERT_EQ(NameHash(reinterpret_cast<const char*>(one)), ByteAtATime(one, 8)) << v;
    }
}
