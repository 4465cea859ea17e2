#include "band_object.h"

#include <stddef.h>
#include <stdlib.h>

#include <shlobj.h>
#include <commctrl.h>

#include "../meters/sources.h"
#include "../window/band_window.h"
#include "band_state.h"
#include "context_menu.h"
#include "module.h"

// {11795084-FD2F-4677-BFB5-D3D0E8F3AC67}
const CLSID CLSID_VeltrimBand = {
    0x11795084, 0xfd2f, 0x4677, {0xbf, 0xb5, 0xd3, 0xd0, 0xe8, 0xf3, 0xac, 0x67}};

namespace {

// Interface tables in the platform's slot order; every method takes the interface pointer.
struct UnknownSlots {
    HRESULT(STDMETHODCALLTYPE* QueryInterface)(void* self, REFIID riid, void** ppv);
    ULONG(STDMETHODCALLTYPE* AddRef)(void* self);
    ULONG(STDMETHODCALLTYPE* Release)(void* self);
};

struct DeskBandTable {
    UnknownSlots unknown;
    HRESULT(STDMETHODCALLTYPE* GetWindow)(void* self, HWND* phwnd);
    HRESULT(STDMETHODCALLTYPE* ContextSensitiveHelp)(void* self, BOOL enterMode);
    HRESULT(STDMETHODCALLTYPE* ShowDW)(void* self, BOOL show);
    HRESULT(STDMETHODCALLTYPE* CloseDW)(void* self, DWORD reserved);
    HRESULT(STDMETHODCALLTYPE* ResizeBorderDW)
    (void* self, LPCRECT border, IUnknown* site, BOOL reserved);
    HRESULT(STDMETHODCALLTYPE* GetBandInfo)
    (void* self, DWORD bandId, DWORD viewMode, DESKBANDINFO* info);
};

struct InputObjectTable {
    UnknownSlots unknown;
    HRESULT(STDMETHODCALLTYPE* UIActivateIO)(void* self, BOOL activate, MSG* msg);
    HRESULT(STDMETHODCALLTYPE* HasFocusIO)(void* self);
    HRESULT(STDMETHODCALLTYPE* TranslateAcceleratorIO)(void* self, MSG* msg);
};

struct ObjectWithSiteTable {
    UnknownSlots unknown;
    HRESULT(STDMETHODCALLTYPE* SetSite)(void* self, IUnknown* site);
    HRESULT(STDMETHODCALLTYPE* GetSite)(void* self, REFIID riid, void** ppvSite);
};

struct PersistStreamTable {
    UnknownSlots unknown;
    HRESULT(STDMETHODCALLTYPE* GetClassID)(void* self, CLSID* classId);
    HRESULT(STDMETHODCALLTYPE* IsDirty)(void* self);
    HRESULT(STDMETHODCALLTYPE* Load)(void* self, IStream* stream);
    HRESULT(STDMETHODCALLTYPE* Save)(void* self, IStream* stream, BOOL clearDirty);
    HRESULT(STDMETHODCALLTYPE* GetSizeMax)(void* self, ULARGE_INTEGER* size);
};

struct ContextMenuTable {
    UnknownSlots unknown;
    HRESULT(STDMETHODCALLTYPE* QueryContextMenu)
    (void* self, HMENU menu, UINT indexMenu, UINT firstId, UINT lastId, UINT flags);
    HRESULT(STDMETHODCALLTYPE* InvokeCommand)(void* self, CMINVOKECOMMANDINFO* info);
    HRESULT(STDMETHODCALLTYPE* GetCommandString)
    (void* self, UINT_PTR command, UINT type, UINT* reserved, LPSTR name, UINT size);
};

// The primary interface sits at the start of the record; the others follow it.
MeterBand* FromPrimary(void* self) {
    return static_cast<MeterBand*>(self);
}

MeterBand* FromInterface(void* self, size_t offset) {
    return reinterpret_cast<MeterBand*>(static_cast<char*>(self) - offset);
}

MeterBand* FromInputObject(void* self) {
    return FromInterface(self, offsetof(MeterBand, inputObjectTable));
}

MeterBand* FromObjectWithSite(void* self) {
    return FromInterface(self, offsetof(MeterBand, objectWithSiteTable));
}

MeterBand* FromPersistStream(void* self) {
    return FromInterface(self, offsetof(MeterBand, persistStreamTable));
}

MeterBand* FromContextMenu(void* self) {
    return FromInterface(self, offsetof(MeterBand, contextMenuTable));
}

void DestroyMeterBand(MeterBand* band) {
    // A host may release the band without CloseDW; its window must not keep a freed band.
    DetachBandWindow(band);
    ReleaseResourceModule();
    ReleaseStatisticsKey(band);
    ReleaseMeters(band->meters);
    band->meters = nullptr;
    if (band->font) {
        DeleteObject(band->font);
    }
    if (band->site) {
        band->site->Release();
    }
    --objectCount;
    free(band);
}

// IUnknown, shared by every interface through the adjustments below.

HRESULT STDMETHODCALLTYPE BandQueryInterface(void* self, REFIID riid, void** ppv) {
    if (!ppv) {
        return E_INVALIDARG;
    }
    *ppv = nullptr;
    MeterBand* band = FromPrimary(self);
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IOleWindow) ||
        IsEqualIID(riid, IID_IDockingWindow) || IsEqualIID(riid, IID_IDeskBand)) {
        *ppv = &band->deskBandTable;
    } else if (IsEqualIID(riid, IID_IInputObject)) {
        *ppv = &band->inputObjectTable;
    } else if (IsEqualIID(riid, IID_IObjectWithSite)) {
        *ppv = &band->objectWithSiteTable;
    } else if (IsEqualIID(riid, IID_IPersist) || IsEqualIID(riid, IID_IPersistStream)) {
        *ppv = &band->persistStreamTable;
    } else if (IsEqualIID(riid, IID_IContextMenu)) {
        *ppv = &band->contextMenuTable;
    } else {
        return E_NOINTERFACE;
    }
    ++band->refCount;
    return S_OK;
}

ULONG STDMETHODCALLTYPE BandAddRef(void* self) {
    return static_cast<ULONG>(++FromPrimary(self)->refCount);
}

ULONG STDMETHODCALLTYPE BandRelease(void* self) {
    MeterBand* band = FromPrimary(self);
    const LONG count = --band->refCount;
    if (count == 0) {
        DestroyMeterBand(band);
    }
    return static_cast<ULONG>(count);
}

HRESULT STDMETHODCALLTYPE InputObjectQueryInterface(void* self, REFIID riid, void** ppv) {
    return BandQueryInterface(FromInputObject(self), riid, ppv);
}
ULONG STDMETHODCALLTYPE InputObjectAddRef(void* self) {
    return BandAddRef(FromInputObject(self));
}
ULONG STDMETHODCALLTYPE InputObjectRelease(void* self) {
    return BandRelease(FromInputObject(self));
}

HRESULT STDMETHODCALLTYPE ObjectWithSiteQueryInterface(void* self, REFIID riid, void** ppv) {
    return BandQueryInterface(FromObjectWithSite(self), riid, ppv);
}
ULONG STDMETHODCALLTYPE ObjectWithSiteAddRef(void* self) {
    return BandAddRef(FromObjectWithSite(self));
}
ULONG STDMETHODCALLTYPE ObjectWithSiteRelease(void* self) {
    return BandRelease(FromObjectWithSite(self));
}

HRESULT STDMETHODCALLTYPE PersistStreamQueryInterface(void* self, REFIID riid, void** ppv) {
    return BandQueryInterface(FromPersistStream(self), riid, ppv);
}
ULONG STDMETHODCALLTYPE PersistStreamAddRef(void* self) {
    return BandAddRef(FromPersistStream(self));
}
ULONG STDMETHODCALLTYPE PersistStreamRelease(void* self) {
    return BandRelease(FromPersistStream(self));
}

HRESULT STDMETHODCALLTYPE ContextMenuQueryInterface(void* self, REFIID riid, void** ppv) {
    return BandQueryInterface(FromContextMenu(self), riid, ppv);
}
ULONG STDMETHODCALLTYPE ContextMenuAddRef(void* self) {
    return BandAddRef(FromContextMenu(self));
}
ULONG STDMETHODCALLTYPE ContextMenuRelease(void* self) {
    return BandRelease(FromContextMenu(self));
}

// IOleWindow, IDockingWindow, IDeskBand

HRESULT STDMETHODCALLTYPE GetWindow(void* self, HWND* phwnd) {
    if (!phwnd) {
        return E_INVALIDARG;
    }
    *phwnd = FromPrimary(self)->window;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(void*, BOOL) {
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE ShowDW(void* self, BOOL show) {
    MeterBand* band = FromPrimary(self);
    if (band->window) {
        ShowWindow(band->window, show ? SW_SHOW : SW_HIDE);
    }
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CloseDW(void* self, DWORD) {
    MeterBand* band = FromPrimary(self);
    ShowDW(self, FALSE);
    if (band->window && IsWindow(band->window)) {
        DestroyWindow(band->window);
    }
    band->window = nullptr;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE ResizeBorderDW(void*, LPCRECT, IUnknown*, BOOL) {
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE GetBandInfo(void* self, DWORD bandId, DWORD viewMode,
                                      DESKBANDINFO* info) {
    if (!info) {
        return E_INVALIDARG;
    }
    MeterBand* band = FromPrimary(self);
    band->bandId = bandId;
    band->viewMode = viewMode;
    if (info->dwMask & DBIM_MINSIZE) {
        info->ptMinSize.x = 20;
        info->ptMinSize.y = 10;
    }
    if (info->dwMask & DBIM_MAXSIZE) {
        info->ptMaxSize.x = -1;
        info->ptMaxSize.y = -1;
    }
    if (info->dwMask & DBIM_INTEGRAL) {
        info->ptIntegral.x = 1;
        info->ptIntegral.y = 1;
    }
    if (info->dwMask & DBIM_ACTUAL) {
        info->ptActual.x = 0;
        info->ptActual.y = 0;
    }
    if (info->dwMask & DBIM_TITLE) {
        const wchar_t title[] = L"Veltrim";
        memcpy(info->wszTitle, title, sizeof(title));
    }
    if (info->dwMask & DBIM_MODEFLAGS) {
        info->dwModeFlags = DBIMF_VARIABLEHEIGHT;
    }
    // The host's own background shows through.
    info->dwMask &= ~static_cast<DWORD>(DBIM_BKCOLOR);
    return S_OK;
}

// IInputObject

HRESULT STDMETHODCALLTYPE UIActivateIO(void* self, BOOL activate, MSG*) {
    MeterBand* band = FromInputObject(self);
    if (activate) {
        SetFocus(band->window);
    }
    return S_OK;
}

HRESULT STDMETHODCALLTYPE HasFocusIO(void* self) {
    return FromInputObject(self)->hasFocus ? S_OK : S_FALSE;
}

HRESULT STDMETHODCALLTYPE TranslateAcceleratorIO(void*, MSG*) {
    return S_FALSE;
}

// IObjectWithSite

HRESULT STDMETHODCALLTYPE SetSite(void* self, IUnknown* site) {
    MeterBand* band = FromObjectWithSite(self);
    if (band->site) {
        band->site->Release();
        band->site = nullptr;
    }
    if (!site) {
        return S_OK;
    }
    band->parentWindow = nullptr;
    IOleWindow* oleWindow = nullptr;
    if (SUCCEEDED(site->QueryInterface(IID_IOleWindow, reinterpret_cast<void**>(&oleWindow))) &&
        oleWindow) {
        oleWindow->GetWindow(&band->parentWindow);
        oleWindow->Release();
    }
    if (!band->parentWindow) {
        return E_FAIL;
    }
    if (!CreateBandWindow(band) || !band->window) {
        return E_FAIL;
    }
    if (FAILED(site->QueryInterface(IID_IInputObjectSite, reinterpret_cast<void**>(&band->site)))) {
        band->site = nullptr;
        return E_FAIL;
    }
    return band->site ? S_OK : E_FAIL;
}

HRESULT STDMETHODCALLTYPE GetSite(void* self, REFIID riid, void** ppvSite) {
    if (!ppvSite) {
        return E_INVALIDARG;
    }
    *ppvSite = nullptr;
    MeterBand* band = FromObjectWithSite(self);
    if (!band->site) {
        return E_FAIL;
    }
    return band->site->QueryInterface(riid, ppvSite);
}

// IPersistStream: the codec works over these two adapters.

bool ReadStream(void* context, void* buffer, uint32_t size) {
    ULONG read = 0;
    static_cast<IStream*>(context)->Read(buffer, size, &read);
    return read == size;
}

bool WriteStream(void* context, const void* data, uint32_t size) {
    ULONG written = 0;
    static_cast<IStream*>(context)->Write(data, size, &written);
    return written == size;
}

HRESULT ResultOf(BandStateResult result) {
    switch (result) {
    case BandStateOk:
        return S_OK;
    case BandStateOutOfMemory:
        return E_OUTOFMEMORY;
    default:
        return E_FAIL;
    }
}

HRESULT STDMETHODCALLTYPE GetClassID(void*, CLSID* classId) {
    if (!classId) {
        return E_INVALIDARG;
    }
    *classId = CLSID_VeltrimBand;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE IsDirty(void*) {
    return S_FALSE;
}

HRESULT STDMETHODCALLTYPE Load(void* self, IStream* stream) {
    if (!stream) {
        return E_INVALIDARG;
    }
    MeterBand* band = FromPersistStream(self);
    BandOptions options = {band->animate, band->hideInvalid};
    const ByteReader reader = {&ReadStream, stream};
    // A band that shows already gets tools, labels and a picture for the new list.
    if (band->window) {
        SyncTooltips(band, TTM_DELTOOLA);
    }
    const BandStateResult result = LoadBandState(reader, &options, &band->meters);
    band->animate = options.animate;
    band->hideInvalid = options.hideInvalid;
    if (band->window) {
        AdoptMeterList(band, false);
    }
    return ResultOf(result);
}

HRESULT STDMETHODCALLTYPE Save(void* self, IStream* stream, BOOL) {
    if (!stream) {
        return E_INVALIDARG;
    }
    MeterBand* band = FromPersistStream(self);
    const BandOptions options = {band->animate, band->hideInvalid};
    const ByteWriter writer = {&WriteStream, stream};
    return ResultOf(SaveBandState(writer, options, band->meters));
}

HRESULT STDMETHODCALLTYPE GetSizeMax(void* self, ULARGE_INTEGER* size) {
    if (!size) {
        return E_INVALIDARG;
    }
    size->LowPart = BandStateSize(FromPersistStream(self)->meters);
    size->HighPart = 0;
    return S_OK;
}

// IContextMenu

HRESULT STDMETHODCALLTYPE QueryContextMenu(void* self, HMENU menu, UINT index, UINT firstId, UINT,
                                           UINT flags) {
    return QueryBandMenu(FromContextMenu(self), menu, index, firstId, flags);
}

HRESULT STDMETHODCALLTYPE InvokeCommand(void* self, CMINVOKECOMMANDINFO* info) {
    // A command may run a modal dialog that writes into the band; a host that lets the band go
    // meanwhile must not free it under the dialog.
    MeterBand* band = FromContextMenu(self);
    BandAddRef(band);
    const HRESULT result = InvokeBandCommand(band, info);
    BandRelease(band);
    return result;
}

HRESULT STDMETHODCALLTYPE GetCommandString(void*, UINT_PTR command, UINT type, UINT*, LPSTR name,
                                           UINT size) {
    return BandCommandString(command, type, name, size);
}

const DeskBandTable deskBandTable = {
    {BandQueryInterface, BandAddRef, BandRelease},
    GetWindow,
    ContextSensitiveHelp,
    ShowDW,
    CloseDW,
    ResizeBorderDW,
    GetBandInfo,
};

const InputObjectTable inputObjectTable = {
    {InputObjectQueryInterface, InputObjectAddRef, InputObjectRelease},
    UIActivateIO,
    HasFocusIO,
    TranslateAcceleratorIO,
};

const ObjectWithSiteTable objectWithSiteTable = {
    {ObjectWithSiteQueryInterface, ObjectWithSiteAddRef, ObjectWithSiteRelease},
    SetSite,
    GetSite,
};

const PersistStreamTable persistStreamTable = {
    {PersistStreamQueryInterface, PersistStreamAddRef, PersistStreamRelease},
    GetClassID,
    IsDirty,
    Load,
    Save,
    GetSizeMax,
};

const ContextMenuTable contextMenuTable = {
    {ContextMenuQueryInterface, ContextMenuAddRef, ContextMenuRelease},
    QueryContextMenu,
    InvokeCommand,
    GetCommandString,
};

} // namespace

MeterBand* NewMeterBand() {
    MeterBand* band = static_cast<MeterBand*>(malloc(sizeof(MeterBand)));
    if (!band) {
        return nullptr;
    }
    InitMeterBandFields(band);
    band->deskBandTable = &deskBandTable;
    band->inputObjectTable = &inputObjectTable;
    band->objectWithSiteTable = &objectWithSiteTable;
    band->persistStreamTable = &persistStreamTable;
    band->contextMenuTable = &contextMenuTable;
    ++objectCount;
    BindDiskFreeSpaceEx();
    return band;
}

IUnknown* BandUnknown(MeterBand* band) {
    return reinterpret_cast<IUnknown*>(&band->deskBandTable);
}
