// FFF archives: registration into the process-wide archive table.
//
// Layout (little-endian): 24 bytes that nothing interprets, the 32-bit length
// of the entry table in bytes, then the table of 136-byte records (name of up
// to 127 characters with "/" between folders, 32-bit offset, 32-bit size).
// Data lies anywhere in the file; only opened entries are read.
//
// Rules:
//  - The archive registered first is searched first; within one archive the
//    first entry in table order wins. Names need not be unique.
//  - An archive that cannot be opened is skipped in silence: a missing
//    archive is not an error. So is a path of 256 characters or more, and a
//    registration beyond the ten slots of the table.
//  - A damaged archive ends the process (FatalError): a header shorter than 28
//    bytes, or an entry table that runs past the end of the file.
//  - The whole table is read in one read and each name hashed once; the file
//    stays open until CloseArchives, so opening an entry costs one seek.
#pragma once

void RegisterFFF(const char* path);
