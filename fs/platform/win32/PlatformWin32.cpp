// The platform layer on Windows: the host's own calls, unchanged. Windows
// takes "\" between folders and matches names without regard to case, which
// is what the file layer expects.
#include "Platform.h"

std::FILE* OpenHostFile(const char* path, const char* mode) { return std::fopen(path, mode); }

// Windows keeps its own counsel on large pages for ordinary allocations.
void AdviseLargeBlock(void*, std::size_t) {}
