#include "import_hook.h"

#include <windows.h>

#include <string.h>

#include <unordered_set>

void* HookImport(const char* dll, const char* function, void* replacement) {
    BYTE* base = reinterpret_cast<BYTE*>(GetModuleHandleA(nullptr));
    const IMAGE_DOS_HEADER* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const IMAGE_NT_HEADERS* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& imports =
        nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (imports.VirtualAddress == 0) {
        return nullptr;
    }
    for (const IMAGE_IMPORT_DESCRIPTOR* d =
             reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress);
         d->Name; ++d) {
        if (lstrcmpiA(reinterpret_cast<const char*>(base + d->Name), dll) != 0) {
            continue;
        }
        const IMAGE_THUNK_DATA* names = reinterpret_cast<const IMAGE_THUNK_DATA*>(
            base + (d->OriginalFirstThunk ? d->OriginalFirstThunk : d->FirstThunk));
        IMAGE_THUNK_DATA* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + d->FirstThunk);
        for (; names->u1.AddressOfData; ++names, ++slots) {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) {
                continue;
            }
            const IMAGE_IMPORT_BY_NAME* byName =
                reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
            if (strcmp(reinterpret_cast<const char*>(byName->Name), function) != 0) {
                continue;
            }
            DWORD protection;
            VirtualProtect(&slots->u1.Function, sizeof(slots->u1.Function), PAGE_READWRITE,
                           &protection);
            void* original = reinterpret_cast<void*>(slots->u1.Function);
            slots->u1.Function = reinterpret_cast<ULONG_PTR>(replacement);
            VirtualProtect(&slots->u1.Function, sizeof(slots->u1.Function), protection,
                           &protection);
            return original;
        }
    }
    return nullptr;
}

namespace {

std::unordered_set<void*>& Live() {
    static std::unordered_set<void*> live;
    return live;
}
long created;

void* Made(void* handle) {
    if (handle) {
        Live().insert(handle);
        ++created;
    }
    return handle;
}

typedef HDC(WINAPI* CreateCompatibleDCFn)(HDC);
typedef HBITMAP(WINAPI* CreateCompatibleBitmapFn)(HDC, int, int);
typedef HBITMAP(WINAPI* CreateBitmapFn)(int, int, UINT, UINT, const void*);
typedef HBITMAP(WINAPI* CreateDIBSectionFn)(HDC, const BITMAPINFO*, UINT, void**, HANDLE, DWORD);
typedef HBRUSH(WINAPI* CreateSolidBrushFn)(COLORREF);
typedef HBRUSH(WINAPI* CreateBrushIndirectFn)(const LOGBRUSH*);
typedef HPEN(WINAPI* CreatePenFn)(int, int, COLORREF);
typedef HFONT(WINAPI* CreateFontAFn)(int, int, int, int, int, DWORD, DWORD, DWORD, DWORD, DWORD,
                                     DWORD, DWORD, DWORD, LPCSTR);
typedef HFONT(WINAPI* CreateFontIndirectAFn)(const LOGFONTA*);
typedef HRGN(WINAPI* CreateRectRgnFn)(int, int, int, int);
typedef BOOL(WINAPI* DeleteFn)(void*);

CreateCompatibleDCFn realCreateCompatibleDC;
CreateCompatibleBitmapFn realCreateCompatibleBitmap;
CreateBitmapFn realCreateBitmap;
CreateDIBSectionFn realCreateDIBSection;
CreateSolidBrushFn realCreateSolidBrush;
CreateBrushIndirectFn realCreateBrushIndirect;
CreatePenFn realCreatePen;
CreateFontAFn realCreateFontA;
CreateFontIndirectAFn realCreateFontIndirectA;
CreateRectRgnFn realCreateRectRgn;
DeleteFn realDeleteObject;
DeleteFn realDeleteDC;

HDC WINAPI CountedCreateCompatibleDC(HDC dc) {
    return static_cast<HDC>(Made(realCreateCompatibleDC(dc)));
}
HBITMAP WINAPI CountedCreateCompatibleBitmap(HDC dc, int w, int h) {
    return static_cast<HBITMAP>(Made(realCreateCompatibleBitmap(dc, w, h)));
}
HBITMAP WINAPI CountedCreateBitmap(int w, int h, UINT planes, UINT bits, const void* data) {
    return static_cast<HBITMAP>(Made(realCreateBitmap(w, h, planes, bits, data)));
}
HBITMAP WINAPI CountedCreateDIBSection(HDC dc, const BITMAPINFO* info, UINT usage, void** bits,
                                       HANDLE section, DWORD offset) {
    return static_cast<HBITMAP>(Made(realCreateDIBSection(dc, info, usage, bits, section, offset)));
}
HBRUSH WINAPI CountedCreateSolidBrush(COLORREF colour) {
    return static_cast<HBRUSH>(Made(realCreateSolidBrush(colour)));
}
HBRUSH WINAPI CountedCreateBrushIndirect(const LOGBRUSH* brush) {
    return static_cast<HBRUSH>(Made(realCreateBrushIndirect(brush)));
}
HPEN WINAPI CountedCreatePen(int style, int width, COLORREF colour) {
    return static_cast<HPEN>(Made(realCreatePen(style, width, colour)));
}
HFONT WINAPI CountedCreateFontA(int h, int w, int e, int o, int weight, DWORD i, DWORD u, DWORD s,
                                DWORD charset, DWORD out, DWORD clip, DWORD quality, DWORD pitch,
                                LPCSTR face) {
    return static_cast<HFONT>(Made(
        realCreateFontA(h, w, e, o, weight, i, u, s, charset, out, clip, quality, pitch, face)));
}
HFONT WINAPI CountedCreateFontIndirectA(const LOGFONTA* font) {
    return static_cast<HFONT>(Made(realCreateFontIndirectA(font)));
}
HRGN WINAPI CountedCreateRectRgn(int l, int t, int r, int b) {
    return static_cast<HRGN>(Made(realCreateRectRgn(l, t, r, b)));
}
BOOL WINAPI CountedDeleteObject(void* handle) {
    const BOOL deleted = realDeleteObject(handle);
    if (deleted) {
        Live().erase(handle);
    }
    return deleted;
}
BOOL WINAPI CountedDeleteDC(void* dc) {
    const BOOL deleted = realDeleteDC(dc);
    if (deleted) {
        Live().erase(dc);
    }
    return deleted;
}

template <typename Fn> void Hook(const char* name, Fn* real, Fn counted) {
    void* previous = HookImport("gdi32.dll", name, reinterpret_cast<void*>(counted));
    if (previous) {
        *real = reinterpret_cast<Fn>(previous);
    }
}

} // namespace

void InstallGdiCounter() {
    if (realDeleteObject) {
        return;
    }
    Hook("CreateCompatibleDC", &realCreateCompatibleDC, CountedCreateCompatibleDC);
    Hook("CreateCompatibleBitmap", &realCreateCompatibleBitmap, CountedCreateCompatibleBitmap);
    Hook("CreateBitmap", &realCreateBitmap, CountedCreateBitmap);
    Hook("CreateDIBSection", &realCreateDIBSection, CountedCreateDIBSection);
    Hook("CreateSolidBrush", &realCreateSolidBrush, CountedCreateSolidBrush);
    Hook("CreateBrushIndirect", &realCreateBrushIndirect, CountedCreateBrushIndirect);
    Hook("CreatePen", &realCreatePen, CountedCreatePen);
    Hook("CreateFontA", &realCreateFontA, CountedCreateFontA);
    Hook("CreateFontIndirectA", &realCreateFontIndirectA, CountedCreateFontIndirectA);
    Hook("CreateRectRgn", &realCreateRectRgn, CountedCreateRectRgn);
    Hook("DeleteDC", &realDeleteDC, CountedDeleteDC);
    Hook("DeleteObject", &realDeleteObject, CountedDeleteObject);
}

long LiveGdiObjects() {
    return static_cast<long>(Live().size());
}

long GdiObjectsCreated() {
    return created;
}

bool IsLiveGdiObject(void* handle) {
    return Live().count(handle) != 0;
}
