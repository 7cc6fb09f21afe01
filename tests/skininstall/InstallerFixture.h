// The scratch world of the skin installer's end-to-end tests: a skin folder
// (the working folder), a game folder and a registry file that names it,
// with builders for the inputs and the expected console text.
//
// The banner's credit line is the program's own; only its frame is checked.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "ArchiveBuilder.h"
#include "RegistryFile.h"
#include "RegFileText.h"
#include "TestSupport.h"

namespace installertest {

using namespace testsupport;
namespace fs = std::filesystem;

// ---------------------------------------------------------------------------
// Building inputs

using KeyValues = std::vector<std::pair<std::string, std::string>>;

// The eighteen keys of a car section, in the order the installer writes them.
// clang-format off
const std::vector<std::string> kCarKeys = {
    "Name", "LongName", "Check", "Crash", "Engine", "Transmission", "TransmissionValue", "Color",
    "DirName", "FrontDifferentials", "RearDifferentials", "FrontDifferValue", "RearDifferValue",
    "Tires", "TiresValue", "Weight", "Torque", "Power"};
// clang-format on

// A full car section's keys with invented values; tag keeps cars apart.
inline KeyValues CarKeys(const std::string& name, const std::string& color, const std::string& dirs,
                         const std::string& tag = "1") {
    return {{"Name", name},
            {"LongName", name + " Rally " + tag},
            {"Check", "ch" + tag},
            {"Crash", "crash" + tag + ".wav"},
            {"Engine", "V8 " + tag},
            {"Transmission", "manual"},
            {"TransmissionValue", "3.4" + tag},
            {"Color", color},
            {"DirName", dirs},
            {"FrontDifferentials", "open"},
            {"RearDifferentials", "locked"},
            {"FrontDifferValue", "0.2" + tag},
            {"RearDifferValue", "0.7" + tag},
            {"Tires", "mud"},
            {"TiresValue", "0.9" + tag},
            {"Weight", "24" + tag + "0"},
            {"Torque", "61" + tag},
            {"Power", "33" + tag}};
}

inline std::string Section(int index, const KeyValues& keys) {
    std::string s = "[Car" + std::to_string(index) + "]\r\n";
    for (const auto& [k, v] : keys) s += k + "=" + v + "\r\n";
    return s;
}

// Sections as the installer writes them: one empty line between two.
inline std::string JoinSections(const std::vector<std::string>& sections) {
    std::string s;
    for (std::size_t i = 0; i < sections.size(); ++i) {
        if (i != 0) s += "\r\n";
        s += sections[i];
    }
    return s;
}

inline std::string SkinCfg(const std::string& name, const std::string& skin, const std::string& dir) {
    return "[SKINAPPEND]\r\nName=" + name + "\r\nSkinName=" + skin + "\r\nSkinDirName=" + dir + "\r\n";
}

// The nine copies, in the order the installer makes them.
struct CopyRow {
    const char* name;
    bool single;
};
const CopyRow kCopies[] = {{"t9.tex", true},         {"t10.tex", true},         {"t11.tex", true},
                           {"t9.tex.big.tga", true}, {"t10.tex.big.tga", true}, {"t11.tex.big.tga", true},
                           {"t9.tex", false},        {"t10.tex", false},        {"t11.tex", false}};
const char* const kSkinFiles[] = {"t9.tex",         "t10.tex",         "t11.tex",
                                  "t9.tex.big.tga", "t10.tex.big.tga", "t11.tex.big.tga"};

// Binary content unique to each file: zero bytes, CR LF, high bytes; the big
// t9 texture is larger than 256 KiB.
inline Bytes SkinFileData(const std::string& name, const std::string& origin = "disk") {
    Bytes b = origin + ":" + name + std::string("\0\r\n\x80\xff", 5);
    std::size_t len = name == "t9.tex.big.tga" ? 300 * 1024 : 700 + name.size() * 131;
    for (std::size_t i = 0; b.size() < len; ++i)
        b.push_back(static_cast<char>((i * 7 + name.size() + origin.size()) & 0xFF));
    return b;
}

// An FFF archive holding the entries in this order, their data back to back.
inline Bytes BuildArchive(const std::vector<std::pair<std::string, Bytes>>& entries) {
    ArchiveBuilder builder;
    builder.SetHeaderBytes("FFF test archive 1.0");
    for (const auto& [name, data] : entries) builder.Add(name, data);
    return builder.Build();
}

// ---------------------------------------------------------------------------
// The registry stand-in: a REGEDIT4 text file

const char* const kGameKey = "HKEY_LOCAL_MACHINE\\Software\\Tarnwick\\Gravelmax";

// ---------------------------------------------------------------------------
// Expected console text

const std::string kRule(57, '-');
const std::string kTitle = "---          Gravelmax Skin Installer v1.0b           ---";

// The banner, with the credit line taken from the program's own output after
// its frame has been checked.
inline std::string Banner(const std::string& out) {
    std::string credit;
    std::size_t a = out.find('\n');
    std::size_t b = a == std::string::npos ? a : out.find('\n', a + 1);
    std::size_t c = b == std::string::npos ? b : out.find('\n', b + 1);
    if (c != std::string::npos) credit = out.substr(b + 1, c - b - 1);
    EXPECT_EQ(credit.size(), 57u) << "credit line: [" << credit << "]";
    EXPECT_EQ(credit.substr(0, 3), "---");
    EXPECT_TRUE(credit.size() >= 3 && credit.substr(credit.size() - 3) == "---");
    return kRule + "\n" + kTitle + "\n" + credit + "\n" + kRule + "\n\n";
}

inline std::string CopyLines(const std::set<std::string>& missing = {}) {
    std::string s = "\nInstall Files:\n";
    for (const auto& row : kCopies) {
        s += row.single ? "--> single \\ " : "--> multi  \\ ";
        s += row.name;
        s += "\t\t";
        s += missing.count(row.name) ? "[ERROR]\n" : "[OK]\n";
    }
    return s;
}

const std::string kUpdated = "Cfg:\t\t'Vehicle.cfg' updated.\n";
const std::string kRefusedTail = "\n***\tSKIN NOT INSTALLED! ***\n\n";
const std::string kCopyFailedTail = "\n***\tERROR: not all Skin file found!\n" + kRefusedTail;
inline std::string InstalledTail(const std::string& skin) { return "\n---\t'" + skin + "' Skin installed!  ---\n\n"; }

// ---------------------------------------------------------------------------
// The fixture: a skin folder, a game folder and a registry naming the game.

class Installer : public ::testing::Test {
protected:
    ScratchDir root;
    fs::path work = root / "skin";
    fs::path game = root / "game";
    fs::path registry = root / "registry.reg";
    std::map<std::string, Bytes> skinData;  // what each skin file should hold once copied

    void SetUp() override {
        fs::create_directories(work);
        fs::create_directories(game / "Cfg");
        WriteRegistry(game.string());
    }

    // An empty game folder with its Cfg folder, and no skin files noted yet:
    // the start of each case of a table run in one test.
    void FreshGame() {
        fs::remove_all(game);
        fs::create_directories(game / "Cfg");
        skinData.clear();
    }

    void WriteRegistry(const std::string& installPath) {
        WriteBytes(registry, "REGEDIT4\r\n\r\n[" + std::string(kGameKey) + "]\r\n\"Installpath\"=\"" +
                                 RegEscape(installPath) + "\"\r\n\r\n");
    }

    // The skin folder: Skin.cfg and the six skin files, less those left out.
    void WriteSkin(const std::string& name, const std::string& skin, const std::string& dir,
                   const std::set<std::string>& leaveOut = {}) {
        WriteBytes(work / "Skin.cfg", SkinCfg(name, skin, dir));
        for (const char* f : kSkinFiles) {
            if (leaveOut.count(f)) continue;
            skinData[f] = SkinFileData(f);
            WriteBytes(work / f, skinData[f]);
        }
    }

    void WriteVehicleCfg(const Bytes& text) { WriteBytes(game / "Cfg" / "Vehicle.cfg", text); }
    Bytes VehicleCfg() const { return ReadBytes(game / "Cfg" / "Vehicle.cfg"); }
    Bytes VehicleOld() const { return ReadBytes(game / "Cfg" / "Vehicle.old"); }
    bool HasBackup() const { return fs::exists(game / "Cfg" / "Vehicle.old"); }
    // The path as the installer builds and prints it.
    std::string VehicleCfgPath() const { return game.string() + "\\Cfg\\Vehicle.cfg"; }

    // The registry file is the program's registry on every platform (on
    // Windows loaded into the real registry's 32-bit view for the run).
    RunResult Run() { return RunWithRegistryFile(SKININSTALL_EXE, work, registry, {kGameKey}); }

    std::optional<std::string> Marker() const { return RegistryValue(registry, kGameKey, "Brisqueval"); }

    // Everything the run prints up to the update's own lines.
    std::string Head(const std::string& out, const std::string& car, const std::string& skin) const {
        return Banner(out) + "SkinFile:\t'Skin.cfg'\t( " + car + " / " + skin + " )\n" + "\nGravelmax found:\t'" +
               game.string() + "'\n";
    }

    // Ends that reach the closing steps: exit code 0, the marker written and
    // the temporary configuration gone from the skin folder.
    void ExpectOrderlyEnd(const RunResult& r) const {
        EXPECT_EQ(r.exitCode, 0);
        EXPECT_EQ(Marker(), std::optional<std::string>("IGEN :)"));
        EXPECT_FALSE(fs::exists(work / "vehicle.tmp"));
    }

    // The car's directory tree, created as "Single" and "Multi", holding the
    // copied files byte for byte and nothing else.
    void ExpectSkinTree(const std::string& carDir, const std::string& skinDir,
                        const std::set<std::string>& missing = {}) const {
        fs::path car = game / "Car" / carDir;
        std::set<std::string> kids;
        if (fs::is_directory(car))
            for (const auto& e : fs::directory_iterator(car)) kids.insert(e.path().filename().string());
        EXPECT_EQ(kids, (std::set<std::string>{"Multi", "Single"}));
        for (const char* part : {"Single", "Multi"}) {
            fs::path dir = car / part / "txt" / skinDir;
            std::set<std::string> want;
            for (const auto& row : kCopies)
                if (row.single == (std::string(part) == "Single") && !missing.count(row.name)) want.insert(row.name);
            std::set<std::string> have;
            if (fs::is_directory(dir))
                for (const auto& e : fs::directory_iterator(dir)) have.insert(e.path().filename().string());
            EXPECT_EQ(have, want) << dir;
            for (const auto& name : want) {
                auto it = skinData.find(name);
                ASSERT_NE(it, skinData.end()) << name;
                EXPECT_TRUE(ReadBytes(dir / name) == it->second) << (dir / name) << " differs";
            }
        }
    }

    // A refused update: nothing below the game folder but the configuration.
    void ExpectNoSkinTree() const { EXPECT_FALSE(fs::exists(game / "Car")); }
};

}  // namespace installertest
