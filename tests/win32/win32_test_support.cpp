#include "win32_test_support.h"

#include <gtest/gtest.h>

#include <commctrl.h>

#include <string.h>

#include "meter_list.h"
#include "meters/sources.h"
#include "shell/band_object.h"
#include "shell/band_state.h"
#include "shell/module.h"
#include "window/band_window.h"

namespace {

HKEY CreateKey(HKEY root, const char* path) {
    HKEY key = nullptr;
    EXPECT_EQ(RegCreateKeyExA(root, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS)
        << path;
    return key;
}

} // namespace

void SetStatData(const char* name, DWORD type, const void* data, DWORD size) {
    HKEY key = CreateKey(HKEY_DYN_DATA, "PerfStats\\StatData");
    ASSERT_NE(key, nullptr);
    EXPECT_EQ(RegSetValueExA(key, name, 0, type, static_cast<const BYTE*>(data), size),
              ERROR_SUCCESS);
    RegCloseKey(key);
}

void SetStatTotal(const char* name, DWORD total) {
    SetStatData(name, REG_BINARY, &total, sizeof(total));
}

void CreateStartStat() {
    RegCloseKey(CreateKey(HKEY_DYN_DATA, "PerfStats\\StartStat"));
}

void DeleteStartStat() {
    DeleteKeyTree(HKEY_DYN_DATA, "PerfStats\\StartStat");
}

void SetStatDescription(const char* key, const char* name, const char* differentiate,
                        bool terminated) {
    const std::string path =
        std::string("System\\CurrentControlSet\\Control\\PerfStats\\Enum\\") + key;
    DeleteKeyTree(HKEY_LOCAL_MACHINE, path.c_str());
    HKEY description = CreateKey(HKEY_LOCAL_MACHINE, path.c_str());
    const std::pair<const wchar_t*, const char*> values[] = {{L"Name", name},
                                                             {L"Differentiate", differentiate}};
    for (const auto& [valueName, value] : values) {
        if (value) { // as wide text: the ANSI call counts in a terminator left out
            wchar_t text[128];
            const int length = MultiByteToWideChar(CP_ACP, 0, value, -1, text, 127);
            text[length - 1] = terminated ? L'\0' : L'!'; // what follows an unterminated value
            RegSetValueExW(description, valueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                           static_cast<DWORD>((length - !terminated) * sizeof(wchar_t)));
        }
    }
    RegCloseKey(description);
}

bool DefineWineDrive(char letter, UINT type, const char* folder) {
    // The mount manager's request: size, type, 16 bytes unused here, the letter and the offset
    // of the folder, two more offsets, then the folder.
    DWORD in[8 + MAX_PATH / 4] = {32, type, 0, 0, 0, 0, DWORD(letter) | (folder ? 32u << 16 : 0)};
    if (folder) {
        in[0] += 1 + lstrlenA(lstrcpynA(reinterpret_cast<char*>(in + 8), folder, MAX_PATH));
    }
    HANDLE manager =
        CreateFileA("\\\\.\\MountPointManager", GENERIC_READ | GENERIC_WRITE,
                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    DWORD out = 0;
    const BOOL done =
        DeviceIoControl(manager, 0x6DC080 /* define */, in, in[0], nullptr, 0, &out, nullptr);
    CloseHandle(manager);
    return done != FALSE;
}

TestBand::TestBand(int width, int height) {
    InitMeterBandFields(&band);
    WNDCLASSA host = {}; // its own class, as a shell's strip has
    host.lpfnWndProc = DefWindowProcA;
    host.hInstance = GetModuleHandleA(nullptr);
    host.lpszClassName = "VtTestHost";
    RegisterClassA(&host);
    parent = CreateWindowExA(0, "VtTestHost", "", WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN, 0, 0,
                             width, height, nullptr, nullptr, host.hInstance, nullptr);
    band.window = band.parentWindow = parent;
}

TestBand::~TestBand() {
    DestroyWindow(parent); // the band window first, while its meters are there
    ReleaseMeters(band.meters);
    ReleaseStatisticsKey(&band);
    DeleteObject(band.font); // made by the grid choice of a tick, if one ran
}

bool TestBand::Create() {
    moduleInstance = GetModuleHandleA(nullptr);
    band.window = nullptr;
    return CreateBandWindow(&band) && !ShowWindow(band.window, SW_SHOWNA);
}

Meter* TestBand::Add(MeterKind kind, const char* key, int index, DWORD interval) {
    return AppendMeter(&band.meters, kind, key, index, interval);
}

Dib::Dib(int w, int h)
    : dc(CreateCompatibleDC(nullptr)), bitmap(nullptr), previous(nullptr), bits(nullptr), width(w),
      height(h) {
    BITMAPINFO info = {{sizeof(BITMAPINFOHEADER), w, -h, 1, 32, BI_RGB, 0, 0, 0, 0, 0},
                       {}}; // top-down
    void* pixels = nullptr;
    bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &pixels, nullptr, 0);
    bits = static_cast<uint32_t*>(pixels);
    previous = SelectObject(dc, bitmap);
    EXPECT_NE(bits, nullptr);
}

Dib::~Dib() {
    SelectObject(dc, previous);
    DeleteDC(dc);
    DeleteObject(bitmap);
}

uint32_t Dib::At(int x, int y) const {
    GdiFlush();
    return bits[static_cast<size_t>(y) * width + x] & 0xFFFFFF;
}

void Dib::Fill(uint32_t rgb) {
    GdiFlush();
    for (int i = 0; i < width * height; ++i) {
        bits[i] = rgb;
    }
}

void Dib::Capture(HWND window, int x, int y) {
    HDC source = GetDC(window);
    BitBlt(dc, 0, 0, width, height, source, x, y, SRCCOPY);
    ReleaseDC(window, source);
    GdiFlush();
}

uint32_t RgbOf(COLORREF colour) {
    return (GetRValue(colour) << 16) | (GetGValue(colour) << 8) | GetBValue(colour);
}

std::string RgbText(uint32_t rgb) {
    return std::to_string((rgb >> 16) & 0xFF) + "," + std::to_string((rgb >> 8) & 0xFF) + "," +
           std::to_string(rgb & 0xFF);
}

HMODULE BandDll() {
    static HMODULE dll = LoadLibraryA((ProgramFolder() + "vt.dll").c_str());
    return dll;
}

bool operator==(const StoredMeter& a, const StoredMeter& b) {
    return a.kind == b.kind && a.key == b.key && a.index == b.index && a.interval == b.interval;
}

std::ostream& operator<<(std::ostream& out, const StoredMeter& m) {
    return out << "{" << m.kind << ", " << m.key << ", " << m.index << ", " << m.interval << "}";
}

namespace {

bool StreamWrite(void* context, const void* data, uint32_t size) {
    ULONG written = 0;
    return static_cast<IStream*>(context)->Write(data, size, &written) == S_OK && written == size;
}

bool StreamRead(void* context, void* buffer, uint32_t size) {
    ULONG read = 0;
    return static_cast<IStream*>(context)->Read(buffer, size, &read) == S_OK && read == size;
}

void Rewind(IStream* stream) {
    LARGE_INTEGER zero = {};
    stream->Seek(zero, STREAM_SEEK_SET, nullptr);
}

const UINT runOnHostThread = WM_APP + 1;
LRESULT CALLBACK HostProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == runOnHostThread) {
        (*reinterpret_cast<const std::function<void()>*>(lParam))();
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

} // namespace

IStream* StreamOf(const std::string& bytes) {
    IStream* stream = nullptr;
    CreateStreamOnHGlobal(nullptr, TRUE, &stream);
    stream->Write(bytes.data(), static_cast<ULONG>(bytes.size()), nullptr);
    Rewind(stream);
    return stream;
}

std::string SavedBytes(IPersistStream* persist, BOOL clearDirty) {
    IStream* stream = StreamOf("");
    EXPECT_EQ(persist->Save(stream, clearDirty), S_OK);
    STATSTG stat = {};
    stream->Stat(&stat, STATFLAG_NONAME);
    std::string bytes(stat.cbSize.LowPart, '\0');
    Rewind(stream);
    stream->Read(&bytes[0], static_cast<ULONG>(bytes.size()), nullptr);
    stream->Release();
    return bytes;
}

SitedBand::SitedBand(const std::vector<StoredMeter>& meters, int width, int height) {
    unknown = NewBand<IUnknown>(IID_IUnknown);
    unknown->QueryInterface(IID_IContextMenu, reinterpret_cast<void**>(&menu));
    unknown->QueryInterface(IID_IPersistStream, reinterpret_cast<void**>(&persist));
    unknown->QueryInterface(IID_IObjectWithSite, reinterpret_cast<void**>(&withSite));
    unknown->QueryInterface(IID_IDockingWindow, reinterpret_cast<void**>(&docking));
    Meter* list = nullptr;
    for (const StoredMeter& m : meters) {
        AppendMeter(&list, static_cast<MeterKind>(m.kind), m.key.c_str(), m.index, m.interval);
    }
    IStream* stream = StreamOf("");
    BandOptions options = {1, 0};
    SaveBandState(ByteWriter{StreamWrite, stream}, options, list);
    ReleaseMeters(list);
    Rewind(stream);
    persist->Load(stream);
    stream->Release();
    const HBRUSH face = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
    WNDCLASSA host = {0,       HostProc, 0,    0,       GetModuleHandleA(nullptr),
                      nullptr, nullptr,  face, nullptr, "VtSitedBandHost"};
    RegisterClassA(&host);
    parent = CreateWindowExA(0, host.lpszClassName, "", WS_POPUP | WS_VISIBLE, 0, 0, width, height,
                             nullptr, nullptr, host.hInstance, nullptr);
    site.strip = parent;
    withSite->SetSite(static_cast<IOleWindow*>(&site));
    docking->ShowDW(TRUE);
}

SitedBand::~SitedBand() {
    withSite->SetSite(nullptr);
    for (IUnknown* held :
         std::initializer_list<IUnknown*>{docking, withSite, persist, menu, unknown}) {
        held->Release();
    }
    DestroyWindow(parent);
}

MeterBand* SitedBand::Record() const {
    return reinterpret_cast<MeterBand*>(unknown); // the primary interface starts the record
}

std::vector<StoredMeter> SitedBand::Saved() const {
    IStream* stream = StreamOf(SavedBytes(persist, TRUE));
    BandOptions options = {};
    Meter* list = nullptr;
    LoadBandState(ByteReader{StreamRead, stream}, &options, &list);
    stream->Release();
    std::vector<StoredMeter> meters;
    for (const Meter* m = list; m; m = m->next) {
        meters.push_back(
            {static_cast<MeterKind>(m->kind), m->key ? m->key : "", m->index, m->interval});
    }
    ReleaseMeters(list);
    return meters;
}

std::string ToolTexts(HWND tooltip) {
    std::string texts;
    for (LRESULT i = 0; i < SendMessageA(tooltip, TTM_GETTOOLCOUNT, 0, 0); ++i) {
        char text[100] = "";
        TOOLINFOA tool = {}; // of the size comctl32 4.70 knows
        tool.cbSize = offsetof(TOOLINFOA, lParam) + sizeof(LPARAM), tool.lpszText = text;
        SendMessageA(tooltip, TTM_ENUMTOOLSA, i, reinterpret_cast<LPARAM>(&tool));
        texts += std::to_string(tool.rect.left) + "," + std::to_string(tool.rect.top) + text + "|";
    }
    return texts;
}

void SitedBand::RunOnHostThread(const std::function<void()>& work) const {
    SendMessageA(parent, runOnHostThread, 0, reinterpret_cast<LPARAM>(&work));
}
