// The registry helpers of the tests on Windows: the registry calls with the
// view chosen by KEY_WOW64_32KEY or KEY_WOW64_64KEY.
#include "RegistrySeed.h"

#include <windows.h>

#include <stdexcept>

namespace testsupport {

namespace {

REGSAM ViewFlag(RegistryView view) {
    return view == RegistryView::View32 ? KEY_WOW64_32KEY : KEY_WOW64_64KEY;
}

void DeleteFromView(const std::string& subKey, RegistryView view) {
    HKEY key = nullptr;
    if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, subKey.c_str(), 0,
                        KEY_READ | KEY_WRITE | DELETE | ViewFlag(view), &key) != ERROR_SUCCESS)
        return;
    ::RegDeleteTreeA(key, nullptr);  // everything below the key
    ::RegCloseKey(key);
    ::RegDeleteKeyExA(HKEY_LOCAL_MACHINE, subKey.c_str(), ViewFlag(view), 0);
}

}  // namespace

void SeedLocalMachineString32(const std::string& subKey, const std::string& name,
                              const std::string& value) {
    HKEY key = nullptr;
    LONG rc = ::RegCreateKeyExA(HKEY_LOCAL_MACHINE, subKey.c_str(), 0, nullptr, 0,
                                KEY_WRITE | KEY_WOW64_32KEY, nullptr, &key, nullptr);
    if (rc != ERROR_SUCCESS)
        throw std::runtime_error("cannot create HKLM\\" + subKey + " (error " + std::to_string(rc) + ")");
    rc = ::RegSetValueExA(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                          static_cast<DWORD>(value.size() + 1));
    ::RegCloseKey(key);
    if (rc != ERROR_SUCCESS)
        throw std::runtime_error("cannot write " + name + " (error " + std::to_string(rc) + ")");
}

std::optional<std::string> ReadLocalMachineString(const std::string& subKey,
                                                  const std::string& name, RegistryView view) {
    HKEY key = nullptr;
    if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, subKey.c_str(), 0, KEY_QUERY_VALUE | ViewFlag(view),
                        &key) != ERROR_SUCCESS)
        return std::nullopt;
    DWORD type = 0;
    DWORD size = 0;
    std::optional<std::string> result;
    if (::RegQueryValueExA(key, name.c_str(), nullptr, &type, nullptr, &size) == ERROR_SUCCESS) {
        std::string data(size, '\0');
        if (::RegQueryValueExA(key, name.c_str(), nullptr, &type,
                               reinterpret_cast<BYTE*>(data.data()), &size) == ERROR_SUCCESS) {
            data.resize(size);
            if (!data.empty() && data.back() == '\0') data.pop_back();
            result = data;
        }
    }
    ::RegCloseKey(key);
    return result;
}

void DeleteLocalMachineKey(const std::string& subKey) {
    DeleteFromView(subKey, RegistryView::View32);
    DeleteFromView(subKey, RegistryView::View64);
}

}  // namespace testsupport
