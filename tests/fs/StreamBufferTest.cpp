// Disk handles each own a stream buffer of their own: bytes written through
// several open handles at once, one byte at a time as the converter writes
// them, must reach each file whole and in order, and reads through a handle
// that is open at the same time must see the file's bytes, whatever the sizes
// of the reads. Sizes span several buffers' worth.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "FileCore.h"
#include "TestSupport.h"

namespace {

using testsupport::Bytes;
using testsupport::ReadBytes;
using testsupport::ScratchDir;
using testsupport::WorkingDir;
using testsupport::WriteBytes;

Bytes Pattern(std::size_t n, unsigned seed) {
    Bytes b(n, '\0');
    unsigned x = seed;
    for (char& c : b) {
        x = x * 1103515245u + 12345u;
        c = static_cast<char>(x >> 16);
    }
    return b;
}

TEST(StreamBuffer, InterleavedWritesAndReadsKeepEveryByte) {
    ScratchDir dir;
    WorkingDir in(dir.path());
    const std::size_t size = 300000;  // several 64 KiB buffers, not a multiple of one
    const Bytes source = Pattern(size, 7);
    WriteBytes(dir / "source.bin", source);

    FileHandle* reader = OpenFile("source.bin", FS_READ);
    FileHandle* a = OpenFile("a.bin", FS_WRITE);
    FileHandle* b = OpenFile("b.bin", FS_WRITE);
    ASSERT_NE(reader, nullptr);
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);

    Bytes seen;
    std::size_t chunk = 1;
    char buffer[40000];
    while (seen.size() < size) {
        // Reads of growing, odd sizes: some inside a buffer, some beyond it.
        std::size_t want = std::min(chunk, size - seen.size());
        ASSERT_EQ(reader->Read(buffer, want), want);
        seen.append(buffer, want);
        for (std::size_t i = 0; i < want; ++i) {
            ASSERT_EQ(a->Write(&buffer[i], 1), 1);
            const char flipped = static_cast<char>(~buffer[i]);
            ASSERT_EQ(b->Write(&flipped, 1), 1);
        }
        chunk = chunk * 3 + 1;
        if (chunk > sizeof buffer) chunk = 5;
    }
    EXPECT_EQ(seen, source);
    ASSERT_TRUE(a->Flush());
    CloseFile(a);
    CloseFile(b);  // closed without an explicit flush: closing writes the rest
    CloseFile(reader);

    Bytes flippedSource = source;
    for (char& c : flippedSource) c = static_cast<char>(~c);
    EXPECT_EQ(ReadBytes(dir / "a.bin"), source);
    EXPECT_EQ(ReadBytes(dir / "b.bin"), flippedSource);
}

}  // namespace
