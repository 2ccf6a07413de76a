// Opening a document or web address with the shell.
#include <windows.h>
#include <shellapi.h>

#include "platform/shell.h"

namespace plat {

std::intptr_t ShellOpen(Handle owner, const char* file) {
    HINSTANCE result = ShellExecuteA(static_cast<HWND>(owner), "open", file, nullptr, nullptr, SW_SHOW);
    return reinterpret_cast<std::intptr_t>(result);
}

}  // namespace plat
