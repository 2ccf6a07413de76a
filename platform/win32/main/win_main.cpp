// The Windows entry of MixolyteSetup.exe: only the instance handle and the
// command line (the text after the program name) are used.
#include <windows.h>

#include "setup/setup_main.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE /*previous*/, LPSTR command_line, int /*show*/) {
    return SetupMain(instance, command_line);
}
