// Simulated system facts: Windows version, WOW64, the clock, named mutexes.
#pragma once

struct SimSystem {
    // A 64-bit Windows: the 32-bit program then runs under WOW64 and its
    // HKLM\SOFTWARE view is redirected.
    bool is_64bit = false;
};
