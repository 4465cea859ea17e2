// The band object's record. Its COM interfaces are tables of functions reached through the
// five pointers at its start; the fields after them are the band's state.
#pragma once

#include <windows.h>
#include <shlobj.h>

#include "../meters/meter.h"
#include "../window/paint_meters.h"

struct MeterBand {
    // Interface tables in this order: IDeskBand (primary), IInputObject, IObjectWithSite,
    // IPersistStream, IContextMenu.
    const void* deskBandTable;
    const void* inputObjectTable;
    const void* objectWithSiteTable;
    const void* persistStreamTable;
    const void* contextMenuTable;

    LONG refCount;
    Meter* meters;
    UINT_PTR timerId;
    int cellHeight;
    int fontHeight;
    HFONT font;
    BOOL layoutDirty;
    BOOL animate;
    BOOL hideInvalid;
    int visibleCount;
    int columns;
    int rows;
    BOOL hasFocus;
    HWND parentWindow;
    HWND window;
    HWND tooltipWindow;
    DWORD viewMode;
    DWORD bandId;
    IInputObjectSite* site;
    // The statistics data key, opened on the first sample and kept while it reads.
    HKEY statisticsData;
    BandPicture picture;
};

// A band record with the initial field values (reference count 1, animation on, a 1 x 1 grid).
void InitMeterBandFields(MeterBand* band);

// The band window gained (TRUE) or lost (FALSE) the keyboard focus: records hasFocus and, when a
// site is held, tells it through OnFocusChangeIS with the band's primary interface.
void NotifyFocus(MeterBand* band, BOOL flag);
