// What every fuzz target shares: a scratch folder to work in, whole-file
// helpers, and the way a target tells an expected fatal end of the file layer
// apart from a crash.
//
// How fatal ends are told apart from crashes, fast and without hiding any:
//  - The file layer ends the process with exit(-1) (FatalError), and so do
//    the programs' own refusals (an unsupported texture, say). libFuzzer
//    counts any exit inside an input as a finding ("fuzz target exited").
//  - Each target first decides, from the documented rules alone, whether the
//    input must end the process (a damaged archive header, a texture type
//    that is refused, a read-open of a name found nowhere). Inputs that must
//    not end it simply run; should the code call exit after all, libFuzzer
//    reports it with the stack and keeps the input.
//  - Inputs that must end the process run through ExpectFatalEnd. The fuzz
//    targets are linked with --wrap=exit, so every call of exit from the
//    kit's code reaches our __wrap_exit: inside ExpectFatalEnd it throws a
//    FatalEnd carrying the exit code, which ExpectFatalEnd catches and checks
//    (-1 is the expected end); everywhere else it is the real exit. A crash
//    or sanitizer report on the way stays a crash; returning normally when
//    the rules say the process ends, or another exit code, makes the harness
//    abort, so libFuzzer records the input.
//  - So no input forks (a fork of a sanitized process costs about 10 ms), the
//    fatal paths run at full speed and their coverage counts.
//  - Unwinding is not a real exit: it runs some destructors that exit would
//    skip, and skips those of frames the compiler knows cannot throw (exit is
//    noexcept). What the fatal path allocates is therefore left out of the
//    leak check, as the end of the process frees it too; every path that
//    returns is leak-checked in full. Should a frame refuse to be unwound,
//    std::terminate aborts: a crash with its stack, never a pass.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace fuzzsupport {

// Makes a fresh folder under $TMPDIR (or /tmp), makes it the working folder
// for the rest of the run and removes it at a normal end. Standard output,
// where the programs print their progress lines, goes to /dev/null, so the
// fuzzer's own report (on standard error) stays readable.
void EnterScratchFolder(const char* targetName);

void WriteFile(const char* name, const std::uint8_t* data, std::size_t size);
void WriteFile(const char* name, std::string_view data);
// The whole file; false when it cannot be opened.
bool ReadFile(const char* name, std::string& out);
bool FileExists(const char* name);
void RemoveFile(const char* name);

// Prints "fuzz harness: <message>" to standard error and aborts: a finding.
[[noreturn]] void Fail(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Runs body and requires it to end the process with exit code -1; see the
// module comment. what names the case in a failure message.
void ExpectFatalEnd(const char* what, const std::function<void()>& body);

}  // namespace fuzzsupport
