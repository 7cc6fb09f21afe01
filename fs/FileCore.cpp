// File core: handles over disk files and archive entries, the open with its
// disk-first lookup, the archive table, NameHash and the fatal-error path.
// The rules are stated in FileCore.h.
#include "FileCore.h"

#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>
#include <string>

#include "Platform.h"
#include "TextFormat.h"

ArchiveTable Archives;

namespace {

// Stream buffer of every handle the file core opens: large enough that the
// converter's one-byte writes cost no system call of their own.
constexpr std::size_t STREAM_BUFFER_SIZE = 1 << 16;

// Reflected CRC-32 tables, polynomial 0xEDB88320: t[0] is the byte table,
// t[k] advances a byte's contribution by k more bytes, so eight bytes are
// taken in one step ("slicing by 8").
struct CrcTables {
    std::uint32_t t[8][256];
    constexpr CrcTables() : t() {
        for (std::uint32_t i = 0; i < 256; ++i) {
            std::uint32_t c = i;
            for (int k = 0; k < 8; ++k) c = (c & 1) ? (c >> 1) ^ 0xEDB88320u : c >> 1;
            t[0][i] = c;
        }
        for (int k = 1; k < 8; ++k)
            for (std::uint32_t i = 0; i < 256; ++i) t[k][i] = (t[k - 1][i] >> 8) ^ t[0][t[k - 1][i] & 0xFF];
    }
};
constexpr CrcTables CRC{};

// Eight bytes as one little-endian number, whatever the host's byte order.
std::uint64_t Load8(const unsigned char* p) {
    std::uint64_t w = 0;
    for (int i = 7; i >= 0; --i) w = w << 8 | p[i];
    return w;
}

// a to z turned into A to Z in all eight bytes at once; every other byte,
// 0x80 to 0xFF included, stays as it is.
std::uint64_t UpperAZ8(std::uint64_t w) {
    constexpr std::uint64_t ones = 0x0101010101010101u;
    const std::uint64_t low7 = w & (0x7F * ones);             // no carry between bytes below
    const std::uint64_t atLeastA = low7 + (0x80 - 'a') * ones;  // high bit: byte >= 'a'
    const std::uint64_t pastZ = low7 + (0x80 - 'z' - 1) * ones;  // high bit: byte > 'z'
    const std::uint64_t lower = atLeastA & ~pastZ & ~w & (0x80 * ones);
    return w - (lower >> 2);  // 0x20 off each lower-case letter
}

unsigned char FoldAZ(unsigned char c) { return (c >= 'A' && c <= 'Z') ? c + 0x20 : c; }

// The stored name (cut at its 128-byte field when it has no terminator there)
// against the lookup name, with A to Z folded.
bool ArchiveNameEquals(const char* stored, const char* wanted, std::size_t wantedLength) {
    if (wantedLength >= sizeof(ArchiveEntry::name)) {
        // Only an unterminated 128-byte name can be this long.
        if (wantedLength != sizeof(ArchiveEntry::name) ||
            std::memchr(stored, 0, sizeof(ArchiveEntry::name)) != nullptr)
            return false;
    }
    for (std::size_t i = 0; i < wantedLength; ++i)
        if (FoldAZ(static_cast<unsigned char>(stored[i])) != FoldAZ(static_cast<unsigned char>(wanted[i])))
            return false;
    return wantedLength == sizeof(ArchiveEntry::name) || stored[wantedLength] == '\0';
}

// Opens a disk stream with a buffer of STREAM_BUFFER_SIZE bytes, handed back
// in buffer for the DiskFile to own. The buffer is given to setvbuf because
// some C libraries (glibc among them) ignore the size when asked to allocate
// one themselves and keep their 4 KiB default. Without memory for it the
// stream keeps the default buffer and buffer is none.
std::FILE* OpenBuffered(const char* path, const char* mode, char*& buffer) {
    buffer = nullptr;
    std::FILE* f = OpenHostFile(path, mode);
    if (f == nullptr) return nullptr;
    buffer = new (std::nothrow) char[STREAM_BUFFER_SIZE];
    if (buffer != nullptr && std::setvbuf(f, buffer, _IOFBF, STREAM_BUFFER_SIZE) != 0) {
        delete[] buffer;
        buffer = nullptr;
    }
    return f;
}

// Wraps an open stream and its buffer in a DiskFile; without memory the stream
// is closed again so that nothing stays open unowned, and the open counts as
// failed.
FileHandle* NewDiskFile(std::FILE* f, char* buffer) {
    FileHandle* h = new (std::nothrow) DiskFile(f, buffer);
    if (h == nullptr) {
        std::fclose(f);
        delete[] buffer;
    }
    return h;
}

// Moves an archive stream to an absolute position. One that the host's
// stream positions cannot express (past 2 GiB where they are 32 bits) lies
// past the end of any archive this kit reads: the stream goes to its end, so
// reads there find nothing instead of another entry's bytes.
void SeekArchive(std::FILE* stream, std::int64_t position) {
    if (position > std::numeric_limits<long>::max())
        std::fseek(stream, 0, SEEK_END);
    else
        std::fseek(stream, static_cast<long>(position), SEEK_SET);
}

[[noreturn]] void FatalWithName(const char* logFormat, const char* fatalFormat, const char* name) {
    DebugLog(logFormat, name);
    FatalError(FormatText(fatalFormat, name).c_str());
}

}  // namespace

void DebugLog(const char* /*format*/, ...) {
    // The debug sink: both programs discard every diagnostic line.
}

void FatalError(const char* message) {
    DebugLog("FATALERROR: %s\n", message);
    std::exit(-1);
}

void ToForwardSlashes(char* text) {
    for (; *text != '\0'; ++text)
        if (*text == '\\') *text = '/';
}

void ToBackSlashes(char* text) {
    for (; *text != '\0'; ++text)
        if (*text == '/') *text = '\\';
}

// The CRC runs eight bytes a step, with the letters folded eight at a time:
// registration hashes every name of every archive, hundreds of thousands of
// them. The result is the same as one byte at a time.
std::uint32_t NameHashBounded(const char* text, std::size_t maxLength) {
    std::size_t length;
    if (maxLength == SIZE_MAX) {
        length = std::strlen(text);
    } else {
        const void* end = std::memchr(text, 0, maxLength);
        length = end != nullptr ? static_cast<std::size_t>(static_cast<const char*>(end) - text) : maxLength;
    }
    const unsigned char* p = reinterpret_cast<const unsigned char*>(text);
    std::uint32_t h = 0;
    for (; length >= 8; length -= 8, p += 8) {
        const std::uint64_t w = UpperAZ8(Load8(p));
        const std::uint32_t lo = static_cast<std::uint32_t>(w) ^ h;
        const std::uint32_t hi = static_cast<std::uint32_t>(w >> 32);
        h = CRC.t[7][lo & 0xFF] ^ CRC.t[6][lo >> 8 & 0xFF] ^ CRC.t[5][lo >> 16 & 0xFF] ^ CRC.t[4][lo >> 24] ^
            CRC.t[3][hi & 0xFF] ^ CRC.t[2][hi >> 8 & 0xFF] ^ CRC.t[1][hi >> 16 & 0xFF] ^ CRC.t[0][hi >> 24];
    }
    for (; length > 0; --length, ++p) {
        unsigned char c = *p;
        if (c >= 'a' && c <= 'z') c -= 0x20;
        h = (h >> 8) ^ CRC.t[0][(h ^ c) & 0xFF];
    }
    return h;
}

std::uint32_t NameHash(const char* text) { return NameHashBounded(text, SIZE_MAX); }

// --- Handles ----------------------------------------------------------------

bool EqualFoldAZ(const char* a, const char* b) {
    for (;; ++a, ++b) {
        if (FoldAZ(static_cast<unsigned char>(*a)) != FoldAZ(static_cast<unsigned char>(*b))) return false;
        if (*a == '\0') return true;
    }
}

void FileHandle::PutString(const char* text) {
    IsOpen();
    std::size_t n = std::strlen(text);
    if (n != 0) HostWriteItem(text, n, stream);
}

bool FileHandle::Flush() {
    IsOpen();
    return std::fflush(stream) == 0 && std::ferror(stream) == 0;
}

DiskFile::~DiskFile() {
    if (stream != nullptr) std::fclose(stream);
    delete[] buffer;  // only once the stream that used it is closed
}

void DiskFile::Close() {
    IsOpen();
    std::fclose(stream);
    stream = nullptr;
}

std::int32_t DiskFile::GetSize() {
    IsOpen();
    if (cachedSize == -1) {
        long here = std::ftell(stream);
        std::fseek(stream, 0, SEEK_END);
        cachedSize = static_cast<std::int32_t>(std::ftell(stream));
        std::fseek(stream, here, SEEK_SET);
    }
    return cachedSize;
}

std::int32_t DiskFile::Tell() {
    IsOpen();
    return static_cast<std::int32_t>(std::ftell(stream));
}

void DiskFile::Seek(std::int32_t position) {
    IsOpen();
    std::fseek(stream, position, SEEK_SET);
}

bool DiskFile::IsEof() {
    IsOpen();
    return std::feof(stream) != 0;
}

void PackedFile::Close() { stream = nullptr; }

std::int32_t PackedFile::GetSize() {
    IsOpen();
    return static_cast<std::int32_t>(size);
}

std::int32_t PackedFile::Tell() {
    IsOpen();
    return static_cast<std::int32_t>(std::ftell(stream) - static_cast<long>(offset));
}

// A position is counted in 64 bits: an entry may lie near the 4 GiB end of
// the 32-bit offsets, and a wrapped sum would land at the archive's start, in
// another entry's bytes. A position before the entry is refused and the read
// position stays, as a disk file's failed seek leaves it.
void PackedFile::Seek(std::int32_t position) {
    IsOpen();
    if (position < 0) return;
    SeekArchive(stream, std::int64_t{offset} + position);
}

bool PackedFile::IsEof() {
    IsOpen();
    return std::int64_t{std::ftell(stream)} >= std::int64_t{offset} + size;
}

// --- Opening ------------------------------------------------------------------

FileHandle* OpenFileEx(const char* name, int mode, bool report) {
    if (name == nullptr || name[0] == '\0') {
        if (!report) return nullptr;
        DebugLog("---\tFILE_SYSTEM: NO FILENAME\n");
        FatalError("FILE_SYSTEM: NO FILENAME");
    }

    // A name that does not fit the working path is refused: a write-open
    // fails as any write-open may, a read-open as a file found nowhere.
    std::size_t length = std::strlen(name);
    bool tooLong = length >= FS_NAME_SIZE;
    char path[FS_NAME_SIZE];
    if (!tooLong) {
        std::memcpy(path, name, length + 1);
        ToBackSlashes(path);
    }

    if (mode & FS_WRITE) {
        char* buffer = nullptr;
        std::FILE* f = tooLong ? nullptr : OpenBuffered(path, "wb", buffer);
        if (f != nullptr) {
            if (FileHandle* h = NewDiskFile(f, buffer)) return h;
        }
        if (report) DebugLog("---\tFILE_SYSTEM: CANT OPEN FOR WRITE THIS: %s\n", tooLong ? name : path);
        return nullptr;
    }

    if (mode & FS_READ) {
        if (!tooLong) {
            char* buffer = nullptr;
            if (std::FILE* f = OpenBuffered(path, "rb", buffer)) {
                if (FileHandle* h = NewDiskFile(f, buffer)) return h;
                if (report) FatalError("FILE_SYSTEM: OUT OF MEMORY");
                return nullptr;
            }
            ToForwardSlashes(path);
            std::uint32_t h = NameHash(path);
            for (int s = 0; s < Archives.count; ++s) {
                ArchiveSlot& slot = Archives.slots[s];
                if (!slot.isOpen) continue;
                for (std::int32_t i = 0; i < slot.entryCount; ++i) {
                    if (slot.nameHashes[i] != h) continue;
                    const ArchiveEntry& e = slot.entries[i];
                    if (!ArchiveNameEquals(e.name, path, length)) continue;
                    SeekArchive(slot.stream, e.offset);
                    FileHandle* packed = new (std::nothrow) PackedFile(slot.stream, e.offset, e.size);
                    if (packed == nullptr && report) FatalError("FILE_SYSTEM: OUT OF MEMORY");
                    return packed;
                }
            }
        }
        if (!report) return nullptr;
        FatalWithName("---\tFILE_SYSTEM ERROR:\tFile not found: %s!\n", "File not found: %s", name);
    }

    if (!report) return nullptr;
    FatalWithName("---\tFILE_SYSTEM: WRONG OPEN_FILE FLAG (%s)\n", "FILE_SYSTEM: WRONG OPEN_FILE FLAG (%s)",
                  name);
}

void CloseFile(FileHandle* handle) {
    if (handle == nullptr) return;
    handle->Close();
    delete handle;
}

// --- The archive table --------------------------------------------------------

void ArchiveSlot::ReleaseTables() {
    delete[] entries;
    delete[] nameHashes;
    entries = nullptr;
    nameHashes = nullptr;
    entryCount = 0;
}

void ResetArchives() {
    for (ArchiveSlot& slot : Archives.slots) slot.isOpen = false;
    Archives.count = 0;
}

void CloseArchives() {
    for (int s = 0; s < Archives.count; ++s) {
        ArchiveSlot& slot = Archives.slots[s];
        if (slot.stream != nullptr) std::fclose(slot.stream);
        slot.stream = nullptr;
        slot.isOpen = false;
    }
    Archives.count = 0;
}
