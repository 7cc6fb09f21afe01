// A fault injector for end-to-end runs of the built programs: a shared
// library that the test puts into LD_PRELOAD of the child process. It wraps
// fopen (and fopen64), the one call through which the file layer and the
// registry stand-in open their streams, so the program under test is the
// very binary that ships, unchanged.
//
// Rules come from the environment variable SKINKIT_FAULTS, separated by ";":
//
//     MODE:NAME:WHICH:ACTION
//
//  - MODE: "r" for a read-open (a mode starting with "r"), "w" for a
//    write-open (a mode starting with "w" or "a").
//  - NAME: the opened file's own name (the part after the last "/"), with
//    A to Z folded; the folder does not count.
//  - WHICH: "*" for every open of that mode and name, or n for the n-th one
//    (from 1; opens of that mode and name are counted per process).
//  - ACTION: "deny": the open fails with EACCES, as for a file the user may
//    not read or write. A number N: the open succeeds on the real file, and
//    the stream handed back passes the first N bytes through to it; after
//    them every write fails with ENOSPC (the disk is full, the file keeps
//    exactly N bytes) and every read fails with EIO.
//  The first rule that applies to an open decides; an open no rule names
//  goes to the C library untouched.
//
// A limited stream is a stdio stream of our own (fopencookie) over a file
// descriptor of the real file, so buffering, the error flag, fflush and
// fclose behave as the C library makes them. Such a stream has no fileno.
//
// When SKINKIT_FAULT_LOG names a file, each rule that takes effect appends a
// line there, so a test can prove its fault fired where it meant it to:
//     "w Vehicle.cfg #1 denied"
//     "w Vehicle.cfg #1 limited to 100 bytes"
//     "w Vehicle.cfg #1 failed after 100 bytes"   (the first call cut short
//                                                  or refused)
//
// Under AddressSanitizer the sanitizer wants to come first among the loaded
// libraries; the child then needs ASAN_OPTIONS=verify_asan_link_order=0.
// The sanitizer's own fopen is the next one after ours, so it still sees
// every open.
#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr int MAX_RULES = 8;
constexpr std::size_t NAME_SIZE = 256;

struct Rule {
    char mode = 0;            // 'r' or 'w'
    char name[NAME_SIZE] = {};
    long which = 0;           // 0: every open
    bool deny = false;
    long long limit = 0;      // bytes passed through when not denied
    long seen = 0;            // opens of this mode and name so far
};

Rule rules[MAX_RULES];
int ruleCount = -1;  // -1: SKINKIT_FAULTS not read yet

bool SameFolded(const char* a, const char* b) {
    for (;; ++a, ++b) {
        unsigned char x = static_cast<unsigned char>(*a), y = static_cast<unsigned char>(*b);
        if (x >= 'A' && x <= 'Z') x += 0x20;
        if (y >= 'A' && y <= 'Z') y += 0x20;
        if (x != y) return false;
        if (x == 0) return true;
    }
}

// Parses one "MODE:NAME:WHICH:ACTION" of length n; false when malformed.
bool ParseRule(const char* text, std::size_t n, Rule& rule) {
    const char* end = text + n;
    const char* field[4];
    std::size_t length[4];
    const char* p = text;
    for (int i = 0; i < 4; ++i) {
        const char* colon = static_cast<const char*>(std::memchr(p, ':', static_cast<std::size_t>(end - p)));
        if (i < 3 && colon == nullptr) return false;
        if (i == 3) colon = end;
        field[i] = p;
        length[i] = static_cast<std::size_t>(colon - p);
        p = colon + 1;
    }
    if (length[0] != 1 || (field[0][0] != 'r' && field[0][0] != 'w')) return false;
    if (length[1] == 0 || length[1] >= NAME_SIZE) return false;
    rule.mode = field[0][0];
    std::memcpy(rule.name, field[1], length[1]);
    rule.name[length[1]] = '\0';

    char number[32];
    if (length[2] == 1 && field[2][0] == '*') {
        rule.which = 0;
    } else {
        if (length[2] == 0 || length[2] >= sizeof number) return false;
        std::memcpy(number, field[2], length[2]);
        number[length[2]] = '\0';
        char* stop;
        rule.which = std::strtol(number, &stop, 10);
        if (*stop != '\0' || rule.which < 1) return false;
    }
    if (length[3] == 4 && std::memcmp(field[3], "deny", 4) == 0) {
        rule.deny = true;
    } else {
        if (length[3] == 0 || length[3] >= sizeof number) return false;
        std::memcpy(number, field[3], length[3]);
        number[length[3]] = '\0';
        char* stop;
        rule.limit = std::strtoll(number, &stop, 10);
        if (*stop != '\0' || rule.limit < 0) return false;
    }
    return true;
}

// A malformed SKINKIT_FAULTS ends the process at once: a test that means to
// inject a fault must not pass because none was injected.
void ReadRules() {
    if (ruleCount >= 0) return;
    ruleCount = 0;
    const char* text = std::getenv("SKINKIT_FAULTS");
    if (text == nullptr) return;
    while (*text != '\0') {
        const char* semi = std::strchr(text, ';');
        std::size_t n = semi ? static_cast<std::size_t>(semi - text) : std::strlen(text);
        if (n > 0) {
            if (ruleCount == MAX_RULES || !ParseRule(text, n, rules[ruleCount])) {
                static const char message[] = "fault_inject: malformed SKINKIT_FAULTS\n";
                (void)!::write(2, message, sizeof message - 1);
                ::_exit(125);
            }
            ++ruleCount;
        }
        text += n;
        if (*text == ';') ++text;
    }
}

// Appends one line to the log named by SKINKIT_FAULT_LOG, if any. Plain
// system calls: no stream of the process is touched.
void Log(const Rule& rule, long n, const char* what, long long bytes) {
    const char* path = std::getenv("SKINKIT_FAULT_LOG");
    if (path == nullptr || path[0] == '\0') return;
    char line[NAME_SIZE + 96];
    int length = bytes < 0 ? std::snprintf(line, sizeof line, "%c %s #%ld %s\n", rule.mode, rule.name, n, what)
                           : std::snprintf(line, sizeof line, "%c %s #%ld %s %lld bytes\n", rule.mode, rule.name,
                                           n, what, bytes);
    int fd = ::open(path, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666);
    if (fd < 0) return;
    if (length > 0) (void)!::write(fd, line, static_cast<std::size_t>(length));
    ::close(fd);
}

// --- The limited stream ---------------------------------------------------------

struct Limited {
    int fd;
    long long left;  // bytes still passed through
    long long passed;
    bool failed;     // the failure has been logged
    const Rule* rule;
    long n;
};

void NoteFailure(Limited* s) {
    if (!s->failed) Log(*s->rule, s->n, "failed after", s->passed);
    s->failed = true;
}

ssize_t LimitedRead(void* cookie, char* buffer, std::size_t size) {
    Limited* s = static_cast<Limited*>(cookie);
    if (size == 0) return 0;
    if (s->left == 0) {
        NoteFailure(s);
        errno = EIO;
        return -1;
    }
    std::size_t n = static_cast<unsigned long long>(s->left) < size ? static_cast<std::size_t>(s->left) : size;
    ssize_t got = ::read(s->fd, buffer, n);
    if (got > 0) {
        s->left -= got;
        s->passed += got;
    }
    return got;
}

ssize_t LimitedWrite(void* cookie, const char* data, std::size_t size) {
    Limited* s = static_cast<Limited*>(cookie);
    if (size == 0) return 0;
    if (s->left == 0) {
        NoteFailure(s);
        errno = ENOSPC;
        return -1;
    }
    std::size_t n = static_cast<unsigned long long>(s->left) < size ? static_cast<std::size_t>(s->left) : size;
    ssize_t put = ::write(s->fd, data, n);
    if (put > 0) {
        s->left -= put;
        s->passed += put;
    }
    // A write cut short is where the disk ran full: the C library marks the
    // stream failed and may not call again.
    if (put >= 0 && static_cast<std::size_t>(put) < size && s->left == 0) NoteFailure(s);
    return put;
}

int LimitedSeek(void* cookie, off64_t* position, int whence) {
    Limited* s = static_cast<Limited*>(cookie);
    off64_t at = ::lseek64(s->fd, *position, whence);
    if (at < 0) return -1;
    *position = at;
    return 0;
}

int LimitedClose(void* cookie) {
    Limited* s = static_cast<Limited*>(cookie);
    int result = ::close(s->fd);
    std::free(s);
    return result;
}

FILE* OpenLimited(const char* path, const char* mode, const Rule& rule, long n) {
    bool plus = std::strchr(mode, '+') != nullptr;
    int flags = O_CLOEXEC;
    if (mode[0] == 'r') flags |= plus ? O_RDWR : O_RDONLY;
    else if (mode[0] == 'w') flags |= (plus ? O_RDWR : O_WRONLY) | O_CREAT | O_TRUNC;
    else flags |= (plus ? O_RDWR : O_WRONLY) | O_CREAT | O_APPEND;
    int fd = ::open(path, flags, 0666);
    if (fd < 0) return nullptr;
    Limited* s = static_cast<Limited*>(std::malloc(sizeof(Limited)));
    if (s == nullptr) {
        ::close(fd);
        errno = ENOMEM;
        return nullptr;
    }
    *s = Limited{fd, rule.limit, 0, false, &rule, n};
    cookie_io_functions_t io = {LimitedRead, LimitedWrite, LimitedSeek, LimitedClose};
    FILE* f = ::fopencookie(s, mode, io);
    if (f == nullptr) {
        ::close(fd);
        std::free(s);
        return nullptr;
    }
    Log(rule, n, "limited to", rule.limit);
    return f;
}

using OpenFn = FILE* (*)(const char*, const char*);

// Applies the rules to one open; the real open when none applies.
FILE* Open(const char* path, const char* mode, const char* realName) {
    ReadRules();
    char kind = 0;
    if (path != nullptr && mode != nullptr) {
        if (mode[0] == 'r') kind = 'r';
        if (mode[0] == 'w' || mode[0] == 'a') kind = 'w';
    }
    if (kind != 0 && ruleCount > 0) {
        const char* slash = std::strrchr(path, '/');
        const char* name = slash ? slash + 1 : path;
        const Rule* chosen = nullptr;
        long n = 0;
        for (int i = 0; i < ruleCount; ++i) {
            Rule& rule = rules[i];
            if (rule.mode != kind || !SameFolded(rule.name, name)) continue;
            ++rule.seen;
            if (chosen == nullptr && (rule.which == 0 || rule.which == rule.seen)) {
                chosen = &rule;
                n = rule.seen;
            }
        }
        if (chosen != nullptr) {
            if (chosen->deny) {
                Log(*chosen, n, "denied", -1);
                errno = EACCES;
                return nullptr;
            }
            return OpenLimited(path, mode, *chosen, n);
        }
    }
    OpenFn real = reinterpret_cast<OpenFn>(::dlsym(RTLD_NEXT, realName));
    if (real == nullptr) {
        errno = ENOSYS;
        return nullptr;
    }
    return real(path, mode);
}

}  // namespace

extern "C" FILE* fopen(const char* path, const char* mode) { return Open(path, mode, "fopen"); }
extern "C" FILE* fopen64(const char* path, const char* mode) { return Open(path, mode, "fopen64"); }
