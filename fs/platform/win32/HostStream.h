// Stream calls of the file core's hot paths. Both programs run one thread, so
// the no-lock forms of the C runtime are safe and save a lock per byte.
#pragma once

#include <cstddef>
#include <cstdio>

inline int HostPutByte(int c, std::FILE* f) { return _fputc_nolock(c, f); }
inline std::size_t HostWriteItem(const void* data, std::size_t n, std::FILE* f) {
    return _fwrite_nolock(data, n, 1, f);
}
inline std::size_t HostReadBytes(void* data, std::size_t n, std::FILE* f) {
    return _fread_nolock(data, 1, n, f);
}
