// The desk band COM object and the class it belongs to.
#pragma once

#include <windows.h>

#include "meter_band.h"

// The one class this DLL serves.
extern const CLSID CLSID_VeltrimBand;

// A new band with reference count 1; null when memory runs out.
MeterBand* NewMeterBand();
// The band's primary interface (IUnknown, IOleWindow, IDockingWindow, IDeskBand).
IUnknown* BandUnknown(MeterBand* band);
