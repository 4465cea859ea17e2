// bandhost.exe plays the shell's part for the band where no Windows 98 taskbar exists: it
// creates the band by its class, gives it a site (a strip window of its own), sizes the strip
// from the band's information, opens the band's context menu on a right-click, keeps the band's
// state in a file between runs, and can write a screenshot of the strip.
//
// usage: bandhost.exe [/state FILE] [/default] [/screenshot FILE.png] [/exit SECONDS]
//                     [/size WIDTHxHEIGHT]
#include <windows.h>
#include <shlobj.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <vector>

#include "screen_shot.h"
#include "shell/band_object.h"
#include "shell/band_state.h"

namespace {

struct Options {
    const char* stateFile = nullptr;
    const char* screenshot = nullptr;
    bool defaults = false;
    DWORD exitAfterMs = 0;
    int width = 600;
    int height = 40;
};

Options options;
HWND frame;
HWND strip;
IDeskBand* band;

enum { ExitTimer = 1, ScreenshotTimer = 2 };

// The site: the strip as the band's parent window, and the focus notifications.
struct HostSite : IOleWindow, IInputObjectSite {
    LONG refs = 1;
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        *ppv = nullptr;
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IOleWindow)) {
            *ppv = static_cast<IOleWindow*>(this);
        } else if (IsEqualIID(riid, IID_IInputObjectSite)) {
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
        return --refs; // lives as long as the program
    }
    HRESULT STDMETHODCALLTYPE GetWindow(HWND* window) override {
        *window = strip;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE OnFocusChangeIS(IUnknown*, BOOL focus) override {
        printf("bandhost: band %s the focus\n", focus ? "has" : "lost");
        return S_OK;
    }
};

HostSite site;

template <typename Interface> Interface* BandAs(REFIID iid) {
    Interface* p = nullptr;
    if (FAILED(band->QueryInterface(iid, reinterpret_cast<void**>(&p)))) {
        return nullptr;
    }
    return p;
}

bool ReadWholeFile(const char* path, std::vector<unsigned char>* bytes) {
    FILE* in = fopen(path, "rb");
    if (!in) {
        return false;
    }
    unsigned char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof(buffer), in)) > 0) {
        bytes->insert(bytes->end(), buffer, buffer + n);
    }
    fclose(in);
    return true;
}

bool AppendBytes(void* context, const void* data, uint32_t size) {
    const unsigned char* p = static_cast<const unsigned char*>(data);
    static_cast<std::vector<unsigned char>*>(context)->insert(
        static_cast<std::vector<unsigned char>*>(context)->end(), p, p + size);
    return true;
}

Meter* DefaultMeter(MeterKind kind, const char* key, int32_t index) {
    Meter* meter = CreateMeter();
    meter->kind = kind;
    meter->key = CopyText(key);
    meter->index = index;
    meter->interval = 1000;
    return meter;
}

// What a user sets up first: processor usage, memory load, free physical memory, drive C:.
std::vector<unsigned char> DefaultState() {
    Meter* meters = DefaultMeter(PerfStat, "KERNEL\\CPUUsage", -1);
    meters->next = DefaultMeter(Memory, "Memory\\Load", 0);
    meters->next->next = DefaultMeter(Memory, "Memory\\AvailPhys", 1);
    meters->next->next->next = DefaultMeter(Drive, "Drive\\C:\\", 0);
    std::vector<unsigned char> bytes;
    const ByteWriter writer = {&AppendBytes, &bytes};
    SaveBandState(writer, BandOptions{1, 0}, meters);
    ReleaseMeters(meters);
    return bytes;
}

void LoadState(const std::vector<unsigned char>& bytes) {
    IPersistStream* persist = BandAs<IPersistStream>(IID_IPersistStream);
    IStream* stream = nullptr;
    if (persist && SUCCEEDED(CreateStreamOnHGlobal(nullptr, TRUE, &stream))) {
        stream->Write(bytes.data(), static_cast<ULONG>(bytes.size()), nullptr);
        LARGE_INTEGER zero = {};
        stream->Seek(zero, STREAM_SEEK_SET, nullptr);
        const HRESULT result = persist->Load(stream);
        printf("bandhost: state loaded (%u bytes): 0x%08lx\n", unsigned(bytes.size()),
               static_cast<unsigned long>(result));
        stream->Release();
    }
    if (persist) {
        persist->Release();
    }
}

void SaveState() {
    IPersistStream* persist = BandAs<IPersistStream>(IID_IPersistStream);
    IStream* stream = nullptr;
    if (!persist || FAILED(CreateStreamOnHGlobal(nullptr, TRUE, &stream))) {
        if (persist) {
            persist->Release();
        }
        return;
    }
    if (SUCCEEDED(persist->Save(stream, TRUE))) {
        HGLOBAL global = nullptr;
        STATSTG stat = {};
        GetHGlobalFromStream(stream, &global);
        stream->Stat(&stat, STATFLAG_NONAME);
        FILE* out = fopen(options.stateFile, "wb");
        if (out) {
            fwrite(GlobalLock(global), 1, stat.cbSize.LowPart, out);
            GlobalUnlock(global);
            fclose(out);
            printf("bandhost: state saved to %s\n", options.stateFile);
        }
    }
    stream->Release();
    persist->Release();
}

void WriteScreenshot() {
    RECT client;
    GetClientRect(strip, &client);
    HDC screen = GetDC(strip);
    if (WriteScreenPng(options.screenshot, screen, 0, 0, client.right, client.bottom)) {
        printf("bandhost: screenshot written to %s\n", options.screenshot);
    }
    ReleaseDC(strip, screen);
}

void ShowBandMenu(int x, int y) {
    IContextMenu* menu = BandAs<IContextMenu>(IID_IContextMenu);
    if (!menu) {
        return;
    }
    HMENU popup = CreatePopupMenu();
    if (SUCCEEDED(menu->QueryContextMenu(popup, 0, 1, 0x7FFF, CMF_NORMAL)) &&
        GetMenuItemCount(popup) > 0) {
        const UINT command =
            TrackPopupMenu(popup, TPM_RETURNCMD | TPM_RIGHTBUTTON, x, y, 0, frame, nullptr);
        if (command != 0) {
            CMINVOKECOMMANDINFO invoke = {};
            invoke.cbSize = sizeof(invoke);
            invoke.hwnd = frame;
            invoke.lpVerb = MAKEINTRESOURCEA(command - 1);
            invoke.nShow = SW_SHOWNORMAL;
            menu->InvokeCommand(&invoke);
        }
    }
    DestroyMenu(popup);
    menu->Release();
}

void FitBandToStrip() {
    RECT client;
    GetClientRect(frame, &client);
    MoveWindow(strip, 0, 0, client.right, client.bottom, TRUE);
    HWND window = nullptr;
    if (band && SUCCEEDED(band->GetWindow(&window)) && window) {
        MoveWindow(window, 0, 0, client.right, client.bottom, TRUE);
    }
}

void CloseBand() {
    if (!band) {
        return;
    }
    if (options.stateFile) {
        SaveState();
    }
    band->CloseDW(0);
    IObjectWithSite* withSite = BandAs<IObjectWithSite>(IID_IObjectWithSite);
    if (withSite) {
        withSite->SetSite(nullptr);
        withSite->Release();
    }
    band->Release();
    band = nullptr;
}

LRESULT CALLBACK StripProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_CONTEXTMENU) {
        ShowBandMenu(static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam)));
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

LRESULT CALLBACK FrameProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_SIZE:
        FitBandToStrip();
        return 0;
    case WM_TIMER:
        if (wParam == ScreenshotTimer) {
            KillTimer(window, ScreenshotTimer);
            WriteScreenshot();
        } else if (wParam == ExitTimer) {
            PostMessageA(window, WM_CLOSE, 0, 0);
        }
        return 0;
    case WM_CLOSE:
        CloseBand();
        DestroyWindow(window);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcA(window, message, wParam, lParam);
    }
}

bool ParseOptions(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        const bool hasValue = i + 1 < argc;
        if (!strcmp(argv[i], "/state") && hasValue) {
            options.stateFile = argv[++i];
        } else if (!strcmp(argv[i], "/screenshot") && hasValue) {
            options.screenshot = argv[++i];
        } else if (!strcmp(argv[i], "/exit") && hasValue) {
            options.exitAfterMs = static_cast<DWORD>(atof(argv[++i]) * 1000);
        } else if (!strcmp(argv[i], "/size") && hasValue) {
            if (sscanf(argv[++i], "%dx%d", &options.width, &options.height) != 2) {
                return false;
            }
        } else if (!strcmp(argv[i], "/default")) {
            options.defaults = true;
        } else {
            return false;
        }
    }
    return true;
}

HWND CreateHostWindows(HINSTANCE instance, const wchar_t* title) {
    WNDCLASSA frameClass = {};
    frameClass.lpfnWndProc = FrameProc;
    frameClass.hInstance = instance;
    frameClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
    frameClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    frameClass.lpszClassName = "VeltrimHostFrame";
    RegisterClassA(&frameClass);
    WNDCLASSA stripClass = frameClass;
    stripClass.lpfnWndProc = StripProc;
    stripClass.lpszClassName = "VeltrimHostStrip";
    RegisterClassA(&stripClass);

    RECT size = {0, 0, options.width, options.height};
    AdjustWindowRect(&size, WS_OVERLAPPEDWINDOW, FALSE);
    char caption[300];
    snprintf(caption, sizeof(caption), "%ls - bandhost", title);
    frame = CreateWindowExA(0, "VeltrimHostFrame", caption, WS_OVERLAPPEDWINDOW, 40, 40,
                            size.right - size.left, size.bottom - size.top, nullptr, nullptr,
                            instance, nullptr);
    strip = CreateWindowExA(0, "VeltrimHostStrip", "", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, 0,
                            0, options.width, options.height, frame, nullptr, instance, nullptr);
    return frame;
}

} // namespace

int main(int argc, char** argv) {
    if (!ParseOptions(argc, argv)) {
        fprintf(stderr, "usage: bandhost [/state FILE] [/default] [/screenshot FILE.png] "
                        "[/exit SECONDS] [/size WxH]\n");
        return 2;
    }
    CoInitialize(nullptr);
    if (FAILED(CoCreateInstance(CLSID_VeltrimBand, nullptr, CLSCTX_INPROC_SERVER, IID_IDeskBand,
                                reinterpret_cast<void**>(&band)))) {
        fprintf(stderr, "bandhost: the band is not registered (regsvr32 vt.dll)\n");
        return 1;
    }
    std::vector<unsigned char> state;
    if (options.stateFile && ReadWholeFile(options.stateFile, &state)) {
        LoadState(state);
    } else if (options.defaults) {
        LoadState(DefaultState());
    }

    DESKBANDINFO info = {};
    info.dwMask =
        DBIM_MINSIZE | DBIM_MAXSIZE | DBIM_INTEGRAL | DBIM_ACTUAL | DBIM_TITLE | DBIM_MODEFLAGS;
    band->GetBandInfo(0, DBIF_VIEWMODE_NORMAL, &info);
    // The strip is never smaller than the band asks for.
    options.width = options.width > info.ptMinSize.x ? options.width : info.ptMinSize.x;
    options.height = options.height > info.ptMinSize.y ? options.height : info.ptMinSize.y;
    CreateHostWindows(GetModuleHandleA(nullptr), info.wszTitle);

    IObjectWithSite* withSite = BandAs<IObjectWithSite>(IID_IObjectWithSite);
    const HRESULT sited = withSite ? withSite->SetSite(static_cast<IOleWindow*>(&site)) : E_FAIL;
    if (withSite) {
        withSite->Release();
    }
    if (FAILED(sited)) {
        fprintf(stderr, "bandhost: the band refused its site: 0x%08lx\n",
                static_cast<unsigned long>(sited));
        CloseBand();
        return 1;
    }
    ShowWindow(frame, SW_SHOW);
    FitBandToStrip();
    band->ShowDW(TRUE);
    if (options.exitAfterMs) {
        SetTimer(frame, ExitTimer, options.exitAfterMs, nullptr);
    }
    if (options.screenshot) {
        const DWORD at = options.exitAfterMs > 1000 ? options.exitAfterMs - 500 : 3000;
        SetTimer(frame, ScreenshotTimer, at, nullptr);
    }
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    CloseBand();
    CoUninitialize();
    return 0;
}
