// Simulated windows: window classes, the program's windows and other
// programs' top-level windows, the message queue with its timers on the
// simulated clock, message boxes, and drawing recorded as operations.
//
// The message loop. MessageGet hands out, in this order: the next posted
// message; the quit message once the queue is empty; WM_PAINT for a shown
// window that needs painting. When none is there the program would wait
// for something to happen, and the sim then lets the next thing happen:
//   1. the next step of the test's script (SimWindows::script): a message a
//      user or another program causes (a key, a click, WM_CLOSE from
//      outside), a wait during which the timers tick, the running of the
//      threads created so far, or any test code;
//   2. without a script step, the threads created and not yet run run now
//      (see SimSystem: a created thread runs when it is waited for, when
//      the script says so, or here);
//   3. otherwise nothing will ever happen: the program would wait forever.
//      The sim marks the machine `hung` and gives the quit message so that
//      the test ends; tests read `hung` to tell a program that ended by
//      itself from one that waited for more.
// Timers tick only during a script's wait, so a shown window that nobody
// touches is "hung" at once, without simulated minutes of blinking.
#pragma once
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/types.h"
#include "platform/windows.h"

struct SimWindowClass {
    std::string name;
    std::uint32_t style = 0;
    plat::WindowProc procedure = nullptr;
    plat::Handle instance = nullptr;
    plat::Handle icon = nullptr;
    plat::Handle cursor = nullptr;
    std::intptr_t background = 0;
};

struct SimWindow {
    std::string class_name;
    std::u16string title;
    plat::Handle owner = nullptr;
    bool foreign = false;  // another program's window: records what it is posted
    plat::WindowProc procedure = nullptr;
    std::uint32_t style = 0;
    int x = 0, y = 0, width = 0, height = 0;  // outer rectangle
    int dpi = 0;  // the DPI of the screen it is on; 0: the machine's system DPI
    bool visible = false;
    bool needs_paint = false;
    bool needs_erase = false;
    bool destroyed = false;
    std::vector<plat::Message> received;  // foreign windows: every message posted to them
};

// One recorded SetWindowPos.
struct SimPlacement {
    plat::Handle window;
    plat::Handle insert_after;
    int x, y, width, height;
    std::uint32_t flags;
};

struct SimTimer {
    plat::Handle window;
    std::uintptr_t id;
    std::uint32_t period_ms;
    std::uint32_t due;  // on the simulated clock
};

struct SimMessageBox {
    plat::Handle owner;
    std::string text;
    std::string caption;
    std::uint32_t type;
};

// A GDI object the program made or took.
struct SimGdiObject {
    std::string kind;  // "font", "bitmap", "brush", "pen", "cursor", "icon"
    int stock_id = -1;  // GetStockObject id, or -1
    int height = 0, weight = 0;  // fonts
    std::string face;
    int width = 0;  // bitmaps: width and height
    int resource_id = 0;  // bitmaps, icons, cursors: the id loaded
    bool deleted = false;
};

struct SimDc {
    plat::Handle window = nullptr;  // null for a memory context
    bool memory = false;
    plat::Handle font = nullptr, brush = nullptr, pen = nullptr, bitmap = nullptr;
    std::uint32_t text_colour = 0;
    int background_mode = 2;  // OPAQUE
    bool released = false;
};

// One drawing operation with the context's state when it was made.
struct SimDrawOp {
    std::string op;  // "BitBlt", "StretchBlt", "Rectangle", "RoundRect", "DrawText"
    plat::Handle dc = nullptr;
    plat::Handle window = nullptr;  // the window the context draws on; null for a memory context
    plat::Rect rect{};  // BitBlt: x, y, x + width, y + height
    std::string text;
    std::uint32_t format = 0;
    std::uint32_t text_colour = 0;
    int background_mode = 0;
    plat::Handle font = nullptr, brush = nullptr, pen = nullptr;
    plat::Handle source_bitmap = nullptr;  // BitBlt, StretchBlt: the bitmap selected into the source
    int source_width = 0, source_height = 0;  // StretchBlt: the part of the source stretched
    bool halftone = false;                    // StretchBlt: in HALFTONE mode
    int ellipse_width = 0, ellipse_height = 0;
    std::uint32_t raster_op = 0;
    std::uint32_t tick = 0;  // the simulated clock when it was drawn
};

namespace plat {
struct AccessibleModel;
struct AccessibleItem;
}

// One NotifyWinEvent.
struct SimWinEvent {
    plat::Handle window;
    std::uint32_t event;
    int child;
};

// One step of a test's script (see above).
struct SimAction {
    enum Kind { kPost, kWait, kRunThreads, kCall } kind = kPost;
    plat::Message message{};  // kPost: a null window means the program's main window
    std::uint32_t wait_ms = 0;
    std::function<void()> call;
    bool started = false;
    std::uint32_t deadline = 0;
};

// What the desktop shell was asked to open for the program (through its
// IShellDispatch2, as the logged-on user).
struct SimShellExecute {
    std::string verb;
    std::string file;
};

struct SimWindows {
    std::map<std::string, SimWindowClass> classes;  // by upper-case name
    std::vector<std::uintptr_t> order;              // top-level windows, oldest first
    std::map<std::uintptr_t, SimWindow> windows;
    std::deque<plat::Message> queue;
    std::vector<plat::Message> posted;  // every message posted to the program's windows, in order
    bool quit_posted = false;
    int quit_code = 0;
    bool hung = false;
    std::vector<SimTimer> timers;
    std::vector<plat::Message> dispatched;  // every message the program dispatched, in order
    std::deque<SimAction> script;
    std::vector<SimPlacement> placements;
    plat::Handle focus = nullptr;

    // Message boxes: recorded, then answered with `box_answer` after
    // `on_box` (when set) has run; the program waits in the box meanwhile.
    std::vector<SimMessageBox> boxes;
    int box_answer = plat::kIdOk;
    std::function<void(const SimMessageBox&)> on_box;

    // Drawing.
    std::map<std::uintptr_t, SimGdiObject> objects;
    int refused_deletes = 0;  // DeleteObject of an unknown or deleted object
    std::map<std::uintptr_t, SimDc> dcs;
    std::map<int, std::uintptr_t> stock;        // GetStockObject id -> handle
    std::map<int, std::uintptr_t> system_cursors;
    std::vector<SimDrawOp> drawing;
    plat::Handle cursor = nullptr;  // what SetCursor set last
    int cursor_sets = 0;

    // The program's own resources: bitmaps (id -> width, height) and icon
    // groups. The setup program's picture is 900 x 424 at 100%, with its
    // 125%, 150% and 200% drawings beside it.
    std::map<int, std::pair<int, int>> bitmaps = {
        {101, {900, 424}}, {125, {1125, 530}}, {150, {1350, 636}}, {200, {1800, 848}}};
    std::set<int> icons = {100};

    // Frame metrics: SPI_GETNONCLIENTMETRICS accepts only this size field
    // (Windows XP knows only 340), and the GetSystemMetrics values.
    std::uint32_t nonclient_size_accepted = 344;
    int border_width = 1, padded_border_width = 4, caption_height = 23;
    std::map<int, int> system_metrics = {{plat::kSmCyCaption, 23}, {plat::kSmCxDlgFrame, 3},
                                         {plat::kSmCxPaddedBorder, 4}};
    // The frame Windows really draws around a captioned window: the border
    // and caption above, plus these (Wine's fixed frame is wider than the
    // metrics say).
    int frame_extra = 0, caption_extra = 0;

    // Display scaling: the DPI of a window that says none of its own, and
    // what this Windows lacks (no GetDpiForWindow before Windows 10; no DPI
    // awareness at all on XP). `dpi_aware` is set once the program asked.
    int system_dpi = plat::kDefaultDpi;
    bool dpi_for_window_missing = false;
    bool dpi_awareness_missing = false;
    bool dpi_aware = false;
    // The rectangle the last WM_DPICHANGED suggested (its lParam points here).
    plat::Rect dpi_suggested{};
    int invalidations = 0;

    // Forced failures.
    bool register_class_fails = false;
    bool create_window_fails = false;

    // What the desktop shell was asked to open, in order.
    std::vector<SimShellExecute> shell_executes;

    // Accessibility: the objects WM_GETOBJECT answered with (the model of
    // the last one and its window), and the WinEvents raised, in order.
    // Without the accessibility library nothing is answered.
    bool accessibility_missing = false;
    int accessible_answers = 0;
    const plat::AccessibleModel* accessible_model = nullptr;
    plat::Handle accessible_window = nullptr;
    std::vector<SimWinEvent> win_events;
};

// ---- Test helpers ------------------------------------------------------------
// Another program's top-level window; gives its handle.
plat::Handle SimAddForeignWindow(const std::string& class_name, const std::u16string& title,
                                 plat::Handle owner = nullptr);
const SimWindow* SimFindWindow(plat::Handle window);
// The program's first window not yet destroyed, or null.
plat::Handle SimMainWindow();
// The client area of a window as GetClientRect would give it.
void SimClientSize(plat::Handle window, int* width, int* height);

// Script steps.
void SimScriptPost(std::uint32_t message, std::uintptr_t wparam = 0, std::intptr_t lparam = 0,
                   plat::Handle window = nullptr);
void SimScriptKey(std::uint32_t virtual_key);                 // WM_KEYDOWN to the main window
void SimScriptClick(int x, int y);                            // WM_LBUTTONDOWN at client x, y
void SimScriptWait(std::uint32_t milliseconds);               // the timers tick meanwhile
void SimScriptRunThreads();
void SimScriptCall(std::function<void()> call);
// The main window moves to a screen of another DPI: WM_DPICHANGED with the
// window's outer rectangle scaled to it about its top left corner, as
// Windows suggests it.
void SimScriptMoveToDpi(int dpi);

// The recorded drawing operations of one kind ("" for all), in order.
std::vector<SimDrawOp> SimDrawOps(const std::string& op = "");
const SimGdiObject* SimGdi(plat::Handle object);

// What a reader's calls on the last object answered would give: through
// the model the window handed over, as the real object asks it.
int SimAccessibleDescribe(int child, plat::AccessibleItem* item);
int SimAccessiblePress(int child);
