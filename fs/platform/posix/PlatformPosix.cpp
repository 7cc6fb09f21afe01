// The platform layer on hosts other than Windows.
//
// Files: a path from the file layer uses "\" between folders; here each "\"
// becomes "/" and every folder and file name is matched against what exists
// without regard to the case of A to Z, the way a Windows file system matches
// names. The exact spelling is tried first; only a miss reads the folder. A
// name that exists in no case keeps the case it was given, so a write creates
// it as spelled. A path that begins with "\" (or "/") starts at the root.
// A folder never opens as a file.
// CreateDirectoryA and DeleteFileA resolve their paths the same way, so a
// folder made as "Single" is found again as "single".
//
// Registry: a stand-in for the few registry calls the host helpers make. The
// registry is a text file in the REGEDIT4 format of Windows .reg exports:
//
//     REGEDIT4
//
//     [HKEY_LOCAL_MACHINE\Software\Tarnwick\Gravelmax]
//     "Installpath"="/home/me/games/gravelmax"
//
// Strings escape "\" and "\"" with a backslash. The file is the one named by
// the environment variable SKINKIT_REGISTRY, else
// $XDG_CONFIG_HOME/gravelmax-skinkit/registry.reg, else
// $HOME/.config/gravelmax-skinkit/registry.reg. Rules:
//  - Key paths and value names compare without regard to the case of A to Z.
//    A key exists when it, or a key below it, is listed. A key listed twice
//    counts as one; where a value is listed twice the later line wins, as an
//    import would leave it. HKEY_LOCAL_MACHINE is the only root.
//  - Only string values are read and written; "@" names a key's default
//    value. Other lines that a .reg file may hold (dword: and hex: values with
//    their continuation lines, comments starting with ";", keys of other
//    roots) are kept as written; a value that is not a string reads as one of
//    an unsupported type, and a string written under its name replaces it.
//  - A missing or empty file is an empty registry. A file that cannot be read
//    or parsed is never written: reads find no key, writes fail.
//  - A write rereads the file, changes only the line of its key or value (a
//    new value goes after the last value of its key, a new key at the end) and
//    replaces the file atomically: a temporary file beside it, then a rename.
//    Folders of the default location are created when missing.
//  - A stored string holds no line break; REG_SZ data must end in its one
//    terminating zero. Anything else is refused (ERROR_INVALID_PARAMETER).
//
// Process: a write past a file size limit fails with an error, as it does on
// Windows, instead of ending the process with SIGXFSZ halfway through a file.
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "Platform.h"
#include "WinApi.h"

namespace {

struct IgnoreFileSizeSignal {
    IgnoreFileSizeSignal() { std::signal(SIGXFSZ, SIG_IGN); }
} const ignoreFileSizeSignal;


bool EqualFoldAZ(const char* a, const char* b, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i) {
        unsigned char x = static_cast<unsigned char>(a[i]);
        unsigned char y = static_cast<unsigned char>(b[i]);
        if (x >= 'A' && x <= 'Z') x += 0x20;
        if (y >= 'A' && y <= 'Z') y += 0x20;
        if (x != y) return false;
    }
    return true;
}

bool Exists(const std::string& path) {
    struct stat st;
    return ::lstat(path.c_str(), &st) == 0;
}

// Finds the entry of folder dir whose name equals name[0..n) with A to Z
// folded; returns it in found. The first match in folder order wins.
bool FindFolded(const std::string& dir, const char* name, std::size_t n, std::string& found) {
    DIR* d = ::opendir(dir.empty() ? "." : dir.c_str());
    if (d == nullptr) return false;
    bool ok = false;
    while (dirent* e = ::readdir(d)) {
        if (std::strlen(e->d_name) == n && EqualFoldAZ(e->d_name, name, n)) {
            found = e->d_name;
            ok = true;
            break;
        }
    }
    ::closedir(d);
    return ok;
}

}  // namespace

// Turns a file-layer path into the host path that names the same file.
std::string ResolveHostPath(const char* path) {
    std::string direct(path);
    for (char& c : direct)
        if (c == '\\') c = '/';
    if (Exists(direct)) return direct;

    std::string out;
    const char* p = direct.c_str();
    if (*p == '/') {
        out = "/";
        while (*p == '/') ++p;
    }
    bool matching = true;  // false once a component exists in no case
    while (*p != '\0') {
        const char* end = std::strchr(p, '/');
        std::size_t n = end ? static_cast<std::size_t>(end - p) : std::strlen(p);
        std::string parent = out;
        if (!out.empty() && out.back() != '/') out += '/';
        std::string component(p, n);
        if (matching && n > 0 && component != "." && component != "..") {
            std::string candidate = out + component;
            std::string found;
            if (Exists(candidate)) {
                out = candidate;
            } else if (FindFolded(parent, p, n, found)) {
                out += found;
            } else {
                out = candidate;
                matching = false;
            }
        } else {
            out += component;
        }
        p += n;
        while (*p == '/') ++p;
    }
    return out;
}

// A folder is no file: opening one fails here as it does on Windows, so a
// read-open of a folder's name goes on to the archives.
std::FILE* OpenHostFile(const char* path, const char* mode) {
    std::FILE* f = std::fopen(ResolveHostPath(path).c_str(), mode);
    struct stat st;
    if (f != nullptr && ::fstat(::fileno(f), &st) == 0 && S_ISDIR(st.st_mode)) {
        std::fclose(f);
        errno = EISDIR;
        return nullptr;
    }
    return f;
}

// --- Folders and file deletion -------------------------------------------------

namespace {

DWORD lastError = ERROR_SUCCESS;  // the code of the last failed file call

BOOL FailWith(DWORD code) {
    lastError = code;
    return 0;
}

DWORD ErrorCodeOf(int err, DWORD whenMissing) {
    switch (err) {
    case ENOENT: return whenMissing;
    case ENOTDIR: return ERROR_PATH_NOT_FOUND;
    case EEXIST: return ERROR_ALREADY_EXISTS;
    case ENAMETOOLONG: return ERROR_FILENAME_EXCED_RANGE;
    default: return ERROR_ACCESS_DENIED;
    }
}

bool IsFolder(const std::string& path) {
    struct stat st;
    return ::stat(path.empty() ? "." : path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace

BOOL CreateDirectoryA(LPCSTR path, LPSECURITY_ATTRIBUTES) {
    if (path == nullptr) return FailWith(ERROR_INVALID_PARAMETER);
    std::string host = ResolveHostPath(path);
    // The resolved name exists when an entry of that name exists in any case.
    if (Exists(host)) return FailWith(ERROR_ALREADY_EXISTS);
    if (::mkdir(host.c_str(), 0777) != 0) return FailWith(ErrorCodeOf(errno, ERROR_PATH_NOT_FOUND));
    return 1;
}

BOOL DeleteFileA(LPCSTR path) {
    if (path == nullptr) return FailWith(ERROR_INVALID_PARAMETER);
    std::string host = ResolveHostPath(path);
    if (IsFolder(host)) return FailWith(ERROR_ACCESS_DENIED);  // folders are not files
    if (::unlink(host.c_str()) != 0) {
        int err = errno;
        if (err == ENOENT) {
            std::size_t slash = host.find_last_of('/');
            std::string parent = slash == std::string::npos ? "" : host.substr(0, slash == 0 ? 1 : slash);
            if (!IsFolder(parent)) return FailWith(ERROR_PATH_NOT_FOUND);
        }
        return FailWith(ErrorCodeOf(err, ERROR_FILE_NOT_FOUND));
    }
    return 1;
}

DWORD GetLastError() { return lastError; }

// --- The registry ----------------------------------------------------------------

// An open key: its full path ("HKEY_LOCAL_MACHINE\...") and the access asked for.
struct HKEY__ {
    std::string path;
    REGSAM access;
};

namespace {

constexpr std::string_view ROOT_NAME = "HKEY_LOCAL_MACHINE";

// One line of the file, or one value with its continuation lines.
struct RegEntry {
    enum class Kind { Other, Key, Value };
    Kind kind = Kind::Other;
    std::string text;   // as written; continuation lines joined with "\n"
    std::string key;    // Key: its path; Value: the path of its key
    std::string name;   // Value: its name ("" for "@")
    bool isString = false;
    std::string data;   // Value held as a string: the text, escapes undone
};

struct RegFile {
    std::string header = "REGEDIT4";
    std::string lineEnd = "\n";  // that of the header line
    std::vector<RegEntry> entries;
};

enum class Loaded { Missing, Parsed, Broken };

bool FoldEqual(std::string_view a, std::string_view b) {
    return a.size() == b.size() && EqualFoldAZ(a.data(), b.data(), a.size());
}

// True when key is path itself or a key below it.
bool AtOrBelow(std::string_view key, std::string_view path) {
    return key.size() >= path.size() && EqualFoldAZ(key.data(), path.data(), path.size()) &&
           (key.size() == path.size() || key[path.size()] == '\\');
}

std::string_view Trim(std::string_view s) {
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    return s;
}

bool HasLineBreak(std::string_view s) { return s.find_first_of("\r\n") != std::string_view::npos; }

// Where the registry file is; empty when no location can be named.
std::string RegistryFile(bool& isDefault) {
    const char* given = std::getenv("SKINKIT_REGISTRY");
    isDefault = given == nullptr || given[0] == '\0';
    if (!isDefault) return given;
    const char* config = std::getenv("XDG_CONFIG_HOME");
    std::string base;
    if (config != nullptr && config[0] == '/') {
        base = config;
    } else {
        const char* home = std::getenv("HOME");
        if (home == nullptr || home[0] == '\0') return "";
        base = std::string(home) + "/.config";
    }
    return base + "/gravelmax-skinkit/registry.reg";
}

// Reads a quoted text starting at s[pos], undoing the "\\" and "\"" escapes;
// pos ends after the closing quote.
bool ReadQuoted(std::string_view s, std::size_t& pos, std::string& out) {
    if (pos >= s.size() || s[pos] != '"') return false;
    out.clear();
    for (++pos; pos < s.size(); ++pos) {
        char c = s[pos];
        if (c == '"') {
            ++pos;
            return true;
        }
        if (c == '\\') {
            if (++pos >= s.size() || (s[pos] != '\\' && s[pos] != '"')) return false;
            c = s[pos];
        }
        out += c;
    }
    return false;
}

std::string Quote(std::string_view text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '\\' || c == '"') out += '\\';
        out += c;
    }
    return out + '"';
}

bool ParseRegistry(std::string_view text, RegFile& file) {
    std::vector<std::string_view> lines;
    for (std::size_t start = 0; start < text.size();) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        lines.push_back(line);
        start = end + 1;
    }
    if (lines.empty() || Trim(lines[0]) != "REGEDIT4") return false;
    file.header = lines[0];
    file.lineEnd = text.substr(lines[0].size(), 2) == "\r\n" ? "\r\n" : "\n";

    std::string key;  // the key whose values follow; empty before the first
    for (std::size_t i = 1; i < lines.size(); ++i) {
        RegEntry e;
        e.text = lines[i];
        std::string_view line = Trim(lines[i]);
        if (line.empty() || line[0] == ';') {
            // blank line or comment
        } else if (line[0] == '[') {
            if (line.size() < 3 || line.back() != ']') return false;
            e.kind = RegEntry::Kind::Key;
            e.key = key = line.substr(1, line.size() - 2);
        } else if ((line[0] == '"' || line[0] == '@') && !key.empty()) {
            std::size_t pos = 1;
            if (line[0] == '"') {
                pos = 0;
                if (!ReadQuoted(line, pos, e.name)) return false;
            }
            if (pos + 1 >= line.size() || line[pos] != '=') return false;
            ++pos;
            e.kind = RegEntry::Kind::Value;
            e.key = key;
            if (line[pos] == '"') {
                if (!ReadQuoted(line, pos, e.data) || pos != line.size()) return false;
                e.isString = true;
            } else {
                // dword:, hex:..., a deletion: kept as written, with the
                // lines a trailing "\" carries it onto.
                while (!line.empty() && line.back() == '\\' && i + 1 < lines.size()) {
                    ++i;
                    e.text += '\n';
                    e.text += lines[i];
                    line = Trim(lines[i]);
                }
            }
        } else {
            return false;
        }
        file.entries.push_back(std::move(e));
    }
    return true;
}

std::string Serialize(const RegFile& file) {
    std::string out = file.header + file.lineEnd;
    for (const RegEntry& e : file.entries) {
        for (char c : e.text) {
            if (c == '\n') out += file.lineEnd;
            else out += c;
        }
        out += file.lineEnd;
    }
    return out;
}

Loaded LoadRegistry(const std::string& path, RegFile& file) {
    if (path.empty()) return Loaded::Missing;
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (f == nullptr) return errno == ENOENT || errno == ENOTDIR ? Loaded::Missing : Loaded::Broken;
    std::string text;
    char buf[4096];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) text.append(buf, n);
    bool readFailed = std::ferror(f) != 0;
    std::fclose(f);
    if (readFailed) return Loaded::Broken;
    if (text.empty()) return Loaded::Missing;  // nothing to keep
    return ParseRegistry(text, file) ? Loaded::Parsed : Loaded::Broken;
}

// Replaces the file with the new text: a temporary file beside it is written
// in full and flushed to disk, then renamed over it.
LONG SaveRegistry(const std::string& path, bool isDefault, const RegFile& file) {
    if (path.empty()) return ERROR_PATH_NOT_FOUND;
    std::string target = path;
    if (char* real = ::realpath(path.c_str(), nullptr)) {  // a linked file stays linked
        target = real;
        std::free(real);
    }
    if (isDefault) {
        std::error_code ec;
        std::filesystem::create_directories(std::filesystem::path(target).parent_path(), ec);
    }
    std::string temp = target + ".XXXXXX";
    int fd = ::mkstemp(temp.data());
    if (fd < 0) return static_cast<LONG>(ErrorCodeOf(errno, ERROR_PATH_NOT_FOUND));

    struct stat st;
    mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(fd, ::stat(target.c_str(), &st) == 0 ? (st.st_mode & 07777) : (0666 & ~mask));

    std::string text = Serialize(file);
    bool ok = true;
    for (std::size_t done = 0; ok && done < text.size();) {
        ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        ok = n > 0;
        if (ok) done += static_cast<std::size_t>(n);
    }
    ok = ok && ::fsync(fd) == 0;
    ok = (::close(fd) == 0) && ok;
    if (!ok || ::rename(temp.c_str(), target.c_str()) != 0) {
        ::unlink(temp.c_str());
        return ERROR_ACCESS_DENIED;
    }
    return ERROR_SUCCESS;
}

bool KeyListed(const RegFile& file, std::string_view path) {
    for (const RegEntry& e : file.entries)
        if (e.kind == RegEntry::Kind::Key && AtOrBelow(e.key, path)) return true;
    return false;
}

// The index of the value's last line under any listing of the key, or -1.
long FindValue(const RegFile& file, std::string_view path, std::string_view name) {
    long found = -1;
    for (std::size_t i = 0; i < file.entries.size(); ++i) {
        const RegEntry& e = file.entries[i];
        if (e.kind == RegEntry::Kind::Value && FoldEqual(e.key, path) && FoldEqual(e.name, name))
            found = static_cast<long>(i);
    }
    return found;
}

void AppendKey(RegFile& file, const std::string& path) {
    if (file.entries.empty() || !Trim(file.entries.back().text).empty()) file.entries.emplace_back();
    RegEntry e;
    e.kind = RegEntry::Kind::Key;
    e.key = path;
    e.text = "[" + path + "]";
    file.entries.push_back(std::move(e));
}

// The path and access of an open key or of the root.
bool KeyOf(HKEY key, std::string& path, REGSAM& access) {
    if (key == nullptr) return false;
    if (key == HKEY_LOCAL_MACHINE) {
        path = ROOT_NAME;
        access = KEY_ALL_ACCESS;
    } else {
        path = key->path;
        access = key->access;
    }
    return true;
}

// The full path of subKey below key. Empty parts (a leading "\" or two in a
// row) are refused; one trailing "\" is dropped.
LONG SubKeyPath(HKEY key, LPCSTR subKey, std::string& path) {
    REGSAM unused;
    if (!KeyOf(key, path, unused)) return ERROR_INVALID_HANDLE;
    std::string_view sub = subKey != nullptr ? subKey : "";
    if (!sub.empty() && sub.back() == '\\') sub.remove_suffix(1);
    if (sub.empty()) return ERROR_SUCCESS;
    if (sub.front() == '\\' || sub.find("\\\\") != std::string_view::npos || HasLineBreak(sub))
        return ERROR_BAD_PATHNAME;
    path += '\\';
    path += sub;
    return ERROR_SUCCESS;
}

LONG LoadError(Loaded loaded) { return loaded == Loaded::Broken ? ERROR_BADDB : ERROR_FILE_NOT_FOUND; }

}  // namespace

LONG RegOpenKeyExA(HKEY key, LPCSTR subKey, DWORD, REGSAM access, PHKEY result) {
    if (result == nullptr) return ERROR_INVALID_PARAMETER;
    std::string path;
    if (LONG status = SubKeyPath(key, subKey, path); status != ERROR_SUCCESS) return status;
    if (subKey != nullptr && subKey[0] != '\0') {
        bool isDefault;
        RegFile file;
        Loaded loaded = LoadRegistry(RegistryFile(isDefault), file);
        if (loaded != Loaded::Parsed) return LoadError(loaded);
        if (!KeyListed(file, path)) return ERROR_FILE_NOT_FOUND;
    }
    *result = new HKEY__{path, access};
    return ERROR_SUCCESS;
}

LONG RegQueryValueExA(HKEY key, LPCSTR valueName, LPDWORD, LPDWORD type, LPBYTE data,
                      LPDWORD dataSize) {
    std::string path;
    REGSAM access;
    if (!KeyOf(key, path, access)) return ERROR_INVALID_HANDLE;
    if ((access & KEY_QUERY_VALUE) == 0) return ERROR_ACCESS_DENIED;
    if (data != nullptr && dataSize == nullptr) return ERROR_INVALID_PARAMETER;

    bool isDefault;
    RegFile file;
    Loaded loaded = LoadRegistry(RegistryFile(isDefault), file);
    if (loaded != Loaded::Parsed) return LoadError(loaded);
    long at = FindValue(file, path, valueName != nullptr ? valueName : "");
    if (at < 0) return ERROR_FILE_NOT_FOUND;
    const RegEntry& value = file.entries[static_cast<std::size_t>(at)];
    if (!value.isString) return ERROR_UNSUPPORTED_TYPE;

    DWORD size = static_cast<DWORD>(value.data.size() + 1);
    if (type != nullptr) *type = REG_SZ;
    if (data != nullptr) {
        if (*dataSize < size) {  // the caller's buffer is left alone
            *dataSize = size;
            return ERROR_MORE_DATA;
        }
        std::memcpy(data, value.data.c_str(), size);
    }
    if (dataSize != nullptr) *dataSize = size;
    return ERROR_SUCCESS;
}

LONG RegCreateKeyExA(HKEY key, LPCSTR subKey, DWORD, LPSTR, DWORD, REGSAM access,
                     LPSECURITY_ATTRIBUTES, PHKEY result, LPDWORD disposition) {
    if (result == nullptr || subKey == nullptr) return ERROR_INVALID_PARAMETER;
    std::string path;
    if (LONG status = SubKeyPath(key, subKey, path); status != ERROR_SUCCESS) return status;

    bool isDefault;
    std::string where = RegistryFile(isDefault);
    RegFile file;
    Loaded loaded = LoadRegistry(where, file);
    if (loaded == Loaded::Broken) return ERROR_BADDB;
    bool existed = subKey[0] == '\0' || KeyListed(file, path);
    if (!existed) {
        AppendKey(file, path);
        if (LONG status = SaveRegistry(where, isDefault, file); status != ERROR_SUCCESS) return status;
    }
    if (disposition != nullptr) *disposition = existed ? REG_OPENED_EXISTING_KEY : REG_CREATED_NEW_KEY;
    *result = new HKEY__{path, access};
    return ERROR_SUCCESS;
}

LONG RegSetValueExA(HKEY key, LPCSTR valueName, DWORD, DWORD type, const BYTE* data,
                    DWORD dataSize) {
    std::string path;
    REGSAM access;
    if (!KeyOf(key, path, access)) return ERROR_INVALID_HANDLE;
    if ((access & KEY_SET_VALUE) == 0) return ERROR_ACCESS_DENIED;
    // A string, its one terminating zero at the end of the data.
    if (type != REG_SZ || data == nullptr || dataSize == 0 || data[dataSize - 1] != 0)
        return ERROR_INVALID_PARAMETER;
    std::string_view text(reinterpret_cast<const char*>(data), dataSize - 1);
    std::string_view name = valueName != nullptr ? valueName : "";
    if (text.find('\0') != std::string_view::npos || HasLineBreak(text) || HasLineBreak(name))
        return ERROR_INVALID_PARAMETER;

    bool isDefault;
    std::string where = RegistryFile(isDefault);
    RegFile file;
    if (LoadRegistry(where, file) == Loaded::Broken) return ERROR_BADDB;

    RegEntry value;
    value.kind = RegEntry::Kind::Value;
    value.key = path;
    value.name = name;
    value.isString = true;
    value.data = text;
    value.text = (name.empty() ? std::string("@") : Quote(name)) + "=" + Quote(text);

    if (long at = FindValue(file, path, name); at >= 0) {
        RegEntry& listed = file.entries[static_cast<std::size_t>(at)];
        value.name = listed.name;  // the name keeps the spelling it is listed with
        value.text = (value.name.empty() ? std::string("@") : Quote(value.name)) + "=" + Quote(text);
        listed = std::move(value);
    } else {
        // After the last line of the key's last listing; a key not listed
        // itself gets a listing of its own at the end.
        long last = -1;
        bool inKey = false;
        for (std::size_t i = 0; i < file.entries.size(); ++i) {
            const RegEntry& e = file.entries[i];
            if (e.kind == RegEntry::Kind::Key) inKey = FoldEqual(e.key, path);
            if (inKey && e.kind != RegEntry::Kind::Other) last = static_cast<long>(i);
        }
        if (last < 0) {
            AppendKey(file, path);
            file.entries.push_back(std::move(value));
        } else {
            file.entries.insert(file.entries.begin() + last + 1, std::move(value));
        }
    }
    return SaveRegistry(where, isDefault, file);
}

LONG RegCloseKey(HKEY key) {
    if (key == nullptr) return ERROR_INVALID_HANDLE;
    if (key != HKEY_LOCAL_MACHINE) delete key;
    return ERROR_SUCCESS;
}
