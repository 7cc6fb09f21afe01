// The platform layer: everything that differs between Windows and other hosts.
// One implementation file per platform provides these; the file core, the
// archives and the host helpers call nothing else of the host.
//
// Paths given here use "\" between folders, as the file layer builds them.
// On Windows they go to the host unchanged. Elsewhere the layer behaves like a
// Windows file system: "\" separates folders, and each folder or file name is
// matched without regard to the case of A to Z against what exists, so
// "cfg\vehicle.CFG" opens Cfg/Vehicle.cfg. A name that does not exist keeps the
// case it was given (that is the name a write creates).
#pragma once

#include <cstddef>
#include <cstdio>

// Opens a host stream for the path in the given stdio mode ("rb" or "wb").
// Returns null when the file cannot be opened.
std::FILE* OpenHostFile(const char* path, const char* mode);

// A hint that the size bytes at data, freshly allocated, are about to be
// filled whole (an archive's entry table): the host may back them with large
// pages. Changes nothing that anybody can observe but the time.
void AdviseLargeBlock(void* data, std::size_t size);
