#include "CfgReader.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "FileCore.h"

namespace {

constexpr std::uint32_t NOT_FOUND = UINT32_MAX;

// Longest "[...]" token the index keeps: a section name of 255 characters
// with its brackets.
constexpr std::size_t MAX_HEADER_TOKEN = CFG_NAME_SIZE + 1;

bool Terminated(const char* field) { return std::memchr(field, 0, CFG_NAME_SIZE) != nullptr; }

// A pattern buffer of the name's length plus 5 bytes, zero-filled.
char* NewPattern(const char* prefix, const char* name, const char* suffix) {
    std::size_t n = std::strlen(name);
    char* p = new (std::nothrow) char[n + 5]();
    if (p == nullptr) FatalError("CFG_READER: OUT OF MEMORY");
    std::strcat(p, prefix);
    std::strcat(p, name);
    std::strcat(p, suffix);
    return p;
}

// First occurrence of needle in text[from, to); NOT_FOUND when none.
std::uint32_t Search(const char* text, std::uint32_t from, std::uint32_t to, std::string_view needle) {
    if (from >= to) return NOT_FOUND;
    std::string_view hay(text + from, to - from);
    std::size_t at = hay.find(needle);
    return at == std::string_view::npos ? NOT_FOUND : from + static_cast<std::uint32_t>(at);
}

}  // namespace

CfgReader::CfgReader() = default;

CfgReader::~CfgReader() { ReleaseFile(); }

void CfgReader::ReleaseFile() {
    CloseFile(File);
    File = nullptr;
    delete[] Text;
    Text = nullptr;
    sectionKnown = false;
    headerIndexBuilt = false;
    headerIndex.clear();
}

void CfgReader::LoadFile() {
    ReleaseFile();
    File = OpenFile(FileName, FS_READ);  // a file found nowhere ends the process
    std::int32_t size = File->GetSize();
    CachedLength = size > 0 ? static_cast<std::uint32_t>(size) : 0;
    std::strcpy(CachedFileName, FileName);
    if (CachedLength == 0) {
        std::strcpy(Value, DefaultValue);
        return;
    }
    Text = new (std::nothrow) char[CachedLength + std::size_t{1}]();
    if (Text == nullptr) FatalError("CFG_READER: OUT OF MEMORY");
    File->Read(Text, CachedLength);
}

void CfgReader::Lookup() {
    if (Section[0] == '\0' || Key[0] == '\0') return;
    if (!Terminated(Section) || !Terminated(Key) || !Terminated(FileName)) {
        Value[0] = '\0';
        ValueLength = 0;
        return;
    }

    SectionPattern = NewPattern("[", Section, "]");
    KeyPattern = NewPattern("", Key, "=");

    if (File == nullptr || std::strcmp(CachedFileName, FileName) != 0) LoadFile();

    if (CachedLength != 0 && !FindKey()) Value[0] = '\0';
    ValueLength = static_cast<std::uint32_t>(std::strlen(Value));

    delete[] SectionPattern;
    delete[] KeyPattern;
    SectionPattern = nullptr;
    KeyPattern = nullptr;
}

std::uint32_t CfgReader::FindHeader(std::string_view pattern) {
    // A pattern with a "]" before its last byte is not a single token of the
    // index: search the text for it plainly.
    if (pattern.find(']') != pattern.size() - 1) return Search(Text, 0, CachedLength, pattern);

    if (!headerIndexBuilt) {
        headerIndexBuilt = true;
        const char* p = Text;
        const char* end = Text + CachedLength;
        while ((p = static_cast<const char*>(std::memchr(p, '[', static_cast<std::size_t>(end - p)))) != nullptr) {
            std::size_t span = std::min<std::size_t>(MAX_HEADER_TOKEN, static_cast<std::size_t>(end - p));
            const char* close = static_cast<const char*>(std::memchr(p + 1, ']', span - 1));
            if (close != nullptr)
                headerIndex.emplace(std::string_view(p, static_cast<std::size_t>(close - p + 1)),
                                    static_cast<std::uint32_t>(p - Text));
            ++p;
        }
    }
    auto it = headerIndex.find(pattern);
    return it == headerIndex.end() ? NOT_FOUND : it->second;
}

bool CfgReader::LocateSection(std::uint32_t& bodyStart, std::uint32_t& sectionEnd) {
    if (sectionKnown && std::strcmp(knownSection, Section) == 0) {
        bodyStart = knownBody;
        sectionEnd = knownEnd;
        return knownFound;
    }

    const std::uint32_t n = CachedLength;
    std::string_view pattern(SectionPattern);
    std::uint32_t h = FindHeader(pattern);
    bool found = false;
    std::uint32_t e = 0, s = 0;
    if (h != NOT_FOUND) {
        e = h + static_cast<std::uint32_t>(pattern.size());
        s = n;
        // The byte right after the "]" (normally the line's CR) is skipped.
        for (std::uint32_t from = e + 1; from < n;) {
            const void* b = std::memchr(Text + from, '[', n - from);
            if (b == nullptr) break;
            std::uint32_t at = static_cast<std::uint32_t>(static_cast<const char*>(b) - Text);
            if (static_cast<signed char>(Text[at - 1]) <= 32) {
                s = at;
                break;
            }
            from = at + 1;
        }
        found = s > e;
    }

    sectionKnown = true;
    std::strcpy(knownSection, Section);
    knownFound = found;
    knownBody = e;
    knownEnd = s;
    bodyStart = e;
    sectionEnd = s;
    return found;
}

bool CfgReader::FindKey() {
    Value[0] = '\0';
    std::uint32_t e = 0, s = 0;
    if (!LocateSection(e, s)) return false;

    // Only occurrences that begin before the section's end count.
    std::string_view pattern(KeyPattern);
    std::uint64_t limit = std::uint64_t{s} + pattern.size() - 1;
    std::uint32_t to = static_cast<std::uint32_t>(std::min<std::uint64_t>(limit, CachedLength));
    std::uint32_t k = Search(Text, e, to, pattern);
    if (k == NOT_FOUND || k >= s) return false;

    const char* from = Text + k + pattern.size();
    const char* end = Text + CachedLength;
    std::size_t length = 0;
    while (from + length < end && from[length] != '\r' && from[length] != '\n' && length < CFG_VALUE_SIZE - 1)
        ++length;
    std::memcpy(Value, from, length);
    Value[length] = '\0';
    return true;
}
