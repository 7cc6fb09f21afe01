// Host helpers: the four operations on the host that the file core lacks,
// used by the installer. Each is one plain call that keeps no state, prints
// nothing and never ends the process.
//
//  - ReadRegistryString: true when the key opens (the value may still be
//    missing), false when it does not. The value's text lands in the caller's
//    buffer of at least REGISTRY_READ_SIZE bytes and always ends in a zero
//    within them. A missing value, or one that does not fit (more than 255
//    characters), leaves the buffer as it was, so a caller that hands over a
//    zero-filled buffer gets an empty text in both cases.
//  - WriteRegistryString: opens the key, creating it and any missing keys
//    above it, and stores the text as a string value (its size counts the
//    terminating zero). A key that cannot be opened or created means nothing
//    is written; nothing is reported either way.
//  - Both registry helpers look at the 32-bit view of the registry, where a
//    32-bit installer leaves the game's key, whatever the width of this build.
//  - MakeDirectory: creates one folder whose parent exists; an existing
//    folder, a missing parent or any other failure passes in silence. The path
//    is handed to the host unchanged.
//  - RemoveFile: deletes one file; "/" in the name counts as "\". Failures go
//    to the debug log only. Names are at most 255 characters; a longer one is
//    refused rather than cut, so it never deletes a different file.
#pragma once

#include <cstddef>

#include "WinApi.h"

// The most a registry read places in the caller's buffer, zero included.
constexpr std::size_t REGISTRY_READ_SIZE = 256;

bool ReadRegistryString(HKEY root, const char* subKey, const char* valueName, char* buffer);
void WriteRegistryString(HKEY root, const char* subKey, const char* valueName, const char* text);
void MakeDirectory(const char* path);
void RemoveFile(const char* name);
