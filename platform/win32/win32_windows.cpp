// Windows, the message queue, message boxes and GDI drawing over User32
// and GDI32.
#include <windows.h>

#include <cstring>
#include <utility>

#include "platform/windows.h"

static_assert(sizeof(wchar_t) == sizeof(char16_t), "UTF-16 texts cross as wchar_t on Windows");
static_assert(sizeof(NONCLIENTMETRICSA) == 344 || sizeof(void*) == 8, "NONCLIENTMETRICSA with iPaddedBorderWidth");

namespace {

HWND Window(plat::Handle handle) { return static_cast<HWND>(handle); }
HDC Dc(plat::Handle handle) { return static_cast<HDC>(handle); }

// Windows calls a class's procedure with its own calling convention; each
// registered procedure gets one of these fixed entry points.
constexpr int kProcedureSlots = 8;
plat::WindowProc procedures[kProcedureSlots];

template <int Slot>
LRESULT CALLBACK Trampoline(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    return static_cast<LRESULT>(procedures[Slot](window, message, wparam, lparam));
}

template <int... Slots>
constexpr WNDPROC Entry(int slot, std::integer_sequence<int, Slots...>) {
    constexpr WNDPROC kEntries[] = {Trampoline<Slots>...};
    return kEntries[slot];
}

// The slot of a procedure: the one it already has, else a free one; -1
// when all are taken.
int SlotOf(plat::WindowProc procedure) {
    for (int i = 0; i < kProcedureSlots; ++i)
        if (procedures[i] == procedure) return i;
    for (int i = 0; i < kProcedureSlots; ++i)
        if (procedures[i] == nullptr) {
            procedures[i] = procedure;
            return i;
        }
    return -1;
}

struct EnumContext {
    plat::WindowVisitor visit;
    void* context;
};

BOOL CALLBACK VisitWindow(HWND window, LPARAM parameter) {
    auto* enumeration = reinterpret_cast<EnumContext*>(parameter);
    return enumeration->visit(window, enumeration->context) ? TRUE : FALSE;
}

MSG ToMsg(const plat::Message* message) {
    MSG msg = {};
    msg.hwnd = Window(message->window);
    msg.message = message->message;
    msg.wParam = message->wparam;
    msg.lParam = message->lparam;
    return msg;
}

using InternalGetWindowTextFn = int(WINAPI*)(HWND, LPWSTR, int);

// An export of the User32 this program is linked with (already loaded, so
// nothing is searched for on disk), or null where this Windows lacks it.
template <typename Function>
Function User32Export(const char* name) {
    HMODULE user32 = GetModuleHandleA("User32.dll");
    if (user32 == nullptr) return nullptr;
    return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(user32, name)));
}

using SetProcessDpiAwarenessContextFn = BOOL(WINAPI*)(HANDLE);
using SetProcessDpiAwareFn = BOOL(WINAPI*)();
using IsProcessDpiAwareFn = BOOL(WINAPI*)();
using GetDpiForWindowFn = UINT(WINAPI*)(HWND);

// DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2 and _PER_MONITOR_AWARE.
HANDLE AwarenessContext(std::intptr_t value) { return reinterpret_cast<HANDLE>(value); }

}  // namespace

namespace plat {

int WindowClassRegister(const WindowClassSpec* spec) {
    if (spec->procedure == nullptr) return 0;
    int slot = SlotOf(spec->procedure);
    if (slot < 0) return 0;
    WNDCLASSA window_class = {};
    window_class.style = spec->style;
    window_class.lpfnWndProc = Entry(slot, std::make_integer_sequence<int, kProcedureSlots>());
    window_class.hInstance = static_cast<HINSTANCE>(spec->instance);
    window_class.hIcon = static_cast<HICON>(spec->icon);
    window_class.hCursor = static_cast<HCURSOR>(spec->cursor);
    window_class.hbrBackground = reinterpret_cast<HBRUSH>(spec->background);
    window_class.lpszClassName = spec->class_name;
    return RegisterClassA(&window_class) != 0 ? 1 : 0;
}

int WindowClassUnregister(const char* class_name, Handle instance) {
    return UnregisterClassA(class_name, static_cast<HINSTANCE>(instance)) ? 1 : 0;
}

Handle WindowCreate(std::uint32_t ex_style, const char* class_name, const char* title, std::uint32_t style, int x,
                    int y, int width, int height, Handle instance) {
    return CreateWindowExA(ex_style, class_name, title, style, x, y, width, height, nullptr, nullptr,
                           static_cast<HINSTANCE>(instance), nullptr);
}

int WindowDestroy(Handle window) { return DestroyWindow(Window(window)) ? 1 : 0; }

int WindowShow(Handle window, int command) { return ShowWindow(Window(window), command) ? 1 : 0; }

int WindowUpdate(Handle window) { return UpdateWindow(Window(window)) ? 1 : 0; }

int WindowSetPos(Handle window, Handle insert_after, int x, int y, int width, int height, std::uint32_t flags) {
    return SetWindowPos(Window(window), Window(insert_after), x, y, width, height, flags) ? 1 : 0;
}

Handle WindowSetFocus(Handle window) { return SetFocus(Window(window)); }

int WindowIsVisible(Handle window) { return IsWindowVisible(Window(window)) ? 1 : 0; }

int WindowExists(Handle window) { return IsWindow(Window(window)) ? 1 : 0; }

int WindowClientSize(Handle window, int* width, int* height) {
    RECT rect = {};
    if (!GetClientRect(Window(window), &rect)) return 0;
    *width = rect.right - rect.left;
    *height = rect.bottom - rect.top;
    return 1;
}

int WindowInvalidate(Handle window) { return InvalidateRect(Window(window), nullptr, TRUE) ? 1 : 0; }

std::intptr_t WindowDefaultProc(Handle window, std::uint32_t message, std::uintptr_t wparam, std::intptr_t lparam) {
    return DefWindowProcA(Window(window), message, wparam, lparam);
}

int WindowPostMessage(Handle window, std::uint32_t message, std::uintptr_t wparam, std::intptr_t lparam) {
    return PostMessageA(Window(window), message, wparam, lparam) ? 1 : 0;
}

void QuitPost(int exit_code) { PostQuitMessage(exit_code); }

int MessageGet(Message* message) {
    MSG msg = {};
    BOOL result = GetMessageA(&msg, nullptr, 0, 0);
    message->window = msg.hwnd;
    message->message = msg.message;
    message->wparam = msg.wParam;
    message->lparam = msg.lParam;
    if (result == -1) return -1;
    return result ? 1 : 0;
}

void MessageTranslate(const Message* message) {
    MSG msg = ToMsg(message);
    TranslateMessage(&msg);
}

std::intptr_t MessageDispatch(const Message* message) {
    MSG msg = ToMsg(message);
    return DispatchMessageA(&msg);
}

std::uintptr_t TimerSet(Handle window, std::uintptr_t id, std::uint32_t period_ms) {
    return SetTimer(Window(window), id, period_ms, nullptr);
}

int TimerKill(Handle window, std::uintptr_t id) { return KillTimer(Window(window), id) ? 1 : 0; }

int MessageBoxShow(Handle owner, const char* text, const char* caption, std::uint32_t type) {
    return MessageBoxA(Window(owner), text, caption, type);
}

void WindowsEnumerate(WindowVisitor visit, void* context) {
    EnumContext enumeration{visit, context};
    EnumWindows(VisitWindow, reinterpret_cast<LPARAM>(&enumeration));
}

int WindowClassName(Handle window, char* buffer, int size) { return GetClassNameA(Window(window), buffer, size); }

int WindowTextRead(Handle window, char* buffer, int size) { return GetWindowTextA(Window(window), buffer, size); }

Handle WindowOwner(Handle window) { return GetWindow(Window(window), GW_OWNER); }

int WindowTextInternal(Handle reader, Handle window, char16_t* buffer, int count) {
    if (reader == nullptr) return 0;
    auto function = reinterpret_cast<InternalGetWindowTextFn>(reader);
    return function(Window(window), reinterpret_cast<LPWSTR>(buffer), count);
}

int NonClientMetricsRead(std::uint32_t size_field, NonClientMetrics* metrics) {
    // Room for any size field a caller may try; Windows checks it.
    union {
        NONCLIENTMETRICSA fields;
        unsigned char room[512];
    } buffer;
    std::memset(&buffer, 0, sizeof buffer);
    if (size_field > sizeof buffer) return 0;
    buffer.fields.cbSize = size_field;
    if (!SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, size_field, &buffer.fields, 0)) return 0;
    metrics->border_width = buffer.fields.iBorderWidth;
    metrics->caption_height = buffer.fields.iCaptionHeight;
    metrics->padded_border_width = buffer.fields.iPaddedBorderWidth;
    return 1;
}

int SystemMetric(int index) { return GetSystemMetrics(index); }

int DpiAwarenessDeclare() {
    // Refused when the manifest declared it already; what counts is the
    // state afterwards.
    if (auto set_context = User32Export<SetProcessDpiAwarenessContextFn>("SetProcessDpiAwarenessContext")) {
        if (!set_context(AwarenessContext(-4))) set_context(AwarenessContext(-3));
    } else if (auto set_aware = User32Export<SetProcessDpiAwareFn>("SetProcessDPIAware")) {
        set_aware();
    }
    auto is_aware = User32Export<IsProcessDpiAwareFn>("IsProcessDPIAware");
    return is_aware != nullptr && is_aware() ? 1 : 0;
}

int WindowDpi(Handle window) {
    if (auto for_window = User32Export<GetDpiForWindowFn>("GetDpiForWindow")) {
        UINT dpi = for_window(Window(window));
        if (dpi != 0) return static_cast<int>(dpi);
    }
    // Windows XP cannot be DPI aware: it draws every program at its DPI
    // unstretched, and the window keeps its 100% drawing there.
    if (User32Export<SetProcessDpiAwareFn>("SetProcessDPIAware") == nullptr) return kDefaultDpi;
    HDC dc = GetDC(Window(window));
    if (dc == nullptr) return kDefaultDpi;
    int dpi = GetDeviceCaps(dc, LOGPIXELSX);
    ReleaseDC(Window(window), dc);
    return dpi > 0 ? dpi : kDefaultDpi;
}

Handle CursorLoadSystem(int id) { return LoadCursorA(nullptr, MAKEINTRESOURCEA(id)); }

Handle CursorSet(Handle cursor) { return SetCursor(static_cast<HCURSOR>(cursor)); }

Handle IconLoad(Handle instance, int id) { return LoadIconA(static_cast<HINSTANCE>(instance), MAKEINTRESOURCEA(id)); }

Handle BitmapLoad(Handle instance, int id) {
    return LoadBitmapA(static_cast<HINSTANCE>(instance), MAKEINTRESOURCEA(id));
}

int BitmapSize(Handle bitmap, int* width, int* height) {
    BITMAP info = {};
    if (bitmap == nullptr || GetObjectA(bitmap, sizeof info, &info) == 0) return 0;
    *width = info.bmWidth;
    *height = info.bmHeight;
    return 1;
}

Handle FontCreate(int height, int weight, const char* face) {
    LOGFONTA font = {};
    font.lfHeight = height;
    font.lfWeight = weight;
    lstrcpynA(font.lfFaceName, face ? face : "", LF_FACESIZE);
    return CreateFontIndirectA(&font);
}

int GdiObjectDelete(Handle object) { return DeleteObject(object) ? 1 : 0; }

Handle PaintBegin(Handle window, PaintSession* session) {
    static_assert(sizeof(PAINTSTRUCT) <= sizeof session->data, "PAINTSTRUCT fits the session");
    auto* paint = reinterpret_cast<PAINTSTRUCT*>(session->data);
    session->dc = BeginPaint(Window(window), paint);
    return session->dc;
}

void PaintEnd(Handle window, PaintSession* session) {
    EndPaint(Window(window), reinterpret_cast<PAINTSTRUCT*>(session->data));
}

Handle WindowDcGet(Handle window) { return GetDC(Window(window)); }

int WindowDcRelease(Handle window, Handle dc) { return ReleaseDC(Window(window), Dc(dc)); }

Handle DcCreateCompatible(Handle dc) { return CreateCompatibleDC(Dc(dc)); }

int DcDelete(Handle dc) { return DeleteDC(Dc(dc)) ? 1 : 0; }

Handle DcSelect(Handle dc, Handle object) {
    if (object == nullptr) return nullptr;
    HGDIOBJ previous = SelectObject(Dc(dc), object);
    return previous == HGDI_ERROR ? nullptr : previous;
}

Handle StockObject(int id) { return GetStockObject(id); }

int DcSetBackgroundMode(Handle dc, int mode) { return SetBkMode(Dc(dc), mode); }

std::uint32_t DcSetTextColour(Handle dc, std::uint32_t colour) { return SetTextColor(Dc(dc), colour); }

int DcBitBlt(Handle dc, int x, int y, int width, int height, Handle source, int source_x, int source_y,
             std::uint32_t operation) {
    return BitBlt(Dc(dc), x, y, width, height, Dc(source), source_x, source_y, operation) ? 1 : 0;
}

int DcStretchBltHalftone(Handle dc, int x, int y, int width, int height, Handle source, int source_width,
                         int source_height) {
    int previous = SetStretchBltMode(Dc(dc), HALFTONE);
    SetBrushOrgEx(Dc(dc), 0, 0, nullptr);
    BOOL done = StretchBlt(Dc(dc), x, y, width, height, Dc(source), 0, 0, source_width, source_height, SRCCOPY);
    if (previous != 0) SetStretchBltMode(Dc(dc), previous);
    return done ? 1 : 0;
}

int DcRectangle(Handle dc, int left, int top, int right, int bottom) {
    return Rectangle(Dc(dc), left, top, right, bottom) ? 1 : 0;
}

int DcRoundRect(Handle dc, int left, int top, int right, int bottom, int ellipse_width, int ellipse_height) {
    return RoundRect(Dc(dc), left, top, right, bottom, ellipse_width, ellipse_height) ? 1 : 0;
}

int DcDrawText(Handle dc, const char* text, Rect* rect, std::uint32_t format) {
    RECT area = {rect->left, rect->top, rect->right, rect->bottom};
    int height = DrawTextA(Dc(dc), text, -1, &area, format);
    return height;
}

}  // namespace plat
