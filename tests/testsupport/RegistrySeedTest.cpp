// The registry helpers of the tests reach the host's real registry (under
// Wine, the registry of the suite's own prefix): a seeded value sits in the
// 32-bit view only, as a 32-bit game installer leaves it, and deleting the
// key clears it from both views.
#include <gtest/gtest.h>

#include "RegistrySeed.h"

using namespace testsupport;

namespace {

// A key of the tests' own, so no test disturbs the game key of another.
const std::string kKey = "Software\\Tarnwick\\SkinKitTests\\RegistrySeed";

class RegistrySeed : public testing::Test {
protected:
    void SetUp() override { DeleteLocalMachineKey(kKey); }
    void TearDown() override { DeleteLocalMachineKey(kKey); }
};

}  // namespace

TEST_F(RegistrySeed, ValueLandsInThe32BitViewOnly) {
    SeedLocalMachineString32(kKey, "Installpath", "C:\\Games\\Gravelmax");
    EXPECT_EQ(ReadLocalMachineString(kKey, "Installpath", RegistryView::View32),
              std::optional<std::string>("C:\\Games\\Gravelmax"));
    EXPECT_EQ(ReadLocalMachineString(kKey, "Installpath", RegistryView::View64), std::nullopt);
    EXPECT_EQ(ReadLocalMachineString("Software\\Wow6432Node\\Tarnwick\\SkinKitTests\\RegistrySeed",
                                     "Installpath", RegistryView::View64),
              std::optional<std::string>("C:\\Games\\Gravelmax"));
}

TEST_F(RegistrySeed, SeedingAgainReplacesAndDeleteClears) {
    SeedLocalMachineString32(kKey, "Installpath", "C:\\Old");
    SeedLocalMachineString32(kKey, "Installpath", "C:\\New");
    EXPECT_EQ(ReadLocalMachineString(kKey, "Installpath", RegistryView::View32),
              std::optional<std::string>("C:\\New"));
    EXPECT_EQ(ReadLocalMachineString(kKey, "Missing", RegistryView::View32), std::nullopt);
    DeleteLocalMachineKey(kKey);
    EXPECT_EQ(ReadLocalMachineString(kKey, "Installpath", RegistryView::View32), std::nullopt);
}
