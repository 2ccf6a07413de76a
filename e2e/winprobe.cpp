// Windows-side helper of the end-to-end tests: finds top-level windows by
// class name, tells what they look like and posts messages to them.
//   winprobe wait CLASS SECONDS   exit 0 once a window of the class exists
//   winprobe info CLASS           visible, client size and screen origin, title
//   winprobe count CLASS          number of top-level windows of the class
//   winprobe close CLASS          posts WM_CLOSE to the first window of the class
#include <windows.h>

#include <cstdio>
#include <cstring>

namespace {

struct Count {
    const char* class_name;
    int found;
};

BOOL CALLBACK CountWindow(HWND window, LPARAM parameter) {
    auto* count = reinterpret_cast<Count*>(parameter);
    char name[256] = {};
    GetClassNameA(window, name, sizeof name);
    if (std::strcmp(name, count->class_name) == 0) ++count->found;
    return TRUE;
}

int Usage() {
    std::fputs("usage: winprobe wait|info|count|close CLASS [SECONDS]\n", stderr);
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) return Usage();
    const char* command = argv[1];
    const char* class_name = argv[2];

    if (std::strcmp(command, "wait") == 0) {
        int tenths = argc > 3 ? std::atoi(argv[3]) * 10 : 100;
        for (int i = 0; i <= tenths; ++i) {
            if (FindWindowA(class_name, nullptr) != nullptr) return 0;
            Sleep(100);
        }
        return 1;
    }
    if (std::strcmp(command, "count") == 0) {
        Count count{class_name, 0};
        EnumWindows(CountWindow, reinterpret_cast<LPARAM>(&count));
        std::printf("%d\n", count.found);
        return 0;
    }
    HWND window = FindWindowA(class_name, nullptr);
    if (window == nullptr) {
        std::fprintf(stderr, "winprobe: no window of class %s\n", class_name);
        return 1;
    }
    if (std::strcmp(command, "info") == 0) {
        RECT client = {};
        GetClientRect(window, &client);
        POINT origin = {0, 0};
        ClientToScreen(window, &origin);
        char title[512] = {};
        GetWindowTextA(window, title, sizeof title);
        std::printf("visible=%d client=%ldx%ld origin=%ld,%ld title=%s\n", IsWindowVisible(window) ? 1 : 0,
                    client.right - client.left, client.bottom - client.top, origin.x, origin.y, title);
        return 0;
    }
    if (std::strcmp(command, "close") == 0) return PostMessageA(window, WM_CLOSE, 0, 0) ? 0 : 1;
    return Usage();
}
