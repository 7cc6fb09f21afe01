#include "InstallerDriver.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include "CfgReader.h"
#include "FffArchive.h"
#include "FileCore.h"
#include "HostHelpers.h"
#include "InstallerState.h"
#include "VehicleCfg.h"

namespace {

const char* const REGISTRY_KEY = "Software\\Tarnwick\\Gravelmax";
const char* const SKIN_FILE = "Skin.cfg";
const char* const ARCHIVES[] = {"Language.cod", "Game.cod"};

struct SkinCopy {
    const char* name;
    bool single;
};
const SkinCopy SKIN_COPIES[] = {
    {"t9.tex", true},          {"t10.tex", true},          {"t11.tex", true},
    {"t9.tex.big.tga", true},  {"t10.tex.big.tga", true},  {"t11.tex.big.tga", true},
    {"t9.tex", false},         {"t10.tex", false},         {"t11.tex", false},
};

void BlanksToUnderscores(char* text) {
    for (; *text != '\0'; ++text)
        if (*text == ' ') *text = '_';
}

void Append(char* path, const char* tail) {
    std::size_t used = std::strlen(path);
    std::snprintf(path + used, STATE_PATH_SIZE - used, "%s", tail);
}

[[noreturn]] void EndEarly() {
    std::fflush(stdout);
    std::exit(-1);
}

// Reads the three keys of the skin description into the installer state;
// ends the run on the first one that is missing, empty or too long.
void ReadSkinDescription() {
    struct Wanted {
        const char* key;
        char* into;
    } const wanted[] = {{"Name", CarName}, {"SkinName", SkinName}, {"SkinDirName", SkinDirName}};

    CfgReader* reader = new (std::nothrow) CfgReader;
    if (reader == nullptr) FatalError("SKININSTALL: OUT OF MEMORY");
    CurrentCfgReader = reader;
    std::strcpy(reader->FileName, SKIN_FILE);
    std::strcpy(reader->Section, "SKINAPPEND");
    for (const Wanted& w : wanted) {
        std::strcpy(reader->Key, w.key);
        reader->Lookup();
        if (reader->ValueLength == 0) {
            std::printf("\n\n***\tERROR: Wrong '%s' key in %s skin file !\n", w.key, SKIN_FILE);
            delete reader;
            EndEarly();
        }
        // A longer value would be cut into another car's or skin's name.
        if (reader->ValueLength >= STATE_NAME_SIZE) {
            std::printf("\n\n***\tERROR: '%s' key in %s skin file is longer than %zu characters!\n", w.key,
                        SKIN_FILE, STATE_NAME_SIZE - 1);
            delete reader;
            EndEarly();
        }
        std::memcpy(w.into, reader->Value, reader->ValueLength + 1);
    }
    BlanksToUnderscores(SkinDirName);
    std::printf("\t( %s / %s )\n", CarName, SkinName);
    delete reader;
    CurrentCfgReader = nullptr;
}

void MakeSkinFolders() {
    std::snprintf(SingleSkinDir, STATE_PATH_SIZE, "%s\\Car", InstallPath);
    MakeDirectory(SingleSkinDir);
    BlanksToUnderscores(CarName);

    std::snprintf(SingleSkinDir, STATE_PATH_SIZE, "%s\\Car\\%s", InstallPath, CarName);
    MakeDirectory(SingleSkinDir);
    Append(SingleSkinDir, "\\Single");
    MakeDirectory(SingleSkinDir);
    Append(SingleSkinDir, "\\txt");
    MakeDirectory(SingleSkinDir);
    Append(SingleSkinDir, "\\");
    Append(SingleSkinDir, SkinDirName);
    MakeDirectory(SingleSkinDir);

    std::snprintf(MultiSkinDir, STATE_PATH_SIZE, "%s\\Car\\%s\\Multi", InstallPath, CarName);
    MakeDirectory(MultiSkinDir);
    Append(MultiSkinDir, "\\txt");
    MakeDirectory(MultiSkinDir);
    Append(MultiSkinDir, "\\");
    Append(MultiSkinDir, SkinDirName);
    MakeDirectory(MultiSkinDir);

    // Written through the lower-case forms; names match without regard to case.
    std::snprintf(SingleSkinDir, STATE_PATH_SIZE, "%s\\Car\\%s\\single\\txt\\%s", InstallPath, CarName,
                  SkinDirName);
    std::snprintf(MultiSkinDir, STATE_PATH_SIZE, "%s\\Car\\%s\\multi\\txt\\%s", InstallPath, CarName,
                  SkinDirName);
}

bool InstallAllFiles() {
    std::printf("\nInstall Files:\n");
    bool all = true;
    for (const SkinCopy& c : SKIN_COPIES)
        all = InstallSkinFile(c.name, c.single ? SingleSkinDir : MultiSkinDir, c.single) && all;
    return all;
}

void Closing() {
    std::printf("\n");
    WriteRegistryString(HKEY_LOCAL_MACHINE, REGISTRY_KEY, "Brisqueval", "IGEN :)");
    CloseArchives();
}

}  // namespace

bool InstallSkinFile(const char* name, const char* targetDir, bool single) {
    std::printf(single ? "--> single \\ %s\t\t" : "--> multi  \\ %s\t\t", name);
    char target[STATE_PATH_SIZE];
    std::snprintf(target, sizeof target, "%s\\%s", targetDir, name);

    FileHandle* source = TryOpenFile(name, FS_READ);
    if (source == nullptr) {
        std::printf("[ERROR]\n");
        return false;
    }
    std::int32_t size = source->GetSize();
    std::size_t count = size > 0 ? static_cast<std::size_t>(size) : 0;
    char* buffer = new (std::nothrow) char[count == 0 ? 1 : count];
    bool read = buffer != nullptr && source->Read(buffer, count) == count;
    CloseFile(source);

    // A path too long for the file layer fails here, as a target that cannot
    // be created does.
    FileHandle* out = read ? OpenFile(target, FS_WRITE) : nullptr;
    bool written = out != nullptr && out->Write(buffer, count) == 1 && out->Flush();
    CloseFile(out);
    delete[] buffer;
    std::printf(written ? "[OK]\n" : "[ERROR]\n");
    return written;
}

int SkinInstallMain() {
    std::printf("---------------------------------------------------------\n");
    std::printf("---          Gravelmax Skin Installer v1.0b           ---\n");
    std::printf("---          Gravelmax Skin Kit developers            ---\n");
    std::printf("---------------------------------------------------------\n\n");
    ResetArchives();

    if (!ReadRegistryString(HKEY_LOCAL_MACHINE, REGISTRY_KEY, "Installpath", InstallPath)) {
        std::printf("\n***\tERROR: Gravelmax not installed!\n");
        Closing();
        return 0;
    }
    std::size_t length = std::strlen(InstallPath);
    if (length != 0 && InstallPath[length - 1] == '\\') InstallPath[length - 1] = '\0';

    for (const char* archive : ARCHIVES) {
        char path[STATE_PATH_SIZE];
        std::snprintf(path, sizeof path, "%s\\%s", InstallPath, archive);
        RegisterFFF(path);
    }

    std::printf("SkinFile:\t'%s'", SKIN_FILE);
    FileHandle* probe = TryOpenFile(SKIN_FILE, FS_READ);
    if (probe == nullptr) {
        std::printf("\n\n***\tERROR: '%s' file not found!\n", SKIN_FILE);
        EndEarly();
    }
    CloseFile(probe);
    ReadSkinDescription();

    std::printf("\nGravelmax found:\t'%s'\n", InstallPath);
    std::snprintf(VehicleCfgPath, STATE_PATH_SIZE, "%s\\%s", InstallPath, "Cfg\\Vehicle.cfg");
    std::snprintf(VehicleOldPath, STATE_PATH_SIZE, "%s\\%s", InstallPath, "Cfg\\Vehicle.old");
    std::snprintf(SingleSkinDir, STATE_PATH_SIZE, "%s\\Cfg", InstallPath);
    MakeDirectory(SingleSkinDir);

    if (!UpdateVehicleCfg()) {
        std::printf("\n***\tSKIN NOT INSTALLED! ***\n");
    } else {
        MakeSkinFolders();
        if (InstallAllFiles()) {
            std::printf("\n---\t'%s' Skin installed!  ---\n", SkinName);
        } else {
            RestoreVehicleCfg();
            std::printf("\n***\tERROR: not all Skin file found!\n");
            std::printf("\n***\tSKIN NOT INSTALLED! ***\n");
        }
    }
    RemoveFile(VEHICLE_TEMP_NAME);
    Closing();
    return 0;
}
