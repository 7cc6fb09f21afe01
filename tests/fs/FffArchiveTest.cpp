// FFF archive registration: the slots it fills, the lookups it makes possible,
// and the damaged archives that end the process.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "FsTestFixture.h"

using testsupport::ArchiveBuilder;

namespace {

using ArchiveTest = FsTest;

#define EXPECT_FATAL(statement) EXPECT_EXIT(statement, testing::ExitedWithCode(kFatalExitCode), "^$")

TEST_F(ArchiveTest, MissingOrUnnamedArchiveIsSkipped) {
    RegisterFFF("nothere.cod");
    RegisterFFF("");
    RegisterFFF(nullptr);
    EXPECT_EQ(Archives.count, 0);
}

TEST_F(ArchiveTest, HeaderAndTableLandInTheSlot) {
    const std::string head = "any 24 bytes at all....!";
    std::filesystem::create_directory(Path("sub"));
    ArchiveBuilder().SetHeaderBytes(head).Add("one.txt", "1").Add("Dir/two.txt", "22").WriteTo(Path("sub/game.cod"));
    RegisterFFF("sub/game.cod");
    ASSERT_EQ(Archives.count, 1);
    const ArchiveSlot& s = Archives.slots[0];
    EXPECT_TRUE(s.isOpen);
    EXPECT_STREQ(s.path, "sub\\game.cod");
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(s.header), 24), head);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(s.header) + 24, 4), std::string("\x10\x01\0\0", 4));
    ASSERT_EQ(s.entryCount, 2);
    EXPECT_STREQ(s.entries[1].name, "Dir/two.txt");
    EXPECT_EQ(s.nameHashes[1], NameHash("DIR/TWO.TXT"));
    EXPECT_EQ(OpenedText("one.txt"), "1");
    EXPECT_EQ(OpenedText("dir\\TWO.txt"), "22");
}

TEST_F(ArchiveTest, EmptyTableRegistersAndFindsNothing) {
    Register("empty.cod", ArchiveBuilder());
    ASSERT_EQ(Archives.count, 1);
    EXPECT_EQ(Archives.slots[0].entryCount, 0);
    EXPECT_EQ(OpenedText("anything"), "<none>");
}

TEST_F(ArchiveTest, DamagedArchivesAreFatal) {
    const ArchiveBuilder twoEntries = ArchiveBuilder().Add("a", "A").Add("b", "B");
    struct Case {
        const char* what;
        ArchiveBuilder archive;
    } cases[] = {
        {"no bytes at all", ArchiveBuilder().TruncateTo(0)},
        {"27-byte header", ArchiveBuilder().TruncateTo(27)},
        {"table of 272 with 200 bytes", ArchiveBuilder(twoEntries).TruncateTo(28 + 200)},
        {"table size past the end", ArchiveBuilder().SetEntryTableSize(136)},
        {"table size near 4 GiB", ArchiveBuilder(twoEntries).SetEntryTableSize(0xFFFFFFFFu)},
        {"table tail cut short", ArchiveBuilder().AddTableTail("12345").TruncateTo(28 + 4)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        c.archive.WriteTo(Path("bad.cod"));
        EXPECT_FATAL(RegisterFFF("bad.cod"));
    }
    EXPECT_EQ(Archives.count, 0);
}

TEST_F(ArchiveTest, TableSizeNotAMultipleOf136DropsTheRest) {
    // 2 records and 50 bytes that make up no record.
    Register("game.cod", ArchiveBuilder().Add("a.txt", "A").Add("b.txt", "B").AddTableTail(std::string(50, 'z')));
    ASSERT_EQ(Archives.count, 1);
    EXPECT_EQ(Archives.slots[0].entryCount, 2);
    EXPECT_EQ(OpenedText("a.txt"), "A");
    EXPECT_EQ(OpenedText("b.txt"), "B");
}

TEST_F(ArchiveTest, FirstRegisteredArchiveWins) {
    Register("Language.cod", ArchiveBuilder().Add("shared.txt", "language").Add("lang.txt", "L"));
    Register("Game.cod", ArchiveBuilder().Add("game.txt", "G").Add("shared.txt", "game"));
    ASSERT_EQ(Archives.count, 2);
    EXPECT_STREQ(Archives.slots[0].path, "Language.cod");
    EXPECT_STREQ(Archives.slots[1].path, "Game.cod");
    EXPECT_EQ(OpenedText("shared.txt"), "language");
    EXPECT_EQ(OpenedText("lang.txt"), "L");
    EXPECT_EQ(OpenedText("game.txt"), "G");
}

TEST_F(ArchiveTest, SameArchiveTwiceIsFoundInTheFirstSlot) {
    ArchiveBuilder archive;
    archive.Add("pad.bin", "padding").Add("x.txt", "x");
    archive.WriteTo(Path("game.cod"));
    RegisterFFF("game.cod");
    RegisterFFF("game.cod");
    ASSERT_EQ(Archives.count, 2);
    FileHandle* h = OpenFile("x.txt", FS_READ);
    // Only the first slot's stream was moved to the entry.
    EXPECT_EQ(std::ftell(Archives.slots[0].stream), static_cast<long>(archive.DataOffset(1)));
    EXPECT_NE(std::ftell(Archives.slots[1].stream), static_cast<long>(archive.DataOffset(1)));
    CloseFile(h);
}

TEST_F(ArchiveTest, NamesDifferingOnlyInCaseFindTheEarlierOne) {
    Register("game.cod", ArchiveBuilder().Add("Data/File.txt", "first").Add("data/file.TXT", "second"));
    EXPECT_EQ(OpenedText("Data/File.txt"), "first");
    EXPECT_EQ(OpenedText("data/file.TXT"), "first");
    EXPECT_EQ(OpenedText("DATA\\FILE.TXT"), "first");
}

TEST_F(ArchiveTest, EqualHashWithAnotherNameIsPassedOver) {
    // Two names whose hashes collide: the lookup must compare the names too.
    ASSERT_EQ(NameHash("bxo9xl.tex"), NameHash("cdatba.tex"));
    Register("game.cod", ArchiveBuilder().Add("BXO9XL.tex", "first").Add("CDATBA.tex", "second"));
    EXPECT_EQ(OpenedText("cdatba.tex"), "second");
    EXPECT_EQ(OpenedText("bxo9xl.tex"), "first");
}

TEST_F(ArchiveTest, EntryStoredWithBackslashIsNeverFound) {
    Register("game.cod", ArchiveBuilder().Add("Cfg\\Vehicle.cfg", "hidden").Add("Cfg/Other.cfg", "seen"));
    EXPECT_EQ(OpenedText("Cfg\\Vehicle.cfg"), "<none>");
    EXPECT_EQ(OpenedText("Cfg/Vehicle.cfg"), "<none>");
    EXPECT_EQ(OpenedText("Cfg\\Other.cfg"), "seen");
}

TEST_F(ArchiveTest, NameFillingAll128BytesIsCutAtItsField) {
    const std::string full(128, 'n');
    // The unterminated name is the last record, so reading past it would leave
    // the table's memory.
    Register("game.cod", ArchiveBuilder().Add("before.txt", "B").Add(full, "full"));
    EXPECT_EQ(Archives.slots[0].nameHashes[1], NameHash(full.c_str()));
    EXPECT_EQ(OpenedText(full.c_str()), "full");
    EXPECT_EQ(OpenedText(full.substr(0, 127).c_str()), "<none>");
    EXPECT_EQ(OpenedText((full + "n").c_str()), "<none>");
    EXPECT_EQ(OpenedText("before.txt"), "B");
}

TEST_F(ArchiveTest, EleventhRegistrationIsRefusedWithoutHarm) {
    ArchiveBuilder().Add("common.txt", "c").WriteTo(Path("a.cod"));
    for (int i = 0; i < ARCHIVE_SLOTS; ++i) RegisterFFF("a.cod");
    ASSERT_EQ(Archives.count, ARCHIVE_SLOTS);
    Register("extra.cod", ArchiveBuilder().Add("extra.txt", "e"));
    EXPECT_EQ(Archives.count, ARCHIVE_SLOTS);
    EXPECT_EQ(OpenedText("extra.txt"), "<none>");
    EXPECT_EQ(OpenedText("common.txt"), "c");
}

TEST_F(ArchiveTest, RegistrationAfterCloseStartsAtSlotZero) {
    Register("a.cod", ArchiveBuilder().Add("a.txt", "A"));
    CloseArchives();
    EXPECT_EQ(Archives.count, 0);
    EXPECT_EQ(OpenedText("a.txt"), "<none>");
    Register("b.cod", ArchiveBuilder().Add("b.txt", "B"));
    ASSERT_EQ(Archives.count, 1);
    EXPECT_STREQ(Archives.slots[0].path, "b.cod");
    EXPECT_EQ(OpenedText("a.txt"), "<none>");
    EXPECT_EQ(OpenedText("b.txt"), "B");
}

TEST_F(ArchiveTest, PathOf256CharactersIsSkipped) {
    std::string longPath = std::string(100, 'd') + "/" + std::string(155, 'a');
    std::filesystem::create_directory(Path(std::string(100, 'd')));
    ArchiveBuilder().Add("x", "x").WriteTo(Path(longPath.substr(0, 255)));
    RegisterFFF(longPath.c_str());  // cut to 255 it would name the archive above
    EXPECT_EQ(Archives.count, 0);
}

// A table of several megabytes, read in one go into memory that the host may
// back with large pages: every record lands whole and in order, and every
// name is found with its own data, whatever its length.
TEST_F(ArchiveTest, LargeTableIsReadWhole) {
    const int count = 40000;  // 5.4 MB of records
    auto name = [](int i) {
        return "Cars/Car" + std::to_string(i % 997) + "/" + std::string(static_cast<std::size_t>(i % 61), 'x') +
               "part" + std::to_string(i) + ".dat";
    };
    ArchiveBuilder archive;
    for (int i = 0; i < count; ++i) archive.Add(name(i), std::to_string(i));
    Register("big.cod", archive);
    ASSERT_EQ(Archives.count, 1);
    const ArchiveSlot& s = Archives.slots[0];
    ASSERT_EQ(s.entryCount, count);
    std::uint32_t offset = archive.DataOffset(0);  // the data lie back to back in order
    for (int i = 0; i < count; ++i) {
        ASSERT_EQ(std::string(s.entries[i].name), name(i)) << i;
        ASSERT_EQ(s.entries[i].offset, offset) << i;
        offset += static_cast<std::uint32_t>(std::to_string(i).size());
        ASSERT_EQ(s.nameHashes[i], NameHash(name(i).c_str())) << i;
    }
    for (int i : {0, 1, 12345, count / 2, count - 2, count - 1}) EXPECT_EQ(OpenedText(name(i).c_str()), std::to_string(i));
}

}  // namespace
