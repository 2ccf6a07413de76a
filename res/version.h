// The setup program's version, in one place: the version resource
// (res/setup.rc) and the program's texts (the window title, the uninstall
// entry's "DisplayVersion") are made from these numbers, so they cannot
// disagree. Plain macros: the resource compiler reads this file too.
#pragma once

#define MIXO_VERSION_MAJOR 2
#define MIXO_VERSION_MINOR 1
#define MIXO_VERSION_PATCH 2
#define MIXO_VERSION_BUILD 2

#define MIXO_VERSION_STRING_(x) #x
#define MIXO_VERSION_STRING(x) MIXO_VERSION_STRING_(x)
// "2.1.2.2"
#define MIXO_VERSION_TEXT                                                                         \
    MIXO_VERSION_STRING(MIXO_VERSION_MAJOR) "." MIXO_VERSION_STRING(MIXO_VERSION_MINOR) "." \
        MIXO_VERSION_STRING(MIXO_VERSION_PATCH) "." MIXO_VERSION_STRING(MIXO_VERSION_BUILD)
