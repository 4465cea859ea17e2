// What the benchmark programs share: statistics to read, a mixed set of meters, medians.
#pragma once

#include <windows.h>

#include <vector>

#include "meters/meter.h"

// Four statistics in HKEY_DYN_DATA with their descriptions; the fourth is a running total.
void PublishStatistics();
// Meter number `position` of a list that cycles through statistics, memory, resources, drive C:.
Meter* MixedMeter(int position, DWORD interval);
double Median(std::vector<double> samples);
