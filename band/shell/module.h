// State shared by every band object of the process.
#pragma once

#include <windows.h>

extern HINSTANCE moduleInstance;
// Live factories and band objects; the DLL may unload when it is 0.
extern LONG objectCount;
