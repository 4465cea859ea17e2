// Restarting Windows at the end of a run. Windows 95/98 restart through the 16-bit ExitWindows
// of USER.EXE, which carries out WININIT.INI on the way; NT-family Windows have no 16-bit
// services there and reboot through ExitWindowsEx after WININIT.INI's renames were handed over.
#include "setup_state.h"

namespace {

// A function looked up at run time, as the type it has.
template <typename Function> Function As(FARPROC address) {
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(address));
}

bool AskRestart(bool uninstallMode) {
    const char* text = uninstallMode ? "アンインストールを完了するため、Windowsを再起動します。"
                                     : "インストールを完了するため、Windowsを再起動します。";
    return MessageBoxA(nullptr, text, "再起動", MB_YESNO | MB_ICONEXCLAMATION) == IDYES;
}

#if defined(__i386__)

// The 16-bit services of the Windows 95/98 kernel, exported by ordinal only.
typedef WORD(WINAPI* LoadLibrary16Function)(LPCSTR name);
typedef void(WINAPI* FreeLibrary16Function)(WORD module);
typedef DWORD(WINAPI* GetProcAddress16Function)(WORD module, LPCSTR name);

struct Services16 {
    LoadLibrary16Function loadLibrary16;       // ordinal 35
    FreeLibrary16Function freeLibrary16;       // ordinal 36
    GetProcAddress16Function getProcAddress16; // ordinal 37
    FARPROC qtThunk;
};

// GetProcAddress of Windows 95/98 refuses kernel32's ordinal-only exports, so there the export
// directory is read directly.
FARPROC ExportDirectoryEntry(HMODULE kernel, WORD ordinal) {
    const BYTE* base = reinterpret_cast<const BYTE*>(kernel);
    const IMAGE_DOS_HEADER* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const IMAGE_NT_HEADERS* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& directory =
        nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
    if (directory.VirtualAddress == 0) {
        return nullptr;
    }
    const IMAGE_EXPORT_DIRECTORY* exports =
        reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(base + directory.VirtualAddress);
    if (ordinal < exports->Base || ordinal - exports->Base >= exports->NumberOfFunctions) {
        return nullptr;
    }
    const DWORD* functions = reinterpret_cast<const DWORD*>(base + exports->AddressOfFunctions);
    const DWORD address = functions[ordinal - exports->Base];
    // A forwarder or an empty slot is no function of this kernel.
    if (address == 0 || (address >= directory.VirtualAddress &&
                         address < directory.VirtualAddress + directory.Size)) {
        return nullptr;
    }
    return reinterpret_cast<FARPROC>(const_cast<BYTE*>(base) + address);
}

FARPROC KernelOrdinal(HMODULE kernel, WORD ordinal) {
    FARPROC function = GetProcAddress(kernel, MAKEINTRESOURCEA(ordinal));
    return function ? function : ExportDirectoryEntry(kernel, ordinal);
}

// Only a kernel that exports the flat thunk by name has the 16-bit services behind the
// ordinals; on NT-family Windows the same ordinals are unrelated functions.
bool Find16BitServices(Services16& services) {
    HMODULE kernel = GetModuleHandleA("KERNEL32.DLL");
    if (!kernel || (GetVersion() & 0x80000000u) == 0) {
        return false;
    }
    services.qtThunk = GetProcAddress(kernel, "QT_Thunk");
    if (!services.qtThunk) {
        return false;
    }
    services.loadLibrary16 = As<LoadLibrary16Function>(KernelOrdinal(kernel, 35));
    services.freeLibrary16 = As<FreeLibrary16Function>(KernelOrdinal(kernel, 36));
    services.getProcAddress16 = As<GetProcAddress16Function>(KernelOrdinal(kernel, 37));
    return services.loadLibrary16 && services.freeLibrary16 && services.getProcAddress16;
}

} // namespace

// Calls the 16-bit ExitWindows(0x42, 0) at the 16:16 address target through QT_Thunk, which
// takes the target in EDX, copies the Pascal-order arguments between ESP and EBP - 0x40 to the
// 16-bit stack and lets the 16-bit side pop them.
extern "C" DWORD VtCallExitWindows16(DWORD target, FARPROC qtThunk);
asm(".text\n"
    ".globl _VtCallExitWindows16\n"
    "_VtCallExitWindows16:\n"
    "  pushl %ebp\n"
    "  movl %esp, %ebp\n"
    "  pushl %ebx\n"
    "  pushl %esi\n"
    "  pushl %edi\n"
    "  movl 8(%ebp), %edx\n"
    "  movl 12(%ebp), %eax\n"
    "  pushl %ebp\n"
    "  movl %esp, %ebp\n"
    "  subl $0x40, %esp\n"
    "  pushl $0x42\n"
    "  pushw $0\n"
    "  call *%eax\n"
    "  movl %ebp, %esp\n"
    "  popl %ebp\n"
    "  popl %edi\n"
    "  popl %esi\n"
    "  popl %ebx\n"
    "  popl %ebp\n"
    "  ret\n");

namespace {

#endif

typedef BOOL(WINAPI* OpenProcessTokenFunction)(HANDLE, DWORD, PHANDLE);
typedef BOOL(WINAPI* LookupPrivilegeValueFunction)(LPCSTR, LPCSTR, PLUID);
typedef BOOL(WINAPI* AdjustTokenPrivilegesFunction)(HANDLE, BOOL, PTOKEN_PRIVILEGES, DWORD,
                                                    PTOKEN_PRIVILEGES, PDWORD);
typedef BOOL(WINAPI* MoveFileExFunction)(LPCSTR, LPCSTR, DWORD);

// NT-family Windows let a program reboot only with the shutdown privilege enabled.
void EnableShutdownPrivilege() {
    HMODULE advapi = LoadLibraryA("ADVAPI32.DLL");
    if (!advapi) {
        return;
    }
    auto openToken = As<OpenProcessTokenFunction>(GetProcAddress(advapi, "OpenProcessToken"));
    auto lookup = As<LookupPrivilegeValueFunction>(GetProcAddress(advapi, "LookupPrivilegeValueA"));
    auto adjust =
        As<AdjustTokenPrivilegesFunction>(GetProcAddress(advapi, "AdjustTokenPrivileges"));
    HANDLE token = nullptr;
    if (openToken && lookup && adjust &&
        openToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token)) {
        TOKEN_PRIVILEGES privileges = {};
        privileges.PrivilegeCount = 1;
        privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
        if (lookup(nullptr, "SeShutdownPrivilege", &privileges.Privileges[0].Luid)) {
            adjust(token, FALSE, &privileges, 0, nullptr, nullptr);
        }
        CloseHandle(token);
    }
    FreeLibrary(advapi);
}

void RebootNt() {
    EnableShutdownPrivilege();
    ExitWindowsEx(EWX_REBOOT, 0);
}

bool WininitPath(char* path, size_t capacity) {
    const UINT length = GetWindowsDirectoryA(path, static_cast<UINT>(capacity));
    const char name[] = "\\WININIT.INI";
    if (length == 0 || length + sizeof(name) > capacity) {
        return false;
    }
    for (size_t i = 0; i < sizeof(name); ++i) {
        path[length + i] = name[i];
    }
    return true;
}

bool IsNul(const char* name) {
    return lstrcmpiA(name, "NUL") == 0;
}

} // namespace

bool TransferPendingRenames(const char* wininitPath) {
    if (GetFileAttributesA(wininitPath) == INVALID_FILE_ATTRIBUTES) {
        return true;
    }
    HMODULE kernel = GetModuleHandleA("KERNEL32.DLL");
    auto moveFileEx =
        As<MoveFileExFunction>(kernel ? GetProcAddress(kernel, "MoveFileExA") : nullptr);
    if (!moveFileEx) {
        return false;
    }
    char section[ListSectionCapacity];
    const DWORD fetched =
        GetPrivateProfileSectionA("rename", section, ListSectionCapacity, wininitPath);
    // A section cut off by the buffer stays as it is rather than being half handed over.
    if (fetched == ListSectionCutOff) {
        return false;
    }
    SectionReader reader = ReadSection(section, ListSectionCapacity, fetched);
    bool all = true;
    while (const char* line = NextSectionLine(reader)) {
        // Each line is "target=source"; a target of NUL deletes the source.
        char target[PathCapacity];
        char source[PathCapacity];
        if (SplitFileLine(line, target, sizeof(target), source, sizeof(source), IsAnsiLeadByte) !=
            ListLineOk) {
            all = false;
            continue;
        }
        const BOOL moved =
            IsNul(target) ? moveFileEx(source, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT)
                          : moveFileEx(source, target,
                                       MOVEFILE_DELAY_UNTIL_REBOOT | MOVEFILE_REPLACE_EXISTING);
        all = all && moved;
    }
    // Lines that were handed over must not be carried out a second time.
    if (all) {
        WritePrivateProfileStringA("rename", nullptr, nullptr, wininitPath);
    }
    return all;
}

void HandOverWaitingChanges() {
#if defined(__i386__)
    Services16 services = {};
    if (Find16BitServices(services)) {
        return;
    }
#endif
    char wininit[PathCapacity];
    if (WininitPath(wininit, sizeof(wininit))) {
        TransferPendingRenames(wininit);
    }
}

void RestartWindows(bool uninstallMode) {
#if defined(__i386__)
    Services16 services = {};
    if (Find16BitServices(services)) {
        const WORD user = services.loadLibrary16("USER.EXE");
        const DWORD exitWindows = user >= 32 ? services.getProcAddress16(user, "ExitWindows") : 0;
        if (AskRestart(uninstallMode)) {
            // Without the 16-bit entry the 32-bit call restarts just as well.
            if (exitWindows) {
                VtCallExitWindows16(exitWindows, services.qtThunk);
            } else {
                ExitWindowsEx(EWX_REBOOT, 0);
            }
        }
        if (user >= 32) {
            services.freeLibrary16(user);
        }
        return;
    }
#endif
    // Handed over whatever the answer, so that the next start carries them out as WININIT.INI's.
    HandOverWaitingChanges();
    if (AskRestart(uninstallMode)) {
        RebootNt();
    }
}
