// What a screen reader is told about the window: its drawn parts as
// accessible children (the button, the two status lines, the step label,
// the "O/S" label), the button's default action, and the WinEvents raised
// when a drawn text or the busy state changes. Not used in hidden mode.
#pragma once
#include <cstdint>

#include "platform/accessibility.h"
#include "platform/types.h"

// The children, in reading order.
constexpr int kAccessibleButton = 1;
constexpr int kAccessibleStatusLine1 = 2;
constexpr int kAccessibleStatusLine2 = 3;
constexpr int kAccessibleStepLabel = 4;
constexpr int kAccessibleOsLabel = 5;
constexpr int kAccessibleChildCount = 5;

extern const plat::AccessibleModel kAccessibleModel;

// The model's answers (see platform/accessibility.h).
int DescribeAccessible(plat::Handle window, int child, plat::AccessibleItem* item);
// The button's "Press": refused while the worker is busy, as a click is;
// else posts the Enter key to the window, so that the press goes the way a
// key's does and the reader's call returns before the work begins.
int PressAccessible(plat::Handle window, int child);

// WM_GETOBJECT: OBJID_CLIENT (compared as the 32-bit value it is) gets
// the window's object; every other request, and any request in hidden
// mode or without the accessibility library, DefWindowProcA.
std::intptr_t AnswerGetObject(plat::Handle window, std::uintptr_t wparam, std::intptr_t lparam);

// Takes what the children say now as told; AnnounceChanges then raises
// EVENT_OBJECT_NAMECHANGE for each child whose name changed since and
// EVENT_OBJECT_STATECHANGE for the button when its busy state did.
void RememberAccessibleState();
void AnnounceChanges(plat::Handle window);
