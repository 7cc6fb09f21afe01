// File core: the one way both programs open, read and write files.
//
// Rules:
//  - A name may use "/" or "\" between folders. Opening works on its own copy
//    of the name (at most 255 characters; a longer name is refused), never on
//    the caller's text.
//  - Writing (FS_WRITE, tested first) always goes to disk, creating or
//    emptying the file. A failed write-open is never fatal.
//  - Reading (FS_READ) looks on disk first, then in the registered archives in
//    the order of their registration; within one archive the first entry in
//    table order wins. Archive names compare with A to Z folded to a to z and
//    every other byte unchanged; the lookup name uses "/", so an entry stored
//    with "\" is never found.
//  - The reporting variant (OpenFile) ends the process through FatalError when
//    a read-open finds nothing, the name is empty or the mode has no flag; the
//    quiet variant (TryOpenFile) returns none instead.
//  - Every PackedFile of one archive reads through the archive's one stream,
//    so they share one position: seek before you read when alternating.
//  - FatalError is silent: nothing reaches the console, the process ends with
//    exit code -1 through the normal exit path (exit handlers run, streams are
//    flushed and closed).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "HostStream.h"

enum : int { FS_READ = 1, FS_WRITE = 2 };

// Longest name the file layer takes: 255 characters and the terminator.
constexpr std::size_t FS_NAME_SIZE = 256;

[[noreturn]] void FatalError(const char* message);
void DebugLog(const char* format, ...);

void ToForwardSlashes(char* text);
void ToBackSlashes(char* text);

// Texts equal when the letters A to Z are taken as a to z; every other byte,
// 0x80 to 0xFF included, compares unchanged.
bool EqualFoldAZ(const char* a, const char* b);

std::uint32_t NameHash(const char* text);
// The same hash over at most maxLength bytes (an archive record's name field).
std::uint32_t NameHashBounded(const char* text, std::size_t maxLength);

class FileHandle {
public:
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    virtual ~FileHandle() = default;

    virtual void Close() = 0;
    virtual std::int32_t GetSize() = 0;
    virtual std::int32_t Tell() = 0;
    virtual void Seek(std::int32_t position) = 0;
    virtual bool IsEof() = 0;

    // True when the handle has a stream; a handle without one is a
    // programming fault and ends the process.
    bool IsOpen() const {
        if (stream == nullptr) FatalError("FILE ERROR!");
        return true;
    }

    // Reads up to byteCount bytes; returns how many came. Not bounded by an
    // archive entry's end.
    std::size_t Read(void* buffer, std::size_t byteCount) {
        IsOpen();
        return HostReadBytes(buffer, byteCount, stream);
    }

    // 1 when all byteCount bytes were written (nothing to write counts as
    // all), else 0. The one-byte case is the converter's hot path: one
    // unlocked buffered put, no call into the library's locking.
    int Write(const void* data, std::size_t byteCount) {
        IsOpen();
        if (byteCount == 1)
            return HostPutByte(*static_cast<const unsigned char*>(data), stream) != EOF;
        if (byteCount == 0) return 1;
        return HostWriteItem(data, byteCount, stream) == 1 ? 1 : 0;
    }

    void PutString(const char* text);
    void PutChar(char c) {
        IsOpen();
        HostPutByte(static_cast<unsigned char>(c), stream);
    }
    void PutNewLine() {
        PutChar('\r');
        PutChar('\n');
    }

    // Hands what is buffered to the host and tells whether everything written
    // through this handle so far got there: false once any write failed (a
    // full disk, say), since a stream's error flag stays set. For handles
    // opened for writing.
    bool Flush();

protected:
    explicit FileHandle(std::FILE* s) : stream(s) {}
    std::FILE* stream;
};

class DiskFile final : public FileHandle {
public:
    explicit DiskFile(std::FILE* s) : FileHandle(s) {}
    ~DiskFile() override;
    void Close() override;
    std::int32_t GetSize() override;
    std::int32_t Tell() override;
    void Seek(std::int32_t position) override;
    bool IsEof() override;

private:
    std::int32_t cachedSize = -1;
};

class PackedFile final : public FileHandle {
public:
    PackedFile(std::FILE* archiveStream, std::uint32_t entryOffset, std::uint32_t entrySize)
        : FileHandle(archiveStream), offset(entryOffset), size(entrySize) {}
    void Close() override;
    std::int32_t GetSize() override;
    std::int32_t Tell() override;
    void Seek(std::int32_t position) override;
    bool IsEof() override;

private:
    std::uint32_t offset;
    std::uint32_t size;
};

FileHandle* OpenFileEx(const char* name, int mode, bool report);
inline FileHandle* OpenFile(const char* name, int mode) { return OpenFileEx(name, mode, true); }
inline FileHandle* TryOpenFile(const char* name, int mode) { return OpenFileEx(name, mode, false); }
void CloseFile(FileHandle* handle);

// --- The archive table -------------------------------------------------------

// One directory record: the same 136 bytes in the archive file and in memory.
struct ArchiveEntry {
    char name[128];
    std::uint32_t offset;
    std::uint32_t size;
};
static_assert(sizeof(ArchiveEntry) == 136, "an archive record is 136 bytes");

constexpr int ARCHIVE_SLOTS = 10;
constexpr std::size_t ARCHIVE_HEADER_SIZE = 28;

struct ArchiveSlot {
    ArchiveSlot() = default;
    ArchiveSlot(const ArchiveSlot&) = delete;
    ArchiveSlot& operator=(const ArchiveSlot&) = delete;
    ~ArchiveSlot() { ReleaseTables(); }
    void ReleaseTables();

    unsigned char header[ARCHIVE_HEADER_SIZE] = {};
    ArchiveEntry* entries = nullptr;
    std::uint32_t* nameHashes = nullptr;
    std::FILE* stream = nullptr;
    std::int32_t entryCount = 0;
    char path[FS_NAME_SIZE] = {};
    bool isOpen = false;
};

struct ArchiveTable {
    ArchiveSlot slots[ARCHIVE_SLOTS];
    std::int32_t count = 0;
};

// The process-wide table: built before the entry runs, destroyed at exit.
extern ArchiveTable Archives;

void ResetArchives();
void CloseArchives();
