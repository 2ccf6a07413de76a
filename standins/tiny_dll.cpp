// Stand-in for the small DLLs the package carries and the setup program
// never loads: the remote-control API (MixolyteRemote[64].dll) and the MP3
// encoder (mp3lame\lame_enc[64].dll). Tests load them into a stand-in window
// program ("--hold") to have a package DLL in use. One source, built per
// name with MIXO_DLL_DESCRIPTION.
#include <windows.h>

#ifndef MIXO_DLL_DESCRIPTION
#error "build with MIXO_DLL_DESCRIPTION"
#endif

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) DisableThreadLibraryCalls(instance);
    return TRUE;
}

// What this file is, for a person or a test that loads it.
extern "C" __declspec(dllexport) const char* WINAPI StandinDescription() { return MIXO_DLL_DESCRIPTION; }
