// Fuzz target "vehiclecfg": the vehicle configuration rewrite over a fuzzed
// configuration with fuzzed skin description values.
//
// Input layout: CarName, SkinName and SkinDirName, each ended by a zero byte
// (at most 255 characters kept, as the driver keeps them; blanks of
// SkinDirName become underscores, as the driver turns them), then the live
// configuration "Cfg\Vehicle.cfg" (the rest of the input, zero bytes allowed).
// Inputs of odd length put the configuration into a registered archive as
// the entry "Cfg/Vehicle.cfg" instead, with no such file on disk: the update
// then reads it through two handles on the archive's one stream, and writes
// the new configuration to disk.
// The target runs UpdateVehicleCfg in the scratch folder and checks what the
// rules promise of the files, whatever the text:
//  - true: the backup "Cfg\Vehicle.old" holds the old configuration byte for
//    byte and the live one is "vehicle.tmp" byte for byte; RestoreVehicleCfg
//    then puts the old configuration back exactly.
//  - false with a backup (no car matched): the same two files as above.
//  - false without a backup (a list check stopped the update): the live
//    configuration is untouched (from the archive: none written on disk).
// So the live configuration is always the old content or the complete new
// one. Beyond that, the outcome is compared with a plain reading of the
// rewrite rules over CfgRuleLookup (CfgRules.h): whether a list check of a
// matching car must stop the update, the result, and, for a complete update,
// "vehicle.tmp" byte for byte. Nothing here may end the process: every file
// the rewrite reads back exists, so any exit is a finding.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "CfgRules.h"
#include "FffArchive.h"
#include "FileCore.h"
#include "FuzzSupport.h"
#include "InstallerState.h"
#include "VehicleCfg.h"

using namespace fuzzsupport;

namespace {

void SetName(char (&field)[STATE_NAME_SIZE], std::string_view value) {
    std::memset(field, 0, sizeof field);
    std::memcpy(field, value.data(), std::min(value.size(), sizeof field - 1));
}

std::string_view NextName(std::string_view& input) {
    std::size_t zero = input.find('\0');
    std::string_view name = input.substr(0, zero);
    input.remove_prefix(zero == std::string_view::npos ? input.size() : zero + 1);
    return name;
}

// A one-entry archive holding text as "Cfg/Vehicle.cfg", after a gap.
std::string ArchiveOf(std::string_view text) {
    std::string a(24, 'h');
    auto le32 = [&a](std::uint32_t v) {
        for (int i = 0; i < 4; ++i) a += static_cast<char>(v >> (8 * i));
    };
    le32(sizeof(ArchiveEntry));
    std::string name = "Cfg/Vehicle.cfg";
    name.resize(128, '\0');
    a += name;
    le32(28 + sizeof(ArchiveEntry) + 5);
    le32(static_cast<std::uint32_t>(text.size()));
    a += "[gap]";
    a += text;
    return a;
}

const char* const kKeysBefore[] = {"Name",   "LongName",     "Check",
                                   "Crash",  "Engine",       "Transmission",
                                   "TransmissionValue"};
const char* const kKeysAfter[] = {"FrontDifferentials", "RearDifferentials", "FrontDifferValue",
                                  "RearDifferValue",    "Tires",             "TiresValue",
                                  "Weight",             "Torque",            "Power"};

std::vector<std::string> Split(const std::string& list) {
    std::vector<std::string> items;
    std::size_t from = 0;
    for (;;) {
        std::size_t comma = list.find(',', from);
        items.push_back(list.substr(from, comma == std::string::npos ? std::string::npos : comma - from));
        if (comma == std::string::npos) return items;
        from = comma + 1;
    }
}

bool FoldEqual(std::string_view a, std::string_view b) {
    auto fold = [](unsigned char c) { return c >= 'A' && c <= 'Z' ? c + 0x20 : c; };
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [&](char x, char y) {
               return fold(static_cast<unsigned char>(x)) == fold(static_cast<unsigned char>(y));
           });
}

// Whether the lists of a matching car refuse the skin: lengths differ, 9 or
// more skins, an item over 255 characters, or the skin or its folder listed.
bool ListsRefuse(const std::vector<std::string>& colours, const std::vector<std::string>& dirs) {
    if (colours.size() != dirs.size() || colours.size() >= 9) return true;
    for (std::size_t i = 0; i < colours.size(); ++i) {
        if (colours[i].size() > 255 || dirs[i].size() > 255) return true;
        if (colours[i] == SkinName || FoldEqual(dirs[i], SkinDirName)) return true;
    }
    return false;
}

struct Expected {
    bool stopped = false;  // a list check stops the update
    bool matched = false;  // some car matched
    std::string text;      // the new configuration, when not stopped
};

Expected Rewrite(std::string_view old) {
    Expected x;
    for (int index = 0;; ++index) {
        std::string section = "Car" + std::to_string(index);
        std::string name = CfgRuleLookup(old, section, "Name");
        if (name.empty()) return x;
        if (index != 0) x.text += "\r\n";
        bool match = FoldEqual(name, CarName);
        x.matched = x.matched || match;
        x.text += "[" + section + "]\r\n";
        for (const char* key : kKeysBefore) x.text += std::string(key) + "=" + CfgRuleLookup(old, section, key) + "\r\n";
        std::string colours = CfgRuleLookup(old, section, "Color");
        std::string dirs = CfgRuleLookup(old, section, "DirName");
        if (match) {
            if (ListsRefuse(Split(colours), Split(dirs))) {
                x.stopped = true;
                return x;
            }
            colours += std::string(",") + SkinName;
            dirs += std::string(",") + SkinDirName;
        }
        x.text += "Color=" + colours + "\r\nDirName=" + dirs + "\r\n";
        for (const char* key : kKeysAfter) x.text += std::string(key) + "=" + CfgRuleLookup(old, section, key) + "\r\n";
    }
}

std::string Contents(const char* name) {
    std::string s;
    if (!ReadFile(name, s)) Fail("%s is missing", name);
    return s;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    EnterScratchFolder("vehiclecfg");
    std::filesystem::create_directory("Cfg");
    ResetArchives();
    std::strcpy(VehicleCfgPath, "Cfg\\Vehicle.cfg");
    std::strcpy(VehicleOldPath, "Cfg\\Vehicle.old");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view input(reinterpret_cast<const char*>(data), size);
    SetName(CarName, NextName(input));
    SetName(SkinName, NextName(input));
    SetName(SkinDirName, NextName(input));
    std::replace(SkinDirName, SkinDirName + sizeof SkinDirName, ' ', '_');
    const std::string old(input);

    const bool fromArchive = size % 2 == 1;
    RemoveFile("Cfg/Vehicle.old");
    RemoveFile("vehicle.tmp");
    if (fromArchive) {
        RemoveFile("Cfg/Vehicle.cfg");
        WriteFile("game.fff", ArchiveOf(old));
        RegisterFFF("game.fff");
    } else {
        WriteFile("Cfg/Vehicle.cfg", old);
    }

    bool updated = UpdateVehicleCfg();
    CloseArchives();

    if (CurrentCfgReader != nullptr) Fail("the rewrite left its reader in CurrentCfgReader");
    Expected expected = Rewrite(old);
    if (!FileExists("Cfg/Vehicle.old")) {
        if (updated) Fail("updated without a backup");
        if (!expected.stopped) Fail("no list check refuses the skin, yet the update stopped");
        if (fromArchive ? FileExists("Cfg/Vehicle.cfg") : Contents("Cfg/Vehicle.cfg") != old)
            Fail("a stopped update changed the live configuration");
        return 0;
    }
    if (expected.stopped) Fail("a list check refuses the skin, yet the configuration was replaced");
    if (updated != expected.matched) Fail("the result is %d, a car %s", updated, expected.matched ? "matched" : "did not match");
    if (Contents("vehicle.tmp") != expected.text) Fail("vehicle.tmp is not the new configuration the rules give");
    std::string live = Contents("Cfg/Vehicle.cfg");
    if (Contents("Cfg/Vehicle.old") != old) Fail("the backup is not the old configuration");
    if (live != Contents("vehicle.tmp")) Fail("the live configuration is not the new one");

    RestoreVehicleCfg();
    if (Contents("Cfg/Vehicle.cfg") != old) Fail("the restore did not bring the old configuration back");
    return 0;
}
