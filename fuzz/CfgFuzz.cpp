// Fuzz target "cfg": CfgReader lookups over a fuzzed text with fuzzed section
// and key names.
//
// Input layout: one byte n; then n mod 17 lookups, each a section name and a
// key name, each ended by a zero byte; the rest of the input is the text
// (zero bytes allowed). Missing names are empty. A name of 256 bytes or more
// fills its 256-byte field with no terminator.
//  - The text is "fuzz.cfg" on disk and also the one entry "inpak.cfg" of a
//    registered archive; one reader serves all lookups, four at a time from
//    "fuzz.cfg", then from "inpak.cfg", then from "FUZZ.CFG" (another name
//    for the same file, so the reader loads it again), then "fuzz.cfg".
//  - Every outcome is compared with CfgRuleLookup (CfgRules.h), a plain
//    reading of the lookup rules without the reader's section memo or header
//    index. An empty name keeps the previous result.
//  - No lookup here may end the process: every file opened exists.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

#include "CfgReader.h"
#include "CfgRules.h"
#include "FffArchive.h"
#include "FileCore.h"
#include "FuzzSupport.h"

using namespace fuzzsupport;

namespace {

constexpr int kMaxLookups = 16;

void Fill(char (&field)[CFG_NAME_SIZE], std::string_view name) {
    std::memset(field, 0, sizeof field);
    std::memcpy(field, name.data(), std::min(name.size(), sizeof field));
}

// A one-entry archive holding text as "inpak.cfg", at an offset past a gap.
std::string ArchiveOf(std::string_view text) {
    std::string a(24, 'x');
    auto le32 = [&a](std::uint32_t v) {
        for (int i = 0; i < 4; ++i) a += static_cast<char>(v >> (8 * i));
    };
    le32(sizeof(ArchiveEntry));
    std::string name = "inpak.cfg";
    name.resize(128, '\0');
    a += name;
    le32(28 + sizeof(ArchiveEntry) + 3);
    le32(static_cast<std::uint32_t>(text.size()));
    a += "gap";
    a += text;
    return a;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    EnterScratchFolder("cfg");
    ResetArchives();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view input(reinterpret_cast<const char*>(data), size);
    int lookups = input.empty() ? 0 : static_cast<unsigned char>(input[0]) % (kMaxLookups + 1);
    input.remove_prefix(input.empty() ? 0 : 1);
    std::string_view names[2 * kMaxLookups];
    for (int i = 0; i < 2 * lookups; ++i) {
        std::size_t zero = input.find('\0');
        names[i] = input.substr(0, zero);
        input.remove_prefix(zero == std::string_view::npos ? input.size() : zero + 1);
    }
    std::string_view text = input;

    WriteFile("fuzz.cfg", text);
    WriteFile("pak.fff", ArchiveOf(text));
    RegisterFFF("pak.fff");

    static const char* const kFileNames[] = {"fuzz.cfg", "inpak.cfg", "FUZZ.CFG"};
    auto reader = std::make_unique<CfgReader>();
    std::string expected;  // what Value holds before the first lookup that counts
    bool haveResult = false;
    for (int i = 0; i < lookups; ++i) {
        std::string_view section = names[2 * i], key = names[2 * i + 1];
        Fill(reader->Section, section);
        Fill(reader->Key, key);
        std::strcpy(reader->FileName, kFileNames[(i / 4) % 3]);
        reader->Lookup();
        if (section.empty() || key.empty()) {
            if (!haveResult) continue;  // nothing to keep yet
        } else {
            expected = CfgRuleLookup(text, section, key);
            haveResult = true;
        }
        if (reader->ValueLength != expected.size() || std::string_view(reader->Value) != expected)
            Fail("lookup %d ([%.*s] %.*s= in %s): got %u \"%.40s\", expected %zu \"%.40s\"", i,
                 static_cast<int>(std::min<std::size_t>(section.size(), 60)), section.data(),
                 static_cast<int>(std::min<std::size_t>(key.size(), 60)), key.data(), kFileNames[(i / 4) % 3],
                 reader->ValueLength, reader->Value, expected.size(), expected.c_str());
    }
    reader.reset();
    CloseArchives();
    return 0;
}
