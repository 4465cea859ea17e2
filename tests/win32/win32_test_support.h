// Fixtures shared by the Win32 tests: statistics in the registry, bands, pixels, a site, and the
// real vt.dll reached through COM. Windows and programs are driven through driver.h.
#pragma once

#include <windows.h>
#include <shlobj.h>

#include <stdint.h>

#include <ostream>
#include <string>
#include <vector>

#include "driver.h"
#include "shell/band_object.h"
#include "shell/meter_band.h"

// Writes a value under HKEY_DYN_DATA "PerfStats\StatData" (creating the key).
void SetStatData(const char* name, DWORD type, const void* data, DWORD size);
void SetStatTotal(const char* name, DWORD total);
// Creates or removes HKEY_DYN_DATA "PerfStats\StartStat".
void CreateStartStat();
void DeleteStartStat();
// The description of a statistic under HKLM "...\PerfStats\Enum\<key>"; null values are left out,
// the others stored with their terminator or without.
void SetStatDescription(const char* key, const char* name, const char* differentiate,
                        bool terminated = true);

// Maps a drive letter to a host folder as a drive of that type (DRIVE_CDROM, ...) through Wine's
// mount manager, as its configuration tool does; no folder removes the drive. False if refused.
bool DefineWineDrive(char letter, UINT type, const char* folder);

// A band record in a shell's place: a visible host window of its own class (clipping the band
// window out of its painting), which is also the band's window until Create makes the real band
// window in it. The meters are the caller's.
struct TestBand {
    MeterBand band;
    HWND parent;
    explicit TestBand(int width = 200, int height = 40);
    ~TestBand();
    Meter* Add(MeterKind kind, const char* key, int index, DWORD interval);
    // Creates the band window and shows it, as the shell does after SetSite.
    bool Create();
    void Tick() {
        SendMessageA(band.window, WM_TIMER, 1, 0);
    }
    void Paint() {
        InvalidateRect(band.window, nullptr, FALSE);
        UpdateWindow(band.window);
    }
};

// A 32-bit top-down DIB section selected into a memory device context: real pixels to draw into
// and read back. Pixels are 0x00RRGGBB.
struct Dib {
    HDC dc;
    HBITMAP bitmap;
    HGDIOBJ previous;
    uint32_t* bits;
    int width;
    int height;
    Dib(int width, int height);
    ~Dib();
    uint32_t At(int x, int y) const;
    void Fill(uint32_t rgb);
    // Copies what is on the screen from (x, y) of a window's client area (of the screen for null).
    void Capture(HWND window, int x = 0, int y = 0);
};

// 0x00RRGGBB of a COLORREF, and the reverse.
uint32_t RgbOf(COLORREF colour);
// "r,g,b" of a pixel value, for readable failures.
std::string RgbText(uint32_t rgb);

// A host's site for a band: its strip window, and what the band told it about focus.
struct TestSite : IOleWindow, IInputObjectSite {
    HWND strip = nullptr;
    std::vector<BOOL> focusChanges;
    LONG refs = 1;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        const bool window = IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IOleWindow);
        *ppv = window ? static_cast<void*>(static_cast<IOleWindow*>(this))
               : IsEqualIID(riid, IID_IInputObjectSite) ? static_cast<IInputObjectSite*>(this)
                                                        : nullptr;
        return *ppv ? (AddRef(), S_OK) : E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override {
        return ++refs;
    }
    ULONG STDMETHODCALLTYPE Release() override {
        return --refs;
    }
    HRESULT STDMETHODCALLTYPE GetWindow(HWND* window) override {
        *window = strip;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE OnFocusChangeIS(IUnknown*, BOOL focus) override {
        focusChanges.push_back(focus);
        return S_OK;
    }
};

// vt.dll beside the test program, loaded once, and an export of it.
HMODULE BandDll();
template <typename Function> Function BandExport(const char* name) {
    return reinterpret_cast<Function>(
        reinterpret_cast<void (*)()>(GetProcAddress(BandDll(), name)));
}
// vt.dll's class factory for the class, through its DllGetClassObject.
inline HRESULT GetClassObject(REFCLSID clsid, IClassFactory** factory) {
    return BandExport<HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**)>("DllGetClassObject")(
        clsid, IID_IClassFactory, reinterpret_cast<void**>(factory));
}
// A new band object of vt.dll made by its class factory, as the interface asked for.
template <typename Interface> Interface* NewBand(REFIID iid) {
    IClassFactory* factory = nullptr;
    GetClassObject(CLSID_VeltrimBand, &factory);
    Interface* object = nullptr;
    if (factory) {
        factory->CreateInstance(nullptr, iid, reinterpret_cast<void**>(&object));
        factory->Release();
    }
    return object;
}
// A stream on memory holding bytes, at its start; and the bytes an object saves into one.
IStream* StreamOf(const std::string& bytes);
std::string SavedBytes(IPersistStream* persist, BOOL clearDirty);

// "left,top text|" of each tool of a tooltip control, in order.
std::string ToolTexts(HWND tooltip);

// One meter as the stored state holds it.
struct StoredMeter {
    MeterKind kind;
    std::string key;
    int index;
    uint32_t interval;
};
bool operator==(const StoredMeter& a, const StoredMeter& b);
std::ostream& operator<<(std::ostream& out, const StoredMeter& m);

// A band of the real vt.dll, loaded with meters, sited in a visible host window and shown. The host
// window runs a function sent to it with RunOnHostThread inside any modal loop of the band.
struct SitedBand {
    HWND parent = nullptr;
    TestSite site;
    IUnknown* unknown = nullptr;
    IContextMenu* menu = nullptr;
    IPersistStream* persist = nullptr;
    IObjectWithSite* withSite = nullptr;
    IDockingWindow* docking = nullptr;

    SitedBand(const std::vector<StoredMeter>& meters, int width, int height);
    ~SitedBand();
    MeterBand* Record() const;
    std::vector<StoredMeter> Saved() const;
    // Runs a command of the band's menu by its offset.
    HRESULT Invoke(UINT_PTR verb) {
        CMINVOKECOMMANDINFO info = {};
        info.cbSize = sizeof(info);
        info.lpVerb = reinterpret_cast<LPCSTR>(verb);
        return menu->InvokeCommand(&info);
    }
    void RunOnHostThread(const std::function<void()>& work) const;
};
