#include "setup/drawing.h"

#include "base/context.h"
#include "base/names.h"
#include "base/text.h"
#include "platform/windows.h"
#include "setup/probe.h"

namespace {

constexpr std::uint32_t kBlack = plat::Rgb(0, 0, 0);
constexpr std::uint32_t kWhite = plat::Rgb(255, 255, 255);
constexpr std::uint32_t kGrey = plat::Rgb(100, 100, 100);
constexpr int kFontWeightText = 800;
constexpr int kFontWeightRegular = 400;

void StoreButtonRect(const plat::Rect& rect) {
    setup_context.button_rect[0] = rect.left;
    setup_context.button_rect[1] = rect.top;
    setup_context.button_rect[2] = rect.right;
    setup_context.button_rect[3] = rect.bottom;
}

// What a button face replaced in the device context, put back when done.
struct ReplacedObjects {
    plat::Handle pen, brush, font;
};

// Both button faces, at the button's place (stored for the clicks, given
// in RECT): a round rectangle in a black pen filled with BRUSH, and the
// button font on no background in TEXT_COLOUR for the words on it.
ReplacedObjects BeginButtonFace(plat::Handle dc, plat::Rect* rect, int brush, std::uint32_t text_colour) {
    *rect = ButtonRect();
    StoreButtonRect(*rect);
    ReplacedObjects replaced{plat::DcSelect(dc, plat::StockObject(plat::kBlackPen)),
                             plat::DcSelect(dc, plat::StockObject(brush)),
                             plat::DcSelect(dc, setup_context.font_button)};
    plat::DcSetBackgroundMode(dc, plat::kTransparent);
    plat::DcSetTextColour(dc, text_colour);
    plat::DcRoundRect(dc, rect->left, rect->top, rect->right + 1, rect->bottom + 1, 8, 8);
    return replaced;
}

void EndButtonFace(plat::Handle dc, const ReplacedObjects& replaced) {
    plat::DcSelect(dc, replaced.pen);
    plat::DcSelect(dc, replaced.brush);
    plat::DcSelect(dc, replaced.font);
}

}  // namespace

plat::Rect ButtonRect() {
    const SetupContext& context = setup_context;
    int width = context.bitmap_width;
    int height = context.bitmap_height;
    return plat::Rect{width - kButtonLeftFromRight, height + kButtonTopBelowPicture, width - kButtonRightFromRight,
                      height + kButtonBottomBelowPicture};
}

void StatusLineText(int line, char* text, std::size_t size) {
    const SetupContext& context = setup_context;
    if (line == 0) {
        if (context.remove_mode) FormatText(text, size, "%s is already installed...", kProductName);
        else CopyText(text, size, "Ready to install ? Click the button right there...");
    } else {
        if (context.remove_mode)
            CopyText(text, size, "previous version has to be removed before installing new one...");
        else FormatText(text, size, "it will install ZT-Audio %s on your system...", kProductName);
    }
}

void StepLabelText(char* text, std::size_t size) {
    // The worker may be writing the label meanwhile: take at most 131
    // characters of it, never reading past its buffer.
    char step[132];
    CopyTextBounded(step, sizeof step, setup_context.step_text, sizeof setup_context.step_text);
    CopyText(text, size, step);
}

void LoadDrawingResources() {
    SetupContext& context = setup_context;
    context.font_text = plat::FontCreate(16, kFontWeightText, "Arial");
    context.font_button = plat::FontCreate(40, kFontWeightRegular, "Arial");
    context.font_label = plat::FontCreate(28, kFontWeightRegular, "Arial");
    context.background_bitmap = plat::BitmapLoad(context.instance, 101);
    if (context.background_bitmap != nullptr) {
        int width = 0, height = 0;
        if (plat::BitmapSize(context.background_bitmap, &width, &height)) {
            context.bitmap_width = width;
            context.bitmap_height = height;
        }
    }
    context.hand_cursor = plat::CursorLoadSystem(plat::kIdcHand);
}

void ReleaseDrawingResources() {
    SetupContext& context = setup_context;
    plat::Handle* objects[] = {&context.background_bitmap, &context.font_text, &context.font_button,
                               &context.font_label};
    for (plat::Handle* object : objects) {
        if (*object != nullptr) plat::GdiObjectDelete(*object);
        *object = nullptr;
    }
}

void DrawBackground(plat::Handle dc) {
    plat::Handle memory = plat::DcCreateCompatible(dc);
    if (memory == nullptr) return;
    plat::Handle previous = plat::DcSelect(memory, setup_context.background_bitmap);
    int width = 0, height = 0;
    plat::BitmapSize(setup_context.background_bitmap, &width, &height);
    plat::DcBitBlt(dc, 0, 0, width, height, memory, 0, 0, plat::kSrcCopy);
    plat::DcSelect(memory, previous);
    plat::DcDelete(memory);
}

void PaintWindow(plat::Handle dc) {
    const SetupContext& context = setup_context;
    plat::Handle previous_font = plat::DcSelect(dc, context.font_label);
    plat::DcSetBackgroundMode(dc, plat::kTransparent);

    // A white label with a black shadow one pixel down and right.
    const char* label = OsVersionLabel(context.os_version_code);
    plat::Rect shadow{kOsLabelLeft + 1, kOsLabelTop + 1, context.bitmap_width - kOsLabelRightFromRight,
                      context.bitmap_height};
    plat::DcSetTextColour(dc, kBlack);
    plat::DcDrawText(dc, label, &shadow, plat::kDtSingleLine | plat::kDtLeft | plat::kDtTop);
    plat::Rect rect{kOsLabelLeft, kOsLabelTop, context.bitmap_width - kOsLabelRightFromRight, context.bitmap_height};
    plat::DcSetTextColour(dc, kWhite);
    plat::DcDrawText(dc, label, &rect, plat::kDtSingleLine | plat::kDtLeft | plat::kDtTop);

    plat::DcSelect(dc, previous_font);
    DrawStatus(dc);
    DrawButton(dc, 0);
}

void DrawStatus(plat::Handle dc) {
    const SetupContext& context = setup_context;
    int width = context.bitmap_width;
    int height = context.bitmap_height;
    plat::Handle previous_brush = plat::DcSelect(dc, plat::StockObject(plat::kWhiteBrush));
    plat::Handle previous_pen = plat::DcSelect(dc, plat::StockObject(plat::kNullPen));
    plat::DcRectangle(dc, 0, height, width + 1, height + kBandHeight + 1);

    plat::Handle previous_font = plat::DcSelect(dc, context.font_text);
    plat::DcSetTextColour(dc, kBlack);
    plat::DcSetBackgroundMode(dc, plat::kTransparent);

    char line[512];
    StatusLineText(0, line, sizeof line);
    plat::Rect rect{kStatusLeft, height + kStatusTopBelowPicture, width, height + kBandHeight};
    plat::DcDrawText(dc, line, &rect, plat::kDtSingleLine);

    rect.top += kStatusLineHeight;
    plat::DcSetTextColour(dc, kGrey);
    StatusLineText(1, line, sizeof line);
    plat::DcDrawText(dc, line, &rect, plat::kDtSingleLine);

    plat::DcSelect(dc, previous_brush);
    plat::DcSelect(dc, previous_pen);
    plat::DcSelect(dc, previous_font);
}

void DrawButton(plat::Handle dc, int pressed) {
    const SetupContext& context = setup_context;
    plat::Rect rect;
    const ReplacedObjects replaced =
        BeginButtonFace(dc, &rect, pressed ? plat::kBlackBrush : plat::kWhiteBrush, pressed ? kWhite : kBlack);
    plat::DcDrawText(dc, context.remove_mode ? "Remove" : "Install", &rect,
                     plat::kDtSingleLine | plat::kDtCenter | plat::kDtVCenter);
    EndButtonFace(dc, replaced);
}

void DrawBusyButton(plat::Handle dc, int phase) {
    const SetupContext& context = setup_context;
    plat::Rect rect;
    const ReplacedObjects replaced = BeginButtonFace(dc, &rect, plat::kBlackBrush, kWhite);

    if (phase == 1) {
        plat::Rect word = rect;
        word.bottom -= 15;
        plat::DcDrawText(dc, "Installing", &word, plat::kDtSingleLine | plat::kDtCenter | plat::kDtVCenter);
    }

    char step[132];
    StepLabelText(step, sizeof step);
    plat::DcSelect(dc, context.font_text);
    plat::Rect label{rect.left, rect.bottom - kStepLabelHeight, rect.right, rect.bottom};
    plat::DcDrawText(dc, step, &label, plat::kDtSingleLine | plat::kDtCenter | plat::kDtTop);
    EndButtonFace(dc, replaced);
}
