#include "FffArchive.h"

#include <bit>
#include <cstring>
#include <new>

#include "FileCore.h"
#include "Platform.h"
#include "TextFormat.h"

// The entry table is read straight into ArchiveEntry records.
static_assert(std::endian::native == std::endian::little, "archive records are little-endian");

namespace {

std::uint32_t ReadLe32(const unsigned char* p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

[[noreturn]] void Damaged(std::FILE* f, const char* format, const char* path) {
    std::fclose(f);
    FatalError(FormatText(format, path).c_str());
}

// Bytes from the current position to the end of the file, or -1.
long BytesLeft(std::FILE* f) {
    long here = std::ftell(f);
    if (here < 0 || std::fseek(f, 0, SEEK_END) != 0) return -1;
    long end = std::ftell(f);
    std::fseek(f, here, SEEK_SET);
    return end < here ? -1 : end - here;
}

}  // namespace

void RegisterFFF(const char* path) {
    if (path == nullptr || path[0] == '\0') return;
    std::size_t length = std::strlen(path);
    if (length >= FS_NAME_SIZE) return;
    if (Archives.count >= ARCHIVE_SLOTS) {
        DebugLog("---\tREGISTER_FFF: archive table full (%s)\n", path);
        return;
    }

    char work[FS_NAME_SIZE];
    std::memcpy(work, path, length + 1);
    ToBackSlashes(work);

    std::FILE* f = OpenHostFile(work, "rb");
    if (f == nullptr) return;

    ArchiveSlot& slot = Archives.slots[Archives.count];
    std::memcpy(slot.path, work, length + 1);

    if (std::fread(slot.header, 1, ARCHIVE_HEADER_SIZE, f) != ARCHIVE_HEADER_SIZE)
        Damaged(f, "REGISTER_FFF: file header error! (%s)", work);

    std::uint32_t tableSize = ReadLe32(slot.header + 24);
    std::uint32_t count = tableSize / sizeof(ArchiveEntry);

    // A table that cannot fit in the file is damage, not a reason to ask for
    // gigabytes of memory.
    long left = BytesLeft(f);
    if (left < 0 || static_cast<unsigned long>(left) < tableSize)
        Damaged(f, "REGISTER_FFF: file entries error (%s)", work);

    // A slot reused after closing gives its earlier tables back first.
    slot.ReleaseTables();
    slot.entries = new (std::nothrow) ArchiveEntry[count];
    slot.nameHashes = new (std::nothrow) std::uint32_t[count];
    if (slot.entries == nullptr || slot.nameHashes == nullptr) {
        slot.ReleaseTables();
        Damaged(f, "REGISTER_FFF: file entries error (%s)", work);
    }

    std::size_t recordBytes = static_cast<std::size_t>(count) * sizeof(ArchiveEntry);
    AdviseLargeBlock(slot.entries, recordBytes);
    // Bytes past the last whole record belong to the table but to no record:
    // they are read (the table must be complete) and dropped.
    unsigned char rest[sizeof(ArchiveEntry)];
    std::size_t restBytes = tableSize - recordBytes;
    if (std::fread(slot.entries, 1, recordBytes, f) != recordBytes ||
        std::fread(rest, 1, restBytes, f) != restBytes)
        Damaged(f, "REGISTER_FFF: file entries error (%s)", work);

    slot.entryCount = static_cast<std::int32_t>(count);
    slot.isOpen = true;
    slot.stream = f;
    for (std::uint32_t i = 0; i < count; ++i)
        slot.nameHashes[i] = NameHashBounded(slot.entries[i].name, sizeof(ArchiveEntry::name));
    ++Archives.count;
}
