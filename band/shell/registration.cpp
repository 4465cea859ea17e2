// Self-registration: the class keys under HKEY_CLASSES_ROOT and the desk-band category.
#include <windows.h>

#include <comcat.h>
#include <olectl.h>
#include <shlguid.h>
#include <string.h>

#include "band_object.h"
#include "module.h"

namespace {

const size_t TextCapacity = 260;

// "{XXXXXXXX-...}" of the band's class in the ANSI code page.
bool ClassIdText(char* text) {
    LPOLESTR wide = nullptr;
    if (FAILED(StringFromIID(CLSID_VeltrimBand, &wide)) || !wide) {
        return false;
    }
    const int written =
        WideCharToMultiByte(CP_ACP, 0, wide, -1, text, TextCapacity, nullptr, nullptr);
    IMalloc* allocator = nullptr;
    if (SUCCEEDED(CoGetMalloc(1, &allocator)) && allocator) {
        allocator->Free(wide);
        allocator->Release();
    }
    return written > 0;
}

// Joins "CLSID\" + the class text + an optional tail, bounded by the buffer.
bool ClassKeyPath(char* path, size_t capacity, const char* classText, const char* tail) {
    const char prefix[] = "CLSID\\";
    const size_t needed = strlen(prefix) + strlen(classText) + strlen(tail) + 1;
    if (needed > capacity) {
        return false;
    }
    strcpy(path, prefix);
    strcat(path, classText);
    strcat(path, tail);
    return true;
}

bool WriteStringValue(const char* path, const char* name, const char* data) {
    HKEY key;
    if (RegCreateKeyExA(HKEY_CLASSES_ROOT, path, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE,
                        nullptr, &key, nullptr) != ERROR_SUCCESS) {
        return false;
    }
    RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(data),
                   static_cast<DWORD>(strlen(data) + 1));
    RegCloseKey(key);
    return true;
}

bool WriteClassKeys(const char* classText) {
    char modulePath[TextCapacity];
    const DWORD length = GetModuleFileNameA(moduleInstance, modulePath, sizeof(modulePath));
    if (length == 0 || length >= sizeof(modulePath)) {
        return false;
    }
    char classKey[TextCapacity];
    char serverKey[TextCapacity];
    if (!ClassKeyPath(classKey, sizeof(classKey), classText, "") ||
        !ClassKeyPath(serverKey, sizeof(serverKey), classText, "\\InprocServer32")) {
        return false;
    }
    return WriteStringValue(classKey, nullptr, "Veltrim") &&
           WriteStringValue(serverKey, nullptr, modulePath) &&
           WriteStringValue(serverKey, "ThreadingModel", "Apartment");
}

// Deletes a key and everything below it, leaf first: only Windows 95/98 do it in one call.
bool DeleteKeyTree(HKEY root, const char* path) {
    HKEY key;
    if (RegOpenKeyExA(root, path, 0, KEY_READ | KEY_WRITE, &key) != ERROR_SUCCESS) {
        return false;
    }
    char child[TextCapacity];
    char childPath[2 * TextCapacity];
    bool ok = true;
    while (ok && RegEnumKeyA(key, 0, child, sizeof(child)) == ERROR_SUCCESS) {
        if (strlen(path) + 1 + strlen(child) + 1 > sizeof(childPath)) {
            ok = false;
            break;
        }
        strcpy(childPath, path);
        strcat(childPath, "\\");
        strcat(childPath, child);
        ok = DeleteKeyTree(root, childPath);
    }
    RegCloseKey(key);
    return ok && RegDeleteKeyA(root, path) == ERROR_SUCCESS;
}

bool ChangeDeskBandCategory(bool add) {
    CoInitialize(nullptr);
    ICatRegister* categories = nullptr;
    HRESULT result =
        CoCreateInstance(CLSID_StdComponentCategoriesMgr, nullptr, CLSCTX_INPROC_SERVER,
                         IID_ICatRegister, reinterpret_cast<void**>(&categories));
    if (SUCCEEDED(result) && categories) {
        CATID category = CATID_DeskBand;
        CLSID classId = CLSID_VeltrimBand;
        result = add ? categories->RegisterClassImplCategories(classId, 1, &category)
                     : categories->UnRegisterClassImplCategories(classId, 1, &category);
        categories->Release();
    }
    CoUninitialize();
    return SUCCEEDED(result);
}

} // namespace

STDAPI DllRegisterServer() {
    char classText[TextCapacity];
    if (!ClassIdText(classText) || !WriteClassKeys(classText)) {
        return SELFREG_E_CLASS;
    }
    return ChangeDeskBandCategory(true) ? S_OK : SELFREG_E_CLASS;
}

STDAPI DllUnregisterServer() {
    if (!ChangeDeskBandCategory(false)) {
        return SELFREG_E_CLASS;
    }
    char classText[TextCapacity];
    char classKey[TextCapacity];
    if (!ClassIdText(classText) || !ClassKeyPath(classKey, sizeof(classKey), classText, "")) {
        return SELFREG_E_CLASS;
    }
    return DeleteKeyTree(HKEY_CLASSES_ROOT, classKey) ? S_OK : SELFREG_E_CLASS;
}
