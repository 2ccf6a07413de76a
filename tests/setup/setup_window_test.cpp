// The window at work: the button and its click geometry, the install
// worker's busy time (Esc, the close box and Enter refused, the blink
// timer), the reports, the Remove offer, the web pages.
#include <cstring>

#include "base/worker_report.h"
#include "platform/system.h"
#include "setup/drawing.h"
#include "setup/web_page.h"
#include "tests/setup/setup_support.h"

using namespace setup_test;

namespace {

using ShellWindow = SetupTest;

// The picture is 900 x 424: the button is 580, 444, 880, 504.
constexpr int kLeft = 580, kTop = 444, kRight = 880, kBottom = 504;

int ThreadsCreated() { return static_cast<int>(Sim().system.thread_order.size()); }

// Lets the window thread handle what stands in its queue now, as it would
// while the worker goes on (the worker runs in one piece on the sim).
void WindowThreadCatchesUp() {
    while (!Sim().windows.queue.empty()) {
        plat::Message message = Sim().windows.queue.front();
        Sim().windows.queue.pop_front();
        plat::MessageDispatch(&message);
    }
}

}  // namespace

TEST_F(ShellWindow, ClickGeometryIsStrictAndSplitsPictureFromBand) {
    // On each edge of the button, in the band beside it, then inside it.
    SimScriptClick(kLeft, 470);
    SimScriptClick(kRight, 470);
    SimScriptClick(700, kTop);
    SimScriptClick(700, kBottom);
    SimScriptClick(100, 500);
    SimScriptCall([] {
        EXPECT_EQ(setup_context.button_rect[0], kLeft);
        EXPECT_EQ(setup_context.button_rect[1], kTop);
        EXPECT_EQ(setup_context.button_rect[2], kRight);
        EXPECT_EQ(setup_context.button_rect[3], kBottom);
        EXPECT_EQ(ThreadsCreated(), 0);
        EXPECT_TRUE(Sim().windows.shell_executes.empty());
    });
    // The last row of the picture opens the product page; the button does
    // not start anything for it.
    SimScriptClick(700, 423);
    SimScriptCall([] {
        ASSERT_EQ(Sim().windows.shell_executes.size(), 1u);
        EXPECT_EQ(Sim().windows.shell_executes[0].file, "https://www.example.com");
        EXPECT_EQ(Sim().windows.shell_executes[0].verb, "open");
        EXPECT_EQ(ThreadsCreated(), 0);
    });
    // One pixel inside the corner presses the button.
    SimScriptClick(kLeft + 1, kTop + 1);
    EXPECT_EQ(Run(""), 1);
    EXPECT_EQ(ThreadsCreated(), 1);
    EXPECT_EQ(Fakes().install_calls, 1);
}

TEST_F(ShellWindow, ClicksAboveThePictureTopUseSignedCoordinates) {
    // A click reported at y = -5 (a captured mouse above the client area)
    // is in the picture: signed words, not unsigned.
    SimScriptPost(plat::kWmLButtonDown, 1, static_cast<std::intptr_t>((0xFFFBu << 16) | 50u));
    SimScriptPost(plat::kWmMouseMove, 0, static_cast<std::intptr_t>((0xFFFBu << 16) | 50u));
    SimScriptCall([] { EXPECT_EQ(Sim().windows.cursor, setup_context.hand_cursor); });
    SimScriptPost(plat::kWmMouseMove, 0, static_cast<std::intptr_t>((424u << 16) | 50u));
    EXPECT_EQ(Run(""), 0);
    EXPECT_EQ(Sim().windows.shell_executes.size(), 1u);
    EXPECT_EQ(Sim().windows.cursor_sets, 1);  // only the move over the picture
    EXPECT_NE(setup_context.hand_cursor, nullptr);
}

TEST_F(ShellWindow, PressedButtonIsDrawnBeforeThePause) {
    SimScriptClick(700, 470);
    EXPECT_EQ(Run(""), 1);
    // The black button with a white label, then 200 ms, then the worker.
    const SimDrawOp* pressed = nullptr;
    std::vector<SimDrawOp> buttons = SimDrawOps("RoundRect");
    for (const SimDrawOp& op : buttons)
        if (SimGdi(op.brush)->stock_id == plat::kBlackBrush) {
            pressed = &op;
            break;
        }
    ASSERT_NE(pressed, nullptr);
    std::vector<SimDrawOp> ops = SimDrawOps();
    const SimDrawOp* label = LastText(ops, "Install");
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->text_colour, plat::Rgb(255, 255, 255));
    const SimThread& worker = Sim().system.threads[Sim().system.thread_order[0]];
    EXPECT_EQ(worker.created_tick - pressed->tick, 200u);
}

TEST_F(ShellWindow, BusyWorkerRefusesEscCloseAndEnter) {
    SimScriptKey(plat::kVkReturn);  // starts the worker, which does not run yet
    SimScriptKey(plat::kVkEscape);
    SimScriptPost(plat::kWmClose);
    SimScriptKey(plat::kVkReturn);
    SimScriptClick(kLeft + 10, kTop + 10);
    SimScriptClick(100, 100);  // into the picture: no web page while installing
    SimScriptCall([] {
        EXPECT_TRUE(Sim().windows.shell_executes.empty());
        EXPECT_EQ(setup_context.worker_busy, 1);
        EXPECT_EQ(setup_context.worker_result, -1);
        EXPECT_EQ(ThreadsCreated(), 1);  // Enter and the click started nothing more
        EXPECT_EQ(PostedCount(plat::kWmClose), 2);
        EXPECT_EQ(PostedCount(plat::kWmDestroy), 0);  // both closes refused
        EXPECT_NE(setup_context.worker_thread, nullptr);
        EXPECT_NE(setup_context.worker_thread_id, 0u);
    });
    SimScriptRunThreads();
    EXPECT_EQ(Run(""), 1);
    EXPECT_EQ(Fakes().install_calls, 1);
    // After the report: the second web page, the box, then the close.
    ASSERT_EQ(Sim().windows.shell_executes.size(), 1u);
    EXPECT_EQ(Sim().windows.shell_executes[0].file, "https://www.example.com/mixolyte/welcome.html");
    ASSERT_EQ(Sim().windows.boxes.size(), 1u);
    EXPECT_EQ(Sim().windows.boxes[0].caption, "REBOOT YOUR SYSTEM");
    EXPECT_EQ(Sim().windows.boxes[0].text,
              "Installation Complete and Successful !\n\nYOU MUST RESTART your computer to finalize installation");
    EXPECT_EQ(Sim().windows.boxes[0].type, 0x1030u);
    EXPECT_EQ(PostedCount(plat::kWmDestroy), 1);
    EXPECT_FALSE(Sim().windows.hung);
    EXPECT_TRUE(Sim().windows.timers.empty());  // killed at WM_DESTROY
}

TEST_F(ShellWindow, BlinkTimerDrawsBothBusyPhases) {
    SimScriptCall([] { CopyText(setup_context.step_text, sizeof setup_context.step_text, "Copying files..."); });
    SimScriptKey(plat::kVkReturn);
    SimScriptCall([] { Sim().windows.drawing.clear(); });
    SimScriptWait(1000);  // two ticks
    SimScriptCall([] {
        EXPECT_EQ(setup_context.timer_ticks, 2);
        std::vector<SimDrawOp> boxes = SimDrawOps("RoundRect");
        ASSERT_EQ(boxes.size(), 2u);
        for (const SimDrawOp& box : boxes) {
            EXPECT_EQ(SimGdi(box.brush)->stock_id, plat::kBlackBrush);
            EXPECT_EQ(SimGdi(box.pen)->stock_id, plat::kBlackPen);
            EXPECT_EQ(box.rect.left, kLeft);
            EXPECT_EQ(box.rect.right, kRight + 1);
            EXPECT_EQ(box.rect.bottom, kBottom + 1);
        }
        // Tick 1 (phase 1): "Installing" and the step; tick 2 (phase 0): the step only.
        EXPECT_EQ(DrawnTexts(), (std::vector<std::string>{"Installing", "Copying files...", "Copying files..."}));
        std::vector<SimDrawOp> texts = SimDrawOps("DrawText");
        const SimDrawOp& word = texts[0];
        EXPECT_EQ(word.rect.top, kTop);
        EXPECT_EQ(word.rect.bottom, kBottom - 15);
        EXPECT_EQ(word.format, plat::kDtSingleLine | plat::kDtCenter | plat::kDtVCenter);
        EXPECT_EQ(word.text_colour, plat::Rgb(255, 255, 255));
        EXPECT_EQ(SimGdi(word.font)->height, 40);
        const SimDrawOp& step = texts[2];
        EXPECT_EQ(step.rect.left, kLeft);
        EXPECT_EQ(step.rect.top, kBottom - 20);
        EXPECT_EQ(step.rect.right, kRight);
        EXPECT_EQ(step.rect.bottom, kBottom);
        EXPECT_EQ(step.format, plat::kDtSingleLine | plat::kDtCenter | plat::kDtTop);
        EXPECT_EQ(step.text_colour, plat::Rgb(255, 255, 255));
        EXPECT_EQ(step.background_mode, plat::kTransparent);
        EXPECT_EQ(SimGdi(step.font)->height, 16);
        EXPECT_EQ(SimGdi(step.font)->weight, 800);
        // Every context taken for a tick was given back.
        for (const auto& [handle, dc] : Sim().windows.dcs) EXPECT_TRUE(dc.released);
    });
    // A long step label is drawn cut to 131 characters.
    SimScriptCall([] {
        std::string long_label(300, 'x');
        CopyText(setup_context.step_text, sizeof setup_context.step_text, long_label.c_str());
        Sim().windows.drawing.clear();
    });
    SimScriptWait(500);
    SimScriptCall([] {
        std::vector<std::string> texts = DrawnTexts();
        ASSERT_EQ(texts.size(), 2u);  // tick 3: phase 1
        EXPECT_EQ(texts[1], std::string(131, 'x'));
    });
    SimScriptRunThreads();
    EXPECT_EQ(Run(""), 1);
}

TEST_F(ShellWindow, TimerTicksWithoutWorkerDrawNothing) {
    SimScriptCall([] { Sim().windows.drawing.clear(); });  // the first paint
    SimScriptWait(2000);
    SimScriptCall([] {
        EXPECT_TRUE(SimDrawOps().empty());
        EXPECT_EQ(setup_context.timer_ticks, 0);
    });
    // A foreign timer id while busy draws nothing either.
    SimScriptKey(plat::kVkReturn);
    SimScriptCall([] { Sim().windows.drawing.clear(); });
    SimScriptPost(plat::kWmTimer, 99);
    SimScriptCall([] {
        EXPECT_TRUE(SimDrawOps().empty());
        EXPECT_EQ(setup_context.timer_ticks, 0);
    });
    SimScriptRunThreads();
    EXPECT_EQ(Run(""), 1);
}

TEST_F(ShellWindow, FailureReportWhileStillBusyKeepsTheWindowUntilTheLastReport) {
    // A driver setup failure reports in the middle of the install; the
    // install goes on and reports its end.
    Fakes().install_report = REPORT_FAILED;
    Fakes().during_install = [] {
        WindowThreadCatchesUp();  // the failure box; its WM_CLOSE is refused
        EXPECT_EQ(BoxCount("Mixolyte Installation Error"), 1);
        EXPECT_EQ(PostedCount(plat::kWmClose), 1);
        EXPECT_EQ(PostedCount(plat::kWmDestroy), 0);
        plat::WindowPostMessage(setup_context.main_window, plat::kWmCommand, CMD_WORKER_REPORT,
                                REPORT_INSTALLED_DRIVER_ISSUE);
    };
    SimScriptKey(plat::kVkReturn);
    EXPECT_EQ(Run(""), 1);
    ASSERT_EQ(Sim().windows.boxes.size(), 2u);
    EXPECT_EQ(Sim().windows.boxes[1].caption, "REBOOT YOUR SYSTEM");
    EXPECT_EQ(Sim().windows.boxes[1].text,
              "Installation finished !\n\nVirtual Audio Driver might not be installed correctly,\nVirtual inputs "
              "and outputs could not be available.\n\nThanks to restart your system anyway");
    EXPECT_EQ(Sim().windows.boxes[1].type, 0x1030u);
    EXPECT_EQ(Sim().windows.shell_executes.size(), 1u);
    EXPECT_EQ(PostedCount(plat::kWmDestroy), 1);
    EXPECT_FALSE(Sim().windows.hung);
}

TEST_F(ShellWindow, ReportsWithUnknownCodesOrInHiddenModeDoNothing) {
    SimScriptPost(plat::kWmCommand, CMD_WORKER_REPORT, 130);
    SimScriptPost(plat::kWmCommand, 4242, REPORT_FAILED);
    SimScriptPost(plat::kWmCommand, CMD_SILENT_RUN + 0x10000, 55);  // high word ignored, code unknown
    EXPECT_EQ(Run(""), 0);
    EXPECT_TRUE(Sim().windows.boxes.empty());
    // The unknown silent-run code still ends the program.
    EXPECT_FALSE(Sim().windows.hung);
    EXPECT_EQ(setup_context.font_button, nullptr);

    SetUp();
    SimScriptPost(plat::kWmCommand, CMD_WORKER_REPORT, REPORT_INSTALLED);
    SimScriptPost(plat::kWmCommand, CMD_WORKER_REPORT, REPORT_FAILED);
    EXPECT_EQ(Run("-h"), 0);
    EXPECT_TRUE(Sim().windows.boxes.empty());
    EXPECT_TRUE(Sim().windows.shell_executes.empty());
    EXPECT_EQ(PostedCount(plat::kWmClose), 0);
}

TEST_F(ShellWindow, RemoveOfferRunsTheUninstallOnTheWindowThread) {
    PutUninstallEntry("C:\\Program Files\\ZT\\Mixolyte\\MixolyteSetup.exe");
    Fakes().uninstall_reports_failure = true;
    Fakes().uninstall_result = -101;
    SimScriptClick(kLeft + 5, kTop + 5);
    EXPECT_EQ(Run(""), 0);
    EXPECT_EQ(Fakes().uninstall_calls, 1);
    EXPECT_EQ(ThreadsCreated(), 0);
    // The sequence's report stands before the WM_DESTROY and is shown.
    std::vector<plat::Message>& posted = Sim().windows.posted;
    std::size_t report = posted.size(), destroy = posted.size();
    for (std::size_t i = 0; i < posted.size(); ++i) {
        if (posted[i].message == plat::kWmCommand && posted[i].lparam == REPORT_FAILED && report == posted.size())
            report = i;
        if (posted[i].message == plat::kWmDestroy && destroy == posted.size()) destroy = i;
    }
    ASSERT_LT(report, posted.size());
    ASSERT_LT(destroy, posted.size());
    EXPECT_EQ(destroy, report + 1);
    ASSERT_EQ(Sim().windows.boxes.size(), 1u);
    EXPECT_EQ(Sim().windows.boxes[0].caption, "Uninstall Error");
    EXPECT_EQ(Sim().windows.boxes[0].text, "Nothing to remove");
    EXPECT_FALSE(Sim().windows.hung);
}

TEST_F(ShellWindow, ThreadThatCannotStartEndsTheWindow) {
    Sim().system.thread_create_fails = true;
    SimScriptKey(plat::kVkReturn);
    EXPECT_EQ(Run(""), 0);
    ASSERT_EQ(Sim().windows.boxes.size(), 1u);
    EXPECT_EQ(Sim().windows.boxes[0].text, "Failed to launch Procedure...");
    EXPECT_EQ(Sim().windows.boxes[0].caption, "Mixolyte Installation Error");
    EXPECT_EQ(Sim().windows.boxes[0].type, 0x1010u);
    EXPECT_EQ(Sim().windows.boxes[0].owner, setup_context.main_window);
    EXPECT_EQ(PostedCount(plat::kWmDestroy), 1);
    EXPECT_FALSE(Sim().windows.hung);
}

TEST_F(ShellWindow, WindowIsSizedToThePictureAndTheBand) {
    EXPECT_EQ(Run(""), 0);
    plat::Handle window = setup_context.main_window;
    const SimWindow* shown = SimFindWindow(window);
    ASSERT_NE(shown, nullptr);
    EXPECT_EQ(shown->class_name, "ZTMixolyte0Installer0MainWindow0");
    EXPECT_EQ(shown->title, u"Mixolyte Installation (Version 2.1.2.2)");
    EXPECT_EQ(shown->style, 0x02CB0000u);
    int width = 0, height = 0;
    SimClientSize(window, &width, &height);
    EXPECT_EQ(width, 900);
    EXPECT_EQ(height, 524);
    ASSERT_EQ(Sim().windows.placements.size(), 1u);
    const SimPlacement& placement = Sim().windows.placements[0];
    EXPECT_EQ(placement.insert_after, nullptr);
    EXPECT_EQ(placement.flags, plat::kSwpNoMove | plat::kSwpShowWindow);
    EXPECT_EQ(placement.width, 900 + 2 * 5);
    EXPECT_EQ(placement.height, 424 + 2 * 5 + 23 + 100);
    const SimWindowClass& window_class = Sim().windows.classes["ZTMIXOLYTE0INSTALLER0MAINWINDOW0"];
    EXPECT_EQ(window_class.style, 3u);
    EXPECT_EQ(window_class.background, 12);
    EXPECT_EQ(SimGdi(window_class.icon)->resource_id, 100);
    EXPECT_EQ(SimGdi(window_class.cursor)->resource_id, plat::kIdcArrow);
    ASSERT_EQ(Sim().windows.timers.size(), 1u);
    EXPECT_EQ(Sim().windows.timers[0].id, kBlinkTimerId);
    EXPECT_EQ(Sim().windows.timers[0].period_ms, 500u);
    EXPECT_EQ(setup_context.timer_id, kBlinkTimerId);
}

TEST_F(ShellWindow, FrameMetricsFallBackAndTheClientAreaIsMeasured) {
    // Windows XP refuses the 344-byte metrics: the system metrics stand in.
    Sim().windows.nonclient_size_accepted = 340;
    int border = 0, caption = 0;
    GetFrameMetrics(&border, &caption);
    EXPECT_EQ(border, 4 + 3);
    EXPECT_EQ(caption, 23);

    // A frame wider than the metrics say (as Wine draws it) is made up for.
    SetUp();
    Sim().windows.frame_extra = 2;
    Sim().windows.caption_extra = 1;
    EXPECT_EQ(Run(""), 0);
    int width = 0, height = 0;
    SimClientSize(setup_context.main_window, &width, &height);
    EXPECT_EQ(width, 900);
    EXPECT_EQ(height, 524);
    ASSERT_EQ(Sim().windows.placements.size(), 2u);
    EXPECT_EQ(Sim().windows.placements[1].width, 910 + 4);
    EXPECT_EQ(Sim().windows.placements[1].height, 557 + 5);
}

TEST_F(ShellWindow, StoredAddressesDescrambleAndTheBufferIsWiped) {
    std::uint8_t first[sizeof kProductPageAddress];
    std::memcpy(first, kProductPageAddress, sizeof first);
    ScrambleWebAddress(first, sizeof first, kWebAddressSeed);
    EXPECT_EQ(sizeof first, 24u);
    EXPECT_STREQ(reinterpret_cast<const char*>(first), "https://www.example.com");
    EXPECT_EQ(first[23], 0);

    std::uint8_t second[sizeof kWelcomePageAddress];
    std::memcpy(second, kWelcomePageAddress, sizeof second);
    ScrambleWebAddress(second, sizeof second, kWebAddressSeed);
    EXPECT_EQ(sizeof second, 46u);
    EXPECT_STREQ(reinterpret_cast<const char*>(second), "https://www.example.com/mixolyte/welcome.html");
    // The stored bytes are the text XOR the key stream of seed 0x2B6D4F19,
    // worked out by hand from the rule (k := ((k + n)^2) >> 8, n counting
    // down from the length, the low byte of k as the key), not with
    // ScrambleWebAddress: a mistake in it could not hide here.
    const std::uint8_t key24[24] = {0x47, 0xFE, 0x79, 0x8E, 0xF6, 0xF2, 0xB8, 0xCD, 0xE0, 0x57, 0xE9, 0x44,
                                    0xD9, 0x53, 0x79, 0x52, 0x1B, 0x9C, 0x02, 0xF6, 0x6C, 0x8C, 0x92, 0x64};
    const std::uint8_t key46[46] = {0xE5, 0x6D, 0xC5, 0xA1, 0x9E, 0x92, 0x5F, 0xEA, 0xA1, 0x81, 0x12, 0x5A,
                                    0xF4, 0x17, 0xD7, 0x14, 0xB1, 0x01, 0x87, 0xEA, 0x00, 0x2C, 0xCA, 0x41,
                                    0x91, 0x87, 0x95, 0xCE, 0xC4, 0x07, 0x86, 0x64, 0xBE, 0x70, 0x04, 0x1C,
                                    0x41, 0x3D, 0x68, 0x98, 0xB5, 0x53, 0x33, 0xD7, 0x61, 0xC9};
    EXPECT_EQ(kWebAddressSeed, 0x2B6D4F19);
    const char text24[] = "https://www.example.com";
    const char text46[] = "https://www.example.com/mixolyte/welcome.html";
    for (std::size_t i = 0; i < 24; ++i)
        EXPECT_EQ(kProductPageAddress[i], static_cast<std::uint8_t>(text24[i]) ^ key24[i]) << i;
    for (std::size_t i = 0; i < 46; ++i)
        EXPECT_EQ(kWelcomePageAddress[i], static_cast<std::uint8_t>(text46[i]) ^ key46[i]) << i;
    std::uint8_t zeros[46] = {};
    ScrambleWebAddress(zeros, 24, kWebAddressSeed);
    EXPECT_EQ(std::memcmp(zeros, key24, 24), 0);

    // Scrambling is its own inverse.
    ScrambleWebAddress(second, sizeof second, kWebAddressSeed);
    EXPECT_EQ(std::memcmp(second, kWelcomePageAddress, sizeof second), 0);
    // Another seed gives another text.
    ScrambleWebAddress(second, sizeof second, kWebAddressSeed + 1);
    EXPECT_NE(std::memcmp(second, "https://www.example.com/mixolyte/welcome.html", 46), 0);

    setup_context.main_window = reinterpret_cast<plat::Handle>(static_cast<std::uintptr_t>(0x777));
    plat::ComInitialize();
    char buffer[kWebPageBufferSize];
    std::memset(buffer, 0x55, sizeof buffer);
    OpenWebPageWith(buffer, kWelcomePageAddress, sizeof kWelcomePageAddress);
    ASSERT_EQ(Sim().windows.shell_executes.size(), 1u);
    EXPECT_EQ(Sim().windows.shell_executes[0].file, "https://www.example.com/mixolyte/welcome.html");
    for (char c : buffer) ASSERT_EQ(c, 0);

    // Bytes without a terminator, longer than the buffer, still open a
    // terminated text and never overrun.
    std::vector<std::uint8_t> huge(600, 0x41);
    OpenWebPageWith(buffer, huge.data(), huge.size());
    ASSERT_EQ(Sim().windows.shell_executes.size(), 2u);
    EXPECT_LE(Sim().windows.shell_executes[1].file.size(), 511u);
    for (char c : buffer) ASSERT_EQ(c, 0);
}
