// Everything the main window shows, drawn with GDI: the picture, the "O/S"
// label, the white band with two status lines and the drawn button.
#pragma once
#include "platform/types.h"

// Geometry, relative to the picture's size W x H.
constexpr int kBandHeight = 100;
constexpr int kButtonLeftFromRight = 320;  // button: W - 320, H + 20, W - 20, H + 80
constexpr int kButtonRightFromRight = 20;
constexpr int kButtonTopBelowPicture = 20;
constexpr int kButtonBottomBelowPicture = 80;

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
