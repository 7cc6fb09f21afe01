// Host helpers over the Windows calls; the platform layer provides those calls
// (the real ones on Windows, a stand-in elsewhere). See HostHelpers.h for the
// rules each helper keeps.
#include "HostHelpers.h"

#include <cstring>

#include "FileCore.h"

bool ReadRegistryString(HKEY root, const char* subKey, const char* valueName, char* buffer) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, subKey, 0, KEY_QUERY_VALUE | KEY_WOW64_32KEY, &key) != ERROR_SUCCESS)
        return false;

    // The value is read into a buffer of our own first: the registry does not
    // promise a terminating zero, and leaves its buffer undefined when the
    // value does not fit. Only a value that fits with its zero reaches the
    // caller; anything else leaves the caller's buffer as it was.
    BYTE data[REGISTRY_READ_SIZE];
    DWORD size = sizeof data;
    LONG status = RegQueryValueExA(key, valueName, nullptr, nullptr, data, &size);
    RegCloseKey(key);

    if (status == ERROR_SUCCESS && size <= sizeof data) {
        bool terminated = size > 0 && data[size - 1] == 0;
        if (terminated || size < sizeof data) {
            std::memcpy(buffer, data, size);
            if (!terminated) buffer[size] = '\0';
        }
    }
    return true;
}

void WriteRegistryString(HKEY root, const char* subKey, const char* valueName, const char* text) {
    HKEY key = nullptr;
    if (RegCreateKeyExA(root, subKey, 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_ALL_ACCESS | KEY_WOW64_32KEY, nullptr, &key, nullptr) != ERROR_SUCCESS)
        return;
    // The stored size counts the terminating zero.
    DWORD size = static_cast<DWORD>(std::strlen(text) + 1);
    RegSetValueExA(key, valueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(text), size);
    RegCloseKey(key);
}

void MakeDirectory(const char* path) {
    if (path == nullptr) return;
    CreateDirectoryA(path, nullptr);  // an existing folder or any failure passes in silence
}

void RemoveFile(const char* name) {
    if (name == nullptr || name[0] == '\0') {
        DebugLog("---\tFILE_SYSTEM: DELETEFILE NO FILENAME\n");
        return;
    }
    // A name longer than the 255 characters of the name buffer is refused:
    // cutting it could name, and delete, another file.
    if (std::strlen(name) >= FS_NAME_SIZE) {
        DebugLog("---\tDELETE_FILE: NAME TOO LONG: %s\n", name);
        return;
    }
    char path[FS_NAME_SIZE] = {};
    std::strcpy(path, name);
    ToBackSlashes(path);
    if (!DeleteFileA(path)) {
        DebugLog("---\tDELETE_FILE: %s error code: %d\n", name, static_cast<int>(GetLastError()));
    }
}
