// Configuration reader: the value of key K in section S of a .cfg text file.
//
// Rules:
//  - The whole file is read once, through the file core (disk first, then the
//    registered archives), and kept with its handle until the reader is
//    destroyed or asked about another FileName. FileName is compared byte for
//    byte, so the same file named in another case is read again.
//  - A section is the first occurrence of "[" Section "]" anywhere in the text,
//    case-sensitive and not tied to a line start. It ends at the first later
//    "[" whose preceding byte, as a signed 8-bit number, is at most 32 (the
//    search starts one byte past the "]"), or at the end of the text.
//  - The key is the first "Key=" at or after the header and before the
//    section's end, even as the tail of a longer key or inside a value; the
//    value runs to the first CR or LF, or to the end of the text.
//  - ValueLength 0 means no value: missing section, missing key, empty value or
//    empty file alike. An empty Section or Key leaves the previous result.
//  - Value holds at most 16383 characters; a longer value is cut there. A name
//    field with no terminator in its 256 bytes finds nothing.
//  - Lookups of one section reuse where its header and end lie, and headers
//    are found through an index of the text's "[...]" tokens, so walking every
//    section of a file costs time linear in the file's size.
#pragma once

#include <cstdint>
#include <string_view>
#include <unordered_map>

class FileHandle;

constexpr std::size_t CFG_NAME_SIZE = 256;
constexpr std::size_t CFG_VALUE_SIZE = 16384;

class CfgReader {
public:
    CfgReader();
    ~CfgReader();
    CfgReader(const CfgReader&) = delete;
    CfgReader& operator=(const CfgReader&) = delete;

    // Looks Key up in Section of FileName; the outcome is Value and ValueLength.
    void Lookup();

private:
    FileHandle* File = nullptr;
    char* Text = nullptr;
    char* SectionPattern = nullptr;
    char* KeyPattern = nullptr;
    char CachedFileName[CFG_NAME_SIZE] = {};
    std::uint32_t CachedLength = 0;

public:
    char Section[CFG_NAME_SIZE] = {};
    char Key[CFG_NAME_SIZE] = {};
    char FileName[CFG_NAME_SIZE] = {};
    char DefaultValue[CFG_NAME_SIZE] = {};
    char Value[CFG_VALUE_SIZE] = {};
    std::uint32_t ValueLength = 0;

private:
    bool FindKey();
    void LoadFile();
    void ReleaseFile();
    bool LocateSection(std::uint32_t& bodyStart, std::uint32_t& sectionEnd);
    std::uint32_t FindHeader(std::string_view pattern);

    // Where the last section looked up lies, for the lookups that follow.
    bool sectionKnown = false;
    char knownSection[CFG_NAME_SIZE] = {};
    bool knownFound = false;
    std::uint32_t knownBody = 0;
    std::uint32_t knownEnd = 0;

    // First offset of every "[...]" token of the text, built on first need.
    bool headerIndexBuilt = false;
    std::unordered_map<std::string_view, std::uint32_t> headerIndex;
};
