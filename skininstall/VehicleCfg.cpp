#include "VehicleCfg.h"

#include <cstdio>
#include <cstring>
#include <iterator>
#include <new>
#include <string>
#include <string_view>
#include <vector>

#include "CfgReader.h"
#include "FileCore.h"
#include "InstallerState.h"

namespace {

constexpr std::size_t WORK_BUFFER_SIZE = 262144;
constexpr int MAX_LIST_ITEMS = 100;
constexpr std::size_t MAX_ITEM_LENGTH = STATE_NAME_SIZE - 1;
// A car holds at most this many skins, the new one included.
constexpr int MAX_SKINS = 9;

const char* const KEYS_BEFORE_LISTS[] = {"Name",   "LongName",     "Check",
                                         "Crash",  "Engine",       "Transmission",
                                         "TransmissionValue"};
const char* const KEYS_AFTER_LISTS[] = {"FrontDifferentials", "RearDifferentials", "FrontDifferValue",
                                        "RearDifferValue",    "Tires",             "TiresValue",
                                        "Weight",             "Torque",            "Power"};

// Copies size bytes from the current position of one handle to another
// through the work buffer, then flushes the target. False when a read or a
// write falls short.
bool CopyWhole(FileHandle* from, std::int32_t size, FileHandle* to, char* work) {
    std::size_t left = size > 0 ? static_cast<std::size_t>(size) : 0;
    while (left > 0) {
        std::size_t chunk = left < WORK_BUFFER_SIZE ? left : WORK_BUFFER_SIZE;
        if (from->Read(work, chunk) != chunk) return false;
        if (to->Write(work, chunk) != 1) return false;
        left -= chunk;
    }
    return to->Flush();
}

// The items of a comma-separated skin list; an empty value is one empty item.
std::vector<std::string_view> SplitList(std::string_view value) {
    std::vector<std::string_view> items;
    for (;;) {
        std::size_t comma = value.find(',');
        items.push_back(value.substr(0, comma));
        if (comma == std::string_view::npos) return items;
        value.remove_prefix(comma + 1);
    }
}

// Looks a skin list of the current section up and checks that it fits the
// skin table; prints the reason and returns false when it does not.
bool ReadList(CfgReader* reader, const char* key, std::vector<std::string>& items) {
    std::strcpy(reader->Key, key);
    reader->Lookup();
    std::vector<std::string_view> parts = SplitList(std::string_view(reader->Value, reader->ValueLength));
    if (parts.size() > static_cast<std::size_t>(MAX_LIST_ITEMS)) {
        std::printf("\n***\tERROR: the '%s' list of the car holds more than %d items!\n", key, MAX_LIST_ITEMS);
        return false;
    }
    items.clear();
    for (std::string_view p : parts) {
        if (p.size() > MAX_ITEM_LENGTH) {
            std::printf("\n***\tERROR: an item of the '%s' list of the car is longer than %zu characters!\n",
                        key, MAX_ITEM_LENGTH);
            return false;
        }
        items.emplace_back(p);
    }
    return true;
}

void WriteList(FileHandle* temp, const char* key, const std::vector<std::string>& items) {
    temp->PutString(key);
    temp->PutChar('=');
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (i != 0) temp->PutChar(',');
        temp->PutString(items[i].c_str());
    }
    temp->PutNewLine();
}

// Checks the matched car's lists and writes them with the new skin added.
// False when a check stops the update (its line is printed).
bool ExtendSkinLists(CfgReader* reader, FileHandle* temp) {
    std::vector<std::string> colours, dirs;
    if (!ReadList(reader, "Color", colours) || !ReadList(reader, "DirName", dirs)) return false;
    if (colours.size() != dirs.size()) {
        std::printf("\n***\tERROR: the number of Color's not equal with the number of DirName !");
        return false;
    }
    if (colours.size() >= static_cast<std::size_t>(MAX_SKINS)) {
        std::printf("\n***\tERROR: Not enougth Skin space! NO MORE SKIN ALLOWED FOR THAT CAR!\n");
        return false;
    }
    for (std::size_t i = 0; i < colours.size(); ++i) {
        if (colours[i] == SkinName) {
            std::printf("\n***\tERROR: the '%s' skin found in the '%s'.\n\t\tThis skin installed in the past!!\n",
                        SkinName, VehicleCfgPath);
            return false;
        }
        if (EqualFoldAZ(SkinDirName, dirs[i].c_str())) {
            std::printf(
                "\n***\tERROR: the '%s' skin directory found in the '%s'.\n\t\tThis skin installed in the past!!\n",
                SkinDirName, VehicleCfgPath);
            return false;
        }
    }
    colours.emplace_back(SkinName);
    dirs.emplace_back(SkinDirName);
    WriteList(temp, "Color", colours);
    WriteList(temp, "DirName", dirs);
    return true;
}

void CopyKeys(FileHandle* temp, const char* const* keys, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) CopyCfgKey(temp, keys[i]);
}

// Writes the new configuration into the temporary file. 1: written, some car
// matched; 0: written, no car matched; -1: a list check stopped it.
int WriteNewConfiguration(CfgReader* reader, FileHandle* temp) {
    bool found = false;
    for (int index = 0;; ++index) {
        std::snprintf(reader->Section, sizeof reader->Section, "Car%d", index);
        std::strcpy(reader->Key, "Name");
        reader->Lookup();
        if (reader->ValueLength == 0) break;
        if (index != 0) temp->PutNewLine();
        bool match = EqualFoldAZ(reader->Value, CarName);
        found = found || match;

        temp->PutChar('[');
        temp->PutString(reader->Section);
        temp->PutChar(']');
        temp->PutNewLine();
        CopyKeys(temp, KEYS_BEFORE_LISTS, std::size(KEYS_BEFORE_LISTS));
        if (!match) {
            CopyCfgKey(temp, "Color");
            CopyCfgKey(temp, "DirName");
        } else if (!ExtendSkinLists(reader, temp)) {
            return -1;
        }
        CopyKeys(temp, KEYS_AFTER_LISTS, std::size(KEYS_AFTER_LISTS));
    }
    return found ? 1 : 0;
}

// The backup, then the live configuration from "vehicle.tmp". The live file
// is opened for writing only once the backup is complete.
bool BackUpAndReplace(FileHandle* source, char* work) {
    // The source may be an archive entry whose shared position the reader
    // moved: the backup starts from the entry's first byte.
    source->Seek(0);
    std::int32_t size = source->GetSize();
    FileHandle* backup = OpenFile(VehicleOldPath, FS_WRITE);
    if (backup == nullptr) {
        std::printf("\n***\tERROR: the backup '%s' can't be written!\n", VehicleOldPath);
        return false;
    }
    bool backedUp = CopyWhole(source, size, backup, work);
    CloseFile(backup);
    if (!backedUp) {
        std::printf("\n***\tERROR: the backup '%s' can't be written!\n", VehicleOldPath);
        return false;
    }

    FileHandle* temp = OpenFile(VEHICLE_TEMP_NAME, FS_READ);
    std::int32_t tempSize = temp->GetSize();
    FileHandle* live = OpenFile(VehicleCfgPath, FS_WRITE);
    if (live == nullptr) {
        CloseFile(temp);
        std::printf("\n***\tERROR: '%s' can't be written!\n", VehicleCfgPath);
        return false;
    }
    bool replaced = CopyWhole(temp, tempSize, live, work);
    CloseFile(live);
    CloseFile(temp);
    if (!replaced) {
        std::printf("\n***\tERROR: '%s' can't be written! The previous one is put back.\n", VehicleCfgPath);
        RestoreVehicleCfg();
        return false;
    }
    return true;
}

}  // namespace

void CopyCfgKey(FileHandle* temp, const char* key) {
    CfgReader* reader = CurrentCfgReader;
    std::strcpy(reader->Key, key);
    reader->Lookup();
    // Written straight from the reader's value, so a line of any length is
    // carried over whole.
    temp->PutString(key);
    temp->PutChar('=');
    temp->PutString(reader->Value);
    temp->PutNewLine();
}

bool UpdateVehicleCfg() {
    char* work = new (std::nothrow) char[WORK_BUFFER_SIZE];
    if (work == nullptr) {
        std::printf("\n***\tERROR: out of memory!\n");
        return false;
    }

    FileHandle* source = TryOpenFile(VehicleCfgPath, FS_READ);
    if (source == nullptr) {
        std::printf("\n***\tERROR: '%s' not found\n", VehicleCfgPath);
        delete[] work;
        return false;
    }

    FileHandle* temp = OpenFile(VEHICLE_TEMP_NAME, FS_WRITE);
    if (temp == nullptr) {
        std::printf("\n***\tERROR: '%s' can't be written!\n", VEHICLE_TEMP_NAME);
        CloseFile(source);
        delete[] work;
        return false;
    }

    CfgReader* reader = new (std::nothrow) CfgReader;
    if (reader == nullptr) {
        std::printf("\n***\tERROR: out of memory!\n");
        CloseFile(temp);
        CloseFile(source);
        delete[] work;
        return false;
    }
    CurrentCfgReader = reader;
    // The open above took the path, so it fits the reader's 255 characters.
    std::memcpy(reader->FileName, VehicleCfgPath, std::strlen(VehicleCfgPath) + 1);

    int outcome = WriteNewConfiguration(reader, temp);
    delete reader;
    CurrentCfgReader = nullptr;  // nothing reads the slot after this
    if (outcome < 0) {
        CloseFile(temp);
        CloseFile(source);
        delete[] work;
        return false;
    }

    bool written = temp->Flush();
    CloseFile(temp);
    if (!written) std::printf("\n***\tERROR: '%s' can't be written!\n", VEHICLE_TEMP_NAME);
    bool replaced = written && BackUpAndReplace(source, work);
    CloseFile(source);
    delete[] work;
    if (!replaced) return false;

    if (outcome == 0) {
        std::printf("\n***\tERROR: '%s' car not found!\n", CarName);
        return false;
    }
    std::printf("Cfg:\t\t'Vehicle.cfg' updated.\n");
    return true;
}

void RestoreVehicleCfg() {
    char* work = new (std::nothrow) char[WORK_BUFFER_SIZE];
    FileHandle* backup = work ? TryOpenFile(VehicleOldPath, FS_READ) : nullptr;
    FileHandle* live = backup ? OpenFile(VehicleCfgPath, FS_WRITE) : nullptr;
    bool restored = live != nullptr && CopyWhole(backup, backup->GetSize(), live, work);
    CloseFile(live);
    CloseFile(backup);
    delete[] work;
    if (!restored)
        std::printf("\n***\tERROR: '%s' could not be put back! Copy '%s' over it by hand.\n", VehicleCfgPath,
                    VehicleOldPath);
}
