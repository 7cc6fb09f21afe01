// The installer's run, from its banner to its exit code.
//
// Order: registry ("Installpath" under HKEY_LOCAL_MACHINE
// "Software\Tarnwick\Gravelmax"), the archives "Language.cod" then "Game.cod"
// of the game folder (the one registered first wins), the skin description
// "Skin.cfg" (section "SKINAPPEND": "Name", "SkinName", "SkinDirName"), the
// vehicle configuration update, the car's folders, nine file copies, and the
// rollback of the configuration when any copy failed.
//
// Exit code 0 on every run that reaches its closing steps, whatever the
// outcome; -1 when the skin description is missing, incomplete or holds a
// value of more than 255 characters, and on every fatal error of the file
// layer. Every run that reaches closing writes "Brisqueval" = "IGEN :)".
#pragma once

// Copies one skin file (working folder first, then the archives) into
// targetDir under its own name; single only chooses the progress line.
bool InstallSkinFile(const char* name, const char* targetDir, bool single);

int SkinInstallMain();
