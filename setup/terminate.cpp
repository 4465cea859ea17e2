// An uncaught exception ends the installer quietly: this replaces libstdc++'s verbose handler,
// which would pull the symbol demangler into setup.exe.
#include <stdlib.h>

namespace __gnu_cxx {
void __verbose_terminate_handler() {
    abort();
}
} // namespace __gnu_cxx
