#include "context_menu.h"

#include <commctrl.h>

#include "../resources/resource.h"
#include "../settings/settings_dialog.h"
#include "../window/band_window.h"
#include "about_box.h"
#include "meter_band.h"
#include "module.h"

namespace {

const char* const menuTexts[BandCommandCount] = {
    "Veltrimのプロパティ",
    "アニメーションを行う",
    "無効なメータを非表示に",
    "About Veltrim...",
};

void RunSettings(MeterBand* band) {
    // The dialog's state is module-wide: a second request shows the open dialog instead.
    if (HWND open = OpenSettingsDialog()) {
        SetForegroundWindow(open);
        return;
    }
    if (band->timerId != 0) {
        KillTimer(band->window, band->timerId);
        band->timerId = 0;
    }
    SyncTooltips(band, TTM_DELTOOLA);
    // Whatever the button (a dialog that cannot be shown counts as cancelled), the labels may
    // have changed meanwhile: the whole band is painted again.
    DialogBoxParamA(moduleInstance, MAKEINTRESOURCEA(IDD_SETTINGS), nullptr, SettingsDialogProc,
                    reinterpret_cast<LPARAM>(&band->meters));
    AdoptMeterList(band, true);
}

void ShowAbout(MeterBand* band) {
    // Its link labels are module-wide: a second request shows the open box instead.
    if (HWND open = OpenAboutBox()) {
        SetForegroundWindow(open);
        return;
    }
    DialogBoxParamA(moduleInstance, MAKEINTRESOURCEA(IDD_ABOUT), band->window, AboutDialogProc, 0);
}

void ToggleHideInvalid(MeterBand* band) {
    band->hideInvalid = !band->hideInvalid;
    if (band->hideInvalid) {
        return; // meters leave the grid as the 60-second rule catches them
    }
    for (Meter* meter = band->meters; meter; meter = meter->next) {
        meter->visible = 1;
    }
    band->layoutDirty = TRUE;
    SyncTooltips(band, TTM_SETTOOLINFOA);
    UpdateLayout(band);
    if (band->window) {
        InvalidateRect(band->window, nullptr, TRUE);
    }
}

HRESULT CopyCommandText(const char* text, LPSTR name, UINT capacity) {
    if (!name) {
        return E_INVALIDARG;
    }
    if (capacity == 0) {
        return S_OK;
    }
    UINT i = 0;
    for (; text[i] && i + 1 < capacity; ++i) {
        name[i] = text[i];
    }
    name[i] = '\0';
    return S_OK;
}

} // namespace

HRESULT QueryBandMenu(MeterBand* band, HMENU menu, UINT index, UINT firstId, UINT flags) {
    if (flags & CMF_DEFAULTONLY) {
        return MAKE_HRESULT(SEVERITY_SUCCESS, FACILITY_NULL, 0);
    }
    // Each insertion goes to the same position, so the menu reads 0, 1, 2, 3, separator.
    InsertMenuA(menu, index, MF_BYPOSITION | MF_SEPARATOR, 0, nullptr);
    for (int offset = AboutCommand; offset >= SettingsCommand; --offset) {
        InsertMenuA(menu, index, MF_BYPOSITION | MF_STRING, firstId + offset, menuTexts[offset]);
    }
    CheckMenuItem(menu, firstId + AnimateCommand,
                  MF_BYCOMMAND | (band->animate ? MF_CHECKED : MF_UNCHECKED));
    CheckMenuItem(menu, firstId + HideInvalidCommand,
                  MF_BYCOMMAND | (band->hideInvalid ? MF_CHECKED : MF_UNCHECKED));
    return MAKE_HRESULT(SEVERITY_SUCCESS, FACILITY_NULL, BandCommandCount);
}

HRESULT InvokeBandCommand(MeterBand* band, const CMINVOKECOMMANDINFO* info) {
    if (!info) {
        return E_INVALIDARG;
    }
    const UINT_PTR verb = reinterpret_cast<UINT_PTR>(info->lpVerb);
    if ((verb >> 16) != 0) {
        return E_INVALIDARG; // a verb given as a string
    }
    switch (verb) {
    case SettingsCommand:
        RunSettings(band);
        return S_OK;
    case AnimateCommand:
        band->animate = !band->animate;
        return S_OK;
    case HideInvalidCommand:
        ToggleHideInvalid(band);
        return S_OK;
    case AboutCommand:
        ShowAbout(band);
        return S_OK;
    default:
        return E_INVALIDARG;
    }
}

HRESULT BandCommandString(UINT_PTR command, UINT type, LPSTR name, UINT capacity) {
    switch (type) {
    case GCS_VERBA:
        return command == SettingsCommand ? CopyCommandText("command", name, capacity)
                                          : E_INVALIDARG;
    case GCS_HELPTEXTA:
        return command == SettingsCommand
                   ? CopyCommandText("Veltrim command help text", name, capacity)
                   : E_INVALIDARG;
    case GCS_VALIDATEA:
        return S_OK;
    default:
        return E_INVALIDARG;
    }
}
