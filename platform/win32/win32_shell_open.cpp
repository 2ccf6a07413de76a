// Opening a document or web address as the logged-on user, through the
// desktop shell's process. This process never opens one itself: shell verbs
// come from HKCU too, which the user controls.
#include <windows.h>
#include <exdisp.h>
#include <oleauto.h>
#include <servprov.h>
#include <shldisp.h>
#include <shlobj.h>
#include <shobjidl.h>

#include "platform/shell.h"

namespace {

// Defined here, so that no import library has to carry them.
const CLSID kClsidShellWindows = {0x9ba05972, 0xf6a8, 0x11cf, {0xa4, 0x42, 0x00, 0xa0, 0xc9, 0x0a, 0x8f, 0x39}};
const GUID kSidTopLevelBrowser = {0x4c96be40, 0x915c, 0x11cf, {0x99, 0xd3, 0x00, 0xaa, 0x00, 0x4a, 0xe8, 0x37}};

template <typename T>
void Release(T*& object) {
    if (object != nullptr) object->Release();
    object = nullptr;
}

// The desktop shell's IShellDispatch2, the object of the shell's own
// process (Explorer, running as the logged-on user). Null when there is no
// desktop window to ask.
IShellDispatch2* DesktopShellDispatch() {
    IShellWindows* windows = nullptr;
    IDispatch* desktop = nullptr;
    IServiceProvider* provider = nullptr;
    IShellBrowser* browser = nullptr;
    IShellView* view = nullptr;
    IDispatch* background = nullptr;
    IShellFolderViewDual* folder_view = nullptr;
    IDispatch* application = nullptr;
    IShellDispatch2* shell = nullptr;

    VARIANT location;
    VARIANT root;
    VariantInit(&location);
    VariantInit(&root);
    location.vt = VT_I4;
    location.lVal = CSIDL_DESKTOP;
    LONG window = 0;
    // Each step only when the one before gave its object.
    if (SUCCEEDED(CoCreateInstance(kClsidShellWindows, nullptr, CLSCTX_LOCAL_SERVER, __uuidof(IShellWindows),
                                   reinterpret_cast<void**>(&windows))) &&
        windows->FindWindowSW(&location, &root, SWC_DESKTOP, &window, SWFO_NEEDDISPATCH, &desktop) == S_OK &&
        desktop != nullptr &&
        SUCCEEDED(desktop->QueryInterface(__uuidof(IServiceProvider), reinterpret_cast<void**>(&provider))) &&
        SUCCEEDED(provider->QueryService(kSidTopLevelBrowser, __uuidof(IShellBrowser),
                                         reinterpret_cast<void**>(&browser))) &&
        SUCCEEDED(browser->QueryActiveShellView(&view)) && view != nullptr &&
        SUCCEEDED(view->GetItemObject(SVGIO_BACKGROUND, __uuidof(IDispatch), reinterpret_cast<void**>(&background))) &&
        SUCCEEDED(background->QueryInterface(__uuidof(IShellFolderViewDual), reinterpret_cast<void**>(&folder_view))) &&
        SUCCEEDED(folder_view->get_Application(&application)) && application != nullptr &&
        FAILED(application->QueryInterface(__uuidof(IShellDispatch2), reinterpret_cast<void**>(&shell))))
        shell = nullptr;
    Release(application);
    Release(folder_view);
    Release(background);
    Release(view);
    Release(browser);
    Release(provider);
    Release(desktop);
    Release(windows);
    return shell;
}

}  // namespace

namespace plat {

// Set by ComInitialize (win32_system.cpp).
extern bool com_secured;

int ShellOpenAsUser(const char* file) {
    // The route talks to Explorer's objects: only with COM's security set.
    if (!com_secured) return 0;
    IShellDispatch2* shell = DesktopShellDispatch();
    if (shell == nullptr) return 0;
    int opened = 0;
    int units = MultiByteToWideChar(CP_ACP, 0, file, -1, nullptr, 0);
    BSTR text = units > 0 ? SysAllocStringLen(nullptr, static_cast<UINT>(units - 1)) : nullptr;
    BSTR verb = SysAllocString(L"open");
    if (text != nullptr && verb != nullptr && MultiByteToWideChar(CP_ACP, 0, file, -1, text, units) == units) {
        VARIANT none;
        VARIANT operation;
        VARIANT show;
        VariantInit(&none);
        VariantInit(&operation);
        VariantInit(&show);
        operation.vt = VT_BSTR;
        operation.bstrVal = verb;
        show.vt = VT_I4;
        show.lVal = SW_SHOWNORMAL;
        opened = SUCCEEDED(shell->ShellExecute(text, none, none, operation, show)) ? 1 : 0;
    }
    SysFreeString(verb);
    SysFreeString(text);
    shell->Release();
    return opened;
}

}  // namespace plat
