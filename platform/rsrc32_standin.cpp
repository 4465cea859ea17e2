// Stand-in for the rsrc32.dll of Windows 95/98, which Wine and NT lack. Windows 9x measures its
// 16-bit heaps; here the free share of physical memory stands in for all three kinds.
#include <windows.h>

#if defined(__i386__)
#define RSRC32_EXPORT_NAME "__MyGetFreeSystemResources32@4"
#else
#define RSRC32_EXPORT_NAME "_MyGetFreeSystemResources32@4"
#endif

extern "C" __declspec(dllexport) UINT WINAPI
    FreeSystemResources(UINT which) __asm__(RSRC32_EXPORT_NAME);

extern "C" UINT WINAPI FreeSystemResources(UINT which) {
    MEMORYSTATUS status;
    ZeroMemory(&status, sizeof(status));
    status.dwLength = sizeof(status);
    GlobalMemoryStatus(&status);
    const UINT freePercent = status.dwMemoryLoad <= 100 ? 100 - status.dwMemoryLoad : 0;
    // System resources are the lower of the GDI and user heaps on Windows 9x.
    if (which == 0) {
        return freePercent > 5 ? freePercent - 5 : 0;
    }
    return which <= 2 ? freePercent : 0;
}
