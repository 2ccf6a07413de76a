// Simulated system facts: Windows version, WOW64, the clock, the Windows
// folder, named mutexes.
#pragma once
#include <cstdint>
#include <string>

struct SimSystem {
    // A 64-bit Windows: the 32-bit program then runs under WOW64 and its
    // HKLM\SOFTWARE view is redirected.
    bool is_64bit = false;
    // The simulated clock: Sleep advances it at once; GetTickCount reads it
    // (a test may start it near its wrap).
    std::uint32_t tick_ms = 0x00010000u;
    std::uint64_t slept_ms = 0;  // all the sleeping done, for tests
    std::string windows_folder = "C:\\Windows";
    bool windows_folder_fails = false;
    // What CoInitialize answers, and the balance of initialisations left
    // open (tests check that every start is ended).
    std::int32_t com_initialize_result = 0;
    int com_open = 0;
};
