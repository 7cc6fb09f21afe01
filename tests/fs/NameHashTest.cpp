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
