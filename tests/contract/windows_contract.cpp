// What the window, message-queue and drawing operations do: classes and
// windows, the order of posted messages and the quit message, timers,
// other windows by class, title and owner, frame metrics, GDI objects and
// device contexts.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/accessibility.h"
#include "platform/system.h"
#include "platform/windows.h"
#include "tests/contract/env.h"

namespace {

constexpr char kClass[] = "MixoContractWindow";
constexpr char kTitle[] = "Mixolyte Contract Window";
constexpr std::uint32_t kWsCaptionWindow = plat::kWsCaption | plat::kWsSysMenu;

// What the contract's window procedure saw.
struct Seen {
    std::vector<std::uint32_t> messages;  // WM_CREATE, WM_DESTROY and WM_USER + n, in order
    std::vector<std::uintptr_t> wparams;
    int refuse_create = 0;
};
Seen seen;

std::intptr_t ContractProc(plat::Handle window, std::uint32_t message, std::uintptr_t wparam, std::intptr_t lparam) {
    if (message == plat::kWmCreate) {
        seen.messages.push_back(message);
        return seen.refuse_create ? -1 : 0;
    }
    if (message == plat::kWmDestroy || (message >= plat::kWmUser && message < plat::kWmUser + 100)) {
        seen.messages.push_back(message);
        seen.wparams.push_back(wparam);
        return message == plat::kWmUser + 5 ? 42 : 0;
    }
    return plat::WindowDefaultProc(window, message, wparam, lparam);
}

struct WindowsContract : ::testing::Test {
    plat::Handle window = nullptr;

    void SetUp() override {
        ContractSetUp();
        ContractPrepareWindows();
        seen = Seen();
        plat::WindowClassSpec spec{};
        spec.style = plat::kCsVRedraw | plat::kCsHRedraw;
        spec.procedure = ContractProc;
        spec.instance = ContractResourceModule();
        spec.cursor = plat::CursorLoadSystem(plat::kIdcArrow);
        spec.background = 6;  // COLOR_WINDOW + 1
        spec.class_name = kClass;
        ASSERT_EQ(plat::WindowClassRegister(&spec), 1);
        window = plat::WindowCreate(0, kClass, kTitle, kWsCaptionWindow, 50, 50, 400, 300, ContractResourceModule());
        ASSERT_NE(window, nullptr);
    }
    void TearDown() override {
        if (window != nullptr && plat::WindowExists(window)) plat::WindowDestroy(window);
        // Whatever the test left in the queue, and a quit it posted.
        plat::WindowClassUnregister(kClass, ContractResourceModule());
    }

    // Messages until the quit message: the ones for the contract's
    // procedure are dispatched and recorded, the quit's code given.
    static int RunUntilQuit(std::vector<plat::Message>* received) {
        plat::Message message{};
        for (int guard = 0; guard < 10000; ++guard) {
            int got = plat::MessageGet(&message);
            if (got == 0) return static_cast<int>(message.wparam);
            if (got < 0) return -1000;
            if (message.message >= plat::kWmUser && message.message < plat::kWmUser + 100)
                received->push_back(message);
            plat::MessageTranslate(&message);
            plat::MessageDispatch(&message);
        }
        return -2000;
    }
};

}  // namespace

TEST_F(WindowsContract, ClassesRegisterOnceAndWindowsGetWmCreate) {
    EXPECT_EQ(seen.messages, std::vector<std::uint32_t>{plat::kWmCreate});
    plat::WindowClassSpec spec{};
    spec.procedure = ContractProc;
    spec.instance = ContractResourceModule();
    spec.class_name = kClass;
    EXPECT_EQ(plat::WindowClassRegister(&spec), 0);  // already there

    EXPECT_EQ(plat::WindowCreate(0, "MixoContractNoSuchClass", kTitle, kWsCaptionWindow, 0, 0, 10, 10,
                                 ContractResourceModule()),
              nullptr);
    // A procedure that refuses WM_CREATE: no window.
    seen.refuse_create = 1;
    EXPECT_EQ(plat::WindowCreate(0, kClass, kTitle, kWsCaptionWindow, 0, 0, 10, 10, ContractResourceModule()),
              nullptr);
    seen.refuse_create = 0;

    EXPECT_EQ(plat::WindowExists(window), 1);
    EXPECT_EQ(plat::WindowIsVisible(window), 0);
    // A live window of a thread with COM can hand out an accessible object
    // and raise events.
    static const plat::AccessibleModel model = {
        1, 1, [](plat::Handle, int, plat::AccessibleItem*) { return 0; }, [](plat::Handle, int) { return -1; }};
    std::int32_t com = plat::ComInitialize();
    int answered = 0;
    EXPECT_GT(plat::AccessibleAnswer(window, 0, &model, &answered), 0);
    EXPECT_EQ(answered, 1);
    plat::AccessibleNotify(window, plat::kEventObjectNameChange, 1);
    if (com >= 0) plat::ComUninitialize();
    seen.messages.clear();
    EXPECT_EQ(plat::WindowDestroy(window), 1);
    EXPECT_EQ(seen.messages, std::vector<std::uint32_t>{plat::kWmDestroy});
    EXPECT_EQ(plat::WindowExists(window), 0);
    int x = 0, y = 0;
    EXPECT_EQ(plat::WindowClientOrigin(window, &x, &y), 0);
    EXPECT_NE(plat::WindowFocused(), window);
    EXPECT_EQ(plat::WindowPostMessage(window, plat::kWmUser + 1, 0, 0), 0);
    window = nullptr;
}

TEST_F(WindowsContract, PostedMessagesComeInOrderAndTheQuitAfterThem) {
    EXPECT_EQ(plat::WindowPostMessage(window, plat::kWmUser + 1, 11, 111), 1);
    EXPECT_EQ(plat::WindowPostMessage(window, plat::kWmUser + 2, 22, -222), 1);
    plat::QuitPost(7);
    // Posted after the quit, still handed out before it.
    EXPECT_EQ(plat::WindowPostMessage(window, plat::kWmUser + 3, 33, 333), 1);
    std::vector<plat::Message> received;
    EXPECT_EQ(RunUntilQuit(&received), 7);
    ASSERT_EQ(received.size(), 3u);
    EXPECT_EQ(received[0].message, plat::kWmUser + 1);
    EXPECT_EQ(received[0].wparam, 11u);
    EXPECT_EQ(received[0].lparam, 111);
    EXPECT_EQ(received[1].message, plat::kWmUser + 2);
    EXPECT_EQ(received[1].lparam, -222);
    EXPECT_EQ(received[2].message, plat::kWmUser + 3);
    EXPECT_EQ(received[2].window, window);
    // Dispatching handed each one to the window's procedure.
    std::vector<std::uint32_t> expected = {plat::kWmCreate, plat::kWmUser + 1, plat::kWmUser + 2, plat::kWmUser + 3};
    EXPECT_EQ(seen.messages, expected);
}

TEST_F(WindowsContract, DispatchGivesTheProcedureResult) {
    plat::WindowPostMessage(window, plat::kWmUser + 5, 0, 0);
    plat::Message message{};
    for (;;) {
        ASSERT_EQ(plat::MessageGet(&message), 1);
        if (message.message == plat::kWmUser + 5) break;
        plat::MessageDispatch(&message);
    }
    EXPECT_EQ(plat::MessageDispatch(&message), 42);
}

TEST_F(WindowsContract, TimersTickThroughTheQueue) {
    EXPECT_EQ(plat::TimerSet(window, 77, 10), 77u);
    ContractLetTimersRun(100);
    plat::Message message{};
    bool ticked = false;
    for (int guard = 0; guard < 1000 && !ticked; ++guard) {
        ASSERT_EQ(plat::MessageGet(&message), 1);
        if (message.message == plat::kWmTimer) {
            EXPECT_EQ(message.window, window);
            EXPECT_EQ(message.wparam, 77u);
            ticked = true;
        }
        plat::MessageDispatch(&message);
    }
    EXPECT_TRUE(ticked);
    EXPECT_EQ(plat::TimerKill(window, 77), 1);
    EXPECT_EQ(plat::TimerKill(window, 77), 0);
    // Drain what is left, then end the loop.
    plat::QuitPost(0);
    std::vector<plat::Message> received;
    EXPECT_EQ(RunUntilQuit(&received), 0);
}

TEST_F(WindowsContract, ShowSizeAndClientArea) {
    EXPECT_EQ(plat::WindowShow(window, plat::kSwShow), 0);
    EXPECT_EQ(plat::WindowIsVisible(window), 1);
    EXPECT_EQ(plat::WindowUpdate(window), 1);
    EXPECT_EQ(plat::WindowShow(window, plat::kSwHide), 1);
    EXPECT_EQ(plat::WindowIsVisible(window), 0);

    ASSERT_EQ(plat::WindowSetPos(window, nullptr, 0, 0, 600, 400, plat::kSwpNoMove | plat::kSwpShowWindow), 1);
    EXPECT_EQ(plat::WindowIsVisible(window), 1);
    int width1 = 0, height1 = 0;
    ASSERT_EQ(plat::WindowClientSize(window, &width1, &height1), 1);
    EXPECT_GT(width1, 500);
    EXPECT_LT(width1, 600);
    EXPECT_GT(height1, 300);
    EXPECT_LT(height1, 400);
    ASSERT_EQ(plat::WindowSetPos(window, nullptr, 0, 0, 700, 450, plat::kSwpNoMove | plat::kSwpShowWindow), 1);
    int width2 = 0, height2 = 0;
    ASSERT_EQ(plat::WindowClientSize(window, &width2, &height2), 1);
    EXPECT_EQ(width2 - width1, 100);
    EXPECT_EQ(height2 - height1, 50);
    plat::WindowSetFocus(window);
    EXPECT_EQ(plat::WindowFocused(), window);
    // The client area starts inside the frame and below the caption of the
    // window placed at 50, 50.
    int x = 0, y = 0;
    ASSERT_EQ(plat::WindowClientOrigin(window, &x, &y), 1);
    EXPECT_GE(x, 50);
    EXPECT_LT(x, 50 + (700 - width2));
    EXPECT_GT(y, 50);
    EXPECT_LT(y, 50 + (450 - height2));

    plat::NonClientMetrics metrics{};
    ASSERT_EQ(plat::NonClientMetricsRead(344, &metrics), 1);
    EXPECT_GT(metrics.caption_height, 0);
    EXPECT_GE(metrics.border_width, 0);
    EXPECT_GE(metrics.padded_border_width, 0);
    EXPECT_EQ(plat::NonClientMetricsRead(100, &metrics), 0);
    EXPECT_GT(plat::SystemMetric(plat::kSmCyCaption), 0);
    EXPECT_GT(plat::SystemMetric(plat::kSmCxDlgFrame), 0);
}

namespace {

struct Visit {
    plat::Handle wanted;
    int visits;
    int found;
    int stop_after_first;
};

int VisitWindow(plat::Handle window, void* context) {
    auto* visit = static_cast<Visit*>(context);
    ++visit->visits;
    if (window == visit->wanted) ++visit->found;
    return visit->stop_after_first ? 0 : 1;
}

}  // namespace

TEST_F(WindowsContract, OtherWindowsByClassTitleAndOwner) {
    Visit visit{window, 0, 0, 0};
    plat::WindowsEnumerate(VisitWindow, &visit);
    EXPECT_EQ(visit.found, 1);
    Visit first{window, 0, 0, 1};
    plat::WindowsEnumerate(VisitWindow, &first);
    EXPECT_EQ(first.visits, 1);

    char buffer[512];
    EXPECT_EQ(plat::WindowClassName(window, buffer, sizeof buffer), static_cast<int>(std::strlen(kClass)));
    EXPECT_STREQ(buffer, kClass);
    EXPECT_EQ(plat::WindowTextRead(window, buffer, sizeof buffer), static_cast<int>(std::strlen(kTitle)));
    EXPECT_STREQ(buffer, kTitle);
    // Cut to the buffer, terminated.
    EXPECT_EQ(plat::WindowClassName(window, buffer, 5), 4);
    EXPECT_STREQ(buffer, "Mixo");
    EXPECT_EQ(plat::WindowTextRead(window, buffer, 5), 4);
    EXPECT_STREQ(buffer, "Mixo");
    EXPECT_EQ(plat::WindowOwner(window), nullptr);

    plat::Handle user32 = plat::User32Open();
    ASSERT_NE(user32, plat::kInvalidHandle);
    plat::Handle reader = plat::User32WindowTextReader(user32);
    ASSERT_NE(reader, nullptr);
    char16_t wide[512];
    EXPECT_EQ(plat::WindowTextInternal(reader, window, wide, 512), static_cast<int>(std::strlen(kTitle)));
    EXPECT_EQ(std::u16string(wide), u"Mixolyte Contract Window");
    EXPECT_EQ(plat::WindowTextInternal(reader, window, wide, 5), 4);
    EXPECT_EQ(std::u16string(wide), u"Mixo");
    plat::User32Close(user32);
}

TEST_F(WindowsContract, GdiObjectsAndDrawing) {
    plat::Handle font = plat::FontCreate(28, 400, "Arial");
    ASSERT_NE(font, nullptr);
    plat::Handle bitmap = plat::BitmapLoad(ContractResourceModule(), 101);
    ASSERT_NE(bitmap, nullptr);
    int width = 0, height = 0;
    ASSERT_EQ(plat::BitmapSize(bitmap, &width, &height), 1);
    EXPECT_EQ(width, 4);
    EXPECT_EQ(height, 3);
    EXPECT_EQ(plat::BitmapLoad(ContractResourceModule(), 999), nullptr);
    EXPECT_EQ(plat::IconLoad(ContractResourceModule(), 100), nullptr);
    plat::Handle hand = plat::CursorLoadSystem(plat::kIdcHand);
    ASSERT_NE(hand, nullptr);
    EXPECT_EQ(plat::CursorLoadSystem(plat::kIdcHand), hand);  // shared system cursor
    EXPECT_NE(plat::CursorLoadSystem(plat::kIdcArrow), hand);
    plat::CursorSet(hand);

    plat::WindowShow(window, plat::kSwShow);
    plat::Handle dc = plat::WindowDcGet(window);
    ASSERT_NE(dc, nullptr);
    plat::Handle memory = plat::DcCreateCompatible(dc);
    ASSERT_NE(memory, nullptr);
    plat::Handle previous_bitmap = plat::DcSelect(memory, bitmap);
    EXPECT_NE(previous_bitmap, nullptr);
    EXPECT_EQ(plat::DcBitBlt(dc, 0, 0, width, height, memory, 0, 0, plat::kSrcCopy), 1);
    EXPECT_EQ(plat::DcStretchBltHalftone(dc, 0, 0, width * 2, height * 2, memory, width, height), 1);
    EXPECT_EQ(plat::DcStretchBltHalftone(dc, 0, 0, 2, 1, nullptr, width, height), 0);
    EXPECT_EQ(plat::DcSelect(memory, previous_bitmap), bitmap);
    EXPECT_EQ(plat::DcDelete(memory), 1);

    EXPECT_EQ(plat::DcSelect(dc, nullptr), nullptr);  // nothing selected, nothing changed
    plat::Handle previous_font = plat::DcSelect(dc, font);
    EXPECT_NE(previous_font, nullptr);
    EXPECT_EQ(plat::DcSetBackgroundMode(dc, plat::kTransparent), 2);  // OPAQUE before
    EXPECT_EQ(plat::DcSetBackgroundMode(dc, plat::kTransparent), plat::kTransparent);
    EXPECT_EQ(plat::DcSetTextColour(dc, plat::Rgb(100, 100, 100)), 0u);
    EXPECT_EQ(plat::DcSetTextColour(dc, 0), plat::Rgb(100, 100, 100));
    plat::Handle white = plat::StockObject(plat::kWhiteBrush);
    plat::Handle black = plat::StockObject(plat::kBlackBrush);
    ASSERT_NE(white, nullptr);
    ASSERT_NE(black, nullptr);
    EXPECT_NE(white, black);
    plat::Handle previous_brush = plat::DcSelect(dc, black);
    plat::Handle previous_pen = plat::DcSelect(dc, plat::StockObject(plat::kNullPen));
    EXPECT_EQ(plat::DcRectangle(dc, 0, 0, 50, 20), 1);
    EXPECT_EQ(plat::DcRoundRect(dc, 10, 10, 60, 40, 8, 8), 1);
    plat::Rect rect{0, 0, 200, 50};
    EXPECT_GT(plat::DcDrawText(dc, "Install", &rect, plat::kDtSingleLine | plat::kDtCenter | plat::kDtVCenter), 0);
    EXPECT_EQ(plat::DcSelect(dc, previous_brush), black);
    plat::DcSelect(dc, previous_pen);
    EXPECT_EQ(plat::DcSelect(dc, previous_font), font);
    EXPECT_EQ(plat::WindowDcRelease(window, dc), 1);

    // Display scaling: once DPI aware, the window's DPI is its screen's (the
    // test machines run at 100%); invalidated, it is painted again.
    EXPECT_EQ(plat::DpiAwarenessDeclare(), 1);
    EXPECT_EQ(plat::WindowDpi(window), plat::kDefaultDpi);
    EXPECT_EQ(plat::WindowInvalidate(window), 1);

    // Paint: a context for the window's client area, given back at the end.
    plat::PaintSession session;
    EXPECT_NE(plat::PaintBegin(window, &session), nullptr);
    EXPECT_EQ(session.dc != nullptr, true);
    plat::PaintEnd(window, &session);

    EXPECT_EQ(plat::GdiObjectDelete(font), 1);
    EXPECT_EQ(plat::GdiObjectDelete(bitmap), 1);
    EXPECT_EQ(plat::GdiObjectDelete(font), 0);  // already gone
    EXPECT_NE(plat::GdiObjectDelete(white), 0);  // stock objects stay, the call says yes
}
