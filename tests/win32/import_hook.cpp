#include "import_hook.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string.h>

#include <unordered_set>

void* HookImport(const char* dll, const char* function, void* replacement, HMODULE module) {
    BYTE* base = reinterpret_cast<BYTE*>(module ? module : GetModuleHandleA(nullptr));
    const IMAGE_NT_HEADERS* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(
        base + reinterpret_cast<const IMAGE_DOS_HEADER*>(base)->e_lfanew);
    const DWORD imports =
        nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT].VirtualAddress;
    for (const IMAGE_IMPORT_DESCRIPTOR* d =
             reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + imports);
         imports && d->Name; ++d) {
        if (lstrcmpiA(reinterpret_cast<const char*>(base + d->Name), dll) != 0) {
            continue;
        }
        const IMAGE_THUNK_DATA* names = reinterpret_cast<const IMAGE_THUNK_DATA*>(
            base + (d->OriginalFirstThunk ? d->OriginalFirstThunk : d->FirstThunk));
        IMAGE_THUNK_DATA* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + d->FirstThunk);
        for (; names->u1.AddressOfData; ++names, ++slots) {
            const IMAGE_IMPORT_BY_NAME* byName =
                reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal) ||
                strcmp(reinterpret_cast<const char*>(byName->Name), function) != 0) {
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

ImportSwap::ImportSwap(HMODULE module, const char* dll, const char* name, void* standIn)
    : dll(dll), name(name), module(module), original(HookImport(dll, name, standIn, module)) {
    EXPECT_NE(original, nullptr) << dll << "!" << name << " is not imported";
}

ImportSwap::~ImportSwap() {
    if (original) {
        HookImport(dll, name, original, module);
    }
}

namespace {

// Never destroyed: a hooked DeleteObject may still run while the process ends.
std::unordered_set<void*>& live = *new std::unordered_set<void*>;
long created;
void* realFunctions[9];

// Stand-ins for gdi32 function number N: creators count what they make, deleters forget what
// they took away.
template <int N, typename R, typename... A> R WINAPI Made(A... arguments) {
    const R handle = reinterpret_cast<R(WINAPI*)(A...)>(realFunctions[N])(arguments...);
    if (handle) {
        live.insert(handle);
        ++created;
    }
    return handle;
}
template <int N, typename H> BOOL WINAPI Deleted(H handle) {
    const BOOL deleted = reinterpret_cast<BOOL(WINAPI*)(H)>(realFunctions[N])(handle);
    if (deleted) {
        live.erase(handle);
    }
    return deleted;
}
template <int N, typename R, typename... A> void Count(const char* name, R(WINAPI*)(A...)) {
    realFunctions[N] = HookImport("gdi32.dll", name, reinterpret_cast<void*>(&Made<N, R, A...>));
}
template <int N, typename H> void Count(const char* name, BOOL(WINAPI*)(H)) {
    realFunctions[N] = HookImport("gdi32.dll", name, reinterpret_cast<void*>(&Deleted<N, H>));
}

} // namespace

void InstallGdiCounter() {
    if (realFunctions[8]) {
        return;
    }
    Count<0>("CreateCompatibleDC", &CreateCompatibleDC);
    Count<1>("CreateCompatibleBitmap", &CreateCompatibleBitmap);
    Count<2>("CreateDIBSection", &CreateDIBSection);
    Count<3>("CreateSolidBrush", &CreateSolidBrush);
    Count<4>("CreateFontA", &CreateFontA);
    Count<5>("CreateFontIndirectA", &CreateFontIndirectA);
    Count<6>("CreateRectRgn", &CreateRectRgn);
    Count<7>("DeleteDC", &DeleteDC);
    Count<8>("DeleteObject", &DeleteObject);
}

long LiveGdiObjects() {
    return static_cast<long>(live.size());
}

long GdiObjectsCreated() {
    return created;
}
