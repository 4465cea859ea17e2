// A readiness DLL for the uninstall tests: not ready at the first two calls of a process, then
// ready.
#include <windows.h>

extern "C" __declspec(dllexport) BOOL WINAPI ReadyAfterTwo() {
    static int calls = 0;
    return ++calls > 2;
}
