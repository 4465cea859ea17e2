// The install run, the uninstall run and the relaunch, as far as they are built: the install run
// lets the user choose the destination, and each reports that it could not complete.
#include "setup_state.h"

bool RunInstall() {
    // The value as written decides whether there is a destination dialog.
    char folder[PathCapacity];
    GetPrivateProfileStringA(KeyDefaultInstallFolder.section, KeyDefaultInstallFolder.name, "",
                             folder, sizeof(folder), setupState.scriptPath);
    if (folder[0]) {
        ExpandScriptText(setupState.installFolder, sizeof(setupState.installFolder), folder);
        if (!DestinationDialog()) {
            return false;
        }
    }
    return false;
}

bool RunUninstall(const char*) {
    return false;
}

void RelaunchForUninstall(const char*) {
    MessageBoxFormat(nullptr, MB_OK | MB_ICONERROR, "エラー", "%s",
                     "アンインストールに失敗しました。");
}
