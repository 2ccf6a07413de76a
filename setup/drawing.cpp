#include "setup/drawing.h"

#include <cstdint>
#include <iterator>

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

// The pictures drawn for the window, smallest first: resource id and scale.
struct Picture {
    int resource_id;
    int percent;
};
constexpr Picture kPictures[] = {{101, 100}, {125, 125}, {150, 150}, {200, 200}};
constexpr int kLargestDpi = plat::kDefaultDpi * 2;

int drawing_dpi = plat::kDefaultDpi;

// The picture drawn for DPI, or else the next larger one.
const Picture& PictureFor(int dpi) {
    for (const Picture& picture : kPictures)
        if (picture.percent * plat::kDefaultDpi >= dpi * 100) return picture;
    return kPictures[std::size(kPictures) - 1];
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
    StoreButtonRect();
    ReplacedObjects replaced{plat::DcSelect(dc, plat::StockObject(plat::kBlackPen)),
                             plat::DcSelect(dc, plat::StockObject(brush)),
                             plat::DcSelect(dc, setup_context.font_button)};
    plat::DcSetBackgroundMode(dc, plat::kTransparent);
    plat::DcSetTextColour(dc, text_colour);
    int corner = ScaledPixels(8);
    plat::DcRoundRect(dc, rect->left, rect->top, rect->right + 1, rect->bottom + 1, corner, corner);
    return replaced;
}

void EndButtonFace(plat::Handle dc, const ReplacedObjects& replaced) {
    plat::DcSelect(dc, replaced.pen);
    plat::DcSelect(dc, replaced.brush);
    plat::DcSelect(dc, replaced.font);
}

}  // namespace

void SetDrawingDpi(int dpi) {
    if (dpi <= 0) dpi = plat::kDefaultDpi;
    drawing_dpi = dpi < kLargestDpi ? dpi : kLargestDpi;
}

int ScaledPixels(int pixels) {
    std::int64_t product = static_cast<std::int64_t>(pixels) * drawing_dpi;
    std::int64_t half = product < 0 ? -plat::kDefaultDpi / 2 : plat::kDefaultDpi / 2;
    return static_cast<int>((product + half) / plat::kDefaultDpi);
}

plat::Rect ScaledRect(const plat::Rect& rect) {
    return plat::Rect{ScaledPixels(rect.left), ScaledPixels(rect.top), ScaledPixels(rect.right),
                      ScaledPixels(rect.bottom)};
}

int ScaledClientWidth() { return ScaledPixels(setup_context.bitmap_width); }
int ScaledClientHeight() { return ScaledPixels(setup_context.bitmap_height + kBandHeight); }
int ScaledPictureHeight() { return ScaledPixels(setup_context.bitmap_height); }

plat::Rect ButtonRectAt100() {
    const SetupContext& context = setup_context;
    int width = context.bitmap_width;
    int height = context.bitmap_height;
    return plat::Rect{width - kButtonLeftFromRight, height + kButtonTopBelowPicture, width - kButtonRightFromRight,
                      height + kButtonBottomBelowPicture};
}

plat::Rect ButtonRect() { return ScaledRect(ButtonRectAt100()); }

void StoreButtonRect() {
    plat::Rect rect = ButtonRect();
    setup_context.button_rect[0] = rect.left;
    setup_context.button_rect[1] = rect.top;
    setup_context.button_rect[2] = rect.right;
    setup_context.button_rect[3] = rect.bottom;
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
    context.font_text = plat::FontCreate(ScaledPixels(16), kFontWeightText, "Arial");
    context.font_button = plat::FontCreate(ScaledPixels(40), kFontWeightRegular, "Arial");
    context.font_label = plat::FontCreate(ScaledPixels(28), kFontWeightRegular, "Arial");
    // Each picture is the 100% one drawn at its scale: the geometry keeps
    // working from the 100% size.
    const Picture& picture = PictureFor(drawing_dpi);
    context.background_bitmap = plat::BitmapLoad(context.instance, picture.resource_id);
    if (context.background_bitmap != nullptr) {
        int width = 0, height = 0;
        if (plat::BitmapSize(context.background_bitmap, &width, &height)) {
            context.bitmap_width = width * 100 / picture.percent;
            context.bitmap_height = height * 100 / picture.percent;
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
    int wanted_width = ScaledClientWidth();
    int wanted_height = ScaledPictureHeight();
    if (width == wanted_width && height == wanted_height)
        plat::DcBitBlt(dc, 0, 0, width, height, memory, 0, 0, plat::kSrcCopy);
    else
        plat::DcStretchBltHalftone(dc, 0, 0, wanted_width, wanted_height, memory, width, height);
    plat::DcSelect(memory, previous);
    plat::DcDelete(memory);
}

void PaintWindow(plat::Handle dc) {
    const SetupContext& context = setup_context;
    plat::Handle previous_font = plat::DcSelect(dc, context.font_label);
    plat::DcSetBackgroundMode(dc, plat::kTransparent);

    // A white label with a black shadow one pixel down and right.
    const char* label = OsVersionLabel(context.os_version_code);
    plat::Rect rect = ScaledRect(
        {kOsLabelLeft, kOsLabelTop, context.bitmap_width - kOsLabelRightFromRight, context.bitmap_height});
    plat::Rect shadow = rect;
    shadow.left += ScaledPixels(1);
    shadow.top += ScaledPixels(1);
    plat::DcSetTextColour(dc, kBlack);
    plat::DcDrawText(dc, label, &shadow, plat::kDtSingleLine | plat::kDtLeft | plat::kDtTop);
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
    plat::DcRectangle(dc, 0, ScaledPixels(height), ScaledPixels(width) + 1, ScaledPixels(height + kBandHeight) + 1);

    plat::Handle previous_font = plat::DcSelect(dc, context.font_text);
    plat::DcSetTextColour(dc, kBlack);
    plat::DcSetBackgroundMode(dc, plat::kTransparent);

    char line[512];
    StatusLineText(0, line, sizeof line);
    plat::Rect at100{kStatusLeft, height + kStatusTopBelowPicture, width, height + kBandHeight};
    plat::Rect rect = ScaledRect(at100);
    plat::DcDrawText(dc, line, &rect, plat::kDtSingleLine);

    at100.top += kStatusLineHeight;
    rect = ScaledRect(at100);
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

    const plat::Rect at100 = ButtonRectAt100();
    if (phase == 1) {
        plat::Rect word = ScaledRect({at100.left, at100.top, at100.right, at100.bottom - 15});
        plat::DcDrawText(dc, "Installing", &word, plat::kDtSingleLine | plat::kDtCenter | plat::kDtVCenter);
    }

    char step[132];
    StepLabelText(step, sizeof step);
    plat::DcSelect(dc, context.font_text);
    plat::Rect label = ScaledRect({at100.left, at100.bottom - kStepLabelHeight, at100.right, at100.bottom});
    plat::DcDrawText(dc, step, &label, plat::kDtSingleLine | plat::kDtCenter | plat::kDtTop);
    EndButtonFace(dc, replaced);
}
