// The band DLL through COM only: exports, factory, identity, band information, persistence,
// self-registration and the uninstall handshake, against the real vt.dll under Wine.
#include <gtest/gtest.h>

#include <windows.h>
#include <shlguid.h>
#include <shlobj.h>

#include <string>
#include <vector>

#include "shell/band_object.h"
#include "win32_test_support.h"

namespace {

typedef HRESULT(STDAPICALLTYPE* GetClassObjectFunction)(REFCLSID, REFIID, void**);
typedef HRESULT(STDAPICALLTYPE* CanUnloadFunction)();
typedef BOOL(WINAPI* ReadyFunction)();

// The DLL as the shell sees it, reached through its exports.
struct BandExports {
    GetClassObjectFunction getClassObject = BandExport<GetClassObjectFunction>("DllGetClassObject");
    CanUnloadFunction canUnload = BandExport<CanUnloadFunction>("DllCanUnloadNow");
    ReadyFunction ready = BandExport<ReadyFunction>("ReadyUninstall");
};

const BandExports& Dll() {
    static BandExports exports;
    return exports;
}

IClassFactory* Factory() {
    IClassFactory* factory = nullptr;
    EXPECT_EQ(Dll().getClassObject(CLSID_VeltrimBand, IID_IClassFactory,
                                   reinterpret_cast<void**>(&factory)),
              S_OK);
    return factory;
}

IDeskBand* NewDeskBand() {
    IDeskBand* band = NewBand<IDeskBand>(IID_IDeskBand);
    EXPECT_NE(band, nullptr);
    return band;
}

ULONG RefCount(IUnknown* unknown) {
    unknown->AddRef();
    return unknown->Release();
}

TEST(BandDll, ExportsByNameAndOrdinal) {
    ASSERT_NE(BandDll(), nullptr);
    const char* names[] = {"DllCanUnloadNow", "DllGetClassObject", "DllRegisterServer",
                           "DllUnregisterServer", "ReadyUninstall"};
    for (int ordinal = 1; ordinal <= 5; ++ordinal) {
        FARPROC byName = GetProcAddress(BandDll(), names[ordinal - 1]);
        FARPROC byOrdinal = GetProcAddress(BandDll(), MAKEINTRESOURCEA(ordinal));
        EXPECT_NE(byName, nullptr) << names[ordinal - 1];
        EXPECT_EQ(byName, byOrdinal) << ordinal;
    }
}

TEST(ClassFactory, FailureCasesAndTheUnloadCount) {
    ASSERT_EQ(Dll().canUnload(), S_OK);
    void* out = reinterpret_cast<void*>(1);
    EXPECT_EQ(Dll().getClassObject(IID_IDispatch, IID_IClassFactory, &out),
              CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(out, nullptr);
    out = reinterpret_cast<void*>(1);
    EXPECT_EQ(Dll().getClassObject(CLSID_VeltrimBand, IID_IDispatch, &out), E_NOINTERFACE);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(Dll().canUnload(), S_OK) << "the refused factory is gone again";

    IUnknown* unknownFactory = nullptr;
    ASSERT_EQ(Dll().getClassObject(CLSID_VeltrimBand, IID_IUnknown,
                                   reinterpret_cast<void**>(&unknownFactory)),
              S_OK);
    unknownFactory->Release();

    IClassFactory* factory = Factory();
    EXPECT_EQ(Dll().canUnload(), S_FALSE) << "a live factory keeps the DLL";
    EXPECT_EQ(factory->LockServer(TRUE), E_NOTIMPL);
    out = reinterpret_cast<void*>(1);
    IUnknown* outer = factory; // any outer object asks for aggregation
    EXPECT_EQ(factory->CreateInstance(outer, IID_IUnknown, &out), CLASS_E_NOAGGREGATION);
    EXPECT_EQ(out, nullptr);
    out = reinterpret_cast<void*>(1);
    EXPECT_EQ(factory->CreateInstance(nullptr, IID_IDispatch, &out), E_NOINTERFACE);
    EXPECT_EQ(out, nullptr);

    IUnknown* band = nullptr;
    ASSERT_EQ(factory->CreateInstance(nullptr, IID_IUnknown, reinterpret_cast<void**>(&band)),
              S_OK);
    EXPECT_EQ(factory->Release(), 0u);
    EXPECT_EQ(Dll().canUnload(), S_FALSE) << "a live band keeps the DLL";
    EXPECT_EQ(band->Release(), 0u);
    EXPECT_EQ(Dll().canUnload(), S_OK);
}

TEST(MeterBandObject, QueryInterfaceIdentityAndReferenceCounts) {
    IDeskBand* band = NewDeskBand();
    ASSERT_NE(band, nullptr);
    EXPECT_EQ(RefCount(band), 1u);

    const IID* primary[] = {&IID_IUnknown, &IID_IOleWindow, &IID_IDockingWindow, &IID_IDeskBand};
    std::vector<IUnknown*> held;
    ULONG expected = 1;
    for (const IID* iid : primary) {
        IUnknown* p = nullptr;
        ASSERT_EQ(band->QueryInterface(*iid, reinterpret_cast<void**>(&p)), S_OK);
        EXPECT_EQ(p, static_cast<IUnknown*>(band));
        EXPECT_EQ(RefCount(band), ++expected);
        held.push_back(p);
    }
    IUnknown* persist = nullptr;
    IUnknown* persistStream = nullptr;
    ASSERT_EQ(band->QueryInterface(IID_IPersist, reinterpret_cast<void**>(&persist)), S_OK);
    ASSERT_EQ(band->QueryInterface(IID_IPersistStream, reinterpret_cast<void**>(&persistStream)),
              S_OK);
    EXPECT_EQ(persist, persistStream);
    EXPECT_NE(persist, static_cast<IUnknown*>(band));
    held.push_back(persist);
    held.push_back(persistStream);
    expected += 2;

    const IID* secondary[] = {&IID_IInputObject, &IID_IObjectWithSite, &IID_IContextMenu};
    for (const IID* iid : secondary) {
        IUnknown* p = nullptr;
        ASSERT_EQ(band->QueryInterface(*iid, reinterpret_cast<void**>(&p)), S_OK);
        ++expected;
        // Every interface leads back to the same object.
        IUnknown* back = nullptr;
        ASSERT_EQ(p->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&back)), S_OK);
        EXPECT_EQ(back, static_cast<IUnknown*>(band));
        back->Release();
        EXPECT_EQ(p->AddRef(), expected + 1);
        EXPECT_EQ(p->Release(), expected);
        held.push_back(p);
    }
    void* none = reinterpret_cast<void*>(1);
    EXPECT_EQ(band->QueryInterface(IID_IDispatch, &none), E_NOINTERFACE);
    EXPECT_EQ(none, nullptr);
    EXPECT_EQ(RefCount(band), expected);

    // Releasing through any interface counts on the one object; the last one destroys it.
    for (IUnknown* p : held) {
        p->Release();
    }
    EXPECT_EQ(Dll().canUnload(), S_FALSE);
    EXPECT_EQ(band->Release(), 0u);
    EXPECT_EQ(Dll().canUnload(), S_OK);
}

TEST(MeterBandObject, BandInformationFocusAndSiteWithoutWindow) {
    IDeskBand* band = NewDeskBand();
    DESKBANDINFO info;
    memset(&info, 0xCC, sizeof(info));
    info.dwMask = DBIM_MINSIZE | DBIM_BKCOLOR;
    ASSERT_EQ(band->GetBandInfo(7, DBIF_VIEWMODE_NORMAL, &info), S_OK);
    EXPECT_EQ(info.dwMask, DWORD(DBIM_MINSIZE));
    EXPECT_EQ(info.ptMinSize.x, 20);
    EXPECT_EQ(info.ptMinSize.y, 10);
    EXPECT_EQ(info.crBkgnd, 0xCCCCCCCCu) << "the background colour is not written";
    EXPECT_EQ(info.ptMaxSize.x, static_cast<LONG>(0xCCCCCCCC)) << "only asked members are filled";

    memset(&info, 0, sizeof(info));
    info.dwMask = DBIM_MAXSIZE | DBIM_INTEGRAL | DBIM_ACTUAL | DBIM_TITLE | DBIM_MODEFLAGS;
    ASSERT_EQ(band->GetBandInfo(7, DBIF_VIEWMODE_NORMAL, &info), S_OK);
    EXPECT_EQ(info.ptMaxSize.x, -1);
    EXPECT_EQ(info.ptMaxSize.y, -1);
    EXPECT_EQ(info.ptIntegral.x, 1);
    EXPECT_EQ(info.ptIntegral.y, 1);
    EXPECT_EQ(info.ptActual.x, 0);
    EXPECT_STREQ(info.wszTitle, L"Veltrim");
    EXPECT_EQ(info.dwModeFlags, DWORD(DBIMF_VARIABLEHEIGHT));
    info.dwMask = 0;
    EXPECT_EQ(band->GetBandInfo(1, 0, &info), S_OK);
    EXPECT_EQ(band->GetBandInfo(1, 0, nullptr), E_INVALIDARG);

    HWND window = reinterpret_cast<HWND>(1);
    EXPECT_EQ(band->GetWindow(&window), S_OK);
    EXPECT_EQ(window, nullptr) << "no window before the site";
    EXPECT_EQ(band->ContextSensitiveHelp(TRUE), E_NOTIMPL);
    EXPECT_EQ(band->ResizeBorderDW(nullptr, nullptr, FALSE), E_NOTIMPL);
    EXPECT_EQ(band->ShowDW(TRUE), S_OK);
    EXPECT_EQ(band->CloseDW(0), S_OK);
    EXPECT_EQ(band->CloseDW(0), S_OK);

    IInputObject* input = nullptr;
    ASSERT_EQ(band->QueryInterface(IID_IInputObject, reinterpret_cast<void**>(&input)), S_OK);
    EXPECT_EQ(input->HasFocusIO(), S_FALSE);
    MSG msg = {};
    EXPECT_EQ(input->TranslateAcceleratorIO(&msg), S_FALSE);
    input->Release();

    IObjectWithSite* withSite = nullptr;
    ASSERT_EQ(band->QueryInterface(IID_IObjectWithSite, reinterpret_cast<void**>(&withSite)), S_OK);
    void* site = reinterpret_cast<void*>(1);
    EXPECT_EQ(withSite->GetSite(IID_IUnknown, &site), E_FAIL);
    EXPECT_EQ(site, nullptr);
    EXPECT_EQ(withSite->SetSite(nullptr), S_OK);
    withSite->Release();
    EXPECT_EQ(band->Release(), 0u);
}

std::vector<unsigned char> StreamBytes(IStream* stream) {
    HGLOBAL global = nullptr;
    GetHGlobalFromStream(stream, &global);
    STATSTG stat = {};
    stream->Stat(&stat, STATFLAG_NONAME);
    const unsigned char* p = static_cast<const unsigned char*>(GlobalLock(global));
    std::vector<unsigned char> bytes(p, p + stat.cbSize.LowPart);
    GlobalUnlock(global);
    return bytes;
}

void Rewind(IStream* stream) {
    LARGE_INTEGER zero = {};
    stream->Seek(zero, STREAM_SEEK_SET, nullptr);
}

TEST(MeterBandObject, PersistStreamSavesLoadsAndRefusesShortStreams) {
    IDeskBand* band = NewDeskBand();
    IPersistStream* persist = nullptr;
    ASSERT_EQ(band->QueryInterface(IID_IPersistStream, reinterpret_cast<void**>(&persist)), S_OK);
    CLSID classId = {};
    EXPECT_EQ(persist->GetClassID(&classId), S_OK);
    EXPECT_TRUE(IsEqualCLSID(classId, CLSID_VeltrimBand));
    EXPECT_EQ(persist->IsDirty(), S_FALSE);

    IStream* stream = nullptr;
    ASSERT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, &stream), S_OK);
    ASSERT_EQ(persist->Save(stream, TRUE), S_OK);
    const std::vector<unsigned char> defaults = {1, 0, 0, 0, 1, 0, 0, 0, 2, 0, 0, 0,
                                                 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(StreamBytes(stream), defaults);
    ULARGE_INTEGER size = {};
    EXPECT_EQ(persist->GetSizeMax(&size), S_OK);
    EXPECT_EQ(size.QuadPart, 24u);
    stream->Release();

    // A stored band with one meter, loaded and saved again byte for byte.
    const unsigned char stored[] = {
        1,  0, 0, 0, 0,   0,   0,   0,   2,    0,   0,    0,   1,   0,   0,   0, 0, 0, 0, 0,
        11, 0, 0, 0, 'M', 'e', 'm', 'o', 'r',  'y', '\\', 'L', 'o', 'a', 'd', 0, 3, 0, 0, 0,
        0,  0, 0, 0, 1,   0,   0,   0,   0xe8, 3,   0,    0,   0,   0,   0,   0, 0, 0, 0, 0};
    ASSERT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, &stream), S_OK);
    stream->Write(stored, sizeof(stored), nullptr);
    Rewind(stream);
    ASSERT_EQ(persist->Load(stream), S_OK);
    EXPECT_EQ(persist->IsDirty(), S_FALSE);
    stream->Release();
    ASSERT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, &stream), S_OK);
    ASSERT_EQ(persist->Save(stream, FALSE), S_OK);
    std::vector<unsigned char> saved = StreamBytes(stream);
    ASSERT_EQ(saved.size(), 60u);
    EXPECT_EQ(saved[0], 1);
    EXPECT_EQ(saved[4], 0) << "animate 0 as loaded";
    EXPECT_EQ(saved[12], 1) << "hideInvalid 1 as loaded";
    EXPECT_EQ(saved, std::vector<unsigned char>(stored, stored + sizeof(stored)));
    EXPECT_EQ(persist->GetSizeMax(&size), S_OK);
    EXPECT_EQ(size.QuadPart, 60u);

    // Reading from the end of the stream: nothing comes, the load fails and the meters are gone.
    ASSERT_EQ(persist->Load(stream), E_FAIL);
    EXPECT_EQ(persist->GetSizeMax(&size), S_OK);
    EXPECT_EQ(size.QuadPart, 24u);
    stream->Release();
    persist->Release();
    EXPECT_EQ(band->Release(), 0u);
}

std::string ReadClassesValue(const std::string& path, const char* name) {
    HKEY key;
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return "<no key>";
    }
    char data[512] = {};
    DWORD size = sizeof(data) - 1;
    DWORD type = 0;
    const LONG result =
        RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(data), &size);
    RegCloseKey(key);
    if (result != ERROR_SUCCESS) {
        return "<no value>";
    }
    return type == REG_SZ ? std::string(data) : "<not a string>";
}

TEST(SelfRegistration, Regsvr32WritesTheClassAndCategoryAndRemovesThemWhole) {
    const std::string dll = ProgramFolder() + "vt.dll";
    const std::string classKey = "CLSID\\{11795084-FD2F-4677-BFB5-D3D0E8F3AC67}";
    for (int round = 0; round < 2; ++round) {
        ASSERT_EQ(RunAndWait("regsvr32.exe /s \"" + dll + "\""), 0u) << round;
        EXPECT_EQ(ReadClassesValue(classKey, nullptr), "Veltrim");
        EXPECT_EQ(lstrcmpiA(ReadClassesValue(classKey + "\\InprocServer32", nullptr).c_str(),
                            dll.c_str()),
                  0);
        EXPECT_EQ(ReadClassesValue(classKey + "\\InprocServer32", "ThreadingModel"), "Apartment");
        HKEY category;
        EXPECT_EQ(RegOpenKeyExA(HKEY_CLASSES_ROOT,
                                (classKey + "\\Implemented Categories\\"
                                            "{00021492-0000-0000-C000-000000000046}")
                                    .c_str(),
                                0, KEY_READ, &category),
                  ERROR_SUCCESS);
        RegCloseKey(category);
    }

    // The shell's way in: CoCreateInstance through the registered server.
    ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
    IDeskBand* band = nullptr;
    ASSERT_EQ(CoCreateInstance(CLSID_VeltrimBand, nullptr, CLSCTX_INPROC_SERVER, IID_IDeskBand,
                               reinterpret_cast<void**>(&band)),
              S_OK);
    band->Release();
    CoUninitialize();

    ASSERT_EQ(RunAndWait("regsvr32.exe /s /u \"" + dll + "\""), 0u);
    HKEY gone;
    EXPECT_NE(RegOpenKeyExA(HKEY_CLASSES_ROOT, classKey.c_str(), 0, KEY_READ, &gone),
              ERROR_SUCCESS);
}

HWND CreateChildOfClass(HWND parent) {
    return CreateWindowExA(0, "VeltrimClass", "", WS_CHILD, 0, 0, 10, 10, parent, nullptr,
                           GetModuleHandleA(nullptr), nullptr);
}

TEST(ReadyUninstall, AnswersNoWhileAnyBandWindowIsAChildSomewhere) {
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = DefWindowProcA;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "VeltrimClass";
    ASSERT_NE(RegisterClassA(&windowClass), 0);

    EXPECT_EQ(Dll().ready(), TRUE);
    HWND topLevel = CreateWindowExA(0, "VeltrimClass", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                    GetModuleHandleA(nullptr), nullptr);
    EXPECT_EQ(Dll().ready(), TRUE) << "a top-level window of the class is not a band";

    HWND host = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 100, 20, nullptr, nullptr,
                                GetModuleHandleA(nullptr), nullptr);
    HWND strip = CreateWindowExA(0, "STATIC", "", WS_CHILD, 0, 0, 100, 20, host, nullptr,
                                 GetModuleHandleA(nullptr), nullptr);
    HWND first = CreateChildOfClass(strip);
    HWND second = CreateChildOfClass(host);
    EXPECT_EQ(Dll().ready(), FALSE);
    EXPECT_EQ(Dll().ready(), FALSE) << "asking changes nothing";
    DestroyWindow(first);
    EXPECT_EQ(Dll().ready(), FALSE);
    DestroyWindow(second);
    EXPECT_EQ(Dll().ready(), TRUE);

    DestroyWindow(host);
    DestroyWindow(topLevel);
    UnregisterClassA("VeltrimClass", GetModuleHandleA(nullptr));
}

} // namespace

namespace {

struct HostWindows {
    HWND frame;
    HWND strip;
    HostWindows() {
        frame = CreateWindowExA(0, "STATIC", "host", WS_POPUP | WS_VISIBLE, 0, 0, 300, 30, nullptr,
                                nullptr, GetModuleHandleA(nullptr), nullptr);
        strip = CreateWindowExA(0, "STATIC", "", WS_CHILD | WS_VISIBLE, 0, 0, 300, 30, frame,
                                nullptr, GetModuleHandleA(nullptr), nullptr);
    }
    ~HostWindows() {
        DestroyWindow(frame);
    }
};

IObjectWithSite* WithSite(IDeskBand* band) {
    IObjectWithSite* withSite = nullptr;
    band->QueryInterface(IID_IObjectWithSite, reinterpret_cast<void**>(&withSite));
    return withSite;
}

// A new band given a site on a host's strip, which makes its window.
struct SitedDeskBand {
    HostWindows host;
    TestSite site;
    IDeskBand* band = NewDeskBand();
    IObjectWithSite* withSite = WithSite(band);
    HWND window = nullptr;
    HRESULT sited = E_FAIL;
    HRESULT windowGiven = E_FAIL;
    SitedDeskBand() {
        site.strip = host.strip;
        sited = withSite->SetSite(static_cast<IOleWindow*>(&site));
        windowGiven = band->GetWindow(&window);
    }
};

std::string ClassOf(HWND window) {
    char name[64] = "";
    GetClassNameA(window, name, sizeof(name));
    return name;
}

TEST(MeterBandSite, SiteGivesTheWindowWhichOutlivesTheSiteAndCloseRemovesIt) {
    SitedDeskBand sited;
    const HostWindows& host = sited.host;
    TestSite& site = sited.site;
    IDeskBand* band = sited.band;
    IObjectWithSite* withSite = sited.withSite;
    HWND window = sited.window;
    ASSERT_EQ(sited.sited, S_OK);
    ASSERT_EQ(sited.windowGiven, S_OK);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(GetParent(window), host.strip);
    EXPECT_EQ(ClassOf(window), "VeltrimClass");
    EXPECT_FALSE(IsWindowVisible(window)) << "created hidden; the host shows it";
    EXPECT_EQ(Dll().ready(), FALSE) << "a band on the strip: not ready to uninstall";

    IInputObjectSite* held = nullptr;
    ASSERT_EQ(withSite->GetSite(IID_IInputObjectSite, reinterpret_cast<void**>(&held)), S_OK);
    EXPECT_EQ(held, static_cast<IInputObjectSite*>(&site));
    held->Release();

    EXPECT_EQ(band->ShowDW(TRUE), S_OK);
    EXPECT_TRUE(IsWindowVisible(window));
    EXPECT_EQ(band->ShowDW(FALSE), S_OK);
    EXPECT_FALSE(IsWindowVisible(window));

    // Focus reaches the site both ways.
    IInputObject* input = nullptr;
    ASSERT_EQ(band->QueryInterface(IID_IInputObject, reinterpret_cast<void**>(&input)), S_OK);
    band->ShowDW(TRUE);
    EXPECT_EQ(input->UIActivateIO(TRUE, nullptr), S_OK);
    EXPECT_EQ(input->HasFocusIO(), S_OK);
    SetFocus(host.frame);
    EXPECT_EQ(input->HasFocusIO(), S_FALSE);
    ASSERT_EQ(site.focusChanges.size(), 2u);
    EXPECT_EQ(site.focusChanges[0], TRUE);
    EXPECT_EQ(site.focusChanges[1], FALSE);
    input->Release();

    // Without a site the window stays; another site keeps it and is taken.
    EXPECT_EQ(withSite->SetSite(nullptr), S_OK);
    EXPECT_TRUE(IsWindow(window));
    void* none = reinterpret_cast<void*>(1);
    EXPECT_EQ(withSite->GetSite(IID_IUnknown, &none), E_FAIL);
    EXPECT_EQ(none, nullptr);
    TestSite second;
    second.strip = host.strip;
    ASSERT_EQ(withSite->SetSite(static_cast<IOleWindow*>(&second)), S_OK);
    HWND again = nullptr;
    band->GetWindow(&again);
    EXPECT_EQ(again, window);
    ASSERT_EQ(withSite->GetSite(IID_IInputObjectSite, reinterpret_cast<void**>(&held)), S_OK);
    EXPECT_EQ(held, static_cast<IInputObjectSite*>(&second));
    held->Release();

    EXPECT_EQ(band->CloseDW(0), S_OK);
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(band->GetWindow(&again), S_OK);
    EXPECT_EQ(again, nullptr);
    EXPECT_EQ(band->CloseDW(0), S_OK);
    EXPECT_EQ(Dll().ready(), TRUE) << "the band is gone: uninstalling may go on";

    withSite->SetSite(nullptr);
    withSite->Release();
    EXPECT_EQ(band->Release(), 0u);
    EXPECT_EQ(site.refs, 1) << "every reference the band took on the site was given back";
    EXPECT_EQ(second.refs, 1);
}

// A host that lets the band go without CloseDW: the window stays until its parent goes, but
// it must no longer reach the freed band through its timer, focus or destruction.
TEST(MeterBandSite, ABandReleasedWithoutCloseLeavesAnInertWindow) {
    SitedDeskBand sited;
    HWND window = sited.window;
    ASSERT_EQ(sited.sited, S_OK);
    ASSERT_TRUE(IsWindow(window));
    sited.withSite->SetSite(nullptr);
    sited.withSite->Release();
    EXPECT_EQ(sited.band->Release(), 0u);

    ASSERT_TRUE(IsWindow(window));
    EXPECT_EQ(GetWindowLongPtrA(window, GWLP_USERDATA), 0) << "no pointer to the freed band";
    EXPECT_FALSE(KillTimer(window, 1)) << "the band's timer was stopped with it";
    SendMessageA(window, WM_TIMER, 1, 0);
    SendMessageA(window, WM_SETFOCUS, 0, 0);
    EXPECT_TRUE(DestroyWindow(window));
    EXPECT_TRUE(sited.site.focusChanges.empty());
    EXPECT_EQ(Dll().canUnload(), S_OK);
}

TEST(MeterBandSite, SitesWithoutAWindowOrInputSiteAreRefused) {
    HostWindows host;
    IDeskBand* band = NewDeskBand();
    IObjectWithSite* withSite = WithSite(band);

    TestSite noWindow;
    noWindow.offerWindow = false;
    EXPECT_EQ(withSite->SetSite(static_cast<IOleWindow*>(&noWindow)), E_FAIL);
    HWND window = reinterpret_cast<HWND>(1);
    band->GetWindow(&window);
    EXPECT_EQ(window, nullptr);

    TestSite nullWindow; // offers IOleWindow, but has no window to give
    EXPECT_EQ(withSite->SetSite(static_cast<IOleWindow*>(&nullWindow)), E_FAIL);
    band->GetWindow(&window);
    EXPECT_EQ(window, nullptr);

    TestSite noInputSite;
    noInputSite.strip = host.strip;
    noInputSite.offerInputSite = false;
    EXPECT_EQ(withSite->SetSite(static_cast<IOleWindow*>(&noInputSite)), E_FAIL);
    band->GetWindow(&window);
    EXPECT_NE(window, nullptr) << "the window is made before the input site is asked for";
    void* none = reinterpret_cast<void*>(1);
    EXPECT_EQ(withSite->GetSite(IID_IUnknown, &none), E_FAIL);

    band->CloseDW(0);
    withSite->Release();
    EXPECT_EQ(band->Release(), 0u);
    EXPECT_EQ(noWindow.refs + nullWindow.refs + noInputSite.refs, 3);
}

} // namespace
