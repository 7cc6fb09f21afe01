// Seeks inside archive entries, whatever the entry's offset field says.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "FffArchive.h"
#include "FileCore.h"
#include "TestSupport.h"

using namespace testsupport;

namespace {

std::string Le32(std::uint32_t v) {
    std::string s;
    for (int i = 0; i < 4; ++i) s += static_cast<char>(v >> (8 * i));
    return s;
}

std::string Record(const std::string& name, std::uint32_t offset, std::uint32_t size) {
    std::string r = name;
    r.resize(128, '\0');
    return r + Le32(offset) + Le32(size);
}

// An archive with "far.bin", whose data would lie just below 4 GiB (past the
// end of the file), and "near.bin" holding "0123456789" right after the table.
class PackedFileSeek : public ::testing::Test {
protected:
    void SetUp() override {
        const std::uint32_t data = 28 + 2 * 136;
        WriteBytes(dir / "pack.fff", std::string(24, 'h') + Le32(2 * 136) +
                                         Record("far.bin", 0xFFFFFFF0u, 64) + Record("near.bin", data, 10) +
                                         "0123456789");
        ResetArchives();
        RegisterFFF("pack.fff");
        ASSERT_EQ(Archives.count, 1);
    }
    void TearDown() override { CloseArchives(); }

    std::string ReadAll(FileHandle* h, std::size_t n) {
        std::string s(n, '\0');
        s.resize(h->Read(s.data(), n));
        return s;
    }

    ScratchDir dir;
    WorkingDir cwd{dir.path()};
};

}  // namespace

// Found by fuzzing: offset + position wrapped around 32 bits, so a seek in an
// entry near 4 GiB landed at the archive's start and read its header.
TEST_F(PackedFileSeek, EntryNearFourGibReadsNothingAfterASeek) {
    FileHandle* far = TryOpenFile("far.bin", FS_READ);
    ASSERT_NE(far, nullptr);
    EXPECT_EQ(ReadAll(far, 64), "");
    far->Seek(16);
    EXPECT_EQ(ReadAll(far, 16), "");
    CloseFile(far);
}

TEST_F(PackedFileSeek, NegativePositionLeavesTheReadPosition) {
    FileHandle* near = TryOpenFile("near.bin", FS_READ);
    ASSERT_NE(near, nullptr);
    EXPECT_EQ(ReadAll(near, 2), "01");
    near->Seek(-1);
    EXPECT_EQ(near->Tell(), 2);
    EXPECT_EQ(ReadAll(near, 3), "234");
    near->Seek(7);
    EXPECT_EQ(ReadAll(near, 10), "789");
    EXPECT_TRUE(near->IsEof());
    CloseFile(near);
}
