// The host helpers through the platform's own calls: the registry helpers in
// a registry of the test's own (RegistrySandbox), the folder and file helpers
// in a scratch folder. Each case checks the registry through the 32-bit view,
// where the helpers must read and write.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "FileCore.h"
#include "HostHelpers.h"
#include "Platform.h"
#include "RegistrySandbox.h"
#include "TestSupport.h"

namespace fs = std::filesystem;
using testsupport::ScratchDir;
using testsupport::WorkingDir;

namespace {

// A key of the running test's own, below which its cases write.
std::string OwnKey() {
    const auto* info = testing::UnitTest::GetInstance()->current_test_info();
    std::random_device rd;
    return std::string("Software\\Tarnwick\\SkinkitTests\\") + info->test_suite_name() + "." +
           info->name() + "." + std::to_string(rd());
}

std::string Upper(std::string s) {
    for (char& c : s)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 0x20);
    return s;
}

// What the registry holds for one value, read through the 32-bit view.
struct StoredValue {
    bool keyOpens = false;
    bool present = false;
    DWORD type = 0;
    std::string data;  // every byte stored, the terminating zero included
};

StoredValue Query(const std::string& key, const char* name) {
    StoredValue s;
    HKEY h = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_QUERY_VALUE | KEY_WOW64_32KEY, &h) !=
        ERROR_SUCCESS)
        return s;
    s.keyOpens = true;
    BYTE buf[2048];
    DWORD size = sizeof buf;
    if (RegQueryValueExA(h, name, nullptr, &s.type, buf, &size) == ERROR_SUCCESS) {
        s.present = true;
        s.data.assign(reinterpret_cast<const char*>(buf), size);
    }
    RegCloseKey(h);
    return s;
}

struct Write {
    const char* key;   // below the test's own key ("" for the key itself)
    const char* name;
    std::string text;
};

void WriteAll(const std::string& own, const std::vector<Write>& writes) {
    for (const Write& w : writes) WriteRegistryString(HKEY_LOCAL_MACHINE, (own + w.key).c_str(), w.name, w.text.c_str());
}

// Everything below a folder, as relative paths with "/", folders ending in "/".
std::vector<std::string> Listing(const fs::path& dir) {
    std::vector<std::string> out;
    for (const auto& e : fs::recursive_directory_iterator(dir)) {
        std::string name = fs::relative(e.path(), dir).generic_string();
        if (e.is_directory()) name += '/';
        out.push_back(name);
    }
    std::sort(out.begin(), out.end());
    return out;
}

void Populate(const fs::path& dir, const std::vector<std::string>& entries) {
    for (const std::string& e : entries) {
        if (e.back() == '/') fs::create_directories(dir / e);
        else testsupport::WriteBytes(dir / e, "data of " + e);
    }
}

// Runs one helper call in a fresh folder holding before, checks that it
// printed nothing, and gives back the folder's listing afterwards. Files of
// before that the call must keep are checked for their contents too.
template <typename Call>
std::vector<std::string> ListingAfter(const std::vector<std::string>& before, Call call) {
    ScratchDir dir;
    Populate(dir.path(), before);
    {
        WorkingDir in(dir.path());
        testing::internal::CaptureStdout();
        call();
        EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    }
    std::vector<std::string> after = Listing(dir.path());
    for (const std::string& e : before) {
        if (e.back() != '/' && std::find(after.begin(), after.end(), e) != after.end()) {
            EXPECT_EQ(testsupport::ReadBytes(dir.path() / e), "data of " + e);
        }
    }
    return after;
}

class HostHelpers : public testing::Test {
protected:
    RegistrySandbox registry;
    ScratchDir scratch;
    std::string own = OwnKey();
};

constexpr std::size_t kBufferSize = 300;  // more than the read capacity, to see overruns

TEST_F(HostHelpers, ReadRegistryString) {
    const std::string longest(255, 'a');
    struct Case {
        const char* label;
        std::vector<Write> stored;
        std::string readKey;     // below the test's own key
        bool shout;              // key path and value name in upper case
        const char* valueName;
        bool zeroFilled;         // else the buffer starts as "previous" and garbage
        bool result;
        const char* expected;    // nullptr: the buffer is untouched
    } cases[] = {
        {"value present", {{"", "Installpath", "C:\\Games\\Gravelmax"}}, "", false, "Installpath", false, true,
         "C:\\Games\\Gravelmax"},
        {"key without the value", {{"", "Brisqueval", "IGEN :)"}}, "", false, "Installpath", true, true, ""},
        {"key without the value keeps the buffer", {{"", "Brisqueval", "IGEN :)"}}, "", false, "Installpath",
         false, true, nullptr},
        {"missing key", {}, "", false, "Installpath", false, false, nullptr},
        {"a name that only begins like a key", {{"\\Gravelmax2", "Installpath", "x"}}, "\\Gravelmax", false,
         "Installpath", false, false, nullptr},
        {"key that exists through a subkey", {{"\\Sub", "Installpath", "x"}}, "", false, "Installpath", false,
         true, nullptr},
        {"names in another case", {{"", "Installpath", "/games/gm"}}, "", true, "INSTALLPATH", false, true,
         "/games/gm"},
        {"empty text", {{"", "Installpath", ""}}, "", false, "Installpath", false, true, ""},
        {"255 characters fit", {{"", "Installpath", longest}}, "", false, "Installpath", false, true,
         longest.c_str()},
        {"256 characters do not fit", {{"", "Installpath", longest + "b"}}, "", false, "Installpath", false, true,
         nullptr},
        {"1000 characters do not fit", {{"", "Installpath", std::string(1000, 'c')}}, "", false, "Installpath",
         true, true, nullptr},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        std::string key = own + "." + std::to_string(n++);
        WriteAll(key, c.stored);

        char buffer[kBufferSize];
        std::memset(buffer, c.zeroFilled ? 0 : 0x5A, sizeof buffer);
        if (!c.zeroFilled) std::memcpy(buffer, "previous", 9);
        char before[kBufferSize];
        std::memcpy(before, buffer, sizeof buffer);

        std::string path = key + c.readKey;
        if (c.shout) path = Upper(path);
        testing::internal::CaptureStdout();
        bool result = ReadRegistryString(HKEY_LOCAL_MACHINE, path.c_str(), c.valueName, buffer);
        EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
        EXPECT_EQ(result, c.result);
        if (c.expected == nullptr) {
            EXPECT_EQ(std::memcmp(buffer, before, sizeof buffer), 0);
        } else {
            EXPECT_STREQ(buffer, c.expected);
            EXPECT_EQ(std::memcmp(buffer + REGISTRY_READ_SIZE, before + REGISTRY_READ_SIZE,
                                  kBufferSize - REGISTRY_READ_SIZE),
                      0)
                << "written beyond the read capacity";
        }
    }
}

TEST_F(HostHelpers, ReadRegistryStringSeesTheThirtyTwoBitView) {
    // Where a 32-bit installer leaves the game's key.
    HKEY h = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, own.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                              KEY_ALL_ACCESS | KEY_WOW64_32KEY, nullptr, &h, nullptr),
              ERROR_SUCCESS);
    const char text[] = "/games/gravelmax";
    ASSERT_EQ(RegSetValueExA(h, "Installpath", 0, REG_SZ, reinterpret_cast<const BYTE*>(text), sizeof text),
              ERROR_SUCCESS);
    RegCloseKey(h);

    char buffer[REGISTRY_READ_SIZE] = {};
    EXPECT_TRUE(ReadRegistryString(HKEY_LOCAL_MACHINE, own.c_str(), "Installpath", buffer));
    EXPECT_STREQ(buffer, text);
}

TEST_F(HostHelpers, WriteRegistryString) {
    const std::string tricky = "C:\\Program Files\\\"GM\"\\";
    const std::string longText(1000, 'z');
    struct Expect {
        const char* key;
        const char* name;
        const char* text;  // nullptr: the key opens, the value is absent
    };
    struct Case {
        const char* label;
        std::vector<Write> writes;
        std::vector<Expect> expects;
    } cases[] = {
        {"creates the key and the keys above it; 7 characters are 8 bytes",
         {{"\\Tarnwick\\Gravelmax", "Brisqueval", "IGEN :)"}},
         {{"\\Tarnwick\\Gravelmax", "Brisqueval", "IGEN :)"}, {"\\Tarnwick", "Brisqueval", nullptr}}},
        {"replaces an existing value, longer by shorter",
         {{"", "Brisqueval", "a much longer value"}, {"", "Brisqueval", "IGEN :)"}},
         {{"", "Brisqueval", "IGEN :)"}}},
        {"keeps the key's other values",
         {{"", "Installpath", "/games/gm"}, {"", "Brisqueval", "IGEN :)"}},
         {{"", "Installpath", "/games/gm"}, {"", "Brisqueval", "IGEN :)"}}},
        {"a name in another case is the same value",
         {{"", "Brisqueval", "old"}, {"", "BRISQUEVAL", "IGEN :)"}},
         {{"", "brisqueval", "IGEN :)"}}},
        {"empty text is one byte", {{"", "Brisqueval", ""}}, {{"", "Brisqueval", ""}}},
        {"backslashes and quotes", {{"", "Installpath", tricky}}, {{"", "Installpath", tricky.c_str()}}},
        {"a long text is stored whole", {{"", "Installpath", longText}}, {{"", "Installpath", longText.c_str()}}},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        std::string key = own + "." + std::to_string(n++);
        testing::internal::CaptureStdout();
        WriteAll(key, c.writes);
        EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
        for (const Expect& e : c.expects) {
            SCOPED_TRACE(std::string(e.key) + " " + e.name);
            StoredValue s = Query(key + e.key, e.name);
            EXPECT_TRUE(s.keyOpens);
            if (e.text == nullptr) {
                EXPECT_FALSE(s.present);
                continue;
            }
            EXPECT_TRUE(s.present);
            EXPECT_EQ(s.type, static_cast<DWORD>(REG_SZ));
            EXPECT_EQ(s.data.size(), std::strlen(e.text) + 1) << "the stored size counts the zero";
            EXPECT_EQ(s.data, std::string(e.text) + '\0');
        }
    }
}

TEST_F(HostHelpers, MakeDirectory) {
    struct Case {
        const char* label;
        std::vector<std::string> before;  // folders end in "/"
        const char* path;
        std::vector<std::string> after;
    } cases[] = {
        {"below an existing folder", {"Car/"}, "Car\\Single", {"Car/", "Car/Single/"}},
        {"forward slashes", {"Car/"}, "Car/Multi", {"Car/", "Car/Multi/"}},
        {"existing folder keeps its contents", {"Car/", "Car/t9.tex"}, "Car", {"Car/", "Car/t9.tex"}},
        {"existing folder in another case", {"Car/", "Car/Single/"}, "car\\SINGLE", {"Car/", "Car/Single/"}},
        {"parent in another case", {"Car/"}, "CAR\\Single", {"Car/", "Car/Single/"}},
        {"missing parent", {}, "Car\\Single", {}},
        {"a file of that name", {"Cfg"}, "Cfg", {"Cfg"}},
        {"empty path", {"Cfg/"}, "", {"Cfg/"}},
        {"no path", {"Cfg/"}, nullptr, {"Cfg/"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        EXPECT_EQ(ListingAfter(c.before, [&] { MakeDirectory(c.path); }), c.after);
    }
}

TEST_F(HostHelpers, FolderMadeCapitalisedIsWrittenThroughLowerCase) {
    std::string base = scratch.path().string();
    MakeDirectory((base + "\\Car").c_str());
    MakeDirectory((base + "\\Car\\Single").c_str());
    std::FILE* f = OpenHostFile((base + "\\car\\single\\t9.tex").c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fputs("skin", f);
    std::fclose(f);
    EXPECT_EQ(Listing(scratch.path()), (std::vector<std::string>{"Car/", "Car/Single/", "Car/Single/t9.tex"}));
}

TEST_F(HostHelpers, RemoveFile) {
    struct Case {
        const char* label;
        std::vector<std::string> before;
        const char* name;
        std::vector<std::string> after;
    } cases[] = {
        {"bare name", {"Skin.cfg", "vehicle.tmp"}, "vehicle.tmp", {"Skin.cfg"}},
        {"backslash", {"Cfg/", "Cfg/Vehicle.tmp"}, "Cfg\\Vehicle.tmp", {"Cfg/"}},
        {"slash names the same file", {"Cfg/", "Cfg/Vehicle.tmp"}, "Cfg/Vehicle.tmp", {"Cfg/"}},
        {"another case", {"Cfg/", "Cfg/Vehicle.tmp"}, "CFG/vehicle.TMP", {"Cfg/"}},
        {"missing file", {"Skin.cfg"}, "vehicle.tmp", {"Skin.cfg"}},
        {"missing folder", {"Skin.cfg"}, "Cfg/vehicle.tmp", {"Skin.cfg"}},
        {"a folder is not a file", {"Cfg/"}, "Cfg", {"Cfg/"}},
        {"empty name", {"Skin.cfg"}, "", {"Skin.cfg"}},
        {"no name", {"Skin.cfg"}, nullptr, {"Skin.cfg"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        EXPECT_EQ(ListingAfter(c.before, [&] { RemoveFile(c.name); }), c.after);
    }
}

TEST_F(HostHelpers, RemoveFileRefusesANameLongerThan255) {
    // The first 255 characters of the long name name another file: cutting
    // the name would delete that one.
    fs::create_directory(scratch / "d");
    const std::string shortName = "d/" + std::string(253, 'n');  // 255 characters
    const std::string longName = "d/" + std::string(255, 'n');   // 257 characters
    WorkingDir in(scratch.path());
    for (const std::string& name : {shortName, longName}) {
        std::ofstream(name) << "x";
        if (!testsupport::FileExists(name)) GTEST_SKIP() << "this host holds no name of " << name.size();
    }
    RemoveFile(longName.c_str());
    EXPECT_TRUE(testsupport::FileExists(shortName));
    EXPECT_TRUE(testsupport::FileExists(longName));
}

// The file calls themselves, as the helpers and the installer meet them.
TEST_F(HostHelpers, PlatformFileCalls) {
    struct Case {
        const char* label;
        std::vector<std::string> before;
        bool create;  // CreateDirectoryA, else DeleteFileA
        const char* path;
        BOOL ok;
        DWORD error;  // GetLastError after a failure
    } cases[] = {
        {"new folder", {}, true, "Single", 1, 0},
        {"folder exists in another case", {"single/"}, true, "Single", 0, ERROR_ALREADY_EXISTS},
        {"missing parent", {}, true, "Car\\Single", 0, ERROR_PATH_NOT_FOUND},
        {"delete in another case", {"Cfg/", "Cfg/X.TMP"}, false, "cfg\\x.tmp", 1, 0},
        {"delete a missing file", {}, false, "x.tmp", 0, ERROR_FILE_NOT_FOUND},
        {"delete in a missing folder", {}, false, "Cfg\\x.tmp", 0, ERROR_PATH_NOT_FOUND},
        {"delete a folder", {"Cfg/"}, false, "Cfg", 0, ERROR_ACCESS_DENIED},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        ScratchDir dir;
        Populate(dir.path(), c.before);
        WorkingDir in(dir.path());
        BOOL ok = c.create ? CreateDirectoryA(c.path, nullptr) : DeleteFileA(c.path);
        EXPECT_EQ(ok != 0, c.ok != 0);
        if (!c.ok) {
            EXPECT_EQ(GetLastError(), c.error);
        }
    }
}

}  // namespace
