// What the file layer asks of the allocator. This program replaces operator
// new and delete: a request beyond kLargestSound ends the process at once (so
// an attempt shows even where it would succeed), and every nothrow request can
// be made to fail.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <new>

#include "FsTestFixture.h"

namespace {

constexpr std::size_t kLargestSound = std::size_t{64} << 20;
bool failNothrow = false;

void* Allocate(std::size_t n) {
    if (n > kLargestSound) {
        std::fprintf(stderr, "allocation of %zu bytes\n", n);
        std::abort();
    }
    return std::malloc(n == 0 ? 1 : n);
}

void* AllocateOrThrow(std::size_t n) {
    if (void* p = Allocate(n)) return p;
    throw std::bad_alloc();
}

void* AllocateNothrow(std::size_t n) { return failNothrow ? nullptr : Allocate(n); }

}  // namespace

void* operator new(std::size_t n) { return AllocateOrThrow(n); }
void* operator new[](std::size_t n) { return AllocateOrThrow(n); }
void* operator new(std::size_t n, const std::nothrow_t&) noexcept { return AllocateNothrow(n); }
void* operator new[](std::size_t n, const std::nothrow_t&) noexcept { return AllocateNothrow(n); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }

namespace {

using testsupport::ArchiveBuilder;
using AllocationTest = FsTest;

#define EXPECT_FATAL(statement) EXPECT_EXIT(statement, testing::ExitedWithCode(kFatalExitCode), "^$")

TEST_F(AllocationTest, TableSizeBeyondTheFileAsksForNoMemory) {
    const ArchiveBuilder sound = ArchiveBuilder().Add("a.txt", "A");
    for (std::uint32_t size : {0xFFFFFFFFu, 0x80000000u, 0x10000000u}) {
        SCOPED_TRACE(size);
        ArchiveBuilder(sound).SetEntryTableSize(size).WriteTo(Path("bad.cod"));
        EXPECT_FATAL(RegisterFFF("bad.cod"));
    }
    Register("good.cod", sound);
    EXPECT_EQ(Archives.count, 1);
}

TEST_F(AllocationTest, NoMemoryForTheTableIsFatal) {
    Register("game.cod", ArchiveBuilder().Add("a.txt", "A"));
    EXPECT_FATAL({
        failNothrow = true;
        RegisterFFF("game.cod");
    });
}

TEST_F(AllocationTest, NoMemoryForAHandle) {
    Write("disk.txt", "d");
    Register("game.cod", ArchiveBuilder().Add("a.txt", "A"));
    failNothrow = true;
    EXPECT_EQ(TryOpenFile("disk.txt", FS_READ), nullptr);
    EXPECT_EQ(TryOpenFile("a.txt", FS_READ), nullptr);
    EXPECT_EQ(TryOpenFile("out.txt", FS_WRITE), nullptr);
    EXPECT_EQ(OpenFile("out.txt", FS_WRITE), nullptr);  // as any failed write-open
    EXPECT_FATAL(OpenFile("disk.txt", FS_READ));
    EXPECT_FATAL(OpenFile("a.txt", FS_READ));
    failNothrow = false;
    // The archive's stream is still there for the next open.
    FileHandle* h = OpenFile("a.txt", FS_READ);
    EXPECT_EQ(ReadN(h, 1), "A");
    CloseFile(h);
}

}  // namespace
