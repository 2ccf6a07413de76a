// Every shortcut title the product's install may have made, for tests that
// plant a full set of shortcuts before a removal.
#pragma once
#include <string>
#include <vector>

inline const std::vector<std::string> kEveryShortcutTitle = {
    "Readme",          "Virtual IO Control Panel", "Virtual AUX IO Control Panel", "Mixolyte Kumbra",
    "Mixolyte Kumbra x64", "Macro Buttons",        "ZTAN-2-MIDI",                  "8x8 Output Matrix",
    "15 Bands Graphic EQ", "ML Streamer View",     "Mixolyte",                     "Mixolyte x64"};
