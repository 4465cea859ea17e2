// The band DLL through COM only: exports, factory, identity, band information, persistence,
// sites, self-registration and the uninstall handshake, against the real vt.dll under Wine.
#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>
#include <utility>

#include "win32_test_support.h" // windows.h, shlobj.h, the band's class and strings

namespace {

HRESULT CanUnload() {
    return BandExport<HRESULT(STDAPICALLTYPE*)()>("DllCanUnloadNow")();
}
BOOL Ready() {
    return BandExport<BOOL(WINAPI*)()>("ReadyUninstall")();
}
HRESULT GetClassObject(REFCLSID clsid, REFIID iid, void** out) {
    return BandExport<HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**)>("DllGetClassObject")(
        clsid, iid, out);
}

// An out pointer set to garbage, so that a refusal must clear it; read back with Outcome.
void** Dirty(void** out) {
    *out = reinterpret_cast<void*>(1);
    return out;
}
std::pair<HRESULT, void*> Outcome(HRESULT result, void* const& out) {
    return {result, out};
}
std::pair<HRESULT, void*> Refused(HRESULT result) {
    return {result, nullptr};
}

ULONG RefCount(IUnknown* unknown) {
    unknown->AddRef();
    return unknown->Release();
}

template <typename Interface> Interface* Query(IUnknown* object, REFIID iid) {
    Interface* p = nullptr;
    EXPECT_EQ(object->QueryInterface(iid, reinterpret_cast<void**>(&p)), S_OK);
    return p;
}

TEST(BandDll, ExportsByNameAndOrdinal) {
    ASSERT_NE(BandDll(), nullptr);
    const char* names[] = {"DllCanUnloadNow", "DllGetClassObject", "DllRegisterServer",
                           "DllUnregisterServer", "ReadyUninstall"};
    for (int ordinal = 1; ordinal <= 5; ++ordinal) {
        FARPROC byName = GetProcAddress(BandDll(), names[ordinal - 1]);
        EXPECT_NE(byName, nullptr) << names[ordinal - 1];
        EXPECT_EQ(byName, GetProcAddress(BandDll(), MAKEINTRESOURCEA(ordinal))) << ordinal;
    }
}

TEST(ClassFactory, FailureCasesAndTheUnloadCount) {
    ASSERT_EQ(CanUnload(), S_OK);
    void* out = nullptr;
    EXPECT_EQ(Outcome(GetClassObject(IID_IDispatch, IID_IClassFactory, Dirty(&out)), out),
              Refused(CLASS_E_CLASSNOTAVAILABLE));
    EXPECT_EQ(Outcome(GetClassObject(CLSID_VeltrimBand, IID_IDispatch, Dirty(&out)), out),
              Refused(E_NOINTERFACE));
    EXPECT_EQ(CanUnload(), S_OK) << "the refused factory is gone again";
    ASSERT_EQ(GetClassObject(CLSID_VeltrimBand, IID_IUnknown, &out), S_OK);
    static_cast<IUnknown*>(out)->Release();

    IClassFactory* factory = nullptr;
    ASSERT_EQ(
        GetClassObject(CLSID_VeltrimBand, IID_IClassFactory, reinterpret_cast<void**>(&factory)),
        S_OK);
    EXPECT_EQ(CanUnload(), S_FALSE) << "a live factory keeps the DLL";
    EXPECT_EQ(factory->LockServer(TRUE), E_NOTIMPL);
    EXPECT_EQ(Outcome(factory->CreateInstance(factory, IID_IUnknown, Dirty(&out)), out),
              Refused(CLASS_E_NOAGGREGATION))
        << "any outer object asks for aggregation";
    EXPECT_EQ(Outcome(factory->CreateInstance(nullptr, IID_IDispatch, Dirty(&out)), out),
              Refused(E_NOINTERFACE));
    ASSERT_EQ(factory->CreateInstance(nullptr, IID_IUnknown, &out), S_OK);
    EXPECT_EQ(factory->Release(), 0u);
    EXPECT_EQ(CanUnload(), S_FALSE) << "a live band keeps the DLL";
    EXPECT_EQ(static_cast<IUnknown*>(out)->Release(), 0u);
    EXPECT_EQ(CanUnload(), S_OK);
}

ULONGLONG SizeMax(IPersistStream* persist) {
    ULARGE_INTEGER size = {};
    EXPECT_EQ(persist->GetSizeMax(&size), S_OK);
    return size.QuadPart;
}

HWND Window(IDeskBand* band) {
    HWND window = reinterpret_cast<HWND>(1);
    EXPECT_EQ(band->GetWindow(&window), S_OK);
    return window;
}

// One unsited band through every interface: identity and one reference count, band information,
// the calls that need no window, and its stream.
TEST(MeterBandObject, EveryInterfaceOfOneObjectBeforeItHasASite) {
    IDeskBand* band = NewBand<IDeskBand>(IID_IDeskBand);
    ASSERT_NE(band, nullptr);
    EXPECT_EQ(RefCount(band), 1u);
    const IID* iids[] = {&IID_IUnknown,     &IID_IOleWindow,      &IID_IDockingWindow,
                         &IID_IDeskBand,    &IID_IPersist,        &IID_IPersistStream,
                         &IID_IInputObject, &IID_IObjectWithSite, &IID_IContextMenu};
    std::vector<IUnknown*> held;
    std::vector<size_t> sameAs; // the first interface with the same pointer
    for (const IID* iid : iids) {
        SCOPED_TRACE(held.size());
        IUnknown* p = Query<IUnknown>(band, *iid);
        ASSERT_NE(p, nullptr);
        held.push_back(p);
        sameAs.push_back(std::find(held.begin(), held.end(), p) - held.begin());
        EXPECT_EQ(RefCount(band), held.size() + 1);
        IUnknown* back = Query<IUnknown>(p, IID_IUnknown);
        EXPECT_EQ(back, static_cast<IUnknown*>(band)) << "every interface leads to one object";
        back->Release();
        EXPECT_EQ(p->AddRef(), held.size() + 2);
        EXPECT_EQ(p->Release(), held.size() + 1);
    }
    EXPECT_EQ(sameAs, (std::vector<size_t>{0, 0, 0, 0, 4, 4, 6, 7, 8}));
    void* out = nullptr;
    EXPECT_EQ(Outcome(band->QueryInterface(IID_IDispatch, Dirty(&out)), out),
              Refused(E_NOINTERFACE));
    EXPECT_EQ(RefCount(band), held.size() + 1);

    DESKBANDINFO info;
    memset(&info, 0xCC, sizeof(info));
    info.dwMask = DBIM_MINSIZE | DBIM_BKCOLOR;
    ASSERT_EQ(band->GetBandInfo(7, DBIF_VIEWMODE_NORMAL, &info), S_OK);
    EXPECT_EQ(std::make_tuple(info.dwMask, info.ptMinSize.x, info.ptMinSize.y, info.crBkgnd,
                              info.ptMaxSize.x),
              std::make_tuple(DWORD(DBIM_MINSIZE), 20L, 10L, 0xCCCCCCCCul, LONG(0xCCCCCCCC)))
        << "no background colour; only the asked members are filled";
    info.dwMask = DBIM_MAXSIZE | DBIM_INTEGRAL | DBIM_ACTUAL | DBIM_TITLE | DBIM_MODEFLAGS;
    ASSERT_EQ(band->GetBandInfo(7, DBIF_VIEWMODE_NORMAL, &info), S_OK);
    EXPECT_EQ(std::make_tuple(info.ptMaxSize.x, info.ptMaxSize.y, info.ptIntegral.x,
                              info.ptIntegral.y, info.ptActual.x, info.dwModeFlags),
              std::make_tuple(-1L, -1L, 1L, 1L, 0L, DWORD(DBIMF_VARIABLEHEIGHT)));
    EXPECT_STREQ(info.wszTitle, L"Veltrim");
    info.dwMask = 0;
    EXPECT_EQ(band->GetBandInfo(1, 0, &info), S_OK);
    EXPECT_EQ(band->GetBandInfo(1, 0, nullptr), E_INVALIDARG);

    IInputObject* input = static_cast<IInputObject*>(held[6]);
    MSG msg = {};
    EXPECT_EQ(std::make_tuple(band->ContextSensitiveHelp(TRUE),
                              band->ResizeBorderDW(nullptr, nullptr, FALSE), band->ShowDW(TRUE),
                              input->HasFocusIO(), input->TranslateAcceleratorIO(&msg)),
              std::make_tuple(E_NOTIMPL, E_NOTIMPL, S_OK, S_FALSE, S_FALSE));

    // The stream: defaults, a stored band with one meter saved again byte for byte, and a load
    // that gets nothing, which fails and leaves the meters gone.
    IPersistStream* persist = static_cast<IPersistStream*>(held[5]);
    CLSID classId = {};
    EXPECT_EQ(persist->GetClassID(&classId), S_OK);
    EXPECT_TRUE(IsEqualCLSID(classId, CLSID_VeltrimBand));
    EXPECT_EQ(persist->IsDirty(), S_FALSE);
    EXPECT_EQ(SavedBytes(persist, TRUE),
              std::string("\1\0\0\0\1\0\0\0\2\0\0\0", 12) + std::string(12, 0));
    EXPECT_EQ(SizeMax(persist), 24u);
    const std::string stored("\1\0\0\0\0\0\0\0\2\0\0\0\1\0\0\0\0\0\0\0\13\0\0\0Memory\\Load\0"
                             "\3\0\0\0\0\0\0\0\1\0\0\0\xe8\3\0\0\0\0\0\0\0\0\0\0",
                             60);
    IStream* stream = StreamOf(stored);
    ASSERT_EQ(persist->Load(stream), S_OK);
    stream->Release();
    EXPECT_EQ(persist->IsDirty(), S_FALSE);
    EXPECT_EQ(SavedBytes(persist, FALSE), stored);
    EXPECT_EQ(SizeMax(persist), 60u);
    stream = StreamOf("");
    EXPECT_EQ(persist->Load(stream), E_FAIL);
    stream->Release();
    EXPECT_EQ(SizeMax(persist), 24u);

    for (IUnknown* p : held) {
        p->Release(); // each counts on the one object
    }
    EXPECT_EQ(CanUnload(), S_FALSE);
    EXPECT_EQ(band->Release(), 0u);
    EXPECT_EQ(CanUnload(), S_OK);
}

// The band's input site, or null when it refuses (as it must, with E_FAIL and its pointer cleared).
IUnknown* SiteOf(IObjectWithSite* withSite) {
    void* site = nullptr;
    const HRESULT result = withSite->GetSite(IID_IInputObjectSite, Dirty(&site));
    if (result != S_OK) {
        EXPECT_EQ(Outcome(result, site), Refused(E_FAIL));
        return nullptr;
    }
    static_cast<IUnknown*>(site)->Release();
    return static_cast<IUnknown*>(site);
}

// One band through sites it refuses and sites it takes: its window, shown and hidden, focus both
// ways, a site changed and taken away, and the close that removes the window; then a band
// released without a close.
TEST(MeterBandSite, RefusedSitesTheWindowFocusCloseAndAReleaseWithoutClose) {
    HWND host = CreateWindowExA(0, "STATIC", "host", WS_POPUP | WS_VISIBLE, 0, 0, 300, 30, nullptr,
                                nullptr, GetModuleHandleA(nullptr), nullptr);
    IDeskBand* band = NewBand<IDeskBand>(IID_IDeskBand);
    ASSERT_NE(band, nullptr);
    IObjectWithSite* withSite = Query<IObjectWithSite>(band, IID_IObjectWithSite);
    TestSite noWindow, nullWindow, noInputSite, site, second, third;
    noWindow.offerWindow = false;
    noInputSite.offerInputSite = false;
    noInputSite.strip = site.strip = second.strip = third.strip = host;
    EXPECT_EQ(withSite->SetSite(static_cast<IOleWindow*>(&noWindow)), E_FAIL);
    EXPECT_EQ(Window(band), nullptr);
    EXPECT_EQ(withSite->SetSite(static_cast<IOleWindow*>(&nullWindow)), E_FAIL)
        << "a site that has no window to give";
    EXPECT_EQ(Window(band), nullptr);
    EXPECT_EQ(withSite->SetSite(static_cast<IOleWindow*>(&noInputSite)), E_FAIL);
    const HWND window = Window(band);
    EXPECT_NE(window, nullptr) << "the window is made before the input site is asked for";
    EXPECT_EQ(SiteOf(withSite), nullptr);

    ASSERT_EQ(withSite->SetSite(static_cast<IOleWindow*>(&site)), S_OK);
    ASSERT_EQ(Window(band), window);
    EXPECT_EQ(GetParent(window), host);
    EXPECT_EQ(Ready(), FALSE) << "a band window on the strip: not ready to uninstall";
    EXPECT_EQ(SiteOf(withSite), static_cast<IInputObjectSite*>(&site));
    EXPECT_EQ(band->ShowDW(TRUE), S_OK);
    EXPECT_TRUE(IsWindowVisible(window));
    EXPECT_EQ(band->ShowDW(FALSE), S_OK);
    EXPECT_FALSE(IsWindowVisible(window));

    IInputObject* input = Query<IInputObject>(band, IID_IInputObject);
    band->ShowDW(TRUE);
    EXPECT_EQ(input->UIActivateIO(TRUE, nullptr), S_OK);
    EXPECT_EQ(input->HasFocusIO(), S_OK);
    SetFocus(host);
    EXPECT_EQ(input->HasFocusIO(), S_FALSE);
    input->Release();

    EXPECT_EQ(withSite->SetSite(nullptr), S_OK);
    EXPECT_TRUE(IsWindow(window)) << "the window outlives the site";
    EXPECT_EQ(SiteOf(withSite), nullptr);
    ASSERT_EQ(withSite->SetSite(static_cast<IOleWindow*>(&second)), S_OK);
    EXPECT_EQ(Window(band), window) << "another site keeps the window";
    EXPECT_EQ(SiteOf(withSite), static_cast<IInputObjectSite*>(&second));

    EXPECT_EQ(band->CloseDW(0), S_OK);
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(Window(band), nullptr);
    EXPECT_EQ(band->CloseDW(0), S_OK);
    EXPECT_EQ(Ready(), TRUE) << "the band is gone: uninstalling may go on";
    withSite->SetSite(nullptr);
    withSite->Release();
    EXPECT_EQ(band->Release(), 0u);

    // A host that lets a band go without CloseDW: the window stays until its parent goes, but it
    // must no longer reach the freed band through its timer, focus or destruction.
    band = NewBand<IDeskBand>(IID_IDeskBand);
    withSite = Query<IObjectWithSite>(band, IID_IObjectWithSite);
    ASSERT_EQ(withSite->SetSite(static_cast<IOleWindow*>(&third)), S_OK);
    const HWND left = Window(band);
    withSite->SetSite(nullptr);
    withSite->Release();
    EXPECT_EQ(band->Release(), 0u);
    ASSERT_TRUE(IsWindow(left));
    EXPECT_EQ(GetWindowLongPtrA(left, GWLP_USERDATA), 0) << "no pointer to the freed band";
    EXPECT_FALSE(KillTimer(left, 1)) << "the band's timer was stopped with it";
    SendMessageA(left, WM_TIMER, 1, 0);
    SendMessageA(left, WM_SETFOCUS, 0, 0);
    EXPECT_TRUE(DestroyWindow(left));
    EXPECT_TRUE(third.focusChanges.empty());
    EXPECT_EQ(CanUnload(), S_OK);
    for (const TestSite* given : {&noWindow, &nullWindow, &noInputSite, &site, &second, &third}) {
        EXPECT_EQ(given->refs, 1) << "every reference a band took on a site was given back";
    }
    DestroyWindow(host);
}

TEST(SelfRegistration, Regsvr32WritesTheClassAndCategoryAndRemovesThemWhole) {
    const std::string dll = ProgramFolder() + "vt.dll";
    const std::string classKey = "CLSID\\{11795084-FD2F-4677-BFB5-D3D0E8F3AC67}";
    auto value = [&](const char* key, const char* name) {
        return RegistryValue(HKEY_CLASSES_ROOT, classKey + key, name);
    };
    for (int round = 0; round < 2; ++round) {
        ASSERT_EQ(RunAndWait("regsvr32.exe /s \"" + dll + "\""), 0u) << round;
        EXPECT_EQ(value("", nullptr), "Veltrim");
        EXPECT_EQ(lstrcmpiA(value("\\InprocServer32", nullptr).c_str(), dll.c_str()), 0);
        EXPECT_EQ(value("\\InprocServer32", "ThreadingModel"), "Apartment");
        EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, classKey +
                                                     "\\Implemented Categories\\"
                                                     "{00021492-0000-0000-C000-000000000046}"));
    }

    ASSERT_EQ(RunAndWait("regsvr32.exe /s /u \"" + dll + "\""), 0u);
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, classKey));
}

HWND Create(const char* className, DWORD style, HWND parent) {
    return CreateWindowExA(0, className, "", style, 0, 0, 10, 10, parent, nullptr,
                           GetModuleHandleA(nullptr), nullptr);
}

TEST(ReadyUninstall, AnswersNoWhileAnyBandWindowIsAChildSomewhere) {
    WNDCLASSA windowClass = {0,       DefWindowProcA, 0,       0,       GetModuleHandleA(nullptr),
                             nullptr, nullptr,        nullptr, nullptr, "VeltrimClass"};
    ASSERT_NE(RegisterClassA(&windowClass), 0);
    EXPECT_EQ(Ready(), TRUE);
    HWND topLevel = Create("VeltrimClass", WS_POPUP, nullptr);
    EXPECT_EQ(Ready(), TRUE) << "a top-level window of the class is not a band";
    HWND host = Create("STATIC", WS_POPUP, nullptr);
    HWND first = Create("VeltrimClass", WS_CHILD, Create("STATIC", WS_CHILD, host));
    HWND second = Create("VeltrimClass", WS_CHILD, host);
    EXPECT_EQ(Ready(), FALSE);
    EXPECT_EQ(Ready(), FALSE) << "asking changes nothing";
    DestroyWindow(first);
    EXPECT_EQ(Ready(), FALSE);
    DestroyWindow(second);
    EXPECT_EQ(Ready(), TRUE);
    DestroyWindow(host);
    DestroyWindow(topLevel);
    UnregisterClassA("VeltrimClass", GetModuleHandleA(nullptr));
}

} // namespace
