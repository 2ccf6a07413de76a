// Simulated shell: special folders and the two lookup functions.
#pragma once
#include <map>
#include <set>
#include <string>

struct SimShell {
    bool special_folder_function = true;  // SHELL32's SHGetSpecialFolderPathA exported
    bool folder_path_function = true;     // SHFOLDER's SHGetFolderPathA exported
    // Folders by CSIDL; a CSIDL that is absent makes the calls fail.
    std::map<int, std::string> folders = {
        {0x07, "C:\\Users\\user\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs\\Startup"},
        {0x17, "C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs"},
        {0x26, "C:\\Program Files"},
    };
    std::set<int> special_folder_fails;  // CSIDLs SHGetSpecialFolderPathA fails for
};
