#include <windows.h>
#include <objbase.h>
#include <objidl.h>
#include <shlobj.h>

#include "platform/shell.h"

namespace plat {

namespace {
// {00021401-0000-0000-C000-000000000046}
const CLSID kClsidShellLink = {0x00021401, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
// {000214EE-0000-0000-C000-000000000046}
const IID kIidShellLinkA = {0x000214EE, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
// {0000010B-0000-0000-C000-000000000046}
const IID kIidPersistFile = {0x0000010B, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
}  // namespace

std::int32_t ShellLinkCreate(const char* link_path, const char* target, const char* description,
                             const char* arguments, const char* working_folder) {
    IShellLinkA* link = nullptr;
    HRESULT result = CoCreateInstance(kClsidShellLink, nullptr, CLSCTX_INPROC_SERVER, kIidShellLinkA,
                                      reinterpret_cast<void**>(&link));
    if (FAILED(result)) return result;
    link->SetPath(target);
    link->SetDescription(description);
    link->SetArguments(arguments);
    link->SetWorkingDirectory(working_folder);
    IPersistFile* file = nullptr;
    result = link->QueryInterface(kIidPersistFile, reinterpret_cast<void**>(&file));
    if (SUCCEEDED(result)) {
        WCHAR wide[2048];
        wide[0] = 0;
        if (MultiByteToWideChar(CP_ACP, 0, link_path, -1, wide, 2048) == 0) wide[2047] = 0;
        result = file->Save(wide, TRUE);
        file->Release();
    }
    link->Release();
    return result;
}

}  // namespace plat
