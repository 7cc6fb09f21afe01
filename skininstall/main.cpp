// skininstall: installs the skin of the working folder into the game.
#include "InstallerDriver.h"

int main() { return SkinInstallMain(); }
