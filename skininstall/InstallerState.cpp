#include "InstallerState.h"

char InstallPath[STATE_PATH_SIZE];
char CarName[STATE_NAME_SIZE];
char SkinName[STATE_NAME_SIZE];
char SkinDirName[STATE_NAME_SIZE];
char VehicleCfgPath[STATE_PATH_SIZE];
char VehicleOldPath[STATE_PATH_SIZE];
char SingleSkinDir[STATE_PATH_SIZE];
char MultiSkinDir[STATE_PATH_SIZE];
CfgReader* CurrentCfgReader = nullptr;
