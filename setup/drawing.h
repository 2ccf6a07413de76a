// Everything the main window shows, drawn with GDI: the picture, the "O/S"
// label, the white band with two status lines and the drawn button.
#pragma once
#include <cstddef>

#include "platform/types.h"
#include "platform/windows.h"

// Geometry, relative to the picture's size W x H.
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

// The button's rectangle in the client area.
plat::Rect ButtonRect();
// The text of status line 0 or 1 as the offer shows it.
void StatusLineText(int line, char* text, std::size_t size);
// The step label as the busy button shows it (at most 131 characters).
void StepLabelText(char* text, std::size_t size);

// Creates the fonts, loads the picture with its size and the hand cursor.
void LoadDrawingResources();
// Deletes the picture and the fonts that are set, and clears their fields.
void ReleaseDrawingResources();
// The picture at 0, 0.
void DrawBackground(plat::Handle dc);
// The "O/S" label, the band with its status lines, the button not pressed.
void PaintWindow(plat::Handle dc);
// The band with the two status lines of the offer.
void DrawStatus(plat::Handle dc);
// The button, white with a black label, or pressed: black with a white label.
void DrawButton(plat::Handle dc, int pressed);
// The black busy box: "Installing" on phase 1 only, the step label always.
void DrawBusyButton(plat::Handle dc, int phase);
