// Fixed names of the setup program: its version, the product's web site,
// the single-instance mutex and the window classes. (The product's name,
// kProductName, and the window's report command live with the install
// sequence in install/install.h; the uninstall entry's key with the
// registry records in install/registry_records.h.)
#pragma once

#include "res/version.h"

// The setup program's version, as the version resource gives it.
inline constexpr char kSetupVersion[] = MIXO_VERSION_TEXT;

// The product's web site, as the failure texts of the sequences name it.
inline constexpr char kProductWebSite[] = "www.example.com/mixolyte";

// Only one copy of the setup program runs at a time: it holds this mutex.
// (The blank after "Installation-" belongs to the name.)
inline constexpr char kSetupMutexName[] =
    "ZT-Audio Mixolyte-Installation- Mutex-{12783DE4-C2B5-4698-9D26-EA7E355B50E9}";

// The setup program's window class, and the mixing console's, whose windows
// the setup program closes at start.
inline constexpr char kSetupWindowClass[] = "ZTMixolyte0Installer0MainWindow0";
inline constexpr char kConsoleWindowClass[] = "ZTCABLE0Mixolyte0MainWindow0";
