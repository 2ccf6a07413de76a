// A small accessibility client, reading the setup window as a screen
// reader does: AccessibleObjectFromWindow(OBJID_CLIENT), its children by id,
// their default action, and the WinEvents the window raises.
//   acc_probe.exe tree           the object and its children, one line each:
//                                id|role|state|name|left,top,width,height|action|shortcut
//                                then "children|N" and "focus|ID" (or "focus|none")
//   acc_probe.exe press ID       accDoDefaultAction(ID): "press|HRESULT in hex"
//   acc_probe.exe listen SECONDS prints "name|ID|TEXT" and "state|ID|STATE" for
//                                each EVENT_OBJECT_NAMECHANGE / STATECHANGE of the
//                                window's client object (hooked out of context),
//                                until the window is gone or the time is up
// Exit code 0, or 2 when the window or its object cannot be had.
#include <windows.h>
#include <oleacc.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

constexpr char kClass[] = "ZTMixolyte0Installer0MainWindow0";

std::string Narrow(BSTR text) {
    if (text == nullptr) return "";
    int size = WideCharToMultiByte(CP_ACP, 0, text, -1, nullptr, 0, nullptr, nullptr);
    std::string out(size > 0 ? size - 1 : 0, '\0');
    if (size > 1) WideCharToMultiByte(CP_ACP, 0, text, -1, out.data(), size, nullptr, nullptr);
    SysFreeString(text);
    return out;
}

VARIANT Child(long id) {
    VARIANT child;
    VariantInit(&child);
    child.vt = VT_I4;
    child.lVal = id;
    return child;
}

IAccessible* ClientObject(HWND window) {
    IAccessible* object = nullptr;
    if (FAILED(AccessibleObjectFromWindow(window, static_cast<DWORD>(OBJID_CLIENT), IID_IAccessible,
                                          reinterpret_cast<void**>(&object))))
        return nullptr;
    return object;
}

void PrintItem(IAccessible* object, long id) {
    VARIANT child = Child(id), role, state;
    VariantInit(&role);
    VariantInit(&state);
    object->get_accRole(child, &role);
    object->get_accState(child, &state);
    BSTR name = nullptr, action = nullptr, shortcut = nullptr;
    object->get_accName(child, &name);
    object->get_accDefaultAction(child, &action);
    object->get_accKeyboardShortcut(child, &shortcut);
    long x = 0, y = 0, w = 0, h = 0;
    object->accLocation(&x, &y, &w, &h, child);
    std::printf("%ld|%ld|0x%lx|%s|%ld,%ld,%ld,%ld|%s|%s\n", id, role.vt == VT_I4 ? role.lVal : -1,
                state.vt == VT_I4 ? static_cast<unsigned long>(state.lVal) : 0ul, Narrow(name).c_str(), x, y, w, h,
                Narrow(action).c_str(), Narrow(shortcut).c_str());
}

int Tree(IAccessible* object) {
    long count = 0;
    object->get_accChildCount(&count);
    for (long id = 0; id <= count; ++id) PrintItem(object, id);
    std::printf("children|%ld\n", count);
    VARIANT focus;
    VariantInit(&focus);
    object->get_accFocus(&focus);
    if (focus.vt == VT_I4) std::printf("focus|%ld\n", focus.lVal);
    else std::printf("focus|none\n");
    return 0;
}

HWND watched = nullptr;

void CALLBACK OnEvent(HWINEVENTHOOK, DWORD event, HWND window, LONG object_id, LONG child_id, DWORD, DWORD) {
    if (window != watched || object_id != OBJID_CLIENT) return;
    IAccessible* object = nullptr;
    VARIANT child;
    VariantInit(&child);
    if (FAILED(AccessibleObjectFromEvent(window, object_id, child_id, &object, &child)) || object == nullptr) return;
    if (event == EVENT_OBJECT_NAMECHANGE) {
        BSTR name = nullptr;
        object->get_accName(child, &name);
        std::printf("name|%ld|%s\n", child_id, Narrow(name).c_str());
    } else {
        VARIANT state;
        VariantInit(&state);
        object->get_accState(child, &state);
        std::printf("state|%ld|0x%lx\n", child_id, state.vt == VT_I4 ? static_cast<unsigned long>(state.lVal) : 0ul);
    }
    std::fflush(stdout);
    object->Release();
}

int Listen(HWND window, int seconds) {
    watched = window;
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    HWINEVENTHOOK hook = SetWinEventHook(EVENT_OBJECT_STATECHANGE, EVENT_OBJECT_NAMECHANGE, nullptr, OnEvent,
                                         process, 0, WINEVENT_OUTOFCONTEXT);
    if (hook == nullptr) return 2;
    std::printf("listening\n");
    std::fflush(stdout);
    DWORD end = GetTickCount() + static_cast<DWORD>(seconds) * 1000;
    while (IsWindow(window) && static_cast<LONG>(end - GetTickCount()) > 0) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 100, QS_ALLINPUT);
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
    }
    UnhookWinEvent(hook);
    std::printf("gone|%d\n", IsWindow(window) ? 0 : 1);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return 2;
    CoInitialize(nullptr);
    HWND window = FindWindowA(kClass, nullptr);
    if (window == nullptr) {
        std::printf("no window\n");
        return 2;
    }
    std::string command = argv[1];
    if (command == "listen") return Listen(window, argc > 2 ? std::atoi(argv[2]) : 60);
    IAccessible* object = ClientObject(window);
    if (object == nullptr) {
        std::printf("no object\n");
        return 2;
    }
    int result = 0;
    if (command == "tree") {
        result = Tree(object);
    } else if (command == "press" && argc > 2) {
        HRESULT pressed = object->accDoDefaultAction(Child(std::atol(argv[2])));
        std::printf("press|0x%08lx\n", static_cast<unsigned long>(pressed));
    } else {
        result = 2;
    }
    object->Release();
    std::fflush(stdout);
    return result;
}
