#include "setup/main_window.h"

#include "base/hardening.h"
#include "base/names.h"
#include "base/path_chars.h"
#include "base/text.h"
#include "base/worker_report.h"
#include "install/install.h"
#include "platform/registry.h"
#include "platform/system.h"
#include "platform/windows.h"
#include "setup/accessibility.h"
#include "setup/drawing.h"
#include "setup/probe.h"
#include "setup/web_page.h"
#include "uninstall/uninstall.h"

int (*install_sequence)(SetupContext* context) = RunInstall;
int (*uninstall_sequence)() = RunUninstall;

namespace {

constexpr std::uint32_t kErrorBox = plat::kMbSystemModal | plat::kMbIconError;
constexpr std::uint32_t kWarningBox = plat::kMbSystemModal | plat::kMbIconWarning;

std::intptr_t PostCommand(plat::Handle window, std::uintptr_t command, std::intptr_t code) {
    return plat::WindowPostMessage(window, plat::kWmCommand, command, code);
}

// The signed low and high words of a mouse message's lParam.
int LowWord(std::intptr_t value) { return static_cast<std::int16_t>(static_cast<std::uint32_t>(value) & 0xFFFF); }
int HighWord(std::intptr_t value) {
    return static_cast<std::int16_t>((static_cast<std::uint32_t>(value) >> 16) & 0xFFFF);
}

// The window's outer size WIDTH x HEIGHT was just set: the metrics do not
// always describe the frame Windows draws for this style (a fixed frame is
// wider than the border width they give), so measure the client area and
// make up the difference to the drawing's size.
void FitClientArea(plat::Handle window, int width, int height, std::uint32_t flags) {
    int client_width = 0, client_height = 0;
    int wanted_width = ScaledClientWidth();
    int wanted_height = ScaledClientHeight();
    if (plat::WindowClientSize(window, &client_width, &client_height) &&
        (client_width != wanted_width || client_height != wanted_height))
        plat::WindowSetPos(window, nullptr, 0, 0, width + wanted_width - client_width,
                           height + wanted_height - client_height, flags);
}

void OnCreate(plat::Handle window) {
    SetupContext& context = setup_context;
    context.main_window = window;
    SetDrawingDpi(plat::WindowDpi(window));
    LoadDrawingResources();
    ProbeEnvironment();

    if (!hidden_mode) {
        int border = 0, caption = 0;
        GetFrameMetrics(&border, &caption);
        int width = ScaledClientWidth() + 2 * border;
        int height = ScaledClientHeight() + 2 * border + caption;
        constexpr std::uint32_t kFlags = plat::kSwpNoMove | plat::kSwpShowWindow;
        plat::WindowSetPos(window, nullptr, 0, 0, width, height, kFlags);
        FitClientArea(window, width, height, kFlags);
        context.timer_id = plat::TimerSet(window, kBlinkTimerId, kBlinkPeriodMs);
    }

    // A silent run whose command cannot be posted would leave a hidden
    // window waiting for ever: the program ends instead, its exit code
    // untouched (0), as when the worker cannot start.
    if (silent_install) {
        if (!PostCommand(window, CMD_SILENT_RUN, RUN_INSTALL)) plat::QuitPost(0);
    } else if (silent_uninstall) {
        if (!PostCommand(window, CMD_SILENT_RUN, RUN_UNINSTALL)) plat::QuitPost(0);
    } else if (context.uninstall_entry_found) {
        if (IsSameSetupProgram() == 0 && !hidden_mode) PostCommand(window, CMD_WARN_OTHER_SETUP, 0);
    } else if (context.product_devices_found && !hidden_mode) {
        PostCommand(window, CMD_WARN_DRIVER_PRESENT, 0);
    }

    plat::WindowSetFocus(window);
    if (!hidden_mode) RememberAccessibleState();
}

void OnDestroy() {
    SetupContext& context = setup_context;
    if (context.timer_id != 0) plat::TimerKill(context.main_window, context.timer_id);
    context.timer_id = 0;
    ReleaseDrawingResources();
    plat::QuitPost(0);
}

// The window is on a screen of another DPI now: the drawing follows it
// (fonts, picture, button and the readers' rectangles, which are computed
// from the drawing DPI), in the rectangle Windows suggests.
void OnDpiChanged(plat::Handle window, std::uintptr_t wparam, std::intptr_t lparam) {
    ReleaseDrawingResources();
    SetDrawingDpi(static_cast<int>(wparam & 0xFFFF));
    LoadDrawingResources();
    // A click before the next paint meets the button where it will be (a
    // button never drawn stays unclickable).
    if (setup_context.button_rect[2] != 0) StoreButtonRect();
    const auto* suggested = reinterpret_cast<const plat::Rect*>(lparam);
    if (suggested != nullptr) {
        constexpr std::uint32_t kFlags = plat::kSwpNoZOrder | plat::kSwpNoActivate;
        int width = suggested->right - suggested->left;
        int height = suggested->bottom - suggested->top;
        plat::WindowSetPos(window, nullptr, suggested->left, suggested->top, width, height, kFlags);
        FitClientArea(window, width, height, kFlags | plat::kSwpNoMove);
    }
    plat::WindowInvalidate(window);
}

void OnTimer(plat::Handle window, std::uintptr_t id) {
    SetupContext& context = setup_context;
    if (id != kBlinkTimerId) return;
    if (context.worker_busy != 0) {
        context.timer_ticks += 1;
        plat::Handle dc = plat::WindowDcGet(window);
        DrawBusyButton(dc, context.timer_ticks & 1);
        plat::WindowDcRelease(window, dc);
    }
    // Readers hear each step as it is drawn, and the end of the work.
    AnnounceChanges(window);
}

void OnLeftButtonDown(plat::Handle window, std::intptr_t position) {
    const SetupContext& context = setup_context;
    if (context.worker_busy == 1) return;
    int x = LowWord(position);
    int y = HighWord(position);
    const int* button = context.button_rect;
    if (button[0] < x && x < button[2] && button[1] < y && y < button[3]) {
        PressButton(window);
    } else if (y < ScaledPictureHeight()) {
        OpenWebPage(kProductPageAddress, sizeof kProductPageAddress);
    }
}

// After an install: the welcome page, the restart warning with TEXT, and
// the window closes.
void WelcomeAndClose(const char* text) {
    const SetupContext& context = setup_context;
    OpenWebPage(kWelcomePageAddress, sizeof kWelcomePageAddress);
    plat::MessageBoxShow(context.main_window, text, "REBOOT YOUR SYSTEM", kWarningBox);
    plat::WindowPostMessage(context.main_window, plat::kWmClose, 0, 0);
}

void OnWorkerReport(std::intptr_t code) {
    SetupContext& context = setup_context;
    if (hidden_mode) return;
    switch (code) {
        case REPORT_FAILED:
            plat::MessageBoxShow(context.main_window, context.message_text, context.message_caption, kErrorBox);
            plat::WindowPostMessage(context.main_window, plat::kWmClose, 0, 0);
            break;
        case REPORT_INSTALLED:
            WelcomeAndClose(
                "Installation Complete and Successful !\n\n"
                "YOU MUST RESTART your computer to finalize installation");
            break;
        case REPORT_INSTALLED_DRIVER_ISSUE:
            WelcomeAndClose(
                "Installation finished !\n\n"
                "Virtual Audio Driver might not be installed correctly,\n"
                "Virtual inputs and outputs could not be available.\n\n"
                "Thanks to restart your system anyway");
            break;
        default:
            break;
    }
}

void OnSilentRun(std::intptr_t code) {
    SetupContext& context = setup_context;
    if (code == RUN_INSTALL) {
        if (context.remove_mode || context.uninstall_entry_found) exit_code = kExitSilentRefused;
        else StartInstallWorker(1);
    } else if (code == RUN_UNINSTALL) {
        exit_code = kExitSilentRefused;
        if (context.remove_mode) {
            ReleaseHeldImage();
            exit_code = uninstall_sequence();
        }
    }
    ReleaseDrawingResources();
    plat::QuitPost(0);
}

void OnWarnOtherSetup(plat::Handle window) {
    char text[1024];
    FormatText(text, sizeof text,
               "Current %s version has been installed by another Setup program...\n\n"
               "You must use the same Setup Program to uninstall it,\n"
               "also listed in Windows Programs and Features...\n\n"
               "DON'T FORGET TO REBOOT AFTER UNINSTALLATION",
               kProductName);
    plat::MessageBoxShow(window, text, "Wrong Installation Program", kErrorBox);
    exit_code = kExitWrongSetupProgram;
    plat::WindowPostMessage(window, plat::kWmClose, 0, 0);
}

void OnWarnDriverPresent(plat::Handle window) {
    char text[1024];
    FormatText(text, sizeof text,
               "ZT-Audio Driver presence has been detected. Check %s drivers are no more present in Windows "
               "Device Manager...\n\n"
               "This application must not be installed if its audio driver is still present, thanks to "
               "uninstall them by the Windows Device Manager procedure...\n\n"
               "DON'T FORGET TO REBOOT AFTER UNINSTALLATION",
               "ZT-Audio Mixolyte");
    plat::MessageBoxShow(window, text, "Installation Issue", kWarningBox);
    exit_code = kExitInstallationIssue;
}

void OnCommand(plat::Handle window, std::uintptr_t wparam, std::intptr_t lparam) {
    std::uintptr_t command = wparam & 0xFFFF;
    switch (command) {
        case CMD_WORKER_REPORT: OnWorkerReport(lparam); break;
        case CMD_SILENT_RUN: OnSilentRun(lparam); break;
        case CMD_WARN_OTHER_SETUP: OnWarnOtherSetup(window); break;
        case CMD_WARN_DRIVER_PRESENT: OnWarnDriverPresent(window); break;
        default: break;
    }
}

}  // namespace

std::intptr_t MainWindowProc(plat::Handle window, std::uint32_t message, std::uintptr_t wparam,
                             std::intptr_t lparam) {
    SetupContext& context = setup_context;
    switch (message) {
        case plat::kWmCreate:
            OnCreate(window);
            return 0;
        case plat::kWmDestroy:
            OnDestroy();
            return 0;
        case plat::kWmPaint: {
            plat::PaintSession session;
            plat::Handle dc = plat::PaintBegin(window, &session);
            PaintWindow(dc);
            plat::PaintEnd(window, &session);
            return 0;
        }
        case plat::kWmEraseBkgnd:
            DrawBackground(reinterpret_cast<plat::Handle>(wparam));
            return 1;
        case plat::kWmClose:
            if (context.worker_busy == 0) plat::WindowPostMessage(context.main_window, plat::kWmDestroy, 0, 0);
            return 0;
        case plat::kWmKeyDown:
            if (wparam == plat::kVkReturn) {
                if (context.worker_busy != 1) {
                    PressButton(window);
                    AnnounceChanges(window);
                }
            } else if (wparam == plat::kVkEscape) {
                plat::WindowPostMessage(window, plat::kWmClose, 0, 0);
            }
            return 0;
        case plat::kWmCommand:
            OnCommand(window, wparam, lparam);
            return 0;
        case plat::kWmTimer:
            OnTimer(window, wparam);
            return 0;
        case plat::kWmMouseMove:
            if (HighWord(lparam) < ScaledPictureHeight()) plat::CursorSet(context.hand_cursor);
            return 0;
        case plat::kWmLButtonDown:
            OnLeftButtonDown(window, lparam);
            return 0;
        case plat::kWmGetObject:
            return AnswerGetObject(window, wparam, lparam);
        case plat::kWmDpiChanged:
            if (hidden_mode) return plat::WindowDefaultProc(window, message, wparam, lparam);
            OnDpiChanged(window, wparam, lparam);
            return 0;
        default:
            return plat::WindowDefaultProc(window, message, wparam, lparam);
    }
}

void PressButton(plat::Handle window) {
    SetupContext& context = setup_context;
    plat::Handle dc = plat::WindowDcGet(window);
    DrawButton(dc, 1);
    plat::WindowDcRelease(window, dc);
    plat::SleepMs(200);

    if (context.remove_mode == 0) {
        if (StartInstallWorker(0) == 0) return;
        char caption[512];
        FormatText(caption, sizeof caption, "%s Installation Error", kProductName);
        plat::MessageBoxShow(window, "Failed to launch Procedure...", caption, kErrorBox);
        plat::WindowPostMessage(context.main_window, plat::kWmDestroy, 0, 0);
        return;
    }
    ReleaseHeldImage();
    uninstall_sequence();
    plat::WindowPostMessage(context.main_window, plat::kWmDestroy, 0, 0);
}

int StartInstallWorker(int wait) {
    SetupContext& context = setup_context;
    context.worker_result = -1;
    context.worker_busy = 1;
    std::uint32_t thread_id = 0;
    plat::Handle thread = plat::ThreadCreate(InstallWorkerMain, &setup_context, &thread_id);
    context.worker_thread_id = thread_id;
    // The record keeps null for "no worker thread".
    context.worker_thread = thread != plat::kInvalidHandle ? thread : nullptr;
    if (context.worker_thread == nullptr) return -1;
    if (wait == 1) {
        plat::ThreadWait(context.worker_thread, plat::kInfinite);
        plat::ThreadClose(context.worker_thread);
        context.worker_thread = nullptr;
        return context.worker_result;
    }
    return 0;
}

std::uint32_t InstallWorkerMain(void* parameter) {
    auto* context = static_cast<SetupContext*>(parameter);
    plat::ThreadLowerPriority();
    std::int32_t com = plat::ComInitialize();
    int result = install_sequence(context);
    context->worker_result = result;
    exit_code = result;
    if (com == plat::kHresultOk) plat::ComUninitialize();
    context->worker_busy = 0;
    return 0;
}

int IsSameSetupProgram() {
    const char* running = LastComponent(setup_context.program_path);

    char value[1024];
    if (ReadUninstallString(value, sizeof value) != 1) return 1;
    if (value[0] == '\0') return 1;
    return SameText(LastComponent(value), running) ? 1 : 0;
}

void GetFrameMetrics(int* border, int* caption) {
    plat::NonClientMetrics metrics{};
    if (plat::NonClientMetricsRead(344, &metrics)) {
        *border = metrics.border_width + metrics.padded_border_width;
        *caption = metrics.caption_height;
        return;
    }
    *border = plat::SystemMetric(plat::kSmCxPaddedBorder) + plat::SystemMetric(plat::kSmCxDlgFrame);
    *caption = plat::SystemMetric(plat::kSmCyCaption);
}
