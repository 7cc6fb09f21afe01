// Vehicle configuration rewrite: adds one skin to one car of the game's
// vehicle configuration, keeps the old file as a backup, and can put it back.
//
// Rules:
//  - The new configuration is written to "vehicle.tmp" in the working folder:
//    the sections Car0, Car1, ... up to the first one without a "Name", each
//    with the same eighteen keys in a fixed order (a missing key gives an
//    empty line "Key="; other keys, sections and text are not carried over).
//  - A section whose Name equals the skin's car (A to Z folded) gets the skin
//    appended to its "Color" list and its folder to its "DirName" list, after
//    these checks: the lists are of equal length, fewer than 9 skins, no item
//    over 255 characters, at most 100 items, the skin name not listed (case
//    counts) and the folder not listed (A to Z folded). A failed check leaves
//    the live configuration and the backup untouched.
//  - The live configuration is replaced only after "vehicle.tmp" and the
//    backup "Cfg\Vehicle.old" were both written whole; it is rewritten (and
//    backed up) even when no car matched, which is then reported.
//  - A replacement that falls short is undone from the backup; when even
//    that fails, the user is told which file to copy back by hand.
//  - Files of any size are copied whole, through one 256 KiB work buffer.
#pragma once

class FileHandle;

bool UpdateVehicleCfg();
void CopyCfgKey(FileHandle* temp, const char* key);
void RestoreVehicleCfg();

// The temporary configuration, in the working folder.
inline constexpr const char* VEHICLE_TEMP_NAME = "vehicle.tmp";
