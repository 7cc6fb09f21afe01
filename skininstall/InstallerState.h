// Installer state: the values the driver fills and the vehicle configuration
// rewrite reads. Process-wide, zero-filled at start, one thread.
//
//  - InstallPath: the game folder from the registry, at most 255 characters,
//    one trailing backslash cut.
//  - CarName: the skin's car; blanks stay until the configuration has been
//    updated, then become underscores (the folder names use them).
//  - SkinName: never altered. SkinDirName: blanks become underscores as soon
//    as it is read.
//  - VehicleCfgPath / VehicleOldPath: the live configuration and its backup.
//  - SingleSkinDir / MultiSkinDir: work buffers while the folders are made,
//    then the targets of the skin file copies.
//  - CurrentCfgReader lends the reader in use; its creator owns and destroys
//    it.
#pragma once

#include <cstddef>

class CfgReader;

constexpr std::size_t STATE_NAME_SIZE = 256;
constexpr std::size_t STATE_PATH_SIZE = 1024;

extern char InstallPath[STATE_PATH_SIZE];
extern char CarName[STATE_NAME_SIZE];
extern char SkinName[STATE_NAME_SIZE];
extern char SkinDirName[STATE_NAME_SIZE];
extern char VehicleCfgPath[STATE_PATH_SIZE];
extern char VehicleOldPath[STATE_PATH_SIZE];
extern char SingleSkinDir[STATE_PATH_SIZE];
extern char MultiSkinDir[STATE_PATH_SIZE];
extern CfgReader* CurrentCfgReader;
