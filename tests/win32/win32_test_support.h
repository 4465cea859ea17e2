// Helpers shared by the Win32 tests: files beside the test program, registry set-up, windows.
#pragma once

#include <windows.h>
#include <shlobj.h>

#include <stdint.h>

#include <string>
#include <vector>

#include "shell/meter_band.h"

// The folder of the running test program, with a trailing backslash.
std::string ProgramFolder();

// Runs a command line to its end (at most a minute); its exit code, or 0xFFFFFFFF.
DWORD RunAndWait(std::string commandLine);

// Writes a value under HKEY_DYN_DATA "PerfStats\StatData" (creating the key).
void SetStatData(const char* name, DWORD type, const void* data, DWORD size);
void SetStatTotal(const char* name, DWORD total);
// Creates or removes HKEY_DYN_DATA "PerfStats\StartStat".
void CreateStartStat();
void DeleteStartStat();
// The description of a statistic under HKLM "...\PerfStats\Enum\<key>"; null values are left out.
void SetStatDescription(const char* key, const char* name, const char* differentiate);
// Removes a key and everything under it, leaf first.
void DeleteKeyTree(HKEY root, const char* path);

// Appends a new meter to a list and returns it.
Meter* AppendMeter(Meter** head, MeterKind kind, const char* key, int index, DWORD interval);

// A band record with a plain hidden window of its own; the meters are the caller's.
struct TestBand {
    MeterBand band;
    TestBand();
    ~TestBand();
    Meter* Add(MeterKind kind, const char* key, int index, DWORD interval);
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
};

// 0x00RRGGBB of a COLORREF, and the reverse.
uint32_t RgbOf(COLORREF colour);
// "r,g,b" of a pixel value, for readable failures.
std::string RgbText(uint32_t rgb);

// A host's site for a band: its strip window, and what the band told it about focus. What it
// offers can be narrowed to try the band's refusals.
struct TestSite : IOleWindow, IInputObjectSite {
    HWND strip = nullptr;
    bool offerWindow = true;
    bool offerInputSite = true;
    std::vector<BOOL> focusChanges;
    LONG refs = 1;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        *ppv = nullptr;
        if (IsEqualIID(riid, IID_IUnknown)) {
            *ppv = static_cast<IOleWindow*>(this);
        } else if (IsEqualIID(riid, IID_IOleWindow) && offerWindow) {
            *ppv = static_cast<IOleWindow*>(this);
        } else if (IsEqualIID(riid, IID_IInputObjectSite) && offerInputSite) {
            *ppv = static_cast<IInputObjectSite*>(this);
        } else {
            return E_NOINTERFACE;
        }
        AddRef();
        return S_OK;
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
