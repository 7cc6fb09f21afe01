// Stream calls of the file core's hot paths. Both programs run one thread, so
// the unlocked forms are safe and save a lock per byte.
#pragma once

#include <cstddef>
#include <cstdio>

inline int HostPutByte(int c, std::FILE* f) { return putc_unlocked(c, f); }
inline std::size_t HostWriteItem(const void* data, std::size_t n, std::FILE* f) {
    return fwrite_unlocked(data, n, 1, f);
}
inline std::size_t HostReadBytes(void* data, std::size_t n, std::FILE* f) {
    return fread_unlocked(data, 1, n, f);
}
