// A readiness DLL for the uninstall tests: one export that says no twice and then yes, one that
// never says yes.
#include <windows.h>

extern "C" __declspec(dllexport) BOOL WINAPI ReadyAfterTwo() {
    static int calls = 0;
    return ++calls > 2;
}

extern "C" __declspec(dllexport) BOOL WINAPI NeverReady() {
    return FALSE;
}
