#include "settings_dialog.h"

#include <commctrl.h>
#include <shlobj.h>
#include <stdlib.h>
#include <string.h>

#include "../meters/guarded_call.h"
#include "../meters/sources.h"
#include "../resources/resource.h"
#include "../window/bar_strips.h"
#include "meter_choice.h"

namespace {

// Module-wide dialog state: one settings dialog per process.
Meter** dialogMeters;
UINT_PTR previewTimer;
HWND openDialog;
// The preview's bar pictures, made on its first tick and released with the dialog.
BarStrips previewStrips;

const UINT_PTR previewTimerId = 1;
const char statisticsEnumKey[] = "System\\CurrentControlSet\\Control\\PerfStats\\Enum";
const char statisticsDataKey[] = "PerfStats\\StatData";

const char* const resourceKeys[] = {"SYSTEM", "GDI", "USER"};
const char* const memoryKeys[] = {"Load", "AvailPhys", "AvailPageFile", "AvailVirtual"};
const char* const memoryTexts[] = {"使用中メモリ (%)", "空き物理メモリー", "空きページファイル",
                                   "空き仮想メモリー"};

// More drives than letters never come up; the table is bounded all the same.
enum { MaxDrives = 32 };

HWND Tree(HWND dialog) {
    return GetDlgItem(dialog, IDC_METER_TREE);
}

MeterChoice* ChoiceOf(HWND tree, HTREEITEM item) {
    if (!item) {
        return nullptr;
    }
    TVITEMA data;
    ZeroMemory(&data, sizeof(data));
    data.mask = TVIF_HANDLE | TVIF_PARAM;
    data.hItem = item;
    if (!SendMessageA(tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&data))) {
        return nullptr;
    }
    return reinterpret_cast<MeterChoice*>(data.lParam);
}

HTREEITEM ParentOf(HWND tree, HTREEITEM item) {
    return reinterpret_cast<HTREEITEM>(
        SendMessageA(tree, TVM_GETNEXTITEM, TVGN_PARENT, reinterpret_cast<LPARAM>(item)));
}

HTREEITEM NextItem(HWND tree, HTREEITEM item, UINT relation) {
    return reinterpret_cast<HTREEITEM>(
        SendMessageA(tree, TVM_GETNEXTITEM, relation, reinterpret_cast<LPARAM>(item)));
}

// Hands the record to the tree, which owns it from then on; frees it when the tree refuses it.
HTREEITEM InsertItem(HWND tree, HTREEITEM parent, const char* text, MeterChoice* choice,
                     int children) {
    TVINSERTSTRUCTA insert;
    ZeroMemory(&insert, sizeof(insert));
    insert.hParent = parent;
    insert.hInsertAfter = TVI_LAST;
    insert.item.mask = TVIF_TEXT | TVIF_PARAM | TVIF_CHILDREN;
    insert.item.pszText = const_cast<char*>(text);
    insert.item.lParam = reinterpret_cast<LPARAM>(choice);
    insert.item.cChildren = children;
    HTREEITEM item = reinterpret_cast<HTREEITEM>(
        SendMessageA(tree, TVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&insert)));
    if (!item) {
        ReleaseMeterChoice(choice);
    }
    return item;
}

HTREEITEM InsertCategoryItem(HWND tree, const char* key, const char* text) {
    MeterChoice* choice = CreateMeterChoice(MeterKindNone, key);
    if (!choice) {
        return nullptr;
    }
    return InsertItem(tree, TVI_ROOT, text, choice, 1);
}

// A candidate ticked and timed as the band's meter of the same full key, if there is one.
void InsertCandidate(HWND tree, HTREEITEM category, Meter** meters, const char* categoryKey,
                     MeterChoice* choice, const char* text) {
    char* fullKey = JoinKey(categoryKey, choice->key);
    TakeMeterSetting(choice, *meters, fullKey);
    free(fullKey);
    InsertItem(tree, category, text, choice, 0);
}

void InsertCategory(HWND tree, Meter** meters, MeterKind kind, int count, const char* categoryKey,
                    const char* const* itemKeys, const char* categoryText,
                    const char* const* itemTexts) {
    HTREEITEM category = InsertCategoryItem(tree, categoryKey, categoryText);
    if (!category) {
        return;
    }
    for (int i = 0; i < count; ++i) {
        MeterChoice* choice = CreateMeterChoice(kind, itemKeys[i]);
        if (!choice) {
            continue;
        }
        choice->index = i;
        InsertCandidate(tree, category, meters, categoryKey, choice, itemTexts[i]);
    }
}

// The item of that key among first and its later siblings; null when there is none.
HTREEITEM FindItem(HWND tree, HTREEITEM first, const char* key) {
    for (HTREEITEM item = first; item; item = NextItem(tree, item, TVGN_NEXT)) {
        const MeterChoice* choice = ChoiceOf(tree, item);
        if (choice && strcmp(choice->key, key) == 0) {
            return item;
        }
    }
    return nullptr;
}

// The backslash that ends a key's category; a double-byte character's trail byte is never one.
const char* CategoryEnd(const char* key) {
    for (const char* at = key; *at; ++at) {
        if (*at == '\\') {
            return at;
        }
        if (IsDBCSLeadByte(static_cast<BYTE>(*at)) && at[1]) {
            ++at;
        }
    }
    return nullptr;
}

// A meter whose statistic or drive is not there at the moment (an adapter not loaded, a drive
// not mapped) is listed ticked under its category, made if need be, so that OK keeps it.
void InsertKeptMeter(HWND tree, const Meter* meter) {
    const char* separator = meter->key ? CategoryEnd(meter->key) : nullptr;
    if (!separator) {
        return; // not a "category\item" key: the tree has no place for it
    }
    char* categoryKey = CopyTextBytes(meter->key, static_cast<size_t>(separator - meter->key));
    if (!categoryKey) {
        return;
    }
    const char* itemKey = separator + 1;
    HTREEITEM category = FindItem(tree, NextItem(tree, nullptr, TVGN_ROOT), categoryKey);
    if (!category) {
        category = InsertCategoryItem(tree, categoryKey, categoryKey);
    }
    free(categoryKey);
    if (!category || FindItem(tree, NextItem(tree, category, TVGN_CHILD), itemKey)) {
        return;
    }
    MeterChoice* choice = CreateMeterChoice(meter->kind, itemKey);
    if (!choice) {
        return;
    }
    choice->index = meter->index;
    choice->enabled = 1;
    choice->interval = meter->interval;
    InsertItem(tree, category, itemKey, choice, 0);
}

void EnableItemControls(HWND dialog, bool enable) {
    const int ids[] = {IDC_INTERVAL_GROUP, IDC_INTERVAL_500, IDC_INTERVAL_1000, IDC_INTERVAL_3000,
                       IDC_ENABLED};
    for (int id : ids) {
        EnableWindow(GetDlgItem(dialog, id), enable ? TRUE : FALSE);
    }
}

// Bytes of an item-ID list without its two-byte terminator.
UINT IdListBytes(LPCITEMIDLIST list) {
    UINT size = 0;
    const BYTE* at = reinterpret_cast<const BYTE*>(list);
    for (;;) {
        USHORT cb = 0;
        memcpy(&cb, at + size, sizeof(cb));
        if (cb == 0) {
            return size;
        }
        size += cb;
    }
}

// The display name as text in the ANSI code page; false when the shell gives none.
bool DisplayNameText(IMalloc* allocator, STRRET* name, LPCITEMIDLIST item, char* out,
                     UINT capacity) {
    switch (name->uType) {
    case STRRET_CSTR:
        lstrcpynA(out, name->cStr, capacity);
        return true;
    case STRRET_OFFSET:
        lstrcpynA(out, reinterpret_cast<const char*>(item) + name->uOffset, capacity);
        return true;
    case STRRET_WSTR: {
        const int written = WideCharToMultiByte(CP_ACP, 0, name->pOleStr, -1, out,
                                                static_cast<int>(capacity), nullptr, nullptr);
        allocator->Free(name->pOleStr);
        out[capacity - 1] = '\0';
        return written > 0;
    }
    default:
        return false;
    }
}

struct DriveList {
    int count;
    char* keys[MaxDrives];
    char* texts[MaxDrives];
};

void ReleaseDriveList(DriveList* drives) {
    for (int i = 0; i < drives->count; ++i) {
        free(drives->keys[i]);
        free(drives->texts[i]);
    }
    drives->count = 0;
}

void AddDrive(DriveList* drives, const char* path, const char* text) {
    if (drives->count >= MaxDrives) {
        return;
    }
    char* key = CopyText(path);
    char* copy = CopyText(text);
    if (!key || !copy) {
        free(key);
        free(copy);
        return;
    }
    drives->keys[drives->count] = key;
    drives->texts[drives->count] = copy;
    ++drives->count;
}

// One enumerated item of My Computer: kept when it has a file-system path and a display name.
void TakeDriveItem(IMalloc* allocator, LPCITEMIDLIST computer, UINT computerBytes,
                   IShellFolder* folder, LPITEMIDLIST item, DriveList* drives) {
    const UINT itemBytes = IdListBytes(item);
    BYTE* absolute = static_cast<BYTE*>(allocator->Alloc(computerBytes + itemBytes + 2));
    if (!absolute) {
        return;
    }
    memcpy(absolute, computer, computerBytes);
    memcpy(absolute + computerBytes, item, itemBytes);
    absolute[computerBytes + itemBytes] = 0;
    absolute[computerBytes + itemBytes + 1] = 0;
    char path[MAX_PATH] = "";
    if (!SHGetPathFromIDListA(reinterpret_cast<LPCITEMIDLIST>(absolute), path)) {
        path[0] = '\0';
    }
    allocator->Free(absolute);
    if (!path[0] || !IsSteadyDrive(path)) {
        // Not a drive (My Computer's other entries have no file-system path), or one whose
        // free space cannot be asked without waiting on a device: not offered.
        return;
    }
    STRRET name;
    ZeroMemory(&name, sizeof(name));
    char text[MAX_PATH] = "";
    if (FAILED(folder->GetDisplayNameOf(item, SHGDN_NORMAL, &name)) ||
        !DisplayNameText(allocator, &name, item, text, sizeof(text))) {
        return;
    }
    AddDrive(drives, path, text);
}

// False when My Computer cannot be enumerated at all.
bool EnumerateDrives(HWND dialog, IMalloc* allocator, LPITEMIDLIST computer, IShellFolder* folder,
                     DriveList* drives) {
    IEnumIDList* items = nullptr;
    if (folder->EnumObjects(dialog, SHCONTF_FOLDERS, &items) != S_OK || !items) {
        return false;
    }
    const UINT computerBytes = IdListBytes(computer);
    LPITEMIDLIST item = nullptr;
    ULONG fetched = 0;
    while (items->Next(1, &item, &fetched) == S_OK && fetched == 1 && item) {
        TakeDriveItem(allocator, computer, computerBytes, folder, item, drives);
        CoTaskMemFree(item);
        item = nullptr;
    }
    items->Release();
    return true;
}

// The drives of My Computer in the shell's order; no category at all when the shell fails us.
void InsertDriveCategory(HWND dialog, HWND tree, Meter** meters) {
    IMalloc* allocator = nullptr;
    if (FAILED(SHGetMalloc(&allocator)) || !allocator) {
        return;
    }
    LPITEMIDLIST computer = nullptr;
    IShellFolder* desktop = nullptr;
    IShellFolder* folder = nullptr;
    bool found = false;
    DriveList drives;
    drives.count = 0;
    if (SUCCEEDED(SHGetSpecialFolderLocation(dialog, CSIDL_DRIVES, &computer)) && computer &&
        SUCCEEDED(SHGetDesktopFolder(&desktop)) && desktop &&
        SUCCEEDED(desktop->BindToObject(computer, nullptr, IID_IShellFolder,
                                        reinterpret_cast<void**>(&folder))) &&
        folder) {
        found = EnumerateDrives(dialog, allocator, computer, folder, &drives);
    }
    if (found) {
        InsertCategory(tree, meters, Drive, drives.count, "Drive", drives.keys, "ドライブ",
                       drives.texts);
    }
    ReleaseDriveList(&drives);
    if (folder) {
        folder->Release();
    }
    if (desktop) {
        desktop->Release();
    }
    if (computer) {
        allocator->Free(computer);
    }
    allocator->Release();
}

void InsertCounter(HWND tree, HTREEITEM category, Meter** meters, HKEY object,
                   const char* objectKey, const char* counterKey) {
    HKEY counter;
    if (RegOpenKeyExA(object, counterKey, 0, KEY_READ, &counter) != ERROR_SUCCESS) {
        return;
    }
    MeterChoice* choice = CreateMeterChoice(PerfStat, counterKey);
    char* name = ReadStringValue(counter, "Name");
    char* differentiate = ReadStringValue(counter, "Differentiate");
    RegCloseKey(counter);
    if (choice) {
        choice->differentiate = differentiate && IsTrueText(differentiate) ? 1 : 0;
        InsertCandidate(tree, category, meters, objectKey, choice, name ? name : counterKey);
    }
    free(name);
    free(differentiate);
}

void InsertStatisticsObject(HWND tree, Meter** meters, HKEY enumKey, const char* objectKey) {
    HKEY object;
    if (RegOpenKeyExA(enumKey, objectKey, 0, KEY_READ, &object) != ERROR_SUCCESS) {
        return;
    }
    char* name = ReadStringValue(object, "Name");
    HTREEITEM category = InsertCategoryItem(tree, objectKey, name ? name : objectKey);
    free(name);
    char counterKey[256];
    for (DWORD i = 0;
         category && RegEnumKeyA(object, i, counterKey, sizeof(counterKey)) == ERROR_SUCCESS; ++i) {
        InsertCounter(tree, category, meters, object, objectKey, counterKey);
    }
    RegCloseKey(object);
}

void InsertStatisticsCategories(HWND tree, Meter** meters) {
    HKEY enumKey;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, statisticsEnumKey, 0, KEY_READ, &enumKey) !=
        ERROR_SUCCESS) {
        return;
    }
    // Any failure ends the walk, not just the end of the list: no endless loop on a bad key.
    char objectKey[256];
    for (DWORD i = 0; RegEnumKeyA(enumKey, i, objectKey, sizeof(objectKey)) == ERROR_SUCCESS; ++i) {
        InsertStatisticsObject(tree, meters, enumKey, objectKey);
    }
    RegCloseKey(enumKey);
}

// The selected candidate and its category; false with a category or nothing selected.
bool SelectedCandidate(HWND tree, MeterChoice** choice, MeterChoice** category) {
    HTREEITEM item =
        reinterpret_cast<HTREEITEM>(SendMessageA(tree, TVM_GETNEXTITEM, TVGN_CARET, 0));
    *choice = ChoiceOf(tree, item);
    if (!*choice) {
        return false;
    }
    HTREEITEM parent = ParentOf(tree, item);
    if (!parent) {
        return false;
    }
    *category = ChoiceOf(tree, parent);
    return *category != nullptr;
}

// The raw counter of a statistic, read whatever its registry type; false when unreadable.
bool ReadStatistic(const MeterChoice* category, const MeterChoice* choice, uint32_t* raw) {
    char* name = JoinKey(category->key, choice->key);
    if (!name) {
        return false;
    }
    HKEY data;
    LONG result = RegOpenKeyExA(HKEY_DYN_DATA, statisticsDataKey, 0, KEY_QUERY_VALUE, &data);
    if (result == ERROR_SUCCESS) {
        BYTE buffer[4] = {};
        DWORD size = sizeof(buffer);
        result = RegQueryValueExA(data, name, nullptr, nullptr, buffer, &size);
        RegCloseKey(data);
        if (result == ERROR_SUCCESS && size == sizeof(buffer)) {
            *raw = static_cast<uint32_t>(buffer[0]) | static_cast<uint32_t>(buffer[1]) << 8 |
                   static_cast<uint32_t>(buffer[2]) << 16 | static_cast<uint32_t>(buffer[3]) << 24;
        } else {
            result = ERROR_INVALID_DATA;
        }
    }
    free(name);
    return result == ERROR_SUCCESS;
}

// The percentage of free resources, the library loaded and freed within the one reading.
bool ReadFreeResources(int32_t index, uint32_t* value) {
    HMODULE library = LoadLibraryA("rsrc32.dll");
    if (!library) {
        return false;
    }
    void* function = reinterpret_cast<void*>(
        reinterpret_cast<void (*)()>(GetProcAddress(library, "_MyGetFreeSystemResources32@4")));
    uintptr_t percent = 0;
    const bool read = function && VtGuardedCall1(function, static_cast<uintptr_t>(index), &percent);
    FreeLibrary(library);
    if (read) {
        *value = static_cast<uint32_t>(percent);
    }
    return read;
}

// A new reading of the candidate, as the band takes it; false when the source gives none, so
// that the bar holds still rather than dropping to a false 0.
bool ReadChoice(MeterChoice* choice, const MeterChoice* category, uint32_t now, uint32_t* value) {
    uint32_t scale = 0;
    switch (choice->kind) {
    case PerfStat: {
        uint32_t raw = 0;
        if (!ReadStatistic(category, choice, &raw)) {
            return false;
        }
        *value = choice->differentiate
                     ? DifferentiateChoice(choice, raw, now - choice->lastReadTick)
                     : raw;
        if (*value > choice->scale) {
            choice->scale = *value; // a statistic's scale only grows
        }
        return true;
    }
    case Resource:
        if (!ReadFreeResources(choice->index, value)) {
            return false;
        }
        choice->scale = PreviewPercentScale;
        return true;
    case Memory:
        if (!ReadMemoryStatus(choice->index, value, &scale)) {
            return false;
        }
        choice->scale = scale;
        return true;
    case Drive: {
        DWORD total = 0;
        DWORD available = 0;
        if (!GetDriveSpace(choice->key, &total, &available)) {
            return false;
        }
        choice->scale = total;
        *value = available;
        return true;
    }
    default:
        return false;
    }
}

bool SampleChoice(HWND tree, MeterChoice** sampled, uint32_t* value) {
    MeterChoice* choice = nullptr;
    MeterChoice* category = nullptr;
    if (!SelectedCandidate(tree, &choice, &category)) {
        return false;
    }
    *sampled = choice;
    *value = choice->value;
    const uint32_t now = GetTickCount();
    if (now - choice->lastSampleTick < choice->interval) {
        return true;
    }
    if (ReadChoice(choice, category, now, value)) {
        choice->lastReadTick = now;
    }
    // Timed from the end of the reading, so that a slow source is not asked again at once.
    choice->lastSampleTick = GetTickCount();
    return true;
}

void PreviewTick(HWND dialog) {
    MeterChoice* choice = nullptr;
    uint32_t value = 0;
    if (!SampleChoice(Tree(dialog), &choice, &value)) {
        return;
    }
    NotePreviewValue(choice, value);
    HWND preview = GetDlgItem(dialog, IDC_PREVIEW);
    RECT area;
    GetClientRect(preview, &area);
    HDC dc = GetDC(preview);
    if (dc) {
        DrawBarThrough(&previewStrips, dc, area, choice->value, choice->scale, choice->peak,
                       nullptr, false);
        ReleaseDC(preview, dc);
    }
    LetPreviewPeakFall(choice, area.right - area.left);
}

void ShowSelection(HWND dialog, HWND tree, HTREEITEM item) {
    MeterChoice* choice = ChoiceOf(tree, item);
    if (!choice) {
        return;
    }
    HTREEITEM parent = ParentOf(tree, item);
    if (!parent) {
        SetDlgItemTextA(dialog, IDC_SELECTED_KEY, choice->key);
        EnableItemControls(dialog, false);
        return;
    }
    const MeterChoice* category = ChoiceOf(tree, parent);
    char* fullKey = category ? JoinKey(category->key, choice->key) : nullptr;
    if (!fullKey) {
        return;
    }
    SetDlgItemTextA(dialog, IDC_SELECTED_KEY, fullKey);
    free(fullKey);
    CheckRadioButton(dialog, IDC_INTERVAL_500, IDC_INTERVAL_3000,
                     RadioOfInterval(choice->interval));
    CheckDlgButton(dialog, IDC_ENABLED, choice->enabled ? BST_CHECKED : BST_UNCHECKED);
    EnableItemControls(dialog, true);
}

void AppendMeter(Meter*** tail, Meter* meter) {
    **tail = meter;
    *tail = &meter->next;
}

// The new list, one meter per ticked candidate in tree order; false (nothing kept) when memory
// runs out, so that the band never ends up with half a list.
bool BuildTickedMeters(HWND tree, Meter** list) {
    *list = nullptr;
    Meter** tail = list;
    for (HTREEITEM top = NextItem(tree, nullptr, TVGN_ROOT); top;
         top = NextItem(tree, top, TVGN_NEXT)) {
        const MeterChoice* category = ChoiceOf(tree, top);
        for (HTREEITEM item = NextItem(tree, top, TVGN_CHILD); category && item;
             item = NextItem(tree, item, TVGN_NEXT)) {
            const MeterChoice* choice = ChoiceOf(tree, item);
            if (!choice || !choice->enabled) {
                continue;
            }
            Meter* meter = CreateMeter();
            char* key = JoinKey(category->key, choice->key);
            if (!meter || !key) {
                free(meter);
                free(key);
                ReleaseMeters(*list);
                *list = nullptr;
                return false;
            }
            meter->kind = choice->kind;
            meter->key = key;
            meter->index = choice->index;
            meter->interval = choice->interval;
            AppendMeter(&tail, meter);
        }
    }
    return true;
}

void HandleCommand(HWND dialog, int id) {
    HWND tree = Tree(dialog);
    MeterChoice* target = nullptr;
    MeterChoice* category = nullptr;
    if (!SelectedCandidate(tree, &target, &category)) {
        target = nullptr;
    }
    switch (id) {
    case IDOK: {
        Meter* list = nullptr;
        if (!BuildTickedMeters(tree, &list)) {
            EndDialog(dialog, IDCANCEL);
            return;
        }
        ReleaseMeters(*dialogMeters);
        *dialogMeters = list;
        EndDialog(dialog, IDOK);
        return;
    }
    case IDCANCEL:
        EndDialog(dialog, IDCANCEL);
        return;
    case IDC_ENABLED:
        if (target) {
            target->enabled = IsDlgButtonChecked(dialog, IDC_ENABLED) == BST_CHECKED ? 1 : 0;
        }
        return;
    case IDC_INTERVAL_500:
        if (target) {
            target->interval = 500;
        }
        return;
    case IDC_INTERVAL_1000:
        if (target) {
            target->interval = 1000;
        }
        return;
    case IDC_INTERVAL_3000:
        if (target) {
            target->interval = 3000;
        }
        return;
    default:
        return;
    }
}

bool IsHandledCommand(int id) {
    return id == IDOK || id == IDCANCEL || id == IDC_ENABLED || id == IDC_INTERVAL_500 ||
           id == IDC_INTERVAL_1000 || id == IDC_INTERVAL_3000;
}

BOOL Initialise(HWND dialog, LPARAM parameter) {
    if (openDialog || !parameter) {
        // Another settings dialog holds the module-wide state: this one ends untouched.
        EndDialog(dialog, IDCANCEL);
        return TRUE;
    }
    openDialog = dialog;
    dialogMeters = reinterpret_cast<Meter**>(parameter);
    HWND tree = Tree(dialog);
    InsertCategory(tree, dialogMeters, Resource, 3, "Resource", resourceKeys, "リソース",
                   resourceKeys);
    InsertCategory(tree, dialogMeters, Memory, 4, "Memory", memoryKeys, "メモリー", memoryTexts);
    InsertDriveCategory(dialog, tree, dialogMeters);
    InsertStatisticsCategories(tree, dialogMeters);
    for (const Meter* meter = *dialogMeters; meter; meter = meter->next) {
        InsertKeptMeter(tree, meter);
    }
    previewTimer = SetTimer(dialog, previewTimerId, PreviewTickMilliseconds, nullptr);
    SetFocus(GetDlgItem(dialog, IDOK));
    return FALSE;
}

BOOL HandleNotify(HWND dialog, const NMHDR* header) {
    if (header->idFrom != IDC_METER_TREE) {
        return FALSE;
    }
    const NMTREEVIEWA* change = reinterpret_cast<const NMTREEVIEWA*>(header);
    switch (header->code) {
    case TVN_SELCHANGEDA:
    case TVN_SELCHANGEDW:
        ShowSelection(dialog, header->hwndFrom, change->itemNew.hItem);
        return TRUE;
    case TVN_DELETEITEMA:
    case TVN_DELETEITEMW:
        ReleaseMeterChoice(reinterpret_cast<MeterChoice*>(change->itemOld.lParam));
        return TRUE;
    default:
        return FALSE;
    }
}

} // namespace

HWND OpenSettingsDialog() {
    return openDialog;
}

INT_PTR CALLBACK SettingsDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        return Initialise(dialog, lParam);
    case WM_NOTIFY:
        return HandleNotify(dialog, reinterpret_cast<const NMHDR*>(lParam));
    case WM_COMMAND:
        if (openDialog != dialog || !IsHandledCommand(LOWORD(wParam))) {
            return FALSE;
        }
        HandleCommand(dialog, LOWORD(wParam));
        return TRUE;
    case WM_TIMER:
        if (wParam == previewTimerId && openDialog == dialog) {
            PreviewTick(dialog);
        }
        return FALSE;
    case WM_SYSCOLORCHANGE:
        if (openDialog == dialog) {
            ReleaseBarStrips(&previewStrips); // the pictures hold the old colours
        }
        return FALSE;
    case WM_CLOSE:
        if (openDialog == dialog && previewTimer != 0) {
            KillTimer(dialog, previewTimer);
            previewTimer = 0;
        }
        return FALSE;
    case WM_DESTROY:
        // Releases the process's one dialog; a refused second dialog holds nothing to release.
        if (openDialog == dialog) {
            openDialog = nullptr;
            dialogMeters = nullptr;
            previewTimer = 0;
            ReleaseBarStrips(&previewStrips);
        }
        return FALSE;
    default:
        return FALSE;
    }
}
