// Writes FFF archive bytes: header, records, table tail, entry data, trailer;
// the rules are stated in ArchiveBuilder.h.
#include "ArchiveBuilder.h"

#include <fstream>
#include <stdexcept>

namespace testsupport {

namespace {

void PutLe32(std::string& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) out += static_cast<char>((v >> (8 * i)) & 0xFF);
}

void CheckName(const std::string& name) {
    if (name.size() > ArchiveBuilder::kNameField)
        throw std::invalid_argument("archive entry name longer than 128 characters: " + name);
}

}  // namespace

ArchiveBuilder& ArchiveBuilder::Add(const std::string& name, const std::string& data) {
    CheckName(name);
    Entry e;
    e.name = name;
    e.size = static_cast<std::uint32_t>(data.size());
    if (e.size != data.size()) throw std::length_error("archive entry larger than 4 GiB: " + name);
    e.placed = true;
    e.data = data;
    entries_.push_back(std::move(e));
    return *this;
}

ArchiveBuilder& ArchiveBuilder::AddRecord(const std::string& name, std::uint32_t offset, std::uint32_t size) {
    CheckName(name);
    Entry e;
    e.name = name;
    e.offset = offset;
    e.size = size;
    entries_.push_back(std::move(e));
    return *this;
}

ArchiveBuilder& ArchiveBuilder::SetHeaderBytes(const std::string& bytes) {
    headerBytes_ = bytes.substr(0, kHeaderSize - 4);
    return *this;
}

ArchiveBuilder& ArchiveBuilder::SetEntryTableSize(std::uint32_t value) {
    entryTableSize_ = value;
    return *this;
}

ArchiveBuilder& ArchiveBuilder::AddTableTail(const std::string& bytes) {
    tableTail_ += bytes;
    return *this;
}

ArchiveBuilder& ArchiveBuilder::AddTrailer(const std::string& bytes) {
    trailer_ += bytes;
    return *this;
}

ArchiveBuilder& ArchiveBuilder::TruncateTo(std::size_t length) {
    truncateTo_ = length;
    return *this;
}

std::size_t ArchiveBuilder::TableBytes() const { return entries_.size() * kRecordSize + tableTail_.size(); }

std::uint32_t ArchiveBuilder::DataOffset(std::size_t index) const {
    std::uint64_t at = kHeaderSize + TableBytes();
    for (std::size_t i = 0; i < index && i < entries_.size(); ++i)
        if (entries_[i].placed) at += entries_[i].data.size();
    if (index < entries_.size() && !entries_[index].placed) return entries_[index].offset;
    if (at > UINT32_MAX) throw std::length_error("archive data beyond 4 GiB");
    return static_cast<std::uint32_t>(at);
}

std::string ArchiveBuilder::Build() const {
    std::uint64_t dataEnd = kHeaderSize + TableBytes();
    for (const Entry& e : entries_)
        if (e.placed) dataEnd += e.data.size();
    if (dataEnd > UINT32_MAX) throw std::length_error("archive data beyond 4 GiB");

    std::string out = headerBytes_;
    out.resize(kHeaderSize - 4, '\0');
    PutLe32(out, entryTableSize_ ? *entryTableSize_ : static_cast<std::uint32_t>(TableBytes()));

    std::uint32_t at = static_cast<std::uint32_t>(kHeaderSize + TableBytes());
    for (const Entry& e : entries_) {
        std::string field = e.name;
        field.resize(kNameField, '\0');
        out += field;
        PutLe32(out, e.placed ? at : e.offset);
        PutLe32(out, e.size);
        if (e.placed) at += e.size;
    }
    out += tableTail_;
    for (const Entry& e : entries_)
        if (e.placed) out += e.data;
    out += trailer_;
    if (truncateTo_ && *truncateTo_ < out.size()) out.resize(*truncateTo_);
    return out;
}

void ArchiveBuilder::WriteTo(const std::filesystem::path& file) const {
    std::string bytes = Build();
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) throw std::runtime_error("cannot write " + file.string());
}

}  // namespace testsupport
