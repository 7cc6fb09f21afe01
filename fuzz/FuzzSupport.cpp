// Scratch folder, file helpers and the checked run of inputs that must end
// the process; the rules are stated in FuzzSupport.h.
#include "FuzzSupport.h"

#include <sanitizer/lsan_interface.h>
#include <stdlib.h>

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace fuzzsupport {

namespace {

std::filesystem::path scratch;

void RemoveScratch() {
    std::error_code ignored;
    if (!scratch.empty()) std::filesystem::remove_all(scratch, ignored);
}

// What __wrap_exit throws inside ExpectFatalEnd.
struct FatalEnd {
    int status;
};

int catchingFatalEnds = 0;

}  // namespace

void EnterScratchFolder(const char* targetName) {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base != nullptr && base[0] != '\0' ? base : "/tmp") +
                          "/skinkit-fuzz-" + targetName + "-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) Fail("cannot make a scratch folder from %s", pattern.c_str());
    scratch = pattern;
    std::filesystem::current_path(scratch);
    std::atexit(RemoveScratch);
    if (std::freopen("/dev/null", "w", stdout) == nullptr) Fail("cannot silence standard output");
}

void WriteFile(const char* name, const std::uint8_t* data, std::size_t size) {
    std::ofstream out(name, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    if (!out) Fail("cannot write %s", name);
}

void WriteFile(const char* name, std::string_view data) {
    WriteFile(name, reinterpret_cast<const std::uint8_t*>(data.data()), data.size());
}

bool ReadFile(const char* name, std::string& out) {
    std::ifstream in(name, std::ios::binary);
    if (!in) return false;
    out.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return true;
}

bool FileExists(const char* name) { return std::filesystem::exists(name); }

void RemoveFile(const char* name) { std::remove(name); }

void Fail(const char* format, ...) {
    std::fflush(stdout);
    std::fputs("fuzz harness: ", stderr);
    va_list args;
    va_start(args, format);
    std::vfprintf(stderr, format, args);
    va_end(args);
    std::fputc('\n', stderr);
    std::abort();
}

void ExpectFatalEnd(const char* what, const std::function<void()>& body) {
    // What the fatal path allocates would be freed by the end of the process:
    // the leak check ignores it, as it would after a real exit.
    ++catchingFatalEnds;
    __lsan_disable();
    try {
        body();
    } catch (const FatalEnd& end) {
        __lsan_enable();
        --catchingFatalEnds;
        if (end.status != -1) Fail("%s: the process ended with exit code %d instead of -1", what, end.status);
        return;
    }
    __lsan_enable();
    --catchingFatalEnds;
    Fail("%s: returned normally, but the rules say the process ends", what);
}

}  // namespace fuzzsupport

extern "C" [[noreturn]] void __real_exit(int status);

// Every call of exit in the fuzz targets comes here (--wrap=exit).
extern "C" [[noreturn]] void __wrap_exit(int status) {
    if (fuzzsupport::catchingFatalEnds > 0) throw fuzzsupport::FatalEnd{status};
    __real_exit(status);
}
