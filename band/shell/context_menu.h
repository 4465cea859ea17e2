// The band's four commands on the shell's context menu.
#pragma once

#include <windows.h>
#include <shlobj.h>

struct MeterBand;

enum BandCommand {
    SettingsCommand = 0,
    AnimateCommand = 1,
    HideInvalidCommand = 2,
    AboutCommand = 3,
    BandCommandCount = 4,
};

HRESULT QueryBandMenu(MeterBand* band, HMENU menu, UINT index, UINT firstId, UINT flags);
HRESULT InvokeBandCommand(MeterBand* band, const CMINVOKECOMMANDINFO* info);
HRESULT BandCommandString(UINT_PTR command, UINT type, LPSTR name, UINT capacity);
