// What the window draws for each offer: texts, colours, fonts, positions
// and alignment, the picture, the label, and the release of the resources.
#include "setup/drawing.h"
#include "tests/shell_support.h"

using namespace shell_test;

namespace {

using ShellDrawing = ShellTest;

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
