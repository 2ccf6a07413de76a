// Lists the visible top-level windows of the Wine session with what an X11
// tool cannot see: their owner, client area on the screen, and the texts of
// their child controls (a message box's text is a static child). The install
// scenarios read boxes and find the setup window's button with it.
//   window_list.exe
// One line per top-level window, then one per child:
//   W|<hwnd>|<class>|<title>|<client left>,<client top>,<width>,<height>|<owner hwnd or 0>
//   C|<hwnd>|<class>|<text, line breaks as \n>|<left>,<top>,<width>,<height> on the screen
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

std::string Escape(const char* text) {
    std::string out;
    for (const char* p = text; *p != '\0'; ++p) {
        if (*p == '\n') out += "\\n";
        else if (*p == '\r') continue;
        else if (*p == '|') out += '/';
        else out += *p;
    }
    return out;
}

BOOL CALLBACK EachChild(HWND child, LPARAM) {
    char class_name[256] = {};
    char text[2048] = {};
    GetClassNameA(child, class_name, sizeof class_name);
    GetWindowTextA(child, text, sizeof text);
    RECT box = {};
    GetWindowRect(child, &box);
    std::printf("C|%p|%s|%s|%ld,%ld,%ld,%ld\n", static_cast<void*>(child), class_name, Escape(text).c_str(),
                box.left, box.top, box.right - box.left, box.bottom - box.top);
    return TRUE;
}

BOOL CALLBACK EachWindow(HWND window, LPARAM) {
    if (!IsWindowVisible(window)) return TRUE;
    char class_name[256] = {};
    char title[1024] = {};
    GetClassNameA(window, class_name, sizeof class_name);
    GetWindowTextA(window, title, sizeof title);
    RECT client = {};
    GetClientRect(window, &client);
    POINT origin = {0, 0};
    ClientToScreen(window, &origin);
    std::printf("W|%p|%s|%s|%ld,%ld,%ld,%ld|%p\n", static_cast<void*>(window), class_name,
                Escape(title).c_str(), origin.x, origin.y, client.right - client.left,
                client.bottom - client.top, static_cast<void*>(GetWindow(window, GW_OWNER)));
    EnumChildWindows(window, EachChild, 0);
    return TRUE;
}

}  // namespace

int main() {
    EnumWindows(EachWindow, 0);
    std::fflush(stdout);
    return 0;
}
