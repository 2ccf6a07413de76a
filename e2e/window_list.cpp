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

// A window's class and text (a top-level window's text is its title), the
// text escaped for one line of the list.
struct Names {
    std::string class_name;
    std::string text;
};

Names NamesOf(HWND window) {
    char class_name[256] = {};
    char text[2048] = {};
    GetClassNameA(window, class_name, sizeof class_name);
    GetWindowTextA(window, text, sizeof text);
    return {class_name, Escape(text)};
}

BOOL CALLBACK EachChild(HWND child, LPARAM) {
    Names names = NamesOf(child);
    RECT box = {};
    GetWindowRect(child, &box);
    std::printf("C|%p|%s|%s|%ld,%ld,%ld,%ld\n", static_cast<void*>(child), names.class_name.c_str(),
                names.text.c_str(), box.left, box.top, box.right - box.left, box.bottom - box.top);
    return TRUE;
}

BOOL CALLBACK EachWindow(HWND window, LPARAM) {
    if (!IsWindowVisible(window)) return TRUE;
    Names names = NamesOf(window);
    RECT client = {};
    GetClientRect(window, &client);
    POINT origin = {0, 0};
    ClientToScreen(window, &origin);
    std::printf("W|%p|%s|%s|%ld,%ld,%ld,%ld|%p\n", static_cast<void*>(window), names.class_name.c_str(),
                names.text.c_str(), origin.x, origin.y, client.right - client.left, client.bottom - client.top,
                static_cast<void*>(GetWindow(window, GW_OWNER)));
    EnumChildWindows(window, EachChild, 0);
    return TRUE;
}

}  // namespace

int main() {
    EnumWindows(EachWindow, 0);
    std::fflush(stdout);
    return 0;
}
