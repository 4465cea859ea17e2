// The class factory and the two COM server exports that hand it out and report unloading.
#include <windows.h>

#include <stdlib.h>

#include "band_object.h"
#include "module.h"

namespace {

struct ClassFactoryTable {
    HRESULT(STDMETHODCALLTYPE* QueryInterface)(void* self, REFIID riid, void** ppv);
    ULONG(STDMETHODCALLTYPE* AddRef)(void* self);
    ULONG(STDMETHODCALLTYPE* Release)(void* self);
    HRESULT(STDMETHODCALLTYPE* CreateInstance)
    (void* self, IUnknown* outer, REFIID riid, void** ppv);
    HRESULT(STDMETHODCALLTYPE* LockServer)(void* self, BOOL lock);
};

struct MeterBandFactory {
    const ClassFactoryTable* table;
    LONG refCount;
    CLSID classId;
};

HRESULT STDMETHODCALLTYPE FactoryQueryInterface(void* self, REFIID riid, void** ppv) {
    if (!ppv) {
        return E_INVALIDARG;
    }
    *ppv = nullptr;
    if (!IsEqualIID(riid, IID_IUnknown) && !IsEqualIID(riid, IID_IClassFactory)) {
        return E_NOINTERFACE;
    }
    ++static_cast<MeterBandFactory*>(self)->refCount;
    *ppv = self;
    return S_OK;
}

ULONG STDMETHODCALLTYPE FactoryAddRef(void* self) {
    return static_cast<ULONG>(++static_cast<MeterBandFactory*>(self)->refCount);
}

ULONG STDMETHODCALLTYPE FactoryRelease(void* self) {
    MeterBandFactory* factory = static_cast<MeterBandFactory*>(self);
    const LONG count = --factory->refCount;
    if (count == 0) {
        free(factory);
        --objectCount;
    }
    return static_cast<ULONG>(count);
}

HRESULT STDMETHODCALLTYPE CreateInstance(void* self, IUnknown* outer, REFIID riid, void** ppv) {
    if (!ppv) {
        return E_INVALIDARG;
    }
    *ppv = nullptr;
    if (outer) {
        return CLASS_E_NOAGGREGATION;
    }
    if (!IsEqualCLSID(static_cast<MeterBandFactory*>(self)->classId, CLSID_VeltrimBand)) {
        return E_FAIL;
    }
    MeterBand* band = NewMeterBand();
    if (!band) {
        return E_OUTOFMEMORY;
    }
    IUnknown* unknown = BandUnknown(band);
    const HRESULT result = unknown->QueryInterface(riid, ppv);
    unknown->Release();
    return result;
}

HRESULT STDMETHODCALLTYPE LockServer(void*, BOOL) {
    return E_NOTIMPL;
}

const ClassFactoryTable classFactoryTable = {
    FactoryQueryInterface, FactoryAddRef, FactoryRelease, CreateInstance, LockServer,
};

} // namespace

STDAPI DllCanUnloadNow() {
    return objectCount == 0 ? S_OK : S_FALSE;
}

STDAPI DllGetClassObject(REFCLSID rclsid, REFIID riid, void** ppv) {
    if (!ppv) {
        return E_INVALIDARG;
    }
    *ppv = nullptr;
    if (!IsEqualCLSID(rclsid, CLSID_VeltrimBand)) {
        return CLASS_E_CLASSNOTAVAILABLE;
    }
    MeterBandFactory* factory = static_cast<MeterBandFactory*>(malloc(sizeof(MeterBandFactory)));
    if (!factory) {
        return E_OUTOFMEMORY;
    }
    factory->table = &classFactoryTable;
    factory->refCount = 1;
    factory->classId = rclsid;
    ++objectCount;
    const HRESULT result = FactoryQueryInterface(factory, riid, ppv);
    FactoryRelease(factory);
    return result;
}
