// Running against a registry file on Windows: the file's keys are loaded into
// the host registry's 32-bit view for the run and written back when the
// program changed them (see RegistryFile.h).
#include "RegistryFile.h"

#include <windows.h>

#include <algorithm>
#include <optional>
#include <stdexcept>

#include "RegFileText.h"
#include "RegistrySeed.h"

namespace testsupport {

namespace {

constexpr const char* kRoot = "HKEY_LOCAL_MACHINE\\";

using Values = std::vector<std::pair<std::string, std::string>>;

struct Key {
    std::string path;  // as written in the file, root included
    bool exists = false;
    Values values;
};

std::string Lower(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
    return s;
}

// The key below the local machine root, for the registry calls.
std::string SubKey(const std::string& path) {
    std::string root = kRoot;
    if (path.size() <= root.size() || Lower(path.substr(0, root.size())) != Lower(root))
        throw std::runtime_error("registry file: not a local machine key: " + path);
    return path.substr(root.size());
}

std::string Quote(const std::string& s) {
    std::string r = "\"";
    r += RegEscape(s);
    r += '"';
    return r;
}

std::vector<Key> ParseFile(const Bytes& text) {
    std::vector<Key> keys;
    ParseRegText(
        text, [&](const std::string& path) { keys.push_back({path, true, {}}); },
        [&](const std::string& name, const std::string& value) {
            if (!keys.empty()) keys.back().values.emplace_back(name, value);
        });
    return keys;
}

// What the 32-bit view holds under the key: its string values (other types as
// their raw bytes), in the registry's order.
Key ReadKey(const std::string& path) {
    Key key{path, false, {}};
    HKEY h = nullptr;
    if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, SubKey(path).c_str(), 0, KEY_READ | KEY_WOW64_32KEY, &h) !=
        ERROR_SUCCESS)
        return key;
    key.exists = true;
    for (DWORD i = 0;; ++i) {
        char name[16384];
        DWORD nameSize = sizeof name;
        BYTE data[65536];
        DWORD dataSize = sizeof data;
        DWORD type = 0;
        if (::RegEnumValueA(h, i, name, &nameSize, nullptr, &type, data, &dataSize) != ERROR_SUCCESS) break;
        std::string value(reinterpret_cast<const char*>(data), dataSize);
        if (type == REG_SZ && !value.empty() && value.back() == '\0') value.pop_back();
        key.values.emplace_back(std::string(name, nameSize), value);
    }
    ::RegCloseKey(h);
    return key;
}

bool SameContents(const Key& a, const Key& b) {
    if (a.exists != b.exists) return false;
    auto norm = [](const Values& v) {
        Values r;
        for (const auto& [n, x] : v) r.emplace_back(Lower(n), x);
        std::sort(r.begin(), r.end());
        return r;
    };
    return norm(a.values) == norm(b.values);
}

}  // namespace

RunResult RunWithRegistryFile(const std::string& program, const std::filesystem::path& workDir,
                              const std::filesystem::path& registryFile,
                              const std::vector<std::string>& watchedKeys,
                              const std::vector<std::pair<std::string, std::string>>& env) {
    std::vector<Key> expected = ParseFile(ReadBytes(registryFile));
    for (const std::string& path : watchedKeys) {
        bool named = std::any_of(expected.begin(), expected.end(),
                                 [&](const Key& k) { return Lower(k.path) == Lower(path); });
        if (!named) expected.push_back({path, false, {}});
    }

    for (const Key& k : expected) DeleteLocalMachineKey(SubKey(k.path));
    for (const Key& k : expected) {
        if (!k.exists) continue;
        HKEY h = nullptr;
        if (::RegCreateKeyExA(HKEY_LOCAL_MACHINE, SubKey(k.path).c_str(), 0, nullptr, 0,
                              KEY_WRITE | KEY_WOW64_32KEY, nullptr, &h, nullptr) != ERROR_SUCCESS)
            throw std::runtime_error("cannot create " + k.path);
        ::RegCloseKey(h);
        for (const auto& [name, value] : k.values) SeedLocalMachineString32(SubKey(k.path), name, value);
    }

    RunResult result = RunProgram(program, workDir, env);

    std::vector<Key> actual;
    bool changed = false;
    for (const Key& k : expected) {
        actual.push_back(ReadKey(k.path));
        changed = changed || !SameContents(k, actual.back());
    }
    for (const Key& k : expected) DeleteLocalMachineKey(SubKey(k.path));

    if (changed) {
        Bytes text = "REGEDIT4\r\n\r\n";
        for (const Key& k : actual) {
            if (!k.exists) continue;
            text += "[" + k.path + "]\r\n";
            for (const auto& [name, value] : k.values) text += Quote(name) + "=" + Quote(value) + "\r\n";
            text += "\r\n";
        }
        WriteBytes(registryFile, text);
    }
    return result;
}

}  // namespace testsupport
