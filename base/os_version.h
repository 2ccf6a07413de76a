// The Windows generations as the program tells them apart: the values of
// SetupContext's os_version_code, each with its own "O/S" label, chosen
// from the version numbers at start.
#pragma once

constexpr int kWindowsUnknown = -1;   // no version read, or numbers the program does not know
constexpr int kWindowsBeforeXp = 0;   // 5.0 and older (Windows 2000)
constexpr int kWindowsXp = 1;         // 5.1
constexpr int kWindowsServer2003 = 2; // 5.2 (also XP x64)
constexpr int kWindowsVista = 3;      // 6.0, and 6.1 on a server (Server 2008 R2)
constexpr int kWindows7 = 4;          // 6.1 on a workstation
constexpr int kWindows8 = 5;          // 6.2
constexpr int kWindows81 = 6;         // 6.3
constexpr int kWindows10 = 7;         // 10 (also Windows 11)
constexpr int kWindowsAbove10 = 8;    // above 10
