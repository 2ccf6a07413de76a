#include "setup/setup_main.h"

#include "base/context.h"
#include "base/hardening.h"
#include "base/names.h"
#include "base/text.h"
#include "devices/inventory.h"
#include "platform/system.h"
#include "platform/windows.h"
#include "setup/main_window.h"
#include "setup/probe.h"

plat::Handle user32_module;
plat::Handle window_text_reader;

namespace {

// Titles of the maker's companion tools, closed at start, in this order.
constexpr const char16_t* kToolTitles[] = {
    u"Mixolyte.Remote",        u"ZT-Audio 8x8 Matrix",  u"ZT-Audio Matrix 8",
    u"ZT-Audio Graphic EQ 15", u"ZTAN2MIDI-Converter",  u"ML-Streamer View",
    u"ZT-Audio Virtual Cable", u"ZT-Audio Mixolyte DAZA",
};

bool StartsWith(const char* text, const char* prefix) {
    for (; *prefix != '\0'; ++prefix, ++text)
        if (*text != *prefix) return false;
    return true;
}

bool StartsWith(const char16_t* text, const char16_t* prefix) {
    for (; *prefix != u'\0'; ++prefix, ++text)
        if (*text != *prefix) return false;
    return true;
}

struct ConsolePass {
    const char* title;
};

int VisitConsoleWindow(plat::Handle window, void* parameter) {
    const auto* pass = static_cast<const ConsolePass*>(parameter);
    if (window == nullptr) return 1;
    char buffer[512] = {};
    plat::WindowClassName(window, buffer, sizeof buffer);
    buffer[sizeof buffer - 1] = '\0';
    if (!StartsWith(buffer, kConsoleWindowClass) || buffer[sizeof kConsoleWindowClass - 1] != '\0') return 1;
    buffer[0] = '\0';
    plat::WindowTextRead(window, buffer, sizeof buffer);
    buffer[sizeof buffer - 1] = '\0';
    if (StartsWith(buffer, pass->title)) plat::WindowPostMessage(window, plat::kWmDestroy, 0, 0);
    return 1;
}

struct ToolPass {
    const char16_t* title;
};

int VisitToolWindow(plat::Handle window, void* parameter) {
    const auto* pass = static_cast<const ToolPass*>(parameter);
    if (window == nullptr || plat::WindowOwner(window) != nullptr) return 1;
    char16_t buffer[512] = {};
    plat::WindowTextInternal(window_text_reader, window, buffer, 512);
    buffer[511] = u'\0';
    if (StartsWith(buffer, pass->title)) plat::WindowPostMessage(window, plat::kWmDestroy, 0, 0);
    return 1;
}

void StartupError(const char* text) {
    // No box in hidden mode: an unattended run must not wait for a click.
    if (!hidden_mode) plat::MessageBoxShow(nullptr, text, "Startup Error", plat::kMbIconWarning);
}

}  // namespace

void ParseCommandLine(const char* command_line) {
    if (command_line == nullptr || command_line[0] == '\0' || command_line[1] == '\0') return;
    const char* p = command_line;
    for (;;) {
        while (*p != '\0' && *p != '-') ++p;
        if (*p == '\0') return;
        char c = p[1];
        if (c == '\0') return;
        if (c == 'h' || c == 'H') hidden_mode = 1;
        if (c == 'u' || c == 'U') silent_uninstall = 1;
        if (c == 'i' || c == 'I') silent_install = 1;
        p += 2;
    }
}

void CloseConsoleWindows(const char* title) {
    ConsolePass pass{title};
    plat::WindowsEnumerate(VisitConsoleWindow, &pass);
}

void CloseToolWindows(const char16_t* title) {
    ToolPass pass{title};
    plat::WindowsEnumerate(VisitToolWindow, &pass);
}

plat::Handle CreateMainWindow(plat::Handle instance, const char* title) {
    plat::WindowClassSpec spec{};
    spec.style = plat::kCsVRedraw | plat::kCsHRedraw;
    spec.procedure = MainWindowProc;
    spec.instance = instance;
    spec.icon = plat::IconLoad(instance, 100);
    spec.cursor = plat::CursorLoadSystem(plat::kIdcArrow);
    spec.background = 12;
    spec.class_name = kSetupWindowClass;
    if (!plat::WindowClassRegister(&spec)) {
        StartupError("Failed to register window class...");
        return nullptr;
    }
    constexpr std::uint32_t kStyle = plat::kWsClipChildren | plat::kWsCaption | plat::kWsSysMenu |
                                     plat::kWsMinimizeBox | plat::kWsMaximizeBox;
    plat::Handle window = plat::WindowCreate(0, kSetupWindowClass, title, kStyle, plat::kCwUseDefault,
                                             plat::kCwUseDefault, 900, 300, instance);
    if (window == nullptr) {
        StartupError("Failed to create window...");
        return nullptr;
    }
    if (hidden_mode) {
        plat::WindowShow(window, plat::kSwHide);
    } else {
        plat::WindowShow(window, plat::kSwShow);
        plat::WindowUpdate(window);
    }
    return window;
}

int SetupMain(plat::Handle instance, const char* command_line) {
    HardenProcess(instance);
    ParseCommandLine(command_line);

    std::uint32_t last_error = 0;
    plat::Handle mutex = plat::MutexCreate(kSetupMutexName, 1, &last_error);
    if (mutex == plat::kInvalidHandle) {
        ReleaseHeldImage();
        return kExitMutexFailed;
    }
    if (last_error == plat::kErrorAlreadyExists) {
        plat::MutexRelease(mutex);
        plat::MutexClose(mutex);
        ReleaseHeldImage();
        return kExitAlreadyRunning;
    }
    plat::MutexWait(mutex, plat::kInfinite);

    user32_module = plat::User32Open();
    window_text_reader =
        user32_module != plat::kInvalidHandle ? plat::User32WindowTextReader(user32_module) : nullptr;

    InventoryStart();
    CloseConsoleWindows("MixoLyte");
    CloseConsoleWindows("Mixolyte");
    if (window_text_reader != nullptr)
        for (const char16_t* title : kToolTitles) CloseToolWindows(title);
    LookUpFolders();

    ResetSetupContext(&setup_context);
    setup_context.instance = instance;
    setup_context.is_wow64 = IsWow64();

    char title[512];
    FormatText(title, sizeof title, "%s Installation (Version %s)", kProductName, kSetupVersion);

    std::int32_t com = plat::ComInitialize();
    // Drawn for the screen's DPI, not stretched by Windows.
    plat::DpiAwarenessDeclare();
    plat::Handle window = CreateMainWindow(instance, title);
    if (window == nullptr) {
        exit_code = kExitStartupError;
    } else {
        plat::Message message{};
        while (plat::MessageGet(&message) > 0) {
            plat::MessageTranslate(&message);
            plat::MessageDispatch(&message);
        }
    }

    plat::MutexRelease(mutex);
    plat::MutexClose(mutex);
    InventoryEnd();
    if (com == plat::kHresultOk) plat::ComUninitialize();
    if (user32_module != plat::kInvalidHandle) plat::User32Close(user32_module);
    user32_module = nullptr;
    window_text_reader = nullptr;
    ReleaseHeldImage();
    return exit_code;
}
