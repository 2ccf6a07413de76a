// Windows, their message queue, timers, message boxes and GDI drawing: the
// User32 and GDI32 operations of the setup program's one window and of the
// passes that close other programs' windows.
#pragma once
#include <cstdint>

#include "platform/types.h"

namespace plat {

// ---- Messages and their values --------------------------------------------
constexpr std::uint32_t kWmCreate = 0x0001;
constexpr std::uint32_t kWmDestroy = 0x0002;
constexpr std::uint32_t kWmPaint = 0x000F;
constexpr std::uint32_t kWmClose = 0x0010;
constexpr std::uint32_t kWmQuit = 0x0012;
constexpr std::uint32_t kWmEraseBkgnd = 0x0014;
constexpr std::uint32_t kWmKeyDown = 0x0100;
constexpr std::uint32_t kWmCommand = 0x0111;
constexpr std::uint32_t kWmTimer = 0x0113;
constexpr std::uint32_t kWmMouseMove = 0x0200;
constexpr std::uint32_t kWmLButtonDown = 0x0201;
// The window's screen changed its DPI: the new DPI in both words of
// wParam, lParam the window rectangle Windows suggests for it (a Rect).
constexpr std::uint32_t kWmDpiChanged = 0x02E0;
constexpr std::uint32_t kWmUser = 0x0400;

constexpr std::uint32_t kVkReturn = 0x0D;
constexpr std::uint32_t kVkEscape = 0x1B;

// A message as GetMessageA gives it.
struct Message {
    Handle window;
    std::uint32_t message;
    std::uintptr_t wparam;
    std::intptr_t lparam;
};

// A window procedure of the program. The backend calls it for every
// message sent or dispatched to a window of a class registered with it.
using WindowProc = std::intptr_t (*)(Handle window, std::uint32_t message, std::uintptr_t wparam,
                                     std::intptr_t lparam);

// ---- Window classes and windows -------------------------------------------
constexpr std::uint32_t kCsVRedraw = 0x0001;
constexpr std::uint32_t kCsHRedraw = 0x0002;
constexpr std::uint32_t kWsClipChildren = 0x02000000;
constexpr std::uint32_t kWsCaption = 0x00C00000;
constexpr std::uint32_t kWsSysMenu = 0x00080000;
constexpr std::uint32_t kWsMinimizeBox = 0x00020000;
constexpr std::uint32_t kWsMaximizeBox = 0x00010000;
constexpr int kCwUseDefault = static_cast<int>(0x80000000u);
constexpr int kColorBtnFace = 15;  // COLOR_BTNFACE; a class brush value is a colour index + 1

constexpr int kSwHide = 0;
constexpr int kSwShow = 5;

constexpr std::uint32_t kSwpNoMove = 0x0002;
constexpr std::uint32_t kSwpNoZOrder = 0x0004;
constexpr std::uint32_t kSwpNoActivate = 0x0010;
constexpr std::uint32_t kSwpShowWindow = 0x0040;

// What RegisterClassA is given. `background` is the hbrBackground value as
// a number (a system colour index + 1, or 0 for none).
struct WindowClassSpec {
    std::uint32_t style;
    WindowProc procedure;
    Handle instance;
    Handle icon;
    Handle cursor;
    std::intptr_t background;
    const char* class_name;
};

// RegisterClassA (no extra bytes, no menu). 1 on success, 0 when the class
// cannot be registered (for example a second registration of the name).
int WindowClassRegister(const WindowClassSpec* spec);
// UnregisterClassA. 1 on success.
int WindowClassUnregister(const char* class_name, Handle instance);

// CreateWindowExA without parent, menu or creation data. WM_CREATE is sent
// to the window procedure before it returns; null when the class is
// unknown or the procedure refused the window (WM_CREATE gave -1).
Handle WindowCreate(std::uint32_t ex_style, const char* class_name, const char* title, std::uint32_t style,
                    int x, int y, int width, int height, Handle instance);
// DestroyWindow. 1 on success.
int WindowDestroy(Handle window);
// ShowWindow: gives whether the window was visible before.
int WindowShow(Handle window, int command);
// UpdateWindow: paints the window now when it needs painting.
int WindowUpdate(Handle window);
// SetWindowPos. 1 on success.
int WindowSetPos(Handle window, Handle insert_after, int x, int y, int width, int height, std::uint32_t flags);
// SetFocus: the window that had the focus before, or null.
Handle WindowSetFocus(Handle window);
// IsWindowVisible and IsWindow.
int WindowIsVisible(Handle window);
int WindowExists(Handle window);
// GetClientRect: the client area's width and height. 1 on success.
int WindowClientSize(Handle window, int* width, int* height);
// InvalidateRect of the whole client area, to be erased and painted again.
// 1 on success.
int WindowInvalidate(Handle window);
// DefWindowProcA.
std::intptr_t WindowDefaultProc(Handle window, std::uint32_t message, std::uintptr_t wparam, std::intptr_t lparam);

// ---- The message queue -----------------------------------------------------
// PostMessageA. 1 on success, 0 for a window that does not exist.
int WindowPostMessage(Handle window, std::uint32_t message, std::uintptr_t wparam, std::intptr_t lparam);
// PostQuitMessage: the quit message comes after every message already in
// the queue or posted later, once the queue is empty.
void QuitPost(int exit_code);
// GetMessageA(message, any window, no filter): 1 for a message, 0 for the
// quit message, -1 on failure.
int MessageGet(Message* message);
// TranslateMessage and DispatchMessageA.
void MessageTranslate(const Message* message);
std::intptr_t MessageDispatch(const Message* message);

// SetTimer without a callback: WM_TIMER with wParam = id every `period_ms`.
// Gives the timer id, 0 on failure. KillTimer gives 1 on success.
std::uintptr_t TimerSet(Handle window, std::uintptr_t id, std::uint32_t period_ms);
int TimerKill(Handle window, std::uintptr_t id);

// ---- Message boxes ----------------------------------------------------------
constexpr std::uint32_t kMbIconError = 0x0010;
constexpr std::uint32_t kMbIconWarning = 0x0030;
constexpr std::uint32_t kMbSystemModal = 0x1000;
constexpr int kIdOk = 1;

// MessageBoxA: the button chosen (kIdOk), 0 on failure.
int MessageBoxShow(Handle owner, const char* text, const char* caption, std::uint32_t type);

// ---- Other programs' windows -----------------------------------------------
// EnumWindows: calls `visit` for every top-level window until it gives 0.
using WindowVisitor = int (*)(Handle window, void* context);
void WindowsEnumerate(WindowVisitor visit, void* context);
// GetClassNameA / GetWindowTextA into `size` bytes: the length copied.
int WindowClassName(Handle window, char* buffer, int size);
int WindowTextRead(Handle window, char* buffer, int size);
// GetWindow(window, GW_OWNER): null for an unowned window.
Handle WindowOwner(Handle window);
// Calls the User32 export InternalGetWindowText that
// User32WindowTextReader (platform/system.h) found: the window's text in
// UTF-16 into `count` units, the length copied.
int WindowTextInternal(Handle reader, Handle window, char16_t* buffer, int count);

// ---- Frame metrics ---------------------------------------------------------
constexpr int kSmCyCaption = 4;
constexpr int kSmCxDlgFrame = 7;
constexpr int kSmCxPaddedBorder = 92;

// The fields of NONCLIENTMETRICSA that the window's size needs.
struct NonClientMetrics {
    int border_width;
    int caption_height;
    int padded_border_width;
};
// SystemParametersInfoA(SPI_GETNONCLIENTMETRICS) with the structure's size
// field set to `size_field` (344 is the form with iPaddedBorderWidth). 1 on
// success; Windows refuses sizes it does not know.
int NonClientMetricsRead(std::uint32_t size_field, NonClientMetrics* metrics);
// GetSystemMetrics.
int SystemMetric(int index);

// ---- Display scaling -------------------------------------------------------
// The DPI a window is drawn for when nothing says otherwise (100%).
constexpr int kDefaultDpi = 96;

// Asks to be given each screen's real DPI instead of a stretched picture:
// SetProcessDpiAwarenessContext (per-monitor v2, then per-monitor) where
// User32 has it, else SetProcessDPIAware; all looked up at run time, as the
// manifest may have declared it already. 1 when the process is DPI aware
// afterwards (IsProcessDPIAware), 0 where Windows has none of these (XP).
int DpiAwarenessDeclare();
// The DPI the window is drawn for: GetDpiForWindow where User32 has it,
// else the system DPI (GetDeviceCaps LOGPIXELSX of the window's context)
// where the process can be DPI aware, else (Windows XP) kDefaultDpi.
int WindowDpi(Handle window);

// ---- Cursors, icons, bitmaps, fonts -----------------------------------------
constexpr int kIdcArrow = 32512;
constexpr int kIdcHand = 32649;

// LoadCursorA(NULL, id) and SetCursor (gives the previous cursor).
Handle CursorLoadSystem(int id);
Handle CursorSet(Handle cursor);
// LoadIconA(instance, id): null when the module has no such icon group.
Handle IconLoad(Handle instance, int id);
// LoadBitmapA(instance, id): null when there is no such bitmap.
Handle BitmapLoad(Handle instance, int id);
// GetObjectA of a BITMAP: its width and height; 1 on success.
int BitmapSize(Handle bitmap, int* width, int* height);
// CreateFontIndirectA of a LOGFONTA that is all zero except these.
Handle FontCreate(int height, int weight, const char* face);
// DeleteObject of a font, bitmap, brush or pen. 1 on success.
int GdiObjectDelete(Handle object);

// ---- Device contexts and drawing --------------------------------------------
constexpr int kWhiteBrush = 0;
constexpr int kBlackBrush = 4;
constexpr int kBlackPen = 7;
constexpr int kNullPen = 8;
constexpr int kTransparent = 1;
constexpr std::uint32_t kSrcCopy = 0x00CC0020;
constexpr std::uint32_t kDtTop = 0x0000;
constexpr std::uint32_t kDtLeft = 0x0000;
constexpr std::uint32_t kDtCenter = 0x0001;
constexpr std::uint32_t kDtVCenter = 0x0004;
constexpr std::uint32_t kDtSingleLine = 0x0020;

// A COLORREF: 0x00BBGGRR.
constexpr std::uint32_t Rgb(int r, int g, int b) {
    return static_cast<std::uint32_t>(r) | static_cast<std::uint32_t>(g) << 8 | static_cast<std::uint32_t>(b) << 16;
}

struct Rect {
    int left, top, right, bottom;
};

// BeginPaint / EndPaint: the session keeps what EndPaint needs.
struct PaintSession {
    Handle dc;
    alignas(8) unsigned char data[96];
};
Handle PaintBegin(Handle window, PaintSession* session);
void PaintEnd(Handle window, PaintSession* session);

// GetDC / ReleaseDC of the window's client area.
Handle WindowDcGet(Handle window);
int WindowDcRelease(Handle window, Handle dc);
// CreateCompatibleDC and DeleteDC.
Handle DcCreateCompatible(Handle dc);
int DcDelete(Handle dc);
// SelectObject: the object selected before; null (and no change) for a
// null object.
Handle DcSelect(Handle dc, Handle object);
// GetStockObject.
Handle StockObject(int id);
// SetBkMode (the mode before) and SetTextColor (the colour before).
int DcSetBackgroundMode(Handle dc, int mode);
std::uint32_t DcSetTextColour(Handle dc, std::uint32_t colour);
// BitBlt. 1 on success.
int DcBitBlt(Handle dc, int x, int y, int width, int height, Handle source, int source_x, int source_y,
             std::uint32_t operation);
// StretchBlt with SRCCOPY in HALFTONE mode (SetStretchBltMode, and the
// brush origin reset as that mode asks); the context's stretch mode is put
// back afterwards. 1 on success.
int DcStretchBltHalftone(Handle dc, int x, int y, int width, int height, Handle source, int source_width,
                         int source_height);
// Rectangle and RoundRect with the selected pen and brush. 1 on success.
int DcRectangle(Handle dc, int left, int top, int right, int bottom);
int DcRoundRect(Handle dc, int left, int top, int right, int bottom, int ellipse_width, int ellipse_height);
// DrawTextA of the whole text (count -1) with the selected font and text
// colour: the height of the text drawn, 0 on failure.
int DcDrawText(Handle dc, const char* text, Rect* rect, std::uint32_t format);

}  // namespace plat
