// The program entry: switches, the single-instance guard, closing the
// console's and the tools' windows, the main window and its message loop.
#pragma once
#include "base/context.h"
#include "platform/types.h"

// The User32 module (kInvalidHandle when it could not be loaded, null
// outside a run) and its InternalGetWindowText export (null when missing),
// for the tool-window passes.
extern plat::Handle user32_module;
extern plat::Handle window_text_reader;

// Sets hidden_mode, silent_install and silent_uninstall from the switches.
void ParseCommandLine(const char* command_line);
// Posts WM_DESTROY to every console main window whose title starts with
// the 8-bit title.
void CloseConsoleWindows(const char* title);
// Posts WM_DESTROY to every unowned top-level window whose UTF-16 title
// starts with the title.
void CloseToolWindows(const char16_t* title);
// Registers the class, creates the window and shows it (or hides it in
// hidden mode). Null after a "Startup Error".
plat::Handle CreateMainWindow(plat::Handle instance, const char* title);
// The whole program run: gives the exit code (kExit..., base/context.h). `command_line` is the text
// after the program name.
int SetupMain(plat::Handle instance, const char* command_line);
