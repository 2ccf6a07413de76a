// Everything the main window shows, drawn with GDI: the picture, the "O/S"
// label, the white band with two status lines and the drawn button.
#pragma once
#include <cstddef>

#include "platform/types.h"
#include "platform/windows.h"

// Geometry at 100% (96 DPI), relative to the 100% picture's size W x H;
// every coordinate is scaled to the window's DPI as the last step.
constexpr int kBandHeight = 100;
constexpr int kButtonLeftFromRight = 320;  // button: W - 320, H + 20, W - 20, H + 80
constexpr int kButtonRightFromRight = 20;
constexpr int kButtonTopBelowPicture = 20;
constexpr int kButtonBottomBelowPicture = 80;

// Where the picture's "O/S" label is drawn (its shadow one pixel further).
constexpr int kOsLabelLeft = 20;
constexpr int kOsLabelTop = 390;
constexpr int kOsLabelRightFromRight = 160;
// The status lines: each starts here below the picture, 20 pixels apart.
constexpr int kStatusLeft = 20;
constexpr int kStatusTopBelowPicture = 30;
constexpr int kStatusLineHeight = 20;
// The step label: the bottom 20 pixels of the busy button.
constexpr int kStepLabelHeight = 20;

// The DPI the window is drawn for, set before the resources are loaded:
// at most 192 (200%, the largest picture drawn; above it the window is
// drawn as at 200%, as no picture is ever scaled up). 0 or less: 96.
void SetDrawingDpi(int dpi);
// The one scaling rule: PIXELS at 96 DPI to the drawing DPI, rounded to
// the nearest pixel, halves away from zero (as MulDiv rounds).
int ScaledPixels(int pixels);
plat::Rect ScaledRect(const plat::Rect& rect);
// The client area's size at the drawing DPI: the picture and the band.
int ScaledClientWidth();
int ScaledClientHeight();
// The height of the picture in the client area (clicks above it open the
// product page).
int ScaledPictureHeight();

// The button's rectangle at 100%, and in the client area.
plat::Rect ButtonRectAt100();
plat::Rect ButtonRect();
// Stores ButtonRect in button_rect, where the click test reads it.
void StoreButtonRect();
// The text of status line 0 or 1 as the offer shows it.
void StatusLineText(int line, char* text, std::size_t size);
// The step label as the busy button shows it (at most 131 characters).
void StepLabelText(char* text, std::size_t size);

// Creates the fonts at the drawing DPI, loads the picture drawn for it
// (its 100% size in bitmap_width and bitmap_height) and the hand cursor.
void LoadDrawingResources();
// Deletes the picture and the fonts that are set, and clears their fields.
void ReleaseDrawingResources();
// The picture at 0, 0, at the drawing DPI: copied when drawn for it, else
// the larger picture loaded is scaled down with HALFTONE.
void DrawBackground(plat::Handle dc);
// The "O/S" label, the band with its status lines, the button not pressed.
void PaintWindow(plat::Handle dc);
// The band with the two status lines of the offer.
void DrawStatus(plat::Handle dc);
// The button, white with a black label, or pressed: black with a white label.
void DrawButton(plat::Handle dc, int pressed);
// The black busy box: "Installing" on phase 1 only, the step label always.
void DrawBusyButton(plat::Handle dc, int phase);
