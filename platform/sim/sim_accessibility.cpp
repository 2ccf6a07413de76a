// The window's accessible object on the simulated machine: WM_GETOBJECT
// answers are recorded with the model handed over, WinEvents in order.
#include "platform/accessibility.h"
#include "platform/sim/sim.h"

namespace {

const SimWindow* LiveWindow(plat::Handle window) {
    const SimWindow* found = SimFindWindow(window);
    return found != nullptr && !found->destroyed ? found : nullptr;
}

}  // namespace

namespace plat {

std::intptr_t AccessibleAnswer(Handle window, std::uintptr_t /*wparam*/, const AccessibleModel* model,
                               int* answered) {
    static const int op = SimOpId("AccessibleAnswer");
    *answered = 0;
    SimWindows& windows = Sim().windows;
    // LresultFromObject marshals the object: without COM it refuses. (The
    // sim counts COM in the process, not per thread.)
    if (SimFaultHere(op) || windows.accessibility_missing || LiveWindow(window) == nullptr ||
        Sim().system.com_open <= 0)
        return 0;
    windows.accessible_answers += 1;
    windows.accessible_model = model;
    windows.accessible_window = window;
    *answered = 1;
    // LresultFromObject's answer: a positive value the reader redeems.
    return 0x10000 + windows.accessible_answers;
}

void AccessibleNotify(Handle window, std::uint32_t event, int child) {
    Sim().windows.win_events.push_back(SimWinEvent{window, event, child});
}

Handle WindowFocused() {
    Handle focus = Sim().windows.focus;
    return LiveWindow(focus) != nullptr ? focus : nullptr;
}

int WindowClientOrigin(Handle window, int* x, int* y) {
    static const int op = SimOpId("WindowClientOrigin");
    const SimWindow* found = LiveWindow(window);
    if (SimFaultHere(op) || found == nullptr) return 0;
    const SimWindows& windows = Sim().windows;
    int frame = windows.border_width + windows.padded_border_width + windows.frame_extra;
    int caption = (found->style & kWsCaption) == kWsCaption ? windows.caption_height + windows.caption_extra : 0;
    *x = found->x + frame;
    *y = found->y + frame + caption;
    return 1;
}

}  // namespace plat

int SimAccessibleDescribe(int child, plat::AccessibleItem* item) {
    const SimWindows& windows = Sim().windows;
    if (windows.accessible_model == nullptr) return 0;
    return windows.accessible_model->describe(windows.accessible_window, child, item);
}

int SimAccessiblePress(int child) {
    const SimWindows& windows = Sim().windows;
    if (windows.accessible_model == nullptr) return -1;
    return windows.accessible_model->press(windows.accessible_window, child);
}
