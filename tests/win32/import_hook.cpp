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
void* realFunctions[12];

// Stand-ins for gdi32 function number N: creators count what they make, deleters forget what
// they took away.
template <int N, typename R, typename... A> R WINAPI Made(A... arguments) {
    const R handle = reinterpret_cast<R(WINAPI*)(A...)>(realFunctions[N])(arguments...);
    if (handle) {
        Live().insert(handle);
        ++created;
    }
    return handle;
}
template <int N, typename H> BOOL WINAPI Deleted(H handle) {
    const BOOL deleted = reinterpret_cast<BOOL(WINAPI*)(H)>(realFunctions[N])(handle);
    if (deleted) {
        Live().erase(handle);
    }
    return deleted;
}

void Hook(int n, const char* name, void* counted) {
    if (void* previous = HookImport("gdi32.dll", name, counted)) {
        realFunctions[n] = previous;
    }
}
template <int N, typename R, typename... A> void HookMade(const char* name, R(WINAPI*)(A...)) {
    Hook(N, name, reinterpret_cast<void*>(&Made<N, R, A...>));
}
template <int N, typename H> void HookDeleted(const char* name, BOOL(WINAPI*)(H)) {
    Hook(N, name, reinterpret_cast<void*>(&Deleted<N, H>));
}

} // namespace

void InstallGdiCounter() {
    if (realFunctions[11]) {
        return;
    }
    HookMade<0>("CreateCompatibleDC", &CreateCompatibleDC);
    HookMade<1>("CreateCompatibleBitmap", &CreateCompatibleBitmap);
    HookMade<2>("CreateBitmap", &CreateBitmap);
    HookMade<3>("CreateDIBSection", &CreateDIBSection);
    HookMade<4>("CreateSolidBrush", &CreateSolidBrush);
    HookMade<5>("CreateBrushIndirect", &CreateBrushIndirect);
    HookMade<6>("CreatePen", &CreatePen);
    HookMade<7>("CreateFontA", &CreateFontA);
    HookMade<8>("CreateFontIndirectA", &CreateFontIndirectA);
    HookMade<9>("CreateRectRgn", &CreateRectRgn);
    HookDeleted<10>("DeleteDC", &DeleteDC);
    HookDeleted<11>("DeleteObject", &DeleteObject);
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
