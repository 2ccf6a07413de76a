#include "setup/accessibility.h"

#include <cstring>

#include "base/context.h"
#include "base/text.h"
#include "setup/drawing.h"
#include "setup/probe.h"

const plat::AccessibleModel kAccessibleModel = {kAccessibleChildCount, kAccessibleButton, DescribeAccessible,
                                                PressAccessible};

namespace {

// The names and the button's state last told to readers.
struct Told {
    char names[kAccessibleChildCount + 1][256];
    std::uint32_t button_state;
};
Told told;

// Where a child is drawn, worked out at 100% and scaled as the drawing is.
plat::Rect ClientRectAt100(int child) {
    const SetupContext& context = setup_context;
    int width = context.bitmap_width;
    int height = context.bitmap_height;
    plat::Rect button = ButtonRectAt100();
    int line_top = height + kStatusTopBelowPicture;
    switch (child) {
        case kAccessibleButton: return button;
        case kAccessibleStatusLine1: return {kStatusLeft, line_top, width, line_top + kStatusLineHeight};
        case kAccessibleStatusLine2:
            return {kStatusLeft, line_top + kStatusLineHeight, width, line_top + 2 * kStatusLineHeight};
        case kAccessibleStepLabel: return {button.left, button.bottom - kStepLabelHeight, button.right, button.bottom};
        case kAccessibleOsLabel: return {kOsLabelLeft, kOsLabelTop, width - kOsLabelRightFromRight, height};
        default: return {0, 0, width, height + kBandHeight};
    }
}

plat::Rect ClientRect(int child) { return ScaledRect(ClientRectAt100(child)); }

void ChildName(plat::Handle window, int child, char* name, std::size_t size) {
    switch (child) {
        case kAccessibleButton: CopyText(name, size, setup_context.remove_mode ? "Remove" : "Install"); break;
        case kAccessibleStatusLine1: StatusLineText(0, name, size); break;
        case kAccessibleStatusLine2: StatusLineText(1, name, size); break;
        case kAccessibleStepLabel: StepLabelText(name, size); break;
        case kAccessibleOsLabel: CopyText(name, size, OsVersionLabel(setup_context.os_version_code)); break;
        default: plat::WindowTextRead(window, name, static_cast<int>(size)); break;
    }
}

std::uint32_t ChildState(plat::Handle window, int child) {
    bool focused = plat::WindowFocused() == window;
    if (child == 0) return plat::kStateFocusable;
    if (child != kAccessibleButton) return plat::kStateReadOnly;
    std::uint32_t state = plat::kStateFocusable | (focused ? plat::kStateFocused : 0);
    if (setup_context.worker_busy == 1) state |= plat::kStateBusy | plat::kStateUnavailable;
    return state;
}

}  // namespace

int DescribeAccessible(plat::Handle window, int child, plat::AccessibleItem* item) {
    if (child < 0 || child > kAccessibleChildCount) return 0;
    *item = plat::AccessibleItem{};
    item->role = child == 0 ? plat::kRoleClient
                            : (child == kAccessibleButton ? plat::kRolePushButton : plat::kRoleStaticText);
    item->state = ChildState(window, child);
    ChildName(window, child, item->name, sizeof item->name);
    item->screen = ClientRect(child);
    int x = 0, y = 0;
    if (!plat::WindowClientOrigin(window, &x, &y)) return 0;
    item->screen.left += x;
    item->screen.right += x;
    item->screen.top += y;
    item->screen.bottom += y;
    if (child == kAccessibleButton) {
        item->default_action = "Press";
        item->shortcut = "Enter";
    }
    return 1;
}

int PressAccessible(plat::Handle window, int child) {
    if (child != kAccessibleButton) return -1;
    if (setup_context.worker_busy == 1) return 0;
    return plat::WindowPostMessage(window, plat::kWmKeyDown, plat::kVkReturn, 0) ? 1 : 0;
}

std::intptr_t AnswerGetObject(plat::Handle window, std::uintptr_t wparam, std::intptr_t lparam) {
    auto object_id = static_cast<std::int32_t>(static_cast<std::uint32_t>(lparam));
    if (!hidden_mode && object_id == plat::kObjidClient) {
        int answered = 0;
        std::intptr_t result = plat::AccessibleAnswer(window, wparam, &kAccessibleModel, &answered);
        if (answered) return result;
    }
    return plat::WindowDefaultProc(window, plat::kWmGetObject, wparam, lparam);
}

void RememberAccessibleState() {
    for (int child = 1; child <= kAccessibleChildCount; ++child)
        ChildName(setup_context.main_window, child, told.names[child], sizeof told.names[child]);
    told.button_state = ChildState(setup_context.main_window, kAccessibleButton);
}

void AnnounceChanges(plat::Handle window) {
    if (hidden_mode) return;
    char name[256];
    for (int child = 1; child <= kAccessibleChildCount; ++child) {
        ChildName(window, child, name, sizeof name);
        if (std::strcmp(name, told.names[child]) == 0) continue;
        CopyText(told.names[child], sizeof told.names[child], name);
        plat::AccessibleNotify(window, plat::kEventObjectNameChange, child);
    }
    // Only busy counts: the focus has events of its own.
    constexpr std::uint32_t kBusy = plat::kStateBusy | plat::kStateUnavailable;
    std::uint32_t state = ChildState(window, kAccessibleButton);
    if ((state & kBusy) == (told.button_state & kBusy)) return;
    told.button_state = state;
    plat::AccessibleNotify(window, plat::kEventObjectStateChange, kAccessibleButton);
}
