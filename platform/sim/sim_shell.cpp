#include "platform/shell.h"
#include "platform/sim/sim.h"

namespace plat {

int ShellSpecialFolderPath(int csidl, int /*create*/, char* buffer, int* result) {
    const SimShell& shell = Sim().shell;
    if (!shell.special_folder_function) return 0;
    auto it = shell.folders.find(csidl);
    if (it == shell.folders.end() || shell.special_folder_fails.count(csidl)) {
        *result = 0;
        return 1;
    }
    SimCopyText(buffer, 260, it->second);
    *result = 1;
    return 1;
}

int ShellFolderPath(int csidl, char* buffer, std::int32_t* hresult) {
    const SimShell& shell = Sim().shell;
    if (!shell.folder_path_function) return 0;
    auto it = shell.folders.find(csidl);
    if (it == shell.folders.end()) {
        *hresult = static_cast<std::int32_t>(0x80004005u);  // E_FAIL
        return 1;
    }
    SimCopyText(buffer, 260, it->second);
    *hresult = 0;
    return 1;
}

}  // namespace plat
