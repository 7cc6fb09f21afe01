// The file core: opening (disk first, then the archives), the two handle
// kinds, and the fatal paths, which are checked by exit code in a child.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <string>

#include "FsTestFixture.h"

using testsupport::ArchiveBuilder;

namespace {

const std::string kLongFolder(100, 'd');
// 255 characters: the longest name the file layer takes.
const std::string kName255 = kLongFolder + "/" + std::string(154, 'f');
// 256 characters; cut to 255 it would name the file above.
const std::string kName256 = kName255 + "f";

enum class Outcome { Disk, Packed, None, Fatal };

struct OpenCase {
    const char* what;
    const char* name;
    int mode;
    Outcome report;     // OpenFile
    Outcome quiet;      // TryOpenFile
    const char* bytes;  // read: what the handle reads; write: the file after close
    const char* file;   // write: the disk file that was written, else null
};

class OpenTest : public FsTest {
protected:
    OpenTest() {
        Write("both.txt", "from disk");
        Write("disk.txt", "disk only");
        Write("existing.txt", "old contents");
        std::filesystem::create_directory(Path(kLongFolder));
        Write(kName255, "long");
        Register("game.cod", ArchiveBuilder()
                                 .Add("both.txt", "from archive")
                                 .Add("Cfg/Vehicle.cfg", "packed vehicle")
                                 .Add("Folder", "packed folder"));
        std::filesystem::create_directory(Path("Folder"));
    }

    void Check(const OpenCase& c, bool report) {
        SCOPED_TRACE(std::string(c.what) + (report ? " (OpenFile)" : " (TryOpenFile)"));
        Outcome want = report ? c.report : c.quiet;
        if (want == Outcome::Fatal) {
            EXPECT_EXIT(OpenFileEx(c.name, c.mode, report), testing::ExitedWithCode(kFatalExitCode), "^$");
            return;
        }
        FileHandle* h = OpenFileEx(c.name, c.mode, report);
        switch (want) {
            case Outcome::None: EXPECT_EQ(h, nullptr); return;
            case Outcome::Disk: EXPECT_NE(dynamic_cast<DiskFile*>(h), nullptr); break;
            case Outcome::Packed: EXPECT_NE(dynamic_cast<PackedFile*>(h), nullptr); break;
            case Outcome::Fatal: break;
        }
        ASSERT_NE(h, nullptr);
        if (c.file == nullptr) {
            EXPECT_EQ(ReadN(h, static_cast<std::size_t>(h->GetSize())), c.bytes);
        }
        CloseFile(h);
        if (c.file != nullptr) {
            EXPECT_EQ(Contents(c.file), c.bytes);
        }
    }
};

TEST_F(OpenTest, TableOfCasesForBothVariants) {
    using enum Outcome;
    const OpenCase cases[] = {
        {"disk wins over archive", "both.txt", FS_READ, Disk, Disk, "from disk", nullptr},
        {"disk only", "disk.txt", FS_READ, Disk, Disk, "disk only", nullptr},
        {"archive, backslashes", "Cfg\\Vehicle.cfg", FS_READ, Packed, Packed, "packed vehicle", nullptr},
        {"archive, other case", "CFG/vehicle.CFG", FS_READ, Packed, Packed, "packed vehicle", nullptr},
        {"a folder on disk is no file", "Folder", FS_READ, Packed, Packed, "packed folder", nullptr},
        {"other mode bits ignored", "disk.txt", FS_READ | 4, Disk, Disk, "disk only", nullptr},
        {"nowhere", "nowhere.txt", FS_READ, Fatal, None, nullptr, nullptr},
        {"empty name", "", FS_READ, Fatal, None, nullptr, nullptr},
        {"empty name, write", "", FS_WRITE, Fatal, None, nullptr, nullptr},
        {"no name", nullptr, FS_READ, Fatal, None, nullptr, nullptr},
        {"mode 0", "disk.txt", 0, Fatal, None, nullptr, nullptr},
        {"mode 4", "disk.txt", 4, Fatal, None, nullptr, nullptr},
        {"both flags write and empty", "existing.txt", FS_READ | FS_WRITE, Disk, Disk, "", "existing.txt"},
        {"write creates", "new.txt", FS_WRITE, Disk, Disk, "", "new.txt"},
        {"write in a missing folder", "missing\\out.txt", FS_WRITE, None, None, nullptr, nullptr},
        {"write never goes to an archive", "Cfg/Vehicle.cfg", FS_WRITE, None, None, nullptr, nullptr},
        {"255 characters, read", kName255.c_str(), FS_READ, Disk, Disk, "long", nullptr},
        {"255 characters, write", kName255.c_str(), FS_WRITE, Disk, Disk, "", kName255.c_str()},
        {"256 characters, read", kName256.c_str(), FS_READ, Fatal, None, nullptr, nullptr},
        {"256 characters, write", kName256.c_str(), FS_WRITE, None, None, nullptr, nullptr},
    };
    for (const OpenCase& c : cases) {
        Check(c, true);
        Check(c, false);
    }
    // The refused 256-character write created nothing, not even its 255-character cut.
    EXPECT_FALSE(testsupport::FileExists(Path(kName256)));
}

TEST_F(OpenTest, CallersNameIsLeftAlone) {
    char name[] = "Cfg/Vehicle.cfg";
    CloseFile(OpenFile(name, FS_READ));
    EXPECT_STREQ(name, "Cfg/Vehicle.cfg");
    char back[] = "Cfg\\Vehicle.cfg";
    CloseFile(OpenFile(back, FS_READ));
    EXPECT_STREQ(back, "Cfg\\Vehicle.cfg");
}

// --- PackedFile ----------------------------------------------------------------

class PackedFileTest : public FsTest {
protected:
    PackedFileTest() {
        Register("game.cod", ArchiveBuilder()
                                 .Add("a.bin", "0123456789")
                                 .Add("b.bin", "ABCDEFGHIJ")
                                 .Add("empty.bin", "")
                                 .AddTrailer("xyz"));
    }
};

TEST_F(PackedFileTest, SizeTellAndEofFollowTheEntry) {
    FileHandle* h = OpenFile("a.bin", FS_READ);
    EXPECT_EQ(h->Tell(), 0);
    EXPECT_EQ(h->GetSize(), 10);
    EXPECT_FALSE(h->IsEof());
    EXPECT_EQ(ReadN(h, 4), "0123");
    EXPECT_EQ(h->Tell(), 4);
    EXPECT_FALSE(h->IsEof());
    EXPECT_EQ(ReadN(h, 6), "456789");
    EXPECT_TRUE(h->IsEof());
    // A read is not bounded by the entry: it goes on into the next bytes.
    EXPECT_EQ(ReadN(h, 3), "ABC");
    EXPECT_TRUE(h->IsEof());
    h->Seek(7);
    EXPECT_EQ(h->Tell(), 7);
    EXPECT_FALSE(h->IsEof());
    EXPECT_EQ(ReadN(h, 3), "789");
    CloseFile(h);
}

TEST_F(PackedFileTest, EmptyEntryIsAtEofAtOnce) {
    FileHandle* h = OpenFile("empty.bin", FS_READ);
    EXPECT_EQ(h->GetSize(), 0);
    EXPECT_EQ(h->Tell(), 0);
    EXPECT_TRUE(h->IsEof());
    EXPECT_EQ(ReadN(h, 10), "xyz");  // what follows in the archive file
    CloseFile(h);
}

TEST_F(PackedFileTest, HandlesOfOneArchiveShareOnePosition) {
    FileHandle* a = OpenFile("a.bin", FS_READ);
    EXPECT_EQ(ReadN(a, 3), "012");
    FileHandle* b = OpenFile("b.bin", FS_READ);
    // Opening b moved the archive's stream to b's start, under a as well.
    EXPECT_EQ(b->Tell(), 0);
    EXPECT_EQ(a->Tell(), 10);
    EXPECT_TRUE(a->IsEof());
    EXPECT_EQ(ReadN(a, 2), "AB");  // a reads b's data
    EXPECT_EQ(b->Tell(), 2);
    // Alternating readers seek first.
    a->Seek(3);
    EXPECT_EQ(ReadN(a, 2), "34");
    b->Seek(2);
    EXPECT_EQ(ReadN(b, 2), "CD");
    // A second handle of the same entry starts at 0 and drags the first along.
    FileHandle* a2 = OpenFile("a.bin", FS_READ);
    EXPECT_EQ(a2->Tell(), 0);
    EXPECT_EQ(a->Tell(), 0);
    CloseFile(a2);
    CloseFile(b);
    CloseFile(a);
}

TEST_F(PackedFileTest, CloseTwiceIsHarmless) {
    FileHandle* h = OpenFile("a.bin", FS_READ);
    h->Close();
    h->Close();
    CloseFile(h);  // a third Close, then freed
    // The archive's stream stayed open for the next handle.
    FileHandle* again = OpenFile("b.bin", FS_READ);
    EXPECT_EQ(ReadN(again, 3), "ABC");
    CloseFile(again);
}

// --- DiskFile --------------------------------------------------------------------

using DiskFileTest = FsTest;

TEST_F(DiskFileTest, GetSizeKeepsThePosition) {
    Write("ten.bin", "0123456789");
    FileHandle* h = OpenFile("ten.bin", FS_READ);
    EXPECT_EQ(ReadN(h, 3), "012");
    EXPECT_EQ(h->GetSize(), 10);
    EXPECT_EQ(h->Tell(), 3);
    EXPECT_EQ(ReadN(h, 2), "34");
    EXPECT_EQ(h->GetSize(), 10);
    EXPECT_EQ(h->Tell(), 5);
    CloseFile(h);
}

TEST_F(DiskFileTest, GetSizeIsTakenOnceAndKeptAfterWrites) {
    FileHandle* h = OpenFile("out.bin", FS_WRITE);
    EXPECT_EQ(h->Write("abcde", 5), 1);
    EXPECT_EQ(h->GetSize(), 5);
    EXPECT_EQ(h->Tell(), 5);
    EXPECT_EQ(h->Write("fghij", 5), 1);
    EXPECT_EQ(h->GetSize(), 5);  // the first length, unchanged by later writes
    EXPECT_EQ(h->Tell(), 10);
    CloseFile(h);
    EXPECT_EQ(Contents("out.bin"), "abcdefghij");
}

TEST_F(DiskFileTest, EofOnlyAfterAReadPastTheEnd) {
    Write("four.bin", "abcd");
    FileHandle* h = OpenFile("four.bin", FS_READ);
    EXPECT_EQ(ReadN(h, 4), "abcd");
    EXPECT_FALSE(h->IsEof());
    EXPECT_EQ(ReadN(h, 1), "");
    EXPECT_TRUE(h->IsEof());
    h->Seek(1);
    EXPECT_FALSE(h->IsEof());
    EXPECT_EQ(ReadN(h, 2), "bc");
    CloseFile(h);
}

TEST_F(DiskFileTest, WritesLandByteForByte) {
    FileHandle* h = OpenFile("text.txt", FS_WRITE);
    h->PutString("Name=");
    h->PutString("");
    h->PutChar('x');
    h->PutNewLine();
    EXPECT_EQ(h->Write("\0\xff", 2), 1);
    EXPECT_EQ(h->Write("", 0), 1);
    CloseFile(h);
    EXPECT_EQ(Contents("text.txt"), std::string("Name=x\r\n\0\xff", 10));
}

TEST_F(DiskFileTest, CloseTwiceIsFatal) {
    Write("a.txt", "a");
    FileHandle* h = OpenFile("a.txt", FS_READ);
    h->Close();
    EXPECT_EXIT(h->Close(), testing::ExitedWithCode(kFatalExitCode), "^$");
    delete h;
}

TEST_F(DiskFileTest, EveryOperationOnAClosedHandleIsFatal) {
    Write("a.txt", "a");
    FileHandle* disk = OpenFile("a.txt", FS_READ);
    Register("game.cod", ArchiveBuilder().Add("p.txt", "p"));
    FileHandle* packed = OpenFile("p.txt", FS_READ);
    disk->Close();
    packed->Close();
    char byte;
    for (FileHandle* h : {disk, packed}) {
        SCOPED_TRACE(h == disk ? "DiskFile" : "PackedFile");
        EXPECT_EXIT(h->GetSize(), testing::ExitedWithCode(kFatalExitCode), "^$");
        EXPECT_EXIT(h->Tell(), testing::ExitedWithCode(kFatalExitCode), "^$");
        EXPECT_EXIT(h->Seek(0), testing::ExitedWithCode(kFatalExitCode), "^$");
        EXPECT_EXIT(h->IsEof(), testing::ExitedWithCode(kFatalExitCode), "^$");
        EXPECT_EXIT(h->Read(&byte, 1), testing::ExitedWithCode(kFatalExitCode), "^$");
        EXPECT_EXIT(h->Write("x", 1), testing::ExitedWithCode(kFatalExitCode), "^$");
        EXPECT_EXIT(h->PutNewLine(), testing::ExitedWithCode(kFatalExitCode), "^$");
    }
    delete disk;
    delete packed;
}

TEST_F(DiskFileTest, CloseFileOfNoneDoesNothing) { CloseFile(nullptr); }

TEST_F(DiskFileTest, FatalEndFlushesWhatWasWritten) {
    // The statement may run in a fresh process with a scratch folder of its
    // own (Windows): it works in this test's folder.
    testsupport::DeathTestFolder shared(Path(""));
    EXPECT_EXIT(
        {
            std::filesystem::current_path(shared.path());
            FileHandle* h = OpenFile("kept.txt", FS_WRITE);
            h->PutString("written before the end");
            OpenFile("nowhere.txt", FS_READ);
        },
        testing::ExitedWithCode(kFatalExitCode), "^$");
    EXPECT_EQ(Contents("kept.txt"), "written before the end");
}

// --- Names on disk match without regard to the case of A to Z ---------------------

TEST_F(DiskFileTest, DiskLookupFoldsCase) {
    std::filesystem::create_directory(Path("Cfg"));
    Write("Cfg/Vehicle.cfg", "vehicles");
    FileHandle* h = OpenFile("cfg\\vehicle.CFG", FS_READ);
    ASSERT_NE(dynamic_cast<DiskFile*>(h), nullptr);
    EXPECT_EQ(ReadN(h, 100), "vehicles");
    CloseFile(h);

    // A write to an existing file in another case replaces that file.
    h = OpenFile("CFG/VEHICLE.cfg", FS_WRITE);
    ASSERT_NE(h, nullptr);
    h->PutString("rewritten");
    CloseFile(h);
    EXPECT_EQ(Contents("Cfg/Vehicle.cfg"), "rewritten");

    // A name that exists in no case is created as spelled, in the folder found.
    h = OpenFile("cFG\\New.Tmp", FS_WRITE);
    ASSERT_NE(h, nullptr);
    CloseFile(h);
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(Path("Cfg"))) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"New.Tmp", "Vehicle.cfg"}));
}

}  // namespace
