// Windows, the message queue, timers, message boxes and drawing on the
// simulated machine (model in sim_windows.h).
#include <algorithm>

#include "platform/shell.h"
#include "platform/sim/sim.h"
#include "platform/windows.h"

namespace {

constexpr std::uint32_t kWsVisible = 0x10000000;
constexpr int kSystemFont = 13;

std::uintptr_t Key(plat::Handle handle) { return reinterpret_cast<std::uintptr_t>(handle); }
plat::Handle AsHandle(std::uintptr_t key) { return reinterpret_cast<plat::Handle>(key); }

std::string Upper(const std::string& text) {
    std::string upper = text;
    for (char& c : upper)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return upper;
}

SimWindow* Live(plat::Handle window) {
    auto it = Sim().windows.windows.find(Key(window));
    if (it == Sim().windows.windows.end() || it->second.destroyed) return nullptr;
    return &it->second;
}

SimWindow* Own(plat::Handle window) {
    SimWindow* found = Live(window);
    return found != nullptr && !found->foreign ? found : nullptr;
}

// The window a call acts on, or none when the fault switch fails the call
// (counted either way) or the window is gone; Own: only this program's.
SimWindow* LiveUnlessFailed(int op, plat::Handle window) { return SimFaultHere(op) ? nullptr : Live(window); }
SimWindow* OwnUnlessFailed(int op, plat::Handle window) { return SimFaultHere(op) ? nullptr : Own(window); }

SimDc* Dc(plat::Handle dc) {
    auto it = Sim().windows.dcs.find(Key(dc));
    if (it == Sim().windows.dcs.end() || it->second.released) return nullptr;
    return &it->second;
}

// The device context a call acts on, or none when the fault switch fails
// the call (counted either way) or the context is released: the calls
// answer both alike.
SimDc* DcUnlessFailed(int op, plat::Handle dc) { return SimFaultHere(op) ? nullptr : Dc(dc); }

plat::Handle NewObject(const SimGdiObject& object) {
    plat::Handle handle = SimNewHandle();
    Sim().windows.objects[Key(handle)] = object;
    return handle;
}

plat::Handle NewDc(plat::Handle window, bool memory) {
    SimDc dc;
    dc.window = window;
    dc.memory = memory;
    SimInsideCall inside;
    dc.font = plat::StockObject(kSystemFont);
    dc.brush = plat::StockObject(plat::kWhiteBrush);
    dc.pen = plat::StockObject(plat::kBlackPen);
    if (memory) {
        SimGdiObject stock_bitmap;
        stock_bitmap.kind = "bitmap";
        stock_bitmap.width = 1;
        stock_bitmap.height = 1;
        dc.bitmap = NewObject(stock_bitmap);
    }
    plat::Handle handle = SimNewHandle();
    Sim().windows.dcs[Key(handle)] = dc;
    return handle;
}

SimDrawOp StartOp(const char* op, plat::Handle dc_handle, const SimDc& dc) {
    SimDrawOp record;
    record.op = op;
    record.dc = dc_handle;
    record.window = dc.window;
    record.text_colour = dc.text_colour;
    record.background_mode = dc.background_mode;
    record.font = dc.font;
    record.brush = dc.brush;
    record.pen = dc.pen;
    record.tick = Sim().system.tick_ms;
    return record;
}

// A copy of SOURCE's bitmap into RECT of DC, recorded as NAME; null (and
// nothing recorded) when the call fails or either context is gone.
SimDrawOp* RecordCopy(int op, const char* name, plat::Handle dc, const plat::Rect& rect, plat::Handle source) {
    SimDc* target = DcUnlessFailed(op, dc);
    SimDc* from = Dc(source);
    if (target == nullptr || from == nullptr) return nullptr;
    SimDrawOp record = StartOp(name, dc, *target);
    record.rect = rect;
    record.source_bitmap = from->bitmap;
    Sim().windows.drawing.push_back(record);
    return &Sim().windows.drawing.back();
}

std::intptr_t Send(plat::Handle window, std::uint32_t message, std::uintptr_t wparam, std::intptr_t lparam) {
    SimWindow* target = Own(window);
    if (target == nullptr || target->procedure == nullptr) return 0;
    return target->procedure(window, message, wparam, lparam);
}

void Invalidate(SimWindow* window) {
    window->needs_paint = true;
    window->needs_erase = true;
}

int TimerIndexDue() {
    const std::vector<SimTimer>& timers = Sim().windows.timers;
    int best = -1;
    std::uint32_t now = Sim().system.tick_ms;
    for (std::size_t i = 0; i < timers.size(); ++i) {
        auto wait = static_cast<std::int32_t>(timers[i].due - now);
        if (best < 0 || wait < static_cast<std::int32_t>(timers[best].due - now)) best = static_cast<int>(i);
    }
    return best;
}

// Advances the clock to the timer's due time and gives its message.
plat::Message FireTimer(int index) {
    SimTimer& timer = Sim().windows.timers[index];
    std::uint32_t now = Sim().system.tick_ms;
    auto wait = static_cast<std::int32_t>(timer.due - now);
    if (wait > 0) Sim().system.tick_ms = timer.due;
    timer.due = Sim().system.tick_ms + timer.period_ms;
    return plat::Message{timer.window, plat::kWmTimer, timer.id, 0};
}

// One step of the script. Gives 1 with a message to hand out in *message,
// 0 when the step only changed the machine (or is done).
int RunScriptStep(plat::Message* message) {
    SimWindows& windows = Sim().windows;
    SimAction& action = windows.script.front();
    switch (action.kind) {
        case SimAction::kPost: {
            plat::Message post = action.message;
            windows.script.pop_front();
            if (post.window == nullptr) post.window = SimMainWindow();
            SimInsideCall inside;
            plat::WindowPostMessage(post.window, post.message, post.wparam, post.lparam);
            return 0;
        }
        case SimAction::kWait: {
            if (!action.started) {
                action.started = true;
                action.deadline = Sim().system.tick_ms + action.wait_ms;
            }
            int index = TimerIndexDue();
            if (index >= 0 && static_cast<std::int32_t>(windows.timers[index].due - action.deadline) <= 0) {
                *message = FireTimer(index);
                return 1;
            }
            std::uint32_t deadline = action.deadline;
            if (static_cast<std::int32_t>(deadline - Sim().system.tick_ms) > 0) Sim().system.tick_ms = deadline;
            windows.script.pop_front();
            return 0;
        }
        case SimAction::kRunThreads:
            windows.script.pop_front();
            SimRunThreads();
            return 0;
        case SimAction::kCall: {
            std::function<void()> call = std::move(action.call);
            windows.script.pop_front();
            if (call) call();
            return 0;
        }
    }
    windows.script.pop_front();
    return 0;
}

bool ThreadsWaiting() {
    for (std::uintptr_t handle : Sim().system.thread_order)
        if (!Sim().system.threads[handle].ran) return true;
    return false;
}

}  // namespace

// ---- Test helpers ----------------------------------------------------------------

plat::Handle SimAddForeignWindow(const std::string& class_name, const std::u16string& title, plat::Handle owner) {
    plat::Handle handle = SimNewHandle();
    SimWindow window;
    window.class_name = class_name;
    window.title = title;
    window.owner = owner;
    window.foreign = true;
    window.visible = true;
    Sim().windows.windows[Key(handle)] = window;
    Sim().windows.order.push_back(Key(handle));
    return handle;
}

const SimWindow* SimFindWindow(plat::Handle window) {
    auto it = Sim().windows.windows.find(Key(window));
    return it == Sim().windows.windows.end() ? nullptr : &it->second;
}

plat::Handle SimMainWindow() {
    for (std::uintptr_t key : Sim().windows.order) {
        const SimWindow& window = Sim().windows.windows[key];
        if (!window.foreign && !window.destroyed) return AsHandle(key);
    }
    return nullptr;
}

void SimClientSize(plat::Handle window, int* width, int* height) {
    const SimWindows& windows = Sim().windows;
    const SimWindow* found = SimFindWindow(window);
    *width = *height = 0;
    if (found == nullptr) return;
    int frame = windows.border_width + windows.padded_border_width + windows.frame_extra;
    int caption = (found->style & plat::kWsCaption) == plat::kWsCaption
                      ? windows.caption_height + windows.caption_extra
                      : 0;
    *width = std::max(0, found->width - 2 * frame);
    *height = std::max(0, found->height - 2 * frame - caption);
}

void SimScriptPost(std::uint32_t message, std::uintptr_t wparam, std::intptr_t lparam, plat::Handle window) {
    SimAction action;
    action.kind = SimAction::kPost;
    action.message = plat::Message{window, message, wparam, lparam};
    Sim().windows.script.push_back(action);
}

void SimScriptKey(std::uint32_t virtual_key) { SimScriptPost(plat::kWmKeyDown, virtual_key, 0); }

void SimScriptClick(int x, int y) {
    auto packed = static_cast<std::uint32_t>(static_cast<std::uint16_t>(x)) |
                  static_cast<std::uint32_t>(static_cast<std::uint16_t>(y)) << 16;
    SimScriptPost(plat::kWmLButtonDown, 1, static_cast<std::intptr_t>(packed));
}

void SimScriptWait(std::uint32_t milliseconds) {
    SimAction action;
    action.kind = SimAction::kWait;
    action.wait_ms = milliseconds;
    Sim().windows.script.push_back(action);
}

void SimScriptRunThreads() {
    SimAction action;
    action.kind = SimAction::kRunThreads;
    Sim().windows.script.push_back(action);
}

void SimScriptCall(std::function<void()> call) {
    SimAction action;
    action.kind = SimAction::kCall;
    action.call = std::move(call);
    Sim().windows.script.push_back(action);
}

void SimScriptMoveToDpi(int dpi) {
    SimScriptCall([dpi] {
        plat::Handle main = SimMainWindow();
        auto it = Sim().windows.windows.find(Key(main));
        if (it == Sim().windows.windows.end()) return;
        SimWindow& window = it->second;
        int before = window.dpi != 0 ? window.dpi : Sim().windows.system_dpi;
        window.dpi = dpi;
        Sim().windows.dpi_suggested = plat::Rect{window.x, window.y, window.x + window.width * dpi / before,
                                                 window.y + window.height * dpi / before};
        auto both = static_cast<std::uintptr_t>(dpi) | static_cast<std::uintptr_t>(dpi) << 16;
        plat::WindowPostMessage(main, plat::kWmDpiChanged, both,
                                reinterpret_cast<std::intptr_t>(&Sim().windows.dpi_suggested));
    });
}

std::vector<SimDrawOp> SimDrawOps(const std::string& op) {
    std::vector<SimDrawOp> found;
    for (const SimDrawOp& record : Sim().windows.drawing)
        if (op.empty() || record.op == op) found.push_back(record);
    return found;
}

const SimGdiObject* SimGdi(plat::Handle object) {
    auto it = Sim().windows.objects.find(Key(object));
    return it == Sim().windows.objects.end() ? nullptr : &it->second;
}

namespace plat {

// ---- Classes and windows ---------------------------------------------------------

int WindowClassRegister(const WindowClassSpec* spec) {
    static const int op = SimOpId("WindowClassRegister");
    if (SimFaultHere(op)) {
        return 0;
    }
    SimWindows& windows = Sim().windows;
    if (windows.register_class_fails || spec->class_name == nullptr || spec->procedure == nullptr) return 0;
    std::string key = Upper(spec->class_name);
    if (windows.classes.count(key)) return 0;  // ERROR_CLASS_ALREADY_EXISTS
    SimWindowClass record;
    record.name = spec->class_name;
    record.style = spec->style;
    record.procedure = spec->procedure;
    record.instance = spec->instance;
    record.icon = spec->icon;
    record.cursor = spec->cursor;
    record.background = spec->background;
    windows.classes[key] = record;
    return 1;
}

int WindowClassUnregister(const char* class_name, Handle /*instance*/) {
    static const int op = SimOpId("WindowClassUnregister");
    if (SimFaultHere(op)) {
        return 0;
    }
    return Sim().windows.classes.erase(Upper(class_name ? class_name : "")) ? 1 : 0;
}

Handle WindowCreate(std::uint32_t /*ex_style*/, const char* class_name, const char* title, std::uint32_t style,
                    int x, int y, int width, int height, Handle /*instance*/) {
    static const int op = SimOpId("WindowCreate");
    if (SimFaultHere(op)) {
        return nullptr;
    }
    SimWindows& windows = Sim().windows;
    if (windows.create_window_fails || class_name == nullptr) return nullptr;
    auto found = windows.classes.find(Upper(class_name));
    if (found == windows.classes.end()) return nullptr;
    SimWindow window;
    window.class_name = found->second.name;
    window.title = SimAnsiToUtf16(title ? title : "");
    window.procedure = found->second.procedure;
    window.style = style;
    window.x = x == kCwUseDefault ? 100 : x;
    window.y = y == kCwUseDefault ? 100 : y;
    window.width = width == kCwUseDefault ? 640 : width;
    window.height = height == kCwUseDefault ? 480 : height;
    window.visible = (style & kWsVisible) != 0;
    if (window.visible) Invalidate(&window);
    Handle handle = SimNewHandle();
    windows.windows[Key(handle)] = window;
    windows.order.push_back(Key(handle));
    if (window.procedure(handle, kWmCreate, 0, 0) == -1) {
        Sim().windows.windows[Key(handle)].destroyed = true;
        return nullptr;
    }
    return handle;
}

int WindowDestroy(Handle window) {
    static const int op = SimOpId("WindowDestroy");
    SimWindow* target = OwnUnlessFailed(op, window);
    if (target == nullptr) return 0;
    Send(window, kWmDestroy, 0, 0);
    target = &Sim().windows.windows[Key(window)];
    target->destroyed = true;
    target->visible = false;
    std::vector<SimTimer>& timers = Sim().windows.timers;
    timers.erase(std::remove_if(timers.begin(), timers.end(), [&](const SimTimer& t) { return t.window == window; }),
                 timers.end());
    return 1;
}

int WindowShow(Handle window, int command) {
    static const int op = SimOpId("WindowShow");
    SimWindow* target = LiveUnlessFailed(op, window);
    if (target == nullptr) return 0;
    int was_visible = target->visible ? 1 : 0;
    if (command == kSwHide) {
        target->visible = false;
    } else {
        if (!target->visible) Invalidate(target);
        target->visible = true;
    }
    return was_visible;
}

int WindowUpdate(Handle window) {
    static const int op = SimOpId("WindowUpdate");
    SimWindow* target = OwnUnlessFailed(op, window);
    if (target == nullptr) return 0;
    if (target->visible && target->needs_paint) Send(window, kWmPaint, 0, 0);
    return 1;
}

int WindowSetPos(Handle window, Handle insert_after, int x, int y, int width, int height, std::uint32_t flags) {
    static const int op = SimOpId("WindowSetPos");
    SimWindow* target = LiveUnlessFailed(op, window);
    if (target == nullptr) return 0;
    Sim().windows.placements.push_back(SimPlacement{window, insert_after, x, y, width, height, flags});
    if (!(flags & kSwpNoMove)) {
        target->x = x;
        target->y = y;
    }
    if (!(flags & 0x0001)) {  // SWP_NOSIZE
        target->width = width;
        target->height = height;
    }
    if (flags & kSwpShowWindow) target->visible = true;
    if (target->visible) Invalidate(target);
    return 1;
}

Handle WindowSetFocus(Handle window) {
    static const int op = SimOpId("WindowSetFocus");
    if (LiveUnlessFailed(op, window) == nullptr) return nullptr;
    Handle previous = Sim().windows.focus;
    Sim().windows.focus = window;
    return previous;
}

int WindowIsVisible(Handle window) {
    static const int op = SimOpId("WindowIsVisible");
    SimCountHere(op);
    const SimWindow* target = Live(window);
    return target != nullptr && target->visible ? 1 : 0;
}

int WindowExists(Handle window) {
    static const int op = SimOpId("WindowExists");
    SimCountHere(op);
    return Live(window) != nullptr ? 1 : 0;
}

int WindowClientSize(Handle window, int* width, int* height) {
    static const int op = SimOpId("WindowClientSize");
    if (LiveUnlessFailed(op, window) == nullptr) return 0;
    SimClientSize(window, width, height);
    return 1;
}

int WindowInvalidate(Handle window) {
    static const int op = SimOpId("WindowInvalidate");
    SimWindow* target = OwnUnlessFailed(op, window);
    if (target == nullptr) return 0;
    ++Sim().windows.invalidations;
    Invalidate(target);
    return 1;
}

std::intptr_t WindowDefaultProc(Handle window, std::uint32_t message, std::uintptr_t /*wparam*/,
                                std::intptr_t /*lparam*/) {
    static const int op = SimOpId("WindowDefaultProc");
    SimCountHere(op);
    SimWindow* target = Own(window);
    if (target == nullptr) return 0;
    switch (message) {
        case kWmPaint:
            target->needs_paint = false;
            target->needs_erase = false;
            return 0;
        case kWmEraseBkgnd:
            return 1;
        case kWmClose: {
            SimInsideCall inside;  // User32's own DestroyWindow
            WindowDestroy(window);
            return 0;
        }
        default:
            return 0;
    }
}

// ---- The message queue ---------------------------------------------------------------

int WindowPostMessage(Handle window, std::uint32_t message, std::uintptr_t wparam, std::intptr_t lparam) {
    static const int op = SimOpId("WindowPostMessage");
    SimWindow* target = LiveUnlessFailed(op, window);
    if (target == nullptr) return 0;
    Message posted{window, message, wparam, lparam};
    if (target->foreign) {
        target->received.push_back(posted);
        return 1;
    }
    Sim().windows.queue.push_back(posted);
    Sim().windows.posted.push_back(posted);
    return 1;
}

void QuitPost(int exit_code) {
    static const int op = SimOpId("QuitPost");
    SimCountHere(op);
    Sim().windows.quit_posted = true;
    Sim().windows.quit_code = exit_code;
}

int MessageGet(Message* message) {
    static const int op = SimOpId("MessageGet");
    if (SimFaultHere(op)) {
        return -1;
    }
    for (;;) {
        SimWindows& windows = Sim().windows;
        if (!windows.queue.empty()) {
            *message = windows.queue.front();
            windows.queue.pop_front();
            return 1;
        }
        if (windows.quit_posted) {
            windows.quit_posted = false;
            *message = Message{nullptr, kWmQuit, static_cast<std::uintptr_t>(windows.quit_code), 0};
            return 0;
        }
        for (std::uintptr_t key : windows.order) {
            const SimWindow& window = windows.windows[key];
            if (!window.foreign && !window.destroyed && window.visible && window.needs_paint) {
                *message = Message{AsHandle(key), kWmPaint, 0, 0};
                return 1;
            }
        }
        if (!windows.script.empty()) {
            if (RunScriptStep(message)) return 1;
            continue;
        }
        if (ThreadsWaiting()) {
            SimRunThreads();
            continue;
        }
        windows.hung = true;
        *message = Message{nullptr, kWmQuit, 0, 0};
        return 0;
    }
}

void MessageTranslate(const Message* /*message*/) {
    static const int op = SimOpId("MessageTranslate");
    SimCountHere(op);
}

std::intptr_t MessageDispatch(const Message* message) {
    static const int op = SimOpId("MessageDispatch");
    SimCountHere(op);
    Sim().windows.dispatched.push_back(*message);
    if (message->window == nullptr) return 0;
    return Send(message->window, message->message, message->wparam, message->lparam);
}

std::uintptr_t TimerSet(Handle window, std::uintptr_t id, std::uint32_t period_ms) {
    static const int op = SimOpId("TimerSet");
    if (OwnUnlessFailed(op, window) == nullptr || id == 0) return 0;
    std::vector<SimTimer>& timers = Sim().windows.timers;
    std::uint32_t due = Sim().system.tick_ms + period_ms;
    for (SimTimer& timer : timers)
        if (timer.window == window && timer.id == id) {
            timer.period_ms = period_ms;
            timer.due = due;
            return id;
        }
    timers.push_back(SimTimer{window, id, period_ms, due});
    return id;
}

int TimerKill(Handle window, std::uintptr_t id) {
    static const int op = SimOpId("TimerKill");
    if (SimFaultHere(op)) {
        return 0;
    }
    std::vector<SimTimer>& timers = Sim().windows.timers;
    auto it = std::find_if(timers.begin(), timers.end(),
                           [&](const SimTimer& t) { return t.window == window && t.id == id; });
    if (it == timers.end()) return 0;
    timers.erase(it);
    return 1;
}

// ---- Message boxes -------------------------------------------------------------------

int MessageBoxShow(Handle owner, const char* text, const char* caption, std::uint32_t type) {
    static const int op = SimOpId("MessageBoxShow");
    if (SimFaultHere(op)) {
        return 0;
    }
    SimMessageBox box{owner, text ? text : "", caption ? caption : "Error", type};
    Sim().windows.boxes.push_back(box);
    if (Sim().windows.on_box) {
        std::function<void(const SimMessageBox&)> hook = Sim().windows.on_box;
        hook(box);
    }
    return Sim().windows.box_answer;
}

// ---- Other programs' windows -------------------------------------------------------

void WindowsEnumerate(WindowVisitor visit, void* context) {
    static const int op = SimOpId("WindowsEnumerate");
    SimCountHere(op);
    std::vector<std::uintptr_t> snapshot = Sim().windows.order;
    for (std::uintptr_t key : snapshot) {
        if (Sim().windows.windows[key].destroyed) continue;
        if (!visit(AsHandle(key), context)) return;
    }
}

namespace {

// A window's text read into `buffer` (emptied first): its length, or 0 when
// the call fails here or there is no such window.
template <typename Text>
int ReadWindowText(int op, Handle window, char* buffer, int size, Text text) {
    if (size > 0) buffer[0] = '\0';
    if (SimFaultHere(op)) return 0;
    const SimWindow* target = Live(window);
    if (target == nullptr || size <= 0) return 0;
    SimCopyText(buffer, static_cast<std::size_t>(size), text(*target));
    return static_cast<int>(std::char_traits<char>::length(buffer));
}

}  // namespace

int WindowClassName(Handle window, char* buffer, int size) {
    static const int op = SimOpId("WindowClassName");
    return ReadWindowText(op, window, buffer, size, [](const SimWindow& w) { return w.class_name; });
}

int WindowTextRead(Handle window, char* buffer, int size) {
    static const int op = SimOpId("WindowTextRead");
    return ReadWindowText(op, window, buffer, size, [](const SimWindow& w) { return SimUtf16ToAnsi(w.title); });
}

Handle WindowOwner(Handle window) {
    static const int op = SimOpId("WindowOwner");
    const SimWindow* target = LiveUnlessFailed(op, window);
    return target != nullptr ? target->owner : nullptr;
}

int WindowTextInternal(Handle reader, Handle window, char16_t* buffer, int count) {
    static const int op = SimOpId("WindowTextInternal");
    if (SimFaultHere(op)) {
        if (count > 0) buffer[0] = u'\0';
        return 0;
    }
    const SimWindow* target = Live(window);
    if (reader == nullptr || target == nullptr || count <= 0) return 0;
    std::size_t n = std::min(target->title.size(), static_cast<std::size_t>(count - 1));
    std::copy_n(target->title.begin(), n, buffer);
    buffer[n] = u'\0';
    return static_cast<int>(n);
}

// ---- Frame metrics -------------------------------------------------------------------

int NonClientMetricsRead(std::uint32_t size_field, NonClientMetrics* metrics) {
    static const int op = SimOpId("NonClientMetricsRead");
    if (SimFaultHere(op)) {
        return 0;
    }
    const SimWindows& windows = Sim().windows;
    if (size_field != windows.nonclient_size_accepted) return 0;
    metrics->border_width = windows.border_width;
    metrics->padded_border_width = windows.padded_border_width;
    metrics->caption_height = windows.caption_height;
    return 1;
}

int SystemMetric(int index) {
    static const int op = SimOpId("SystemMetric");
    if (SimFaultHere(op)) {
        return 0;
    }
    auto it = Sim().windows.system_metrics.find(index);
    return it == Sim().windows.system_metrics.end() ? 0 : it->second;
}

// ---- Cursors, icons, bitmaps, fonts ------------------------------------------------

Handle CursorLoadSystem(int id) {
    static const int op = SimOpId("CursorLoadSystem");
    if (SimFaultHere(op)) {
        return nullptr;
    }
    if (id != kIdcArrow && id != kIdcHand) return nullptr;
    auto& cursors = Sim().windows.system_cursors;
    auto it = cursors.find(id);
    if (it != cursors.end()) return AsHandle(it->second);
    SimGdiObject cursor;
    cursor.kind = "cursor";
    cursor.resource_id = id;
    Handle handle = NewObject(cursor);
    cursors[id] = Key(handle);
    return handle;
}

Handle CursorSet(Handle cursor) {
    static const int op = SimOpId("CursorSet");
    if (SimFaultHere(op)) {
        return nullptr;
    }
    Handle previous = Sim().windows.cursor;
    Sim().windows.cursor = cursor;
    ++Sim().windows.cursor_sets;
    return previous;
}

int DpiAwarenessDeclare() {
    static const int op = SimOpId("DpiAwarenessDeclare");
    if (SimFaultHere(op) || Sim().windows.dpi_awareness_missing) return 0;
    Sim().windows.dpi_aware = true;
    return 1;
}

int WindowDpi(Handle window) {
    static const int op = SimOpId("WindowDpi");
    SimCountHere(op);
    const SimWindows& windows = Sim().windows;
    if (windows.dpi_awareness_missing || !windows.dpi_aware) return kDefaultDpi;
    const SimWindow* target = Live(window);
    // Without GetDpiForWindow only the system DPI can be known.
    if (target != nullptr && target->dpi != 0 && !windows.dpi_for_window_missing) return target->dpi;
    return windows.system_dpi;
}

Handle IconLoad(Handle /*instance*/, int id) {
    static const int op = SimOpId("IconLoad");
    if (SimFaultHere(op)) {
        return nullptr;
    }
    if (!Sim().windows.icons.count(id)) return nullptr;
    SimGdiObject icon;
    icon.kind = "icon";
    icon.resource_id = id;
    return NewObject(icon);
}

Handle BitmapLoad(Handle /*instance*/, int id) {
    static const int op = SimOpId("BitmapLoad");
    if (SimFaultHere(op)) {
        return nullptr;
    }
    auto it = Sim().windows.bitmaps.find(id);
    if (it == Sim().windows.bitmaps.end()) return nullptr;
    SimGdiObject bitmap;
    bitmap.kind = "bitmap";
    bitmap.resource_id = id;
    bitmap.width = it->second.first;
    bitmap.height = it->second.second;
    return NewObject(bitmap);
}

int BitmapSize(Handle bitmap, int* width, int* height) {
    static const int op = SimOpId("BitmapSize");
    if (SimFaultHere(op)) {
        return 0;
    }
    auto it = Sim().windows.objects.find(Key(bitmap));
    if (it == Sim().windows.objects.end() || it->second.deleted || it->second.kind != "bitmap") return 0;
    *width = it->second.width;
    *height = it->second.height;
    return 1;
}

Handle FontCreate(int height, int weight, const char* face) {
    static const int op = SimOpId("FontCreate");
    if (SimFaultHere(op)) {
        return nullptr;
    }
    SimGdiObject font;
    font.kind = "font";
    font.height = height;
    font.weight = weight;
    font.face = face ? std::string(face).substr(0, 31) : "";
    return NewObject(font);
}

int GdiObjectDelete(Handle object) {
    static const int op = SimOpId("GdiObjectDelete");
    if (SimFaultHere(op)) {
        return 0;
    }
    auto it = Sim().windows.objects.find(Key(object));
    if (it == Sim().windows.objects.end() || it->second.deleted) {
        ++Sim().windows.refused_deletes;
        return 0;
    }
    if (it->second.stock_id >= 0) return 1;  // stock objects stay
    it->second.deleted = true;
    return 1;
}

// ---- Device contexts and drawing ---------------------------------------------------

Handle PaintBegin(Handle window, PaintSession* session) {
    static const int op = SimOpId("PaintBegin");
    if (SimFaultHere(op)) {
        return nullptr;
    }
    session->dc = nullptr;
    SimWindow* target = Own(window);
    if (target == nullptr) return nullptr;
    Handle dc = NewDc(window, false);
    session->dc = dc;
    bool erase = target->needs_erase;
    target->needs_paint = false;
    target->needs_erase = false;
    if (erase) Send(window, kWmEraseBkgnd, Key(dc), 0);
    return dc;
}

void PaintEnd(Handle /*window*/, PaintSession* session) {
    static const int op = SimOpId("PaintEnd");
    SimCountHere(op);
    if (SimDc* dc = Dc(session->dc)) dc->released = true;
}

Handle WindowDcGet(Handle window) {
    static const int op = SimOpId("WindowDcGet");
    if (OwnUnlessFailed(op, window) == nullptr) return nullptr;
    return NewDc(window, false);
}

int WindowDcRelease(Handle /*window*/, Handle dc) {
    static const int op = SimOpId("WindowDcRelease");
    SimDc* found = DcUnlessFailed(op, dc);
    if (found == nullptr || found->memory) return 0;
    found->released = true;
    return 1;
}

Handle DcCreateCompatible(Handle dc) {
    static const int op = SimOpId("DcCreateCompatible");
    if (SimFaultHere(op)) {
        return nullptr;
    }
    if (dc != nullptr && Dc(dc) == nullptr) return nullptr;
    return NewDc(nullptr, true);
}

int DcDelete(Handle dc) {
    static const int op = SimOpId("DcDelete");
    SimDc* found = DcUnlessFailed(op, dc);
    if (found == nullptr || !found->memory) return 0;
    found->released = true;
    return 1;
}

Handle DcSelect(Handle dc, Handle object) {
    static const int op = SimOpId("DcSelect");
    SimDc* found = DcUnlessFailed(op, dc);
    const SimGdiObject* selected = SimGdi(object);
    if (found == nullptr || selected == nullptr || selected->deleted) return nullptr;
    Handle* slot = nullptr;
    if (selected->kind == "font") slot = &found->font;
    else if (selected->kind == "brush") slot = &found->brush;
    else if (selected->kind == "pen") slot = &found->pen;
    else if (selected->kind == "bitmap" && found->memory) slot = &found->bitmap;
    if (slot == nullptr) return nullptr;
    Handle previous = *slot;
    *slot = object;
    return previous;
}

Handle StockObject(int id) {
    static const int op = SimOpId("StockObject");
    if (SimFaultHere(op)) {
        return nullptr;
    }
    auto& stock = Sim().windows.stock;
    auto it = stock.find(id);
    if (it != stock.end()) return AsHandle(it->second);
    SimGdiObject object;
    object.stock_id = id;
    if (id >= 0 && id <= 5) object.kind = "brush";
    else if (id >= 6 && id <= 8) object.kind = "pen";
    else if (id >= 10 && id <= 17) object.kind = "font";
    else return nullptr;
    Handle handle = NewObject(object);
    stock[id] = Key(handle);
    return handle;
}

int DcSetBackgroundMode(Handle dc, int mode) {
    static const int op = SimOpId("DcSetBackgroundMode");
    SimDc* found = DcUnlessFailed(op, dc);
    if (found == nullptr) return 0;
    int previous = found->background_mode;
    found->background_mode = mode;
    return previous;
}

std::uint32_t DcSetTextColour(Handle dc, std::uint32_t colour) {
    static const int op = SimOpId("DcSetTextColour");
    SimDc* found = DcUnlessFailed(op, dc);
    if (found == nullptr) return 0xFFFFFFFFu;  // CLR_INVALID
    std::uint32_t previous = found->text_colour;
    found->text_colour = colour;
    return previous;
}

int DcBitBlt(Handle dc, int x, int y, int width, int height, Handle source, int source_x, int source_y,
             std::uint32_t operation) {
    static const int op = SimOpId("DcBitBlt");
    SimDrawOp* record = RecordCopy(op, "BitBlt", dc, Rect{x, y, x + width, y + height}, source);
    if (record == nullptr) return 0;
    record->raster_op = operation;
    record->ellipse_width = source_x;  // the source origin, kept in the spare fields
    record->ellipse_height = source_y;
    return 1;
}

int DcStretchBltHalftone(Handle dc, int x, int y, int width, int height, Handle source, int source_width,
                         int source_height) {
    static const int op = SimOpId("DcStretchBltHalftone");
    SimDrawOp* record = RecordCopy(op, "StretchBlt", dc, Rect{x, y, x + width, y + height}, source);
    if (record == nullptr) return 0;
    record->source_width = source_width;
    record->source_height = source_height;
    record->halftone = true;
    record->raster_op = kSrcCopy;
    return 1;
}

int DcRectangle(Handle dc, int left, int top, int right, int bottom) {
    static const int op = SimOpId("DcRectangle");
    SimDc* target = DcUnlessFailed(op, dc);
    if (target == nullptr) return 0;
    SimDrawOp record = StartOp("Rectangle", dc, *target);
    record.rect = Rect{left, top, right, bottom};
    Sim().windows.drawing.push_back(record);
    return 1;
}

int DcRoundRect(Handle dc, int left, int top, int right, int bottom, int ellipse_width, int ellipse_height) {
    static const int op = SimOpId("DcRoundRect");
    SimDc* target = DcUnlessFailed(op, dc);
    if (target == nullptr) return 0;
    SimDrawOp record = StartOp("RoundRect", dc, *target);
    record.rect = Rect{left, top, right, bottom};
    record.ellipse_width = ellipse_width;
    record.ellipse_height = ellipse_height;
    Sim().windows.drawing.push_back(record);
    return 1;
}

int DcDrawText(Handle dc, const char* text, Rect* rect, std::uint32_t format) {
    static const int op = SimOpId("DcDrawText");
    SimDc* target = DcUnlessFailed(op, dc);
    if (target == nullptr || text == nullptr || rect == nullptr) return 0;
    SimDrawOp record = StartOp("DrawText", dc, *target);
    record.rect = *rect;
    record.text = text;
    record.format = format;
    Sim().windows.drawing.push_back(record);
    const SimGdiObject* font = SimGdi(target->font);
    return font != nullptr && font->height > 0 ? font->height : 16;
}

// ---- The shell opens a document ----------------------------------------------------

int ShellOpenAsUser(const char* file) {
    static const int op = SimOpId("ShellOpenAsUser");
    // Without COM's security set, the shell's own objects could marshal
    // themselves into this process: the route is not taken.
    if (SimFaultHere(op) || !Sim().shell.desktop_shell || !Sim().system.com_secured) return 0;
    Sim().windows.shell_executes.push_back(SimShellExecute{"open", file ? file : ""});
    return 1;
}

}  // namespace plat
