// A test of the file layer runs in a scratch folder of its own, with the
// process-wide archive table emptied before and closed after.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "ArchiveBuilder.h"
#include "FffArchive.h"
#include "FileCore.h"
#include "TestSupport.h"

// The bytes that a quiet read-open of name finds (disk first, then the
// archives), or "<none>".
inline std::string OpenedText(const char* name) {
    FileHandle* h = TryOpenFile(name, FS_READ);
    if (h == nullptr) return "<none>";
    std::string out(static_cast<std::size_t>(h->GetSize()), '\0');
    out.resize(h->Read(out.data(), out.size()));
    CloseFile(h);
    return out;
}

class FsTest : public testing::Test {
protected:
    FsTest() : cwd_(dir_.path()) { ResetArchives(); }
    ~FsTest() override {
        CloseArchives();
        ResetArchives();
    }

    std::filesystem::path Path(const std::string& name) const { return dir_ / name; }
    void Write(const std::string& name, const std::string& bytes) const { testsupport::WriteBytes(dir_ / name, bytes); }
    std::string Contents(const std::string& name) const { return testsupport::ReadBytes(dir_ / name); }

    // Writes the archive into the scratch folder and registers it.
    void Register(const std::string& name, const testsupport::ArchiveBuilder& archive) const {
        archive.WriteTo(dir_ / name);
        RegisterFFF(name.c_str());
    }

    // Reads up to n bytes from the handle's current position.
    static std::string ReadN(FileHandle* h, std::size_t n) {
        std::string out(n, '\0');
        out.resize(h->Read(out.data(), n));
        return out;
    }

private:
    testsupport::ScratchDir dir_;
    testsupport::WorkingDir cwd_;
};
