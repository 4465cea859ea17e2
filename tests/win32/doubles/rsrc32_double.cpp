// Stand-ins for rsrc32.dll that the tests put beside themselves, one behaviour each.
#include <windows.h>

#if defined(__i386__)
#define RSRC32_EXPORT_NAME "__MyGetFreeSystemResources32@4"
// The export is named as rsrc32.dll names it; ld finds the symbol by prefixing an underscore,
// which dllexport on this symbol would double.
#define RSRC32_EXPORT
#define RSRC32_EXPORT_DIRECTIVE                                                                    \
    asm(".section .drectve\n.ascii \" -export:\\\"_MyGetFreeSystemResources32@4\\\"\"\n.text")
#else
#define RSRC32_EXPORT_NAME "_MyGetFreeSystemResources32@4"
#define RSRC32_EXPORT __declspec(dllexport)
#define RSRC32_EXPORT_DIRECTIVE
#endif

#if defined(RSRC32_HEALTHY)
// Answers 40, 41, 42 for system, GDI and user resources.
extern "C" RSRC32_EXPORT UINT WINAPI FreeResources(UINT which) __asm__(RSRC32_EXPORT_NAME);
RSRC32_EXPORT_DIRECTIVE;
extern "C" UINT WINAPI FreeResources(UINT which) {
    return 40 + which;
}
#elif defined(RSRC32_FAULTING)
// Reads from an address that is never mapped.
extern "C" RSRC32_EXPORT UINT WINAPI FreeResources(UINT which) __asm__(RSRC32_EXPORT_NAME);
RSRC32_EXPORT_DIRECTIVE;
extern "C" UINT WINAPI FreeResources(UINT which) {
    volatile UINT* nowhere = reinterpret_cast<volatile UINT*>(static_cast<UINT_PTR>(0x10 + which));
    return *nowhere;
}
#else
// Loads fine but has no such export.
extern "C" __declspec(dllexport) UINT WINAPI SomethingElse(UINT which) {
    return which;
}
#endif
