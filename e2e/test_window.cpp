// A window of another program for the end-to-end tests of the setup
// program's start: shows one top-level window of a given class and title
// and ends when the window receives WM_DESTROY, as the console does.
//   test_window.exe CLASS TITLE...
// The raw command line is read as it is passed: the class is its first
// word, the title everything after the blank that follows it.
#include <windows.h>

namespace {

LRESULT CALLBACK WindowProcedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(window, message, wparam, lparam);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR command_line, int) {
    static char class_name[256];
    int length = 0;
    const char* p = command_line;
    while (*p == ' ') ++p;
    while (*p != '\0' && *p != ' ' && length < 255) class_name[length++] = *p++;
    class_name[length] = '\0';
    if (*p == ' ') ++p;
    const char* title = p;
    if (length == 0) return 2;

    WNDCLASSA window_class = {};
    window_class.lpfnWndProc = WindowProcedure;
    window_class.hInstance = instance;
    window_class.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(32512));
    window_class.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    window_class.lpszClassName = class_name;
    if (!RegisterClassA(&window_class)) return 3;
    HWND window = CreateWindowExA(0, class_name, title, WS_OVERLAPPEDWINDOW, 40, 40, 320, 120, nullptr, nullptr,
                                  instance, nullptr);
    if (window == nullptr) return 4;
    ShowWindow(window, SW_SHOWNOACTIVATE);

    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return 0;
}
