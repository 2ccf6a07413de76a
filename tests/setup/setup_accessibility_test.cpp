// What a screen reader gets from the window: the object WM_GETOBJECT
// answers with, its parts with names, roles, states and places on the
// screen, the button's "Press" with the busy rule, and the WinEvents that
// announce each step; nothing of it in hidden mode or without the library.
#include "platform/accessibility.h"
#include "setup/accessibility.h"
#include "tests/setup/setup_support.h"

using namespace setup_test;

namespace {

using ShellAccessibility = SetupTest;

// The client area's top left corner on the screen: the window stands at
// 100, 100 with a 1 + 4 pixel frame and a 23 pixel caption.
constexpr int kX = 105, kY = 128;

std::intptr_t AskForObject(std::intptr_t object_id) {
    return MainWindowProc(setup_context.main_window, plat::kWmGetObject, 0, object_id);
}

plat::AccessibleItem Item(int child) {
    plat::AccessibleItem item{};
    EXPECT_EQ(SimAccessibleDescribe(child, &item), 1) << child;
    return item;
}

void ExpectPlace(const plat::AccessibleItem& item, int left, int top, int right, int bottom) {
    EXPECT_EQ(item.screen.left, kX + left) << item.name;
    EXPECT_EQ(item.screen.top, kY + top) << item.name;
    EXPECT_EQ(item.screen.right, kX + right) << item.name;
    EXPECT_EQ(item.screen.bottom, kY + bottom) << item.name;
}

std::vector<std::pair<std::uint32_t, int>> Events() {
    std::vector<std::pair<std::uint32_t, int>> events;
    for (const SimWinEvent& event : Sim().windows.win_events) {
        EXPECT_EQ(event.window, setup_context.main_window);
        events.emplace_back(event.event, event.child);
    }
    return events;
}

constexpr std::uint32_t kName = plat::kEventObjectNameChange;
constexpr std::uint32_t kState = plat::kEventObjectStateChange;
constexpr std::uint32_t kBusy = plat::kStateBusy | plat::kStateUnavailable;

}  // namespace

TEST_F(ShellAccessibility, InstallOfferIsReadPressedAndEachStepAnnounced) {
    SimScriptCall([] {
        // OBJID_CLIENT as 32-bit Windows gives it and as 64-bit Windows
        // does (zero-extended); nothing for the window or the caret.
        EXPECT_GT(AskForObject(-4), 0);
        EXPECT_GT(AskForObject(static_cast<std::intptr_t>(0xFFFFFFFCu)), 0);
        EXPECT_EQ(AskForObject(0), 0);
        EXPECT_EQ(AskForObject(-8), 0);
        EXPECT_EQ(AskForObject(0xFFFFFFF0), 0);
        EXPECT_EQ(Sim().windows.accessible_answers, 2);
        EXPECT_EQ(Sim().windows.accessible_model->child_count, 5);
        EXPECT_EQ(Sim().windows.accessible_model->focused_child, kAccessibleButton);

        plat::AccessibleItem client = Item(0);
        EXPECT_EQ(client.role, plat::kRoleClient);
        EXPECT_STREQ(client.name, "Mixolyte Installation (Version 2.1.2.2)");
        ExpectPlace(client, 0, 0, 900, 524);
        plat::AccessibleItem button = Item(kAccessibleButton);
        EXPECT_EQ(button.role, plat::kRolePushButton);
        EXPECT_STREQ(button.name, "Install");
        EXPECT_EQ(button.state, plat::kStateFocusable | plat::kStateFocused);
        EXPECT_STREQ(button.default_action, "Press");
        EXPECT_STREQ(button.shortcut, "Enter");
        ExpectPlace(button, 580, 444, 880, 504);
        plat::AccessibleItem line1 = Item(kAccessibleStatusLine1), line2 = Item(kAccessibleStatusLine2);
        EXPECT_STREQ(line1.name, "Ready to install ? Click the button right there...");
        EXPECT_STREQ(line2.name, "it will install ZT-Audio Mixolyte on your system...");
        ExpectPlace(line1, 20, 454, 900, 474);
        ExpectPlace(line2, 20, 474, 900, 494);
        plat::AccessibleItem step = Item(kAccessibleStepLabel), label = Item(kAccessibleOsLabel);
        EXPECT_STREQ(step.name, "");
        ExpectPlace(step, 580, 484, 880, 504);
        ExpectPlace(label, 20, 390, 740, 424);
        // The label reads as it is drawn.
        bool drawn = false;
        for (const SimDrawOp& op : SimDrawOps("DrawText"))
            drawn |= op.rect.left == 20 && op.rect.top == 390 && op.text == label.name;
        EXPECT_TRUE(drawn) << label.name;
        for (const plat::AccessibleItem& text : {line1, line2, step, label}) {
            EXPECT_EQ(text.role, plat::kRoleStaticText) << text.name;
            EXPECT_EQ(text.state, plat::kStateReadOnly) << text.name;
            EXPECT_EQ(text.default_action, nullptr) << text.name;
        }
        plat::AccessibleItem none{};
        EXPECT_EQ(SimAccessibleDescribe(6, &none), 0);
        EXPECT_EQ(SimAccessibleDescribe(-1, &none), 0);

        // Only the button has an action; its press waits in the queue.
        EXPECT_EQ(SimAccessiblePress(kAccessibleStatusLine1), -1);
        EXPECT_EQ(SimAccessiblePress(kAccessibleButton), 1);
        EXPECT_EQ(setup_context.worker_busy, 0);
        EXPECT_TRUE(Events().empty());
    });
    SimScriptCall([] {
        // The press started the worker as Enter does, and said so.
        EXPECT_EQ(setup_context.worker_busy, 1);
        EXPECT_EQ(Sim().system.thread_order.size(), 1u);
        EXPECT_EQ(Item(kAccessibleButton).state, plat::kStateFocusable | plat::kStateFocused | kBusy);
        EXPECT_EQ(Events(), (std::vector<std::pair<std::uint32_t, int>>{{kState, kAccessibleButton}}));
        // Busy: a second press is refused like a click.
        EXPECT_EQ(SimAccessiblePress(kAccessibleButton), 0);
        CopyText(setup_context.step_text, sizeof setup_context.step_text, "Copy Files");
    });
    SimScriptWait(1000);  // two ticks, one step
    SimScriptCall([] {
        CopyText(setup_context.step_text, sizeof setup_context.step_text, "Create Shortcuts");
        Sim().windows.focus = nullptr;  // another window took the focus
    });
    SimScriptWait(500);
    SimScriptCall([] {
        EXPECT_STREQ(Item(kAccessibleStepLabel).name, "Create Shortcuts");
        EXPECT_EQ(Item(kAccessibleButton).state, plat::kStateFocusable | kBusy);
        EXPECT_EQ(Events(), (std::vector<std::pair<std::uint32_t, int>>{{kState, kAccessibleButton},
                                                                        {kName, kAccessibleStepLabel},
                                                                        {kName, kAccessibleStepLabel}}));
    });
    SimScriptRunThreads();
    EXPECT_EQ(Run(""), 1);
    EXPECT_EQ(Fakes().install_calls, 1);
    EXPECT_EQ(Sim().system.thread_order.size(), 1u);
}

TEST_F(ShellAccessibility, RemoveOfferHiddenModeAndAMissingLibrary) {
    PutUninstallEntry("C:\\Program Files\\ZT\\Mixolyte\\MixolyteSetup.exe");
    SimScriptCall([] {
        EXPECT_GT(AskForObject(-4), 0);
        EXPECT_STREQ(Item(kAccessibleButton).name, "Remove");
        EXPECT_STREQ(Item(kAccessibleStatusLine1).name, "Mixolyte is already installed...");
        EXPECT_STREQ(Item(kAccessibleStatusLine2).name,
                     "previous version has to be removed before installing new one...");
        EXPECT_EQ(SimAccessiblePress(kAccessibleButton), 1);
    });
    EXPECT_EQ(Run(""), 0);
    EXPECT_EQ(Fakes().uninstall_calls, 1);
    EXPECT_EQ(Fakes().install_calls, 0);

    // Hidden mode: the window answers as one without an object would, and
    // raises nothing while it works.
    SetUp();
    hidden_mode = 1;
    SimScriptCall([] {
        EXPECT_EQ(AskForObject(-4), 0);
        CopyText(setup_context.step_text, sizeof setup_context.step_text, "Copy Files");
        AnnounceChanges(setup_context.main_window);
        SimScriptPost(plat::kWmClose);
    });
    Run("-h");
    EXPECT_EQ(Sim().windows.accessible_answers, 0);
    EXPECT_TRUE(Sim().windows.win_events.empty());

    // Without the accessibility library, or without COM on the window's
    // thread: DefWindowProcA's answer.
    for (bool library : {false, true}) {
        SetUp();
        Sim().windows.accessibility_missing = !library;
        if (library) Sim().system.com_initialize_result = static_cast<std::int32_t>(0x8007000Eu);
        SimScriptCall([] {
            EXPECT_EQ(AskForObject(-4), 0);
            EXPECT_EQ(Sim().windows.accessible_answers, 0);
        });
        EXPECT_EQ(Run(""), 0);
    }
}
