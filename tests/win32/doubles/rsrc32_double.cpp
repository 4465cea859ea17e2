// Stand-ins for rsrc32.dll that the tests put beside themselves, one behaviour each: healthy,
// faulting, and one that loads fine but has no such export.
#include <windows.h>

#if !defined(RSRC32_NOEXPORT)
#if defined(__i386__)
// The export is named as rsrc32.dll names it; ld finds the symbol by prefixing an underscore,
// which dllexport on this symbol would double.
extern "C" UINT WINAPI FreeResources(UINT which) __asm__("__MyGetFreeSystemResources32@4");
asm(".section .drectve\n.ascii \" -export:\\\"_MyGetFreeSystemResources32@4\\\"\"\n.text");
#else
extern "C" __declspec(dllexport) UINT WINAPI
    FreeResources(UINT which) __asm__("_MyGetFreeSystemResources32@4");
#endif

// Healthy: 40, 41, 42 for system, GDI and user resources. Faulting: reads an address never mapped.
extern "C" UINT WINAPI FreeResources(UINT which) {
#if defined(RSRC32_FAULTING)
    return *reinterpret_cast<volatile UINT*>(static_cast<UINT_PTR>(0x10 + which));
#else
    return 40 + which;
#endif
}
#endif
