// The stand-in's registry file: what the helpers leave in it, byte for byte,
// what they find in files written by hand or exported elsewhere, and that a
// file the stand-in does not understand is never overwritten.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "HostHelpers.h"
#include "RegistrySandbox.h"
#include "TestSupport.h"

namespace fs = std::filesystem;
using testsupport::ReadBytes;
using testsupport::ScratchDir;
using testsupport::WriteBytes;

namespace {

constexpr const char* kGameKey = "Software\\Tarnwick\\Gravelmax";
const std::string kHeader = "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\Software\\Tarnwick\\Gravelmax]\n";

// Sets or clears an environment variable for one scope.
class EnvVar {
public:
    EnvVar(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name)) saved_ = old;
        if (value != nullptr) ::setenv(name, value, 1);
        else ::unsetenv(name);
    }
    ~EnvVar() {
        if (saved_) ::setenv(name_, saved_->c_str(), 1);
        else ::unsetenv(name_);
    }

private:
    const char* name_;
    std::optional<std::string> saved_;
};

class RegistryFile : public testing::Test {
protected:
    RegistrySandbox registry;

    void Put(const std::string& text) { WriteBytes(registry.file(), text); }
    std::string Contents() { return ReadBytes(registry.file()); }
    std::vector<std::string> FolderEntries() {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(registry.file().parent_path()))
            names.push_back(e.path().filename().string());
        return names;
    }
    // Reads into a buffer that starts as "previous"; returns nothing when the
    // key does not open.
    std::optional<std::string> Read(const char* key, const char* name) {
        char buffer[REGISTRY_READ_SIZE] = "previous";
        if (!ReadRegistryString(HKEY_LOCAL_MACHINE, key, name, buffer)) return std::nullopt;
        return std::string(buffer);
    }
};

TEST_F(RegistryFile, ANewFileHoldsTheHeaderTheKeyAndTheValue) {
    WriteRegistryString(HKEY_LOCAL_MACHINE, kGameKey, "Brisqueval", "IGEN :)");
    EXPECT_EQ(Contents(), kHeader + "\"Brisqueval\"=\"IGEN :)\"\n");
    EXPECT_EQ(FolderEntries(), std::vector<std::string>{"registry.reg"}) << "no temporary file is left";
}

TEST_F(RegistryFile, StringsRoundTripWithTheirEscapes) {
    struct Case {
        const char* text;
        const char* line;
    } cases[] = {
        {"/home/me/games/gravelmax", "\"Installpath\"=\"/home/me/games/gravelmax\""},
        {"C:\\Games\\Gravelmax\\", "\"Installpath\"=\"C:\\\\Games\\\\Gravelmax\\\\\""},
        {"say \"hi\"", "\"Installpath\"=\"say \\\"hi\\\"\""},
        {"\\\"", "\"Installpath\"=\"\\\\\\\"\""},
        {"", "\"Installpath\"=\"\""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        WriteRegistryString(HKEY_LOCAL_MACHINE, kGameKey, "Installpath", c.text);
        EXPECT_EQ(Contents(), kHeader + c.line + "\n");
        EXPECT_EQ(Read(kGameKey, "Installpath"), c.text);
    }
}

TEST_F(RegistryFile, HandWrittenEscapesAreRead) {
    Put(kHeader + "\"Install\\\"path\\\\\"=\"/games/\\\"gm\\\"\"\n");
    EXPECT_EQ(Read(kGameKey, "Install\"path\\"), "/games/\"gm\"");
}

TEST_F(RegistryFile, WritingKeepsEveryOtherLineAsWritten) {
    // A Windows export: CR LF line ends, other roots, other value kinds,
    // comments, and a hex value carried over two lines.
    const std::string before =
        "REGEDIT4\r\n"
        "\r\n"
        "; exported by hand\r\n"
        "[HKEY_CURRENT_USER\\Software\\Tarnwick\\Gravelmax]\r\n"
        "\"Installpath\"=\"not this one\"\r\n"
        "\r\n"
        "[HKEY_LOCAL_MACHINE\\Software\\Tarnwick\\Gravelmax]\r\n"
        "@=\"default\"\r\n"
        "\"Installpath\"=\"/games/gm\"\r\n"
        "\"Volume\"=dword:0000000a\r\n"
        "\"Blob\"=hex:01,02,\\\r\n"
        "  03,04\r\n"
        "; end of the game's key\r\n"
        "\r\n"
        "[HKEY_LOCAL_MACHINE\\Software\\Tarnwick\\Other]\r\n"
        "\"Brisqueval\"=\"someone else's\"\r\n";
    Put(before);
    WriteRegistryString(HKEY_LOCAL_MACHINE, kGameKey, "Brisqueval", "IGEN :)");
    WriteRegistryString(HKEY_LOCAL_MACHINE, kGameKey, "Installpath", "/games/new");
    const std::string after =
        "REGEDIT4\r\n"
        "\r\n"
        "; exported by hand\r\n"
        "[HKEY_CURRENT_USER\\Software\\Tarnwick\\Gravelmax]\r\n"
        "\"Installpath\"=\"not this one\"\r\n"
        "\r\n"
        "[HKEY_LOCAL_MACHINE\\Software\\Tarnwick\\Gravelmax]\r\n"
        "@=\"default\"\r\n"
        "\"Installpath\"=\"/games/new\"\r\n"
        "\"Volume\"=dword:0000000a\r\n"
        "\"Blob\"=hex:01,02,\\\r\n"
        "  03,04\r\n"
        "\"Brisqueval\"=\"IGEN :)\"\r\n"
        "; end of the game's key\r\n"
        "\r\n"
        "[HKEY_LOCAL_MACHINE\\Software\\Tarnwick\\Other]\r\n"
        "\"Brisqueval\"=\"someone else's\"\r\n";
    EXPECT_EQ(Contents(), after);
    EXPECT_EQ(Read(kGameKey, "Installpath"), "/games/new");
    EXPECT_EQ(Read("Software\\Tarnwick\\Other", "Brisqueval"), "someone else's");
    EXPECT_EQ(Read(kGameKey, ""), "default");
}

TEST_F(RegistryFile, ValuesOfOtherKindsReadAsUnsupported) {
    Put(kHeader + "\"Installpath\"=dword:00000001\n");
    EXPECT_EQ(Read(kGameKey, "Installpath"), "previous");
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, kGameKey, 0, KEY_QUERY_VALUE, &key), ERROR_SUCCESS);
    DWORD size = 0;
    EXPECT_EQ(RegQueryValueExA(key, "Installpath", nullptr, nullptr, nullptr, &size), ERROR_UNSUPPORTED_TYPE);
    RegCloseKey(key);
    // A string written under that name takes its place.
    WriteRegistryString(HKEY_LOCAL_MACHINE, kGameKey, "Installpath", "/games/gm");
    EXPECT_EQ(Contents(), kHeader + "\"Installpath\"=\"/games/gm\"\n");
}

TEST_F(RegistryFile, AFileThatCannotBeParsedIsLeftUntouched) {
    const std::string key = "[HKEY_LOCAL_MACHINE\\Software\\Tarnwick\\Gravelmax]\n";
    const std::string broken[] = {
        "Windows Registry Editor Version 5.00\n\n" + key,
        "REGEDIT\n\n" + key,
        "\nREGEDIT4\n\n" + key,
        "REGEDIT4\n\n\"Installpath\"=\"before any key\"\n" + key,
        "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\Software\\Tarnwick\\Gravelmax\n",
        "REGEDIT4\n\n[]\n" + key,
        "REGEDIT4\n\n" + key + "\"Installpath\"=\"unterminated\n",
        "REGEDIT4\n\n" + key + "\"Installpath\"=\"bad \\escape\"\n",
        "REGEDIT4\n\n" + key + "Installpath=\"unquoted name\"\n",
        "REGEDIT4\n\n" + key + "\"Installpath\"=\"text\" and more\n",
        "REGEDIT4\n\n" + key + "\"Installpath\"=\n",
        "REGEDIT4\n\n" + key + "\"Installpath\"\n",
        "REGEDIT4\n\n" + key + "stray words\n",
    };
    for (const std::string& text : broken) {
        SCOPED_TRACE(text);
        Put(text);
        WriteRegistryString(HKEY_LOCAL_MACHINE, kGameKey, "Brisqueval", "IGEN :)");
        EXPECT_EQ(Contents(), text);
        EXPECT_EQ(FolderEntries(), std::vector<std::string>{"registry.reg"});
        // Nothing of a broken file is believed, not even the key it lists.
        EXPECT_EQ(Read(kGameKey, "Installpath"), std::nullopt);
        HKEY h = nullptr;
        EXPECT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, kGameKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &h,
                                  nullptr),
                  ERROR_BADDB);
    }
}

TEST_F(RegistryFile, NamesCompareWithoutRegardToCase) {
    const std::string listed = "REGEDIT4\n\n[hkey_local_machine\\SOFTWARE\\tarnwick\\GRAVELMAX]\n";
    Put(listed + "\"INSTALLPATH\"=\"/games/gm\"\n");
    EXPECT_EQ(Read(kGameKey, "Installpath"), "/games/gm");
    WriteRegistryString(HKEY_LOCAL_MACHINE, kGameKey, "Installpath", "/games/new");
    WriteRegistryString(HKEY_LOCAL_MACHINE, kGameKey, "Brisqueval", "IGEN :)");
    EXPECT_EQ(Contents(), listed + "\"INSTALLPATH\"=\"/games/new\"\n\"Brisqueval\"=\"IGEN :)\"\n");
}

TEST_F(RegistryFile, AKeyExistsThroughAKeyBelowIt) {
    const std::string text = "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\Software\\Tarnwick\\Gravelmax\\Extra]\n\"x\"=\"y\"\n";
    Put(text);
    EXPECT_EQ(Read(kGameKey, "Installpath"), "previous");
    EXPECT_EQ(Read("Software\\Tarnwick\\Gravel", "Installpath"), std::nullopt);
    EXPECT_EQ(Read("Software\\Tarnwick\\Gravelmax\\Extra\\More", "Installpath"), std::nullopt);
    WriteRegistryString(HKEY_LOCAL_MACHINE, kGameKey, "Brisqueval", "IGEN :)");
    EXPECT_EQ(Contents(), text + "\n" + kHeader.substr(10) + "\"Brisqueval\"=\"IGEN :)\"\n");
}

TEST_F(RegistryFile, AValueListedTwiceReadsAndWritesItsLaterLine) {
    const std::string first = kHeader + "\"Installpath\"=\"/first\"\n\n";
    Put(first + kHeader.substr(10) + "\"Installpath\"=\"/second\"\n");
    EXPECT_EQ(Read(kGameKey, "Installpath"), "/second");
    WriteRegistryString(HKEY_LOCAL_MACHINE, kGameKey, "Installpath", "/third");
    EXPECT_EQ(Contents(), first + kHeader.substr(10) + "\"Installpath\"=\"/third\"\n");
}

TEST_F(RegistryFile, AMissingOrEmptyFileIsAnEmptyRegistry) {
    EXPECT_EQ(Read(kGameKey, "Installpath"), std::nullopt);
    EXPECT_FALSE(testsupport::FileExists(registry.file())) << "reading creates nothing";
    Put("");
    EXPECT_EQ(Read(kGameKey, "Installpath"), std::nullopt);
    WriteRegistryString(HKEY_LOCAL_MACHINE, kGameKey, "Brisqueval", "IGEN :)");
    EXPECT_EQ(Contents(), kHeader + "\"Brisqueval\"=\"IGEN :)\"\n");
}

TEST_F(RegistryFile, WithoutTheVariableTheFileIsInTheConfigurationFolder) {
    ScratchDir home;
    ScratchDir config;
    EnvVar noRegistry("SKINKIT_REGISTRY", nullptr);
    EnvVar homeVar("HOME", home.path().c_str());
    {
        EnvVar configVar("XDG_CONFIG_HOME", config.path().c_str());
        WriteRegistryString(HKEY_LOCAL_MACHINE, kGameKey, "Brisqueval", "config");
        EXPECT_EQ(ReadBytes(config / "gravelmax-skinkit/registry.reg"), kHeader + "\"Brisqueval\"=\"config\"\n");
    }
    {
        EnvVar configVar("XDG_CONFIG_HOME", nullptr);
        WriteRegistryString(HKEY_LOCAL_MACHINE, kGameKey, "Brisqueval", "home");
        EXPECT_EQ(ReadBytes(home / ".config/gravelmax-skinkit/registry.reg"), kHeader + "\"Brisqueval\"=\"home\"\n");
    }
    EXPECT_FALSE(testsupport::FileExists(registry.file()));
}

TEST_F(RegistryFile, ALinkedFileStaysLinked) {
    ScratchDir elsewhere;
    const fs::path real = elsewhere / "real.reg";
    WriteBytes(real, "REGEDIT4\n");
    fs::create_symlink(real, registry.file());
    WriteRegistryString(HKEY_LOCAL_MACHINE, kGameKey, "Brisqueval", "IGEN :)");
    EXPECT_TRUE(fs::is_symlink(registry.file()));
    EXPECT_EQ(ReadBytes(real), kHeader + "\"Brisqueval\"=\"IGEN :)\"\n");
}

// What RegSetValueExA takes: exactly one zero-terminated string, nothing that
// the file could not hold as one line.
TEST_F(RegistryFile, SetValueTakesOnlyWholeStrings) {
    Put(kHeader);
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, kGameKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    struct Case {
        const char* label;
        const char* name;
        DWORD type;
        std::string data;
    } cases[] = {
        {"no terminating zero", "Brisqueval", REG_SZ, "IGEN :)"},
        {"a zero inside", "Brisqueval", REG_SZ, std::string("IG\0EN", 5) + '\0'},
        {"a line break in the text", "Brisqueval", REG_SZ, std::string("IGEN\n:)") + '\0'},
        {"a line break in the name", "Bris\nqueval", REG_SZ, std::string("IGEN :)") + '\0'},
        {"not a string", "Brisqueval", 4, std::string("\1\0\0\0", 4)},
        {"no data", "Brisqueval", REG_SZ, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        EXPECT_EQ(RegSetValueExA(key, c.name, 0, c.type, reinterpret_cast<const BYTE*>(c.data.data()),
                                 static_cast<DWORD>(c.data.size())),
                  ERROR_INVALID_PARAMETER);
        EXPECT_EQ(Contents(), kHeader);
    }
    RegCloseKey(key);

    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, kGameKey, 0, KEY_QUERY_VALUE, &key), ERROR_SUCCESS);
    EXPECT_EQ(RegSetValueExA(key, "Brisqueval", 0, REG_SZ, reinterpret_cast<const BYTE*>("x"), 2),
              ERROR_ACCESS_DENIED)
        << "a key opened for reading is not written";
    RegCloseKey(key);
    EXPECT_EQ(Contents(), kHeader);
}

TEST_F(RegistryFile, QueryReportsTheSizeAndLeavesASmallBufferAlone) {
    Put(kHeader + "\"Installpath\"=\"/games/gm\"\n");
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, kGameKey, 0, KEY_QUERY_VALUE, &key), ERROR_SUCCESS);
    BYTE small[4] = {'a', 'b', 'c', 'd'};
    DWORD size = sizeof small;
    DWORD type = 0;
    EXPECT_EQ(RegQueryValueExA(key, "Installpath", nullptr, &type, small, &size), ERROR_MORE_DATA);
    EXPECT_EQ(size, 10u);
    EXPECT_EQ(std::memcmp(small, "abcd", 4), 0);
    size = 0;
    EXPECT_EQ(RegQueryValueExA(key, "Installpath", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(size, 10u);
    EXPECT_EQ(type, REG_SZ);
    EXPECT_EQ(RegQueryValueExA(key, "Missing", nullptr, &type, nullptr, &size), ERROR_FILE_NOT_FOUND);
    RegCloseKey(key);
}

}  // namespace
