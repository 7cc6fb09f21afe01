// Makes the bytes of an FFF archive in memory, sound or deliberately damaged.
//
// Layout written: 24 header bytes (zeros unless set), the 32-bit little-endian
// entryTableSize, the table of 136-byte records (name field of 128 bytes,
// 32-bit offset, 32-bit size), any extra table bytes, then the data of the
// entries added with data, back to back in the order they were added, then any
// trailer. Names are stored exactly as given: no separator conversion, and a
// name of 128 characters fills its field with no terminator.
//
// Damage is asked for explicitly: a header value that does not match the
// table (SetEntryTableSize), table bytes that make up no record (AddTableTail),
// and a file cut short (TruncateTo). Standard library only, so that tools can
// use it as well as tests.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace testsupport {

class ArchiveBuilder {
public:
    static constexpr std::size_t kHeaderSize = 28;
    static constexpr std::size_t kRecordSize = 136;
    static constexpr std::size_t kNameField = 128;

    // An entry whose data lands in the data area; its offset is worked out
    // when the archive is built. Throws std::invalid_argument for a name of
    // more than 128 characters.
    ArchiveBuilder& Add(const std::string& name, const std::string& data);
    // A record with the given offset and size; no data is placed for it.
    ArchiveBuilder& AddRecord(const std::string& name, std::uint32_t offset, std::uint32_t size);

    // The 24 bytes that nothing interprets (shorter text is padded with zeros).
    ArchiveBuilder& SetHeaderBytes(const std::string& bytes);
    // Writes this entryTableSize in place of the true table length.
    ArchiveBuilder& SetEntryTableSize(std::uint32_t value);
    // Bytes after the last record that still belong to the table.
    ArchiveBuilder& AddTableTail(const std::string& bytes);
    // Bytes after all entry data.
    ArchiveBuilder& AddTrailer(const std::string& bytes);
    // Cuts the built file to at most this many bytes.
    ArchiveBuilder& TruncateTo(std::size_t length);

    // Where the data of the index-th entry (in the order added) starts.
    std::uint32_t DataOffset(std::size_t index) const;
    // The table length that is true for what was added (records and tail).
    std::size_t TableBytes() const;

    // The archive's bytes. Throws std::length_error when the data does not
    // fit the 32-bit offsets of the format.
    std::string Build() const;
    // Build() written to a file; throws std::runtime_error when that fails.
    void WriteTo(const std::filesystem::path& file) const;

private:
    struct Entry {
        std::string name;
        std::uint32_t offset = 0;
        std::uint32_t size = 0;
        bool placed = false;  // data lives in the data area
        std::string data;
    };
    std::vector<Entry> entries_;
    std::string headerBytes_;
    std::optional<std::uint32_t> entryTableSize_;
    std::string tableTail_;
    std::string trailer_;
    std::optional<std::size_t> truncateTo_;
};

}  // namespace testsupport
