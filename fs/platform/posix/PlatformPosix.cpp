// The platform layer on hosts other than Windows.
//
// Files: a path from the file layer uses "\" between folders; here each "\"
// becomes "/" and every folder and file name is matched against what exists
// without regard to the case of A to Z, the way a Windows file system matches
// names. The exact spelling is tried first; only a miss reads the folder. A
// name that exists in no case keeps the case it was given, so a write creates
// it as spelled. A path that begins with "\" (or "/") starts at the root.
// A folder never opens as a file.
#include <dirent.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "Platform.h"

namespace {

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
