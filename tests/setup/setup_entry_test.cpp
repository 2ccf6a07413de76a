// The program entry: closing the console's and the tools' windows, the
// single-instance mutex, COM and User32 around the message loop.
#include "tests/setup/setup_support.h"

using namespace setup_test;

namespace {

using ShellEntry = SetupTest;

constexpr char kConsoleClass[] = "ZTCABLE0Mixolyte0MainWindow0";

bool AskedToClose(plat::Handle window) {
    const SimWindow* found = SimFindWindow(window);
    if (found == nullptr) return false;
    for (const plat::Message& message : found->received)
        if (message.message == plat::kWmDestroy && message.wparam == 0 && message.lparam == 0) return true;
    return false;
}

int MessagesReceived(plat::Handle window) { return static_cast<int>(SimFindWindow(window)->received.size()); }

}  // namespace

TEST_F(ShellEntry, ConsoleWindowsAreClosedByClassAndTitlePrefix) {
    plat::Handle kumbra = SimAddForeignWindow(kConsoleClass, u"Mixolyte Kumbra");
    plat::Handle upper = SimAddForeignWindow(kConsoleClass, u"MixoLyte Pro - Session 1");
    plat::Handle lower = SimAddForeignWindow(kConsoleClass, u"mixolyte kumbra");
    plat::Handle short_title = SimAddForeignWindow(kConsoleClass, u"Mixo");
    plat::Handle other_class = SimAddForeignWindow("Notepad", u"Mixolyte Kumbra");
    plat::Handle class_prefix = SimAddForeignWindow("ZTCABLE0Mixolyte0MainWindow0X", u"Mixolyte Kumbra");
    plat::Handle class_case = SimAddForeignWindow("ztcable0mixolyte0mainwindow0", u"Mixolyte Kumbra");
    EXPECT_EQ(Run(""), 0);
    EXPECT_TRUE(AskedToClose(kumbra));
    EXPECT_TRUE(AskedToClose(upper));
    EXPECT_FALSE(AskedToClose(lower));
    EXPECT_FALSE(AskedToClose(short_title));
    EXPECT_FALSE(AskedToClose(other_class));
    EXPECT_FALSE(AskedToClose(class_prefix));
    EXPECT_FALSE(AskedToClose(class_case));
    // One pass per title: a window matching one title is asked once.
    EXPECT_EQ(MessagesReceived(kumbra), 1);
    EXPECT_EQ(MessagesReceived(other_class), 0);
}

TEST_F(ShellEntry, ToolWindowsAreClosedWhenUnownedByUtf16TitlePrefix) {
    const char16_t* titles[] = {u"Mixolyte.Remote Macro Buttons", u"ZT-Audio 8x8 Matrix", u"ZT-Audio Matrix 8",
                                u"ZT-Audio Graphic EQ 15 - Bus A", u"ZTAN2MIDI-Converter", u"ML-Streamer View",
                                u"ZT-Audio Virtual Cable AUX",     u"ZT-Audio Mixolyte DAZA"};
    std::vector<plat::Handle> tools;
    for (const char16_t* title : titles) tools.push_back(SimAddForeignWindow("ToolClass", title));
    plat::Handle dialog = SimAddForeignWindow("#32770", u"ZT-Audio Virtual Cable Settings", tools[6]);
    plat::Handle lower = SimAddForeignWindow("ToolClass", u"mixolyte.remote");
    plat::Handle unicode = SimAddForeignWindow("ToolClass", u"ZT-Audio Mixolyte DAZA \u00e9\u4e2d");
    plat::Handle other = SimAddForeignWindow("ToolClass", u"ZT-Audio Matrix");
    EXPECT_EQ(Run(""), 0);
    for (plat::Handle tool : tools) EXPECT_TRUE(AskedToClose(tool));
    EXPECT_FALSE(AskedToClose(dialog));
    EXPECT_FALSE(AskedToClose(lower));
    EXPECT_TRUE(AskedToClose(unicode));
    EXPECT_FALSE(AskedToClose(other));
    // "ZT-Audio 8x8 Matrix" is not asked again by "ZT-Audio Matrix 8".
    EXPECT_EQ(MessagesReceived(tools[1]), 1);
}

TEST_F(ShellEntry, WithoutTheWindowTextReaderOnlyConsolesAreClosed) {
    plat::Handle console = SimAddForeignWindow(kConsoleClass, u"Mixolyte");
    plat::Handle tool = SimAddForeignWindow("ToolClass", u"ML-Streamer View");
    Sim().system.internal_get_window_text = false;
    EXPECT_EQ(Run(""), 0);
    EXPECT_TRUE(AskedToClose(console));
    EXPECT_FALSE(AskedToClose(tool));
    EXPECT_EQ(Sim().system.user32_open, 0);  // loaded and freed

    SetUp();
    console = SimAddForeignWindow(kConsoleClass, u"Mixolyte");
    tool = SimAddForeignWindow("ToolClass", u"ML-Streamer View");
    Sim().system.user32_loads = false;
    EXPECT_EQ(Run(""), 0);
    EXPECT_TRUE(AskedToClose(console));
    EXPECT_FALSE(AskedToClose(tool));
    EXPECT_EQ(user32_module, nullptr);
}

TEST_F(ShellEntry, MutexIsHeldForTheRunAndLetGoAfterwards) {
    const std::string name = "ZT-Audio Mixolyte-Installation- Mutex-{12783DE4-C2B5-4698-9D26-EA7E355B50E9}";
    SimScriptCall([name] {
        // While the window runs a second copy is turned away.
        const SimMutex& mutex = Sim().system.mutexes[name];
        EXPECT_EQ(mutex.handles, 1);
        EXPECT_GE(mutex.owned, 1);
        int saved_exit = exit_code;
        EXPECT_EQ(SetupMain(kInstance, ""), -10);
        exit_code = saved_exit;
        EXPECT_EQ(Sim().system.mutexes[name].handles, 1);
    });
    SimScriptKey(plat::kVkEscape);
    EXPECT_EQ(Run(""), 0);
    EXPECT_TRUE(Sim().system.mutexes.empty());
    EXPECT_TRUE(Sim().system.mutex_handles.empty());
    // Windows of the program: only the one.
    int own = 0;
    for (const auto& [key, window] : Sim().windows.windows) own += !window.foreign;
    EXPECT_EQ(own, 1);
    // A later start on the same machine runs normally (a new process, with
    // its own window class).
    Sim().windows.classes.clear();
    SimScriptKey(plat::kVkEscape);
    EXPECT_EQ(Run(""), 0);
    EXPECT_FALSE(Sim().windows.hung);
}

TEST_F(ShellEntry, ComIsEndedOnlyWhenItStarted) {
    SimScriptKey(plat::kVkEscape);
    EXPECT_EQ(Run(""), 0);
    EXPECT_EQ(Sim().system.com_open, 0);

    // CoInitialize fails: the program goes on, and never ends what it did
    // not start (the balance would go negative).
    SetUp();
    Sim().system.com_initialize_result = static_cast<std::int32_t>(0x80004005u);
    SimScriptKey(plat::kVkEscape);
    EXPECT_EQ(Run(""), 0);
    EXPECT_EQ(Sim().system.com_open, 0);
    EXPECT_FALSE(Sim().windows.hung);

    // S_FALSE (already initialised) is not S_OK: not ended either.
    SetUp();
    Sim().system.com_initialize_result = 1;
    SimScriptKey(plat::kVkEscape);
    EXPECT_EQ(Run(""), 0);
    EXPECT_GT(Sim().system.com_open, 0);
}

TEST_F(ShellEntry, EscPostsCloseThenDestroyAndQuits) {
    SimScriptKey(plat::kVkEscape);
    EXPECT_EQ(Run(""), 0);
    std::vector<std::uint32_t> posted;
    for (const plat::Message& message : Sim().windows.posted) posted.push_back(message.message);
    EXPECT_EQ(posted, (std::vector<std::uint32_t>{plat::kWmKeyDown, plat::kWmClose, plat::kWmDestroy}));
    EXPECT_FALSE(Sim().windows.hung);
    EXPECT_EQ(Sim().windows.quit_code, 0);
    // The window is never destroyed: it ends with the program.
    EXPECT_TRUE(plat::WindowExists(setup_context.main_window));
    // Other keys do nothing.
    SetUp();
    SimScriptKey('A');
    SimScriptKey(0x70);  // F1
    EXPECT_EQ(Run(""), 0);
    EXPECT_TRUE(Sim().windows.hung);
    EXPECT_EQ(PostedCount(plat::kWmClose), 0);
}
