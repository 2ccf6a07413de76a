// The window's accessible object (Microsoft Active Accessibility): what a
// screen reader asks the window through WM_GETOBJECT, and the WinEvents
// that tell it something changed. The logic describes the window's parts;
// the backend turns that into an IAccessible object and raises the events.
#pragma once
#include <cstdint>

#include "platform/types.h"
#include "platform/windows.h"

namespace plat {

constexpr std::uint32_t kWmGetObject = 0x003D;
// OBJID_CLIENT: (LONG)0xFFFFFFFC, which lParam carries in its low 32 bits.
constexpr std::int32_t kObjidClient = -4;

constexpr std::uint32_t kEventObjectStateChange = 0x800A;
constexpr std::uint32_t kEventObjectNameChange = 0x800C;

constexpr int kRoleClient = 0x0A;
constexpr int kRoleStaticText = 0x29;
constexpr int kRolePushButton = 0x2B;

constexpr std::uint32_t kStateUnavailable = 0x00000001;
constexpr std::uint32_t kStateFocused = 0x00000004;
constexpr std::uint32_t kStateReadOnly = 0x00000040;
constexpr std::uint32_t kStateBusy = 0x00000800;
constexpr std::uint32_t kStateFocusable = 0x00100000;

// One part of the window as a reader hears it. Child 0 is the client area
// itself, 1 to child_count its parts.
struct AccessibleItem {
    int role;
    std::uint32_t state;
    char name[256];
    Rect screen;                 // on the screen: left, top, right, bottom
    const char* default_action;  // null when it has none
    const char* shortcut;        // the key that does the same, or null
};

// What the backend's object asks the logic. `describe` gives 1 and fills
// the item for a child that exists, else 0. `press` carries out a child's
// default action: 1 when taken, 0 when refused for now (the window is
// busy), -1 when the child has none. `focused_child` is the part that has
// the focus while the window has it.
struct AccessibleModel {
    int child_count;
    int focused_child;
    int (*describe)(Handle window, int child, AccessibleItem* item);
    int (*press)(Handle window, int child);
};

// Answers WM_GETOBJECT for OBJID_CLIENT with an object of the model
// (LresultFromObject, which needs COM initialised on the window's thread).
// *answered 0 when it could not (the accessibility library missing, COM
// not initialised): the window then answers as DefWindowProcA.
std::intptr_t AccessibleAnswer(Handle window, std::uintptr_t wparam, const AccessibleModel* model,
                               int* answered);

// NotifyWinEvent(event, window, OBJID_CLIENT, child).
void AccessibleNotify(Handle window, std::uint32_t event, int child);

// GetFocus: the window of this thread that has the keyboard focus, or null.
Handle WindowFocused();
// ClientToScreen: the screen position of the client area's top left
// corner. 1 on success.
int WindowClientOrigin(Handle window, int* x, int* y);

}  // namespace plat
