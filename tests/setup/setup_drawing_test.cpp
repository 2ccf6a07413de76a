// What the window draws for each offer: texts, colours, fonts, positions
// and alignment, the picture, the label, and the release of the resources.
#include "platform/accessibility.h"
#include "setup/drawing.h"
#include "tests/setup/setup_support.h"

using namespace setup_test;

namespace {

using ShellDrawing = SetupTest;

constexpr std::uint32_t kBlack = plat::Rgb(0, 0, 0);
constexpr std::uint32_t kWhite = plat::Rgb(255, 255, 255);
constexpr std::uint32_t kGrey = plat::Rgb(100, 100, 100);

void ExpectRect(const plat::Rect& rect, int left, int top, int right, int bottom) {
    EXPECT_EQ(rect.left, left);
    EXPECT_EQ(rect.top, top);
    EXPECT_EQ(rect.right, right);
    EXPECT_EQ(rect.bottom, bottom);
}

void ExpectFont(plat::Handle font, int height, int weight) {
    const SimGdiObject* object = SimGdi(font);
    ASSERT_NE(object, nullptr);
    EXPECT_EQ(object->kind, "font");
    EXPECT_EQ(object->height, height);
    EXPECT_EQ(object->weight, weight);
    EXPECT_EQ(object->face, "Arial");
}

int Stock(plat::Handle object) { return SimGdi(object)->stock_id; }

// The one paint of the window at start, as drawn: picture, label shadow,
// label, band, two status lines, button, button label.
void ExpectOfferPainted(const char* line1, const char* line2, const char* button, const char* label) {
    std::vector<SimDrawOp> ops = SimDrawOps();
    ASSERT_EQ(ops.size(), 8u);

    EXPECT_EQ(ops[0].op, "BitBlt");
    ExpectRect(ops[0].rect, 0, 0, 900, 424);
    EXPECT_EQ(ops[0].raster_op, plat::kSrcCopy);
    EXPECT_EQ(ops[0].source_bitmap, setup_context.background_bitmap);
    EXPECT_EQ(SimGdi(ops[0].source_bitmap)->resource_id, 101);

    for (int i : {1, 2}) {
        EXPECT_EQ(ops[i].op, "DrawText");
        EXPECT_EQ(ops[i].text, label);
        EXPECT_EQ(ops[i].format, plat::kDtSingleLine | plat::kDtLeft | plat::kDtTop);
        EXPECT_EQ(ops[i].background_mode, plat::kTransparent);
        ExpectFont(ops[i].font, 28, 400);
    }
    ExpectRect(ops[1].rect, 21, 391, 740, 424);  // the shadow, one pixel down and right
    EXPECT_EQ(ops[1].text_colour, kBlack);
    ExpectRect(ops[2].rect, 20, 390, 740, 424);
    EXPECT_EQ(ops[2].text_colour, kWhite);

    EXPECT_EQ(ops[3].op, "Rectangle");
    ExpectRect(ops[3].rect, 0, 424, 901, 525);
    EXPECT_EQ(Stock(ops[3].brush), plat::kWhiteBrush);
    EXPECT_EQ(Stock(ops[3].pen), plat::kNullPen);

    EXPECT_EQ(ops[4].text, line1);
    ExpectRect(ops[4].rect, 20, 454, 900, 524);
    EXPECT_EQ(ops[4].text_colour, kBlack);
    EXPECT_EQ(ops[4].format, plat::kDtSingleLine);
    EXPECT_EQ(ops[4].background_mode, plat::kTransparent);
    ExpectFont(ops[4].font, 16, 800);
    EXPECT_EQ(ops[5].text, line2);
    ExpectRect(ops[5].rect, 20, 474, 900, 524);
    EXPECT_EQ(ops[5].text_colour, kGrey);
    ExpectFont(ops[5].font, 16, 800);

    EXPECT_EQ(ops[6].op, "RoundRect");
    ExpectRect(ops[6].rect, 580, 444, 881, 505);
    EXPECT_EQ(ops[6].ellipse_width, 8);
    EXPECT_EQ(ops[6].ellipse_height, 8);
    EXPECT_EQ(Stock(ops[6].pen), plat::kBlackPen);
    EXPECT_EQ(Stock(ops[6].brush), plat::kWhiteBrush);

    EXPECT_EQ(ops[7].text, button);
    ExpectRect(ops[7].rect, 580, 444, 880, 504);
    EXPECT_EQ(ops[7].format, plat::kDtSingleLine | plat::kDtCenter | plat::kDtVCenter);
    EXPECT_EQ(ops[7].text_colour, kBlack);
    EXPECT_EQ(ops[7].background_mode, plat::kTransparent);
    ExpectFont(ops[7].font, 40, 400);

    // Every drawing went to the window itself.
    for (const SimDrawOp& op : ops) EXPECT_EQ(op.window, setup_context.main_window);
}

}  // namespace

TEST_F(ShellDrawing, InstallOfferIsPainted) {
    EXPECT_EQ(Run(""), 0);
    ExpectOfferPainted("Ready to install ? Click the button right there...",
                       "it will install ZT-Audio Mixolyte on your system...", "Install", "O/S: WIN10");
}

TEST_F(ShellDrawing, RemoveOfferIsPainted) {
    PutUninstallEntry("C:\\Program Files\\ZT\\Mixolyte\\MixolyteSetup.exe");
    Sim().system.version = plat::OsVersion{6, 1, 7601, 2, 1};
    EXPECT_EQ(Run(""), 0);
    ExpectOfferPainted("Mixolyte is already installed...",
                       "previous version has to be removed before installing new one...", "Remove", "O/S: WIN7");
}

TEST_F(ShellDrawing, DrawingLeavesTheContextAsItFoundIt) {
    EXPECT_EQ(Run(""), 0);
    // A context fresh from the window, drawn on by each operation: the
    // objects selected afterwards are those selected before.
    plat::Handle dc = plat::WindowDcGet(setup_context.main_window);
    SimDc before = Sim().windows.dcs[reinterpret_cast<std::uintptr_t>(dc)];
    PaintWindow(dc);
    DrawButton(dc, 1);
    DrawBusyButton(dc, 1);
    DrawStatus(dc);
    const SimDc& after = Sim().windows.dcs[reinterpret_cast<std::uintptr_t>(dc)];
    EXPECT_EQ(after.font, before.font);
    EXPECT_EQ(after.brush, before.brush);
    EXPECT_EQ(after.pen, before.pen);
    plat::WindowDcRelease(setup_context.main_window, dc);
}

TEST_F(ShellDrawing, ResourcesAreLoadedOnceAndReleasedAtTheEnd) {
    SimScriptCall([] {
        EXPECT_EQ(setup_context.bitmap_width, 900);
        EXPECT_EQ(setup_context.bitmap_height, 424);
        EXPECT_EQ(SimGdi(setup_context.hand_cursor)->resource_id, plat::kIdcHand);
        ExpectFont(setup_context.font_text, 16, 800);
        ExpectFont(setup_context.font_button, 40, 400);
        ExpectFont(setup_context.font_label, 28, 400);
    });
    SimScriptKey(plat::kVkEscape);
    EXPECT_EQ(Run(""), 0);
    EXPECT_EQ(setup_context.background_bitmap, nullptr);
    EXPECT_EQ(setup_context.font_text, nullptr);
    EXPECT_EQ(setup_context.font_label, nullptr);
    EXPECT_EQ(setup_context.font_button, nullptr);
    int fonts = 0, bitmaps = 0;
    for (const auto& [handle, object] : Sim().windows.objects) {
        if (object.stock_id >= 0) continue;
        if (object.kind == "font") {
            ++fonts;
            EXPECT_TRUE(object.deleted);
        }
        if (object.kind == "bitmap" && object.resource_id == 101) {
            ++bitmaps;
            EXPECT_TRUE(object.deleted);
        }
    }
    EXPECT_EQ(fonts, 3);
    EXPECT_EQ(bitmaps, 1);
    EXPECT_EQ(Sim().windows.refused_deletes, 0);
    // A second release (another WM_DESTROY) deletes nothing twice.
    ReleaseDrawingResources();
    EXPECT_EQ(Sim().windows.refused_deletes, 0);
    EXPECT_EQ(setup_context.background_bitmap, nullptr);
    EXPECT_EQ(setup_context.font_text, nullptr);
}

TEST_F(ShellDrawing, MissingPictureLeavesAWindowThatStillWorks) {
    Sim().windows.bitmaps.clear();
    SimScriptKey(plat::kVkEscape);
    EXPECT_EQ(Run(""), 0);
    EXPECT_EQ(setup_context.bitmap_width, 0);
    // No picture: nothing copied, the band at the top, the button on it.
    std::vector<SimDrawOp> blits = SimDrawOps("BitBlt");
    ASSERT_EQ(blits.size(), 1u);
    EXPECT_EQ(blits[0].rect.right, 0);
    EXPECT_EQ(setup_context.button_rect[0], -320);
    EXPECT_FALSE(Sim().windows.hung);
}

namespace {

// What the window draws at one DPI, worked out by hand from the 100%
// geometry (picture 900 x 424, band 100, fonts 16, 40 and 28).
struct Scale {
    int dpi;
    int picture_id;       // the bitmap loaded
    bool stretched;       // drawn from a larger picture with HALFTONE
    int client_width, client_height, picture_height;
    plat::Rect label, shadow, band, line1, line2, button;
    int corner;
    int text_font, button_font, label_font;
};

const Scale kScales[] = {
    {96, 101, false, 900, 524, 424, {20, 390, 740, 424}, {21, 391, 740, 424}, {0, 424, 901, 525},
     {20, 454, 900, 524}, {20, 474, 900, 524}, {580, 444, 880, 504}, 8, 16, 40, 28},
    {120, 125, false, 1125, 655, 530, {25, 488, 925, 530}, {26, 489, 925, 530}, {0, 530, 1126, 656},
     {25, 568, 1125, 655}, {25, 593, 1125, 655}, {725, 555, 1100, 630}, 10, 20, 50, 35},
    {144, 150, false, 1350, 786, 636, {30, 585, 1110, 636}, {32, 587, 1110, 636}, {0, 636, 1351, 787},
     {30, 681, 1350, 786}, {30, 711, 1350, 786}, {870, 666, 1320, 756}, 12, 24, 60, 42},
    {192, 200, false, 1800, 1048, 848, {40, 780, 1480, 848}, {42, 782, 1480, 848}, {0, 848, 1801, 1049},
     {40, 908, 1800, 1048}, {40, 948, 1800, 1048}, {1160, 888, 1760, 1008}, 16, 32, 80, 56},
    // 175%: no picture drawn for it, the 200% one scaled down.
    {168, 200, true, 1575, 917, 742, {35, 683, 1295, 742}, {37, 685, 1295, 742}, {0, 742, 1576, 918},
     {35, 795, 1575, 917}, {35, 830, 1575, 917}, {1015, 777, 1540, 882}, 14, 28, 70, 49},
};

// The paint after ops[first]: picture, label, band, status lines, button.
void ExpectPaintAt(const Scale& scale, std::size_t first) {
    std::vector<SimDrawOp> all = SimDrawOps();
    ASSERT_GE(all.size(), first + 8) << scale.dpi;
    std::vector<SimDrawOp> ops(all.begin() + static_cast<std::ptrdiff_t>(first), all.end());
    SCOPED_TRACE(scale.dpi);

    EXPECT_EQ(ops[0].op, scale.stretched ? "StretchBlt" : "BitBlt");
    ExpectRect(ops[0].rect, 0, 0, scale.client_width, scale.picture_height);
    EXPECT_EQ(ops[0].raster_op, plat::kSrcCopy);
    EXPECT_EQ(SimGdi(ops[0].source_bitmap)->resource_id, scale.picture_id);
    if (scale.stretched) {
        // Never up: the source is the larger picture, whole.
        EXPECT_TRUE(ops[0].halftone);
        EXPECT_EQ(ops[0].source_width, 1800);
        EXPECT_EQ(ops[0].source_height, 848);
    }
    const plat::Rect& l = scale.label;
    const plat::Rect& s = scale.shadow;
    ExpectRect(ops[1].rect, s.left, s.top, s.right, s.bottom);
    ExpectRect(ops[2].rect, l.left, l.top, l.right, l.bottom);
    ExpectFont(ops[2].font, scale.label_font, 400);
    EXPECT_EQ(ops[3].op, "Rectangle");
    ExpectRect(ops[3].rect, scale.band.left, scale.band.top, scale.band.right, scale.band.bottom);
    ExpectRect(ops[4].rect, scale.line1.left, scale.line1.top, scale.line1.right, scale.line1.bottom);
    ExpectRect(ops[5].rect, scale.line2.left, scale.line2.top, scale.line2.right, scale.line2.bottom);
    ExpectFont(ops[4].font, scale.text_font, 800);
    ExpectFont(ops[5].font, scale.text_font, 800);
    const plat::Rect& b = scale.button;
    EXPECT_EQ(ops[6].op, "RoundRect");
    ExpectRect(ops[6].rect, b.left, b.top, b.right + 1, b.bottom + 1);
    EXPECT_EQ(ops[6].ellipse_width, scale.corner);
    EXPECT_EQ(ops[6].ellipse_height, scale.corner);
    ExpectRect(ops[7].rect, b.left, b.top, b.right, b.bottom);
    ExpectFont(ops[7].font, scale.button_font, 400);
    EXPECT_EQ(setup_context.button_rect[0], b.left);
    EXPECT_EQ(setup_context.button_rect[1], b.top);
    EXPECT_EQ(setup_context.button_rect[2], b.right);
    EXPECT_EQ(setup_context.button_rect[3], b.bottom);
}

void ExpectClientArea(const Scale& scale) {
    int width = 0, height = 0;
    SimClientSize(setup_context.main_window, &width, &height);
    EXPECT_EQ(width, scale.client_width) << scale.dpi;
    EXPECT_EQ(height, scale.client_height) << scale.dpi;
}

const Scale& ScaleFor(int dpi) {
    for (const Scale& scale : kScales)
        if (scale.dpi == dpi) return scale;
    return kScales[0];
}

}  // namespace

TEST_F(ShellDrawing, EachDpiScalesTheGeometryFontsAndPictureAndTheClicksFollow) {
    for (const Scale& scale : kScales) {
        SetUp();
        Sim().windows.system_dpi = scale.dpi;
        // Clicks at the button's scaled centre and into the picture below
        // where the 100% picture ends; the band beside the button is dead.
        int centre_x = (scale.button.left + scale.button.right) / 2;
        int centre_y = (scale.button.top + scale.button.bottom) / 2;
        SimScriptClick(scale.button.left - 10, centre_y);
        SimScriptClick(20, scale.picture_height - 1);
        SimScriptCall([&scale] {
            ExpectClientArea(scale);
            ExpectPaintAt(scale, 0);
            EXPECT_EQ(setup_context.bitmap_width, 900);
            EXPECT_EQ(setup_context.bitmap_height, 424);
            EXPECT_EQ(Sim().windows.shell_executes.size(), 1u) << scale.dpi;
            EXPECT_EQ(Fakes().install_calls, 0) << scale.dpi;
        });
        SimScriptClick(centre_x, centre_y);
        SimScriptRunThreads();
        Run("");
        EXPECT_TRUE(Sim().windows.dpi_aware);
        EXPECT_EQ(Fakes().install_calls, 1) << scale.dpi;
    }
}

TEST_F(ShellDrawing, WhereWindowsCannotSayTheDpiTheWindowFallsBack) {
    // Above 200% no picture is enlarged: the window is drawn as at 200%.
    Sim().windows.system_dpi = 240;
    SimScriptKey(plat::kVkEscape);
    Run("");
    ExpectPaintAt(ScaleFor(192), 0);

    // Without GetDpiForWindow (before Windows 10): the system DPI, not the
    // DPI of the screen the window is on; a move says its DPI itself.
    SetUp();
    Sim().windows.system_dpi = 144;
    Sim().windows.dpi_for_window_missing = true;
    SimScriptCall([] { ExpectClientArea(ScaleFor(144)); });
    SimScriptMoveToDpi(120);
    SimScriptCall([] { ExpectClientArea(ScaleFor(120)); });
    SimScriptKey(plat::kVkEscape);
    Run("");

    // Windows XP has no DPI awareness: drawn at 100% whatever its DPI.
    SetUp();
    Sim().windows.system_dpi = 144;
    Sim().windows.dpi_awareness_missing = true;
    SimScriptCall([] {
        ExpectClientArea(ScaleFor(96));
        ExpectOfferPainted("Ready to install ? Click the button right there...",
                           "it will install ZT-Audio Mixolyte on your system...", "Install", "O/S: WIN10");
    });
    SimScriptKey(plat::kVkEscape);
    Run("");
    EXPECT_FALSE(Sim().windows.dpi_aware);
}

TEST_F(ShellDrawing, AMoveToAnotherDpiRedrawsResizesAndMovesTheClickTestAndTheReadersRects) {
    std::size_t before_move = 0;
    SimScriptCall([&before_move] {
        ExpectPaintAt(ScaleFor(96), 0);
        before_move = SimDrawOps().size();
    });
    SimScriptMoveToDpi(144);
    SimScriptCall([&before_move] {
        const Scale& scale = ScaleFor(144);
        // At the rectangle Windows suggested, its top left corner kept,
        // and painted again, all of it at 150%.
        const SimPlacement* moved = nullptr;
        for (const SimPlacement& placed : Sim().windows.placements)
            if (!(placed.flags & plat::kSwpNoMove)) moved = &placed;
        ASSERT_NE(moved, nullptr);
        EXPECT_EQ(moved->x, 100);
        EXPECT_EQ(moved->y, 100);
        EXPECT_EQ(moved->flags & plat::kSwpNoZOrder, plat::kSwpNoZOrder);
        EXPECT_EQ(SimFindWindow(setup_context.main_window)->x, 100);
        ExpectClientArea(scale);
        ExpectPaintAt(scale, before_move);
        // The readers find the parts at their new places.
        EXPECT_GT(MainWindowProc(setup_context.main_window, plat::kWmGetObject, 0, -4), 0);
        plat::AccessibleItem button{};
        ASSERT_EQ(SimAccessibleDescribe(1, &button), 1);
        EXPECT_EQ(button.screen.left, 105 + scale.button.left);
        EXPECT_EQ(button.screen.top, 128 + scale.button.top);
        EXPECT_EQ(button.screen.right, 105 + scale.button.right);
        EXPECT_EQ(button.screen.bottom, 128 + scale.button.bottom);
        plat::AccessibleItem line2{};
        ASSERT_EQ(SimAccessibleDescribe(3, &line2), 1);
        EXPECT_EQ(line2.screen.top, 128 + 711);
        EXPECT_EQ(line2.screen.bottom, 128 + 741);

        // Back to 100%, the message handled here and now: the click test
        // follows at once, before any paint.
        plat::Rect suggested{100, 100, 100 + 910, 100 + 552};
        MainWindowProc(setup_context.main_window, plat::kWmDpiChanged, 96 | 96 << 16,
                       reinterpret_cast<std::intptr_t>(&suggested));
        EXPECT_EQ(setup_context.button_rect[0], 580);
        EXPECT_EQ(setup_context.button_rect[1], 444);
        EXPECT_EQ(setup_context.button_rect[2], 880);
        EXPECT_EQ(setup_context.button_rect[3], 504);
        ExpectClientArea(ScaleFor(96));
        before_move = SimDrawOps().size();
    });
    SimScriptCall([&before_move] {
        // The same calls as the first paint.
        ExpectPaintAt(ScaleFor(96), before_move);
        EXPECT_EQ(SimDrawOps().size(), before_move + 8);
    });
    SimScriptClick(730, 474);
    SimScriptRunThreads();
    Run("");
    EXPECT_EQ(Fakes().install_calls, 1);

    // Every font and picture made for a DPI was deleted again, once each.
    int fonts = 0;
    std::vector<int> pictures;
    for (const auto& [handle, object] : Sim().windows.objects) {
        if (object.stock_id >= 0) continue;
        if (object.kind == "font") {
            ++fonts;
            EXPECT_TRUE(object.deleted);
        }
        if (object.kind == "bitmap" && object.resource_id != 0) {
            pictures.push_back(object.resource_id);
            EXPECT_TRUE(object.deleted) << object.resource_id;
        }
    }
    EXPECT_EQ(fonts, 9);
    EXPECT_EQ(pictures, (std::vector<int>{101, 150, 101}));
    EXPECT_EQ(Sim().windows.refused_deletes, 0);
    EXPECT_EQ(Sim().windows.invalidations, 2);
}
