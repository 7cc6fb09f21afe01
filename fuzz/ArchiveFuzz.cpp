// Fuzz target "archive": registration of a fuzzed FFF archive, then
// read-opens and reads of the names in its table.
//
// The input is the whole archive file "pack.fff" in the scratch folder.
//  - A header shorter than 28 bytes or a table that runs past the end of the
//    file must end the process (FatalError); that is checked with
//    ExpectFatalEnd (FuzzSupport.h). Any other file registers as one slot
//    with one entry per whole 136-byte record.
//  - Each name of the table (up to the first zero of its 128-byte field) is
//    read-opened. A non-empty name with no "\" must be found: it is opened
//    with the reporting OpenFile, so a miss ends the process where libFuzzer
//    sees it. Other names go through TryOpenFile; when that finds nothing,
//    the reporting OpenFile must end the process, and is checked to.
//  - A name found in the archive must come from the first entry whose name
//    equals it with A to Z folded: its GetSize is that entry's size, and the
//    bytes read (bounded by GetSize, at most 64 KiB) are the file's bytes from
//    that entry's offset, as far as the file goes. A seek into the middle
//    reads the same bytes again.
//  - Names that start at the root or contain ".." are skipped, so the fuzzer
//    never reads outside its scratch folder.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>

#include "FffArchive.h"
#include "FileCore.h"
#include "FuzzSupport.h"

using namespace fuzzsupport;

namespace {

constexpr std::size_t kRecordSize = sizeof(ArchiveEntry);
constexpr std::size_t kMaxOpens = 64;
constexpr std::size_t kMaxRead = 1 << 16;

std::uint32_t Le32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

struct Record {
    std::string name;  // up to the first zero of the field
    std::uint32_t offset;
    std::uint32_t size;
};

Record RecordAt(const std::uint8_t* data, std::size_t index) {
    const std::uint8_t* r = data + 28 + index * kRecordSize;
    const char* name = reinterpret_cast<const char*>(r);
    return {std::string(name, strnlen(name, 128)), Le32(r + 128), Le32(r + 132)};
}

bool EqualFoldAZ(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        auto fold = [](unsigned char c) { return c >= 'A' && c <= 'Z' ? c + 0x20 : c; };
        if (fold(static_cast<unsigned char>(a[i])) != fold(static_cast<unsigned char>(b[i]))) return false;
    }
    return true;
}

bool StaysInScratch(const std::string& name) {
    return !name.empty() && name[0] != '/' && name[0] != '\\' && name.find("..") == std::string::npos;
}

// Reads up to want bytes through h from where it stands.
std::string ReadUpTo(FileHandle* h, std::size_t want) {
    std::string got;
    char chunk[4096];
    while (got.size() < want) {
        std::size_t n = h->Read(chunk, std::min(sizeof chunk, want - got.size()));
        if (n == 0) break;
        got.append(chunk, n);
    }
    return got;
}

// The file's bytes [from, from + want), cut at the end of the file.
std::string FileBytes(const std::uint8_t* data, std::size_t size, std::uint64_t from, std::size_t want) {
    if (from >= size) return {};
    std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(want, size - from));
    return std::string(reinterpret_cast<const char*>(data) + from, n);
}

void CheckEntry(const std::uint8_t* data, std::size_t size, std::uint32_t count, const std::string& name,
                FileHandle* h) {
    std::int32_t reported = h->GetSize();
    std::size_t want = reported > 0 ? std::min<std::size_t>(static_cast<std::size_t>(reported), kMaxRead) : 0;
    std::string got = ReadUpTo(h, want);
    h->IsEof();
    if (dynamic_cast<PackedFile*>(h) == nullptr) return;  // found on disk

    std::string wanted = name;
    std::replace(wanted.begin(), wanted.end(), '\\', '/');
    std::uint32_t j = 0;
    while (j < count && !EqualFoldAZ(RecordAt(data, j).name, wanted)) ++j;
    if (j == count) Fail("'%s' opened from the archive, but no entry has that name", name.c_str());
    Record e = RecordAt(data, j);
    if (reported != static_cast<std::int32_t>(e.size))
        Fail("'%s': GetSize %d, entry %u has size %u", name.c_str(), reported, j, e.size);
    if (got != FileBytes(data, size, e.offset, want))
        Fail("'%s': the bytes read are not those of entry %u at offset %u", name.c_str(), j, e.offset);
    if (h->Tell() != static_cast<std::int32_t>(got.size()))
        Fail("'%s': Tell %d after reading %zu bytes", name.c_str(), h->Tell(), got.size());

    std::size_t half = want / 2;
    h->Seek(static_cast<std::int32_t>(half));
    std::string again = ReadUpTo(h, std::min<std::size_t>(16, want - half));
    if (again != FileBytes(data, size, std::uint64_t{e.offset} + half, std::min<std::size_t>(16, want - half)))
        Fail("'%s': the bytes after a seek to %zu are wrong", name.c_str(), half);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    EnterScratchFolder("archive");
    ResetArchives();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    WriteFile("pack.fff", data, size);

    if (size < 28 || Le32(data + 24) > size - 28) {
        ExpectFatalEnd("damaged archive", [] { RegisterFFF("pack.fff"); });
        if (Archives.count != 0) Fail("a damaged archive took a slot");
        return 0;
    }

    RegisterFFF("pack.fff");
    std::uint32_t count = Le32(data + 24) / kRecordSize;
    if (Archives.count != 1 || !Archives.slots[0].isOpen)
        Fail("a sound archive was not registered");
    if (Archives.slots[0].entryCount != static_cast<std::int32_t>(count))
        Fail("%d entries registered, the table holds %u", Archives.slots[0].entryCount, count);

    if (TryOpenFile("", FS_READ) != nullptr) Fail("an empty name opened");
    ExpectFatalEnd("read-open of an empty name", [] { OpenFile("", FS_READ); });

    for (std::uint32_t i = 0; i < count && i < kMaxOpens; ++i) {
        std::string name = RecordAt(data, i).name;
        if (!StaysInScratch(name)) continue;
        FileHandle* h = nullptr;
        if (name.find('\\') == std::string::npos) {
            h = OpenFile(name.c_str(), FS_READ);  // must be found: a miss ends the process
        } else {
            h = TryOpenFile(name.c_str(), FS_READ);
            if (h == nullptr) {
                ExpectFatalEnd("read-open of a name found nowhere", [&] { OpenFile(name.c_str(), FS_READ); });
                continue;
            }
        }
        CheckEntry(data, size, count, name, h);
        CloseFile(h);
    }

    CloseArchives();
    return 0;
}
