// The Windows calls the host helpers are written over: on Windows, the host's
// own, from its system header (lean, and without the min/max macros).
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
