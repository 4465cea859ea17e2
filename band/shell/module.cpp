#include "module.h"

#include "meter_band.h"

HINSTANCE moduleInstance;
LONG objectCount;

void InitMeterBandFields(MeterBand* band) {
    ZeroMemory(band, sizeof(*band));
    band->refCount = 1;
    band->animate = TRUE;
    band->columns = 1;
    band->rows = 1;
}
