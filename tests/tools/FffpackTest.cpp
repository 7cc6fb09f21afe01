// fffpack: what it packs is read back through the file core itself.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "FffArchive.h"
#include "FileCore.h"
#include "../fs/FsTestFixture.h"
#include "TestSupport.h"

using namespace testsupport;

namespace {


TEST(Fffpack, PackedFilesAreFoundByTheirNames) {
    ScratchDir dir;
    std::filesystem::create_directories(dir / "in/sub");
    const std::string binary("\0\x01\xff\r\n", 5);
    WriteBytes(dir / "in/sub/b.bin", binary);
    WriteBytes(dir / "vehicle.txt", "[Car0]\r\n");
    WriteBytes(dir / "empty", "");

    RunResult r = RunProgram(FFFPACK_EXE, dir.path(), {},
                             {"out/Game.cod", "in/sub/b.bin", "--as", "Cfg\\Vehicle.cfg", "vehicle.txt", "./empty"});
    EXPECT_EQ(r.exitCode, 1) << "the folder of the output does not exist";
    std::filesystem::create_directory(dir / "out");
    r = RunProgram(FFFPACK_EXE, dir.path(), {},
                   {"out/Game.cod", "in/sub/b.bin", "--as", "Cfg\\Vehicle.cfg", "vehicle.txt", "./empty"});
    ASSERT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.output, "");

    WorkingDir cwd(dir.path() / "out");
    ResetArchives();
    RegisterFFF("Game.cod");
    ASSERT_EQ(Archives.count, 1);
    ASSERT_EQ(Archives.slots[0].entryCount, 3);
    EXPECT_STREQ(Archives.slots[0].entries[0].name, "in/sub/b.bin");
    EXPECT_STREQ(Archives.slots[0].entries[1].name, "Cfg/Vehicle.cfg");
    EXPECT_STREQ(Archives.slots[0].entries[2].name, "empty");
    EXPECT_EQ(OpenedText("IN\\SUB\\B.BIN"), binary);
    EXPECT_EQ(OpenedText("cfg\\vehicle.cfg"), "[Car0]\r\n");
    EXPECT_EQ(OpenedText("empty"), "");
    CloseArchives();
}

TEST(Fffpack, RefusesWhatCouldNotBeFound) {
    ScratchDir dir;
    WriteBytes(dir / "a.txt", "a");
    struct Case {
        const char* what;
        std::vector<std::string> args;
        int exitCode;
    } cases[] = {
        {"no files", {"x.cod"}, 2},
        {"--as without file", {"x.cod", "--as", "n"}, 2},
        {"missing input", {"x.cod", "nothere.txt"}, 1},
        {"name of 128 characters", {"x.cod", "--as", std::string(128, 'n'), "a.txt"}, 1},
        {"same name twice, other case", {"x.cod", "a.txt", "--as", "A.TXT", "a.txt"}, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        RunResult r = RunProgram(FFFPACK_EXE, dir.path(), {}, c.args);
        EXPECT_EQ(r.exitCode, c.exitCode);
        EXPECT_FALSE(FileExists(dir / "x.cod"));
    }
}

}  // namespace
