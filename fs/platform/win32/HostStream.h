// Stream calls of the file core's hot paths. Both programs run one thread, so
// the no-lock form of the C runtime's character write is safe and saves a lock
// per byte. Block reads and writes take the runtime's lock once per call,
// which costs nothing worth saving (msvcrt.dll, which MinGW-w64 targets, has
// no no-lock forms of them).
#pragma once

#include <cstddef>
#include <cstdio>

inline int HostPutByte(int c, std::FILE* f) { return _fputc_nolock(c, f); }
inline std::size_t HostWriteItem(const void* data, std::size_t n, std::FILE* f) {
    return std::fwrite(data, n, 1, f);
}
inline std::size_t HostReadBytes(void* data, std::size_t n, std::FILE* f) {
    return std::fread(data, 1, n, f);
}
