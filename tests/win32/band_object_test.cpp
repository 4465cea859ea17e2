// The band DLL through COM only: its entry points, factory, band information, persistence, sites,
// self-registration and the uninstall handshake, against the real vt.dll under Wine.
#include <gtest/gtest.h>

#include <tuple>

#include "win32_test_support.h" // windows.h, shlobj.h, the band's class and strings

namespace {

HRESULT CanUnload() {
    return BandExport<HRESULT(STDAPICALLTYPE*)()>("DllCanUnloadNow")();
}
BOOL Ready() {
    return BandExport<BOOL(WINAPI*)()>("ReadyUninstall")();
}

template <typename Interface> Interface* Query(IUnknown* object, REFIID iid) {
    Interface* p = nullptr;
    EXPECT_EQ(object->QueryInterface(iid, reinterpret_cast<void**>(&p)), S_OK);
    return p;
}

TEST(BandDll, GivesAFactoryForItsClassOnly) {
    IClassFactory* factory = nullptr;
    EXPECT_TRUE(GetClassObject(IID_IDispatch, &factory) == CLASS_E_CLASSNOTAVAILABLE && !factory);
}

// The DLL stays while a factory or a band lives.
TEST(ClassFactory, RefusesAggregationAndMakesABandThatKeepsTheDll) {
    IClassFactory* factory = nullptr;
    ASSERT_TRUE(CanUnload() == S_OK && GetClassObject(CLSID_VeltrimBand, &factory) == S_OK);
    EXPECT_EQ(CanUnload(), S_FALSE) << "a live factory keeps the DLL";
    IUnknown* band = nullptr;
    EXPECT_EQ(factory->CreateInstance(factory, IID_IUnknown, reinterpret_cast<void**>(&band)),
              CLASS_E_NOAGGREGATION);
    ASSERT_EQ(factory->CreateInstance(nullptr, IID_IUnknown, reinterpret_cast<void**>(&band)),
              S_OK);
    EXPECT_TRUE(factory->Release() == 0 && CanUnload() == S_FALSE) << "a live band keeps the DLL";
    EXPECT_TRUE(band->Release() == 0 && CanUnload() == S_OK);
}

// One unsited band: its band information and its stream's defaults.
TEST(MeterBandObject, BandInformationAndStream) {
    IDeskBand* band = NewBand<IDeskBand>(IID_IDeskBand);
    ASSERT_NE(band, nullptr);
    DESKBANDINFO info = {};
    const DWORD asked = DBIM_MINSIZE | DBIM_MAXSIZE | DBIM_INTEGRAL | DBIM_TITLE | DBIM_MODEFLAGS;
    info.dwMask = asked | DBIM_BKCOLOR;
    ASSERT_EQ(band->GetBandInfo(7, DBIF_VIEWMODE_NORMAL, &info), S_OK);
    EXPECT_EQ(std::make_tuple(info.dwMask, info.ptMinSize.x, info.ptMinSize.y, info.ptMaxSize.y,
                              info.ptIntegral.y, info.dwModeFlags),
              std::make_tuple(asked, 20L, 10L, -1L, 1L, DWORD(DBIMF_VARIABLEHEIGHT)))
        << "no background colour of its own";
    EXPECT_STREQ(info.wszTitle, L"Veltrim");

    // The stream's defaults (loads are tried on a sited band below).
    IPersistStream* persist = Query<IPersistStream>(band, IID_IPersistStream);
    CLSID classId = {};
    EXPECT_TRUE(persist->GetClassID(&classId) == S_OK && IsEqualCLSID(classId, CLSID_VeltrimBand));
    EXPECT_EQ(SavedBytes(persist, TRUE),
              std::string("\1\0\0\0\1\0\0\0\2\0\0\0", 12) + std::string(12, 0));
    persist->Release();
    EXPECT_EQ(band->Release(), 0u);
    EXPECT_EQ(CanUnload(), S_OK);
}

// One band sited: its window, shown and hidden, state loaded into it, and the close that removes
// it; then a band released without a close.
TEST(MeterBandSite, TheWindowShownHiddenClosedAndAReleaseWithoutClose) {
    HWND host = CreateWindowExA(0, "STATIC", "host", WS_POPUP | WS_VISIBLE, 0, 0, 300, 30, nullptr,
                                nullptr, GetModuleHandleA(nullptr), nullptr);
    IDeskBand* band = NewBand<IDeskBand>(IID_IDeskBand);
    ASSERT_NE(band, nullptr);
    IObjectWithSite* withSite = Query<IObjectWithSite>(band, IID_IObjectWithSite);
    TestSite site;
    site.strip = host;
    ASSERT_EQ(withSite->SetSite(static_cast<IOleWindow*>(&site)), S_OK);
    HWND window = nullptr, left = nullptr;
    EXPECT_TRUE(band->GetWindow(&window) == S_OK && GetParent(window) == host);
    EXPECT_EQ(Ready(), FALSE) << "a band window on the strip: not ready to uninstall";
    EXPECT_TRUE(band->ShowDW(TRUE) == S_OK && IsWindowVisible(window));
    EXPECT_TRUE(band->ShowDW(FALSE) == S_OK && !IsWindowVisible(window));

    // The stream into the band that has its window: a stored band with one meter saved again
    // byte for byte, and a load that gets nothing, which fails and leaves the meters gone. The
    // tools follow the list.
    CreateStartStat(); // without the statistics no label is built
    const HWND tooltip = reinterpret_cast<MeterBand*>(band)->tooltipWindow;
    IPersistStream* persist = Query<IPersistStream>(band, IID_IPersistStream);
    const std::string stored("\1\0\0\0\0\0\0\0\2\0\0\0\1\0\0\0\0\0\0\0\13\0\0\0Memory\\Load\0"
                             "\3\0\0\0\0\0\0\0\1\0\0\0\xe8\3\0\0\0\0\0\0\0\0\0\0",
                             60);
    IStream* stream = StreamOf(stored);
    ASSERT_EQ(persist->Load(stream), S_OK);
    stream->Release();
    EXPECT_EQ(SavedBytes(persist, FALSE) + ToolTexts(tooltip), stored + "0,0使用中メモリ (%)|");
    stream = StreamOf("");
    EXPECT_EQ(persist->Load(stream), E_FAIL);
    stream->Release();
    EXPECT_EQ(SavedBytes(persist, FALSE).size(), 24u) << "no meters left";
    EXPECT_EQ(ToolTexts(tooltip), "");
    persist->Release();

    EXPECT_TRUE(band->CloseDW(0) == S_OK && !IsWindow(window));
    EXPECT_EQ(Ready(), TRUE) << "the band is gone: uninstalling may go on";
    withSite->SetSite(nullptr);
    withSite->Release();
    EXPECT_EQ(band->Release(), 0u);

    // A host that lets a band go without CloseDW: the window stays until its parent goes, but it
    // must no longer reach the freed band through its timer, focus or destruction.
    band = NewBand<IDeskBand>(IID_IDeskBand);
    withSite = Query<IObjectWithSite>(band, IID_IObjectWithSite);
    ASSERT_EQ(withSite->SetSite(static_cast<IOleWindow*>(&site)), S_OK);
    EXPECT_EQ(band->GetWindow(&left), S_OK);
    withSite->SetSite(nullptr);
    withSite->Release();
    EXPECT_EQ(band->Release(), 0u);
    ASSERT_TRUE(IsWindow(left));
    EXPECT_EQ(GetWindowLongPtrA(left, GWLP_USERDATA), 0) << "no pointer to the freed band";
    EXPECT_FALSE(KillTimer(left, 1)) << "the band's timer was stopped with it";
    SendMessageA(left, WM_TIMER, 1, 0);
    SendMessageA(left, WM_SETFOCUS, 0, 0);
    EXPECT_TRUE(DestroyWindow(left) && site.focusChanges.empty());
    EXPECT_TRUE(CanUnload() == S_OK && site.refs == 1)
        << "every reference the bands took on the site was given back";
    DestroyWindow(host);
}

TEST(SelfRegistration, Regsvr32WritesTheClassAndCategoryAndRemovesThemWhole) {
    const std::string dll = ProgramFolder() + "vt.dll";
    const std::string classKey = "CLSID\\{11795084-FD2F-4677-BFB5-D3D0E8F3AC67}";
    auto value = [&](const char* key, const char* name) {
        return RegText(HKEY_CLASSES_ROOT, classKey + key, name);
    };
    ASSERT_EQ(RunAndWait("regsvr32.exe /s \"" + dll + "\""), 0u);
    EXPECT_EQ(value("", nullptr), "Veltrim");
    EXPECT_EQ(lstrcmpiA(value("\\InprocServer32", nullptr).c_str(), dll.c_str()), 0);
    EXPECT_EQ(value("\\InprocServer32", "ThreadingModel"), "Apartment");
    EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, classKey + "\\Implemented Categories\\"
                                                        "{00021492-0000-0000-C000-000000000046}"));
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
    HWND topLevel = Create("VeltrimClass", WS_POPUP, nullptr);
    EXPECT_EQ(Ready(), TRUE) << "a top-level window of the class is not a band";
    HWND host = Create("STATIC", WS_POPUP, nullptr);
    Create("VeltrimClass", WS_CHILD, Create("STATIC", WS_CHILD, host));
    EXPECT_EQ(Ready(), FALSE) << "a grandchild of the class is";
    DestroyWindow(host);
    EXPECT_EQ(Ready(), TRUE);
    DestroyWindow(topLevel);
    UnregisterClassA("VeltrimClass", GetModuleHandleA(nullptr));
}

} // namespace
