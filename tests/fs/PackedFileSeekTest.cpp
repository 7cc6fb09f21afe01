// Seeks inside archive entries, whatever the entry's offset field says.
#include "FsTestFixture.h"

using testsupport::ArchiveBuilder;

namespace {

// "far.bin" claims data just below 4 GiB, past the end of the file;
// "near.bin" holds "0123456789".
class PackedFileSeekTest : public FsTest {
protected:
    PackedFileSeekTest() {
        Register("pack.fff", ArchiveBuilder().AddRecord("far.bin", 0xFFFFFFF0u, 64).Add("near.bin", "0123456789"));
    }
};

}  // namespace

// Found by fuzzing: offset + position wrapped around 32 bits, so a seek in an
// entry near 4 GiB landed at the archive's start and read its header.
TEST_F(PackedFileSeekTest, EntryNearFourGibReadsNothingAfterASeek) {
    FileHandle* far = OpenFile("far.bin", FS_READ);
    EXPECT_EQ(ReadN(far, 64), "");
    far->Seek(16);
    EXPECT_EQ(ReadN(far, 16), "");
    CloseFile(far);
}

TEST_F(PackedFileSeekTest, NegativePositionLeavesTheReadPosition) {
    FileHandle* near = OpenFile("near.bin", FS_READ);
    EXPECT_EQ(ReadN(near, 2), "01");
    near->Seek(-1);
    EXPECT_EQ(near->Tell(), 2);
    EXPECT_EQ(ReadN(near, 3), "234");
    near->Seek(7);
    EXPECT_EQ(ReadN(near, 10), "789");
    EXPECT_TRUE(near->IsEof());
    CloseFile(near);
}
