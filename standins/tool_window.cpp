// Stand-in for the mixing console and the maker's companion tools: one small
// window program, built under each program's name with its window class
// (MIXO_WINDOW_CLASS) and title (MIXO_WINDOW_TITLE). The setup program asks
// running copies of these windows to close (a posted WM_DESTROY), so they
// must look like the real ones from outside: class and title.
//
// Options, for tests:
//   --class NAME     use another window class
//   --title TEXT     use another title
//   --owned TEXT     also open a window owned by the main one, with that title
//   --hold FILE.dll  load that DLL from the program's folder and keep it
//                    loaded while the window lives (a package DLL in use);
//                    may be given several times
//   --log            append a line to the stand-in run log on start and a
//                    "closed" line when the window is asked to close
// or, the form of the shell's window tests, "CLASS TITLE...": the class is
// the first word of the raw command line, the title everything after the
// blank that follows it (blanks kept).
// Exit codes: 0 closed normally, 2 bad option, 3 a --hold DLL did not load,
// 4 the window could not be made.
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "standin_common.h"

#ifndef MIXO_WINDOW_CLASS
#error "build with MIXO_WINDOW_CLASS and MIXO_WINDOW_TITLE"
#endif

namespace {

struct Options {
    std::string class_name = MIXO_WINDOW_CLASS;
    std::string title = MIXO_WINDOW_TITLE;
    std::string owned_title;
    std::vector<std::string> hold;
    bool log = false;
};

bool g_log = false;

// The raw command line without the program name in front (quoted or not).
const char* ArgumentsOf(const char* command_line) {
    const char* p = command_line ? command_line : "";
    if (*p == '"') {
        ++p;
        while (*p != '\0' && *p != '"') ++p;
        if (*p == '"') ++p;
    } else {
        while (*p != '\0' && *p != ' ' && *p != '\t') ++p;
    }
    while (*p == ' ' || *p == '\t') ++p;
    return p;
}

// "CLASS TITLE...", read from the raw command line after the program name.
bool ParsePositional(const char* arguments, Options* options) {
    const char* p = arguments;
    while (*p == ' ') ++p;
    const char* word = p;
    while (*p != '\0' && *p != ' ') ++p;
    options->class_name.assign(word, static_cast<std::size_t>(p - word));
    if (*p == ' ') ++p;
    options->title = p;
    return !options->class_name.empty();
}

bool ParseOptions(int argc, char** argv, Options* options) {
    for (int i = 1; i < argc; ++i) {
        std::string option = argv[i];
        bool has_value = i + 1 < argc;
        if (option == "--log") options->log = true;
        else if (option == "--class" && has_value) options->class_name = argv[++i];
        else if (option == "--title" && has_value) options->title = argv[++i];
        else if (option == "--owned" && has_value) options->owned_title = argv[++i];
        else if (option == "--hold" && has_value) options->hold.push_back(argv[++i]);
        else return false;
    }
    return !options->class_name.empty();
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
    case WM_PAINT: {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(window, &paint);
        char title[256] = {};
        GetWindowTextA(window, title, sizeof title);
        RECT area;
        GetClientRect(window, &area);
        SetBkMode(dc, TRANSPARENT);
        DrawTextA(dc, title, -1, &area, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
        EndPaint(window, &paint);
        return 0;
    }
    case WM_DESTROY:
        // Also reached by a posted WM_DESTROY, which is how the setup
        // program closes these windows: end the program.
        if (g_log) LogRun(OwnFileName(nullptr).c_str(), "closed");
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcA(window, message, wparam, lparam);
    }
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show) {
    Options options;
    const char* first = ArgumentsOf(GetCommandLineA());
    bool positional = *first != '\0' && *first != '-';
    if (positional ? !ParsePositional(first, &options) : !ParseOptions(__argc, __argv, &options)) return 2;
    g_log = options.log;
    if (g_log) LogRun(OwnFileName(nullptr).c_str(), GetCommandLineA());

    std::vector<HMODULE> held;
    std::string folder = OwnFolder(nullptr);
    for (const std::string& name : options.hold) {
        HMODULE dll = LoadLibraryA((folder + "\\" + name).c_str());
        if (dll == nullptr) return 3;
        held.push_back(dll);
    }

    WNDCLASSA window_class = {};
    window_class.style = CS_HREDRAW | CS_VREDRAW;
    window_class.lpfnWndProc = WindowProc;
    window_class.hInstance = instance;
    window_class.hCursor = LoadCursor(nullptr, IDC_ARROW);
    window_class.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    window_class.lpszClassName = options.class_name.c_str();
    if (!RegisterClassA(&window_class)) return 4;

    HWND window = CreateWindowExA(0, options.class_name.c_str(), options.title.c_str(), WS_OVERLAPPEDWINDOW,
                                  CW_USEDEFAULT, CW_USEDEFAULT, 420, 160, nullptr, nullptr, instance, nullptr);
    if (window == nullptr) return 4;
    ShowWindow(window, show == SW_HIDE ? SW_SHOWNORMAL : show);
    UpdateWindow(window);

    if (!options.owned_title.empty()) {
        // A dialog-like window of the tool: owned, so the setup program's
        // pass over unowned windows leaves it alone.
        HWND owned = CreateWindowExA(0, options.class_name.c_str(), options.owned_title.c_str(),
                                     WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT, 300, 120, window, nullptr,
                                     instance, nullptr);
        if (owned == nullptr) return 4;
        ShowWindow(owned, SW_SHOWNORMAL);
    }

    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    for (HMODULE dll : held) FreeLibrary(dll);
    return 0;
}
