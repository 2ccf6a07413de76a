// Simulated shell: special folders and the two lookup functions, and the
// shortcuts made through the shell-link component.
#pragma once
#include <functional>
#include <map>
#include <set>
#include <string>

// What the shell link saved into one .LNK file.
struct SimShellLink {
    std::string path;  // the .LNK file as saved
    std::string target;
    std::string description;
    bool has_arguments = false;  // SetArguments got a text (not null)
    std::string arguments;
    std::string working_folder;
};

struct SimShell {
    // A desktop shell runs as the logged-on user and opens files for the
    // program (IShellDispatch2::ShellExecute). Off, there is none to ask
    // (Server Core, Explorer ended).
    bool desktop_shell = true;
    bool special_folder_function = true;  // SHELL32's SHGetSpecialFolderPathA exported
    bool folder_path_function = true;     // SHFOLDER's SHGetFolderPathA exported
    // Folders by CSIDL; a CSIDL that is absent makes the calls fail.
    std::map<int, std::string> folders = {
        {0x07, "C:\\Users\\user\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs\\Startup"},
        {0x17, "C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs"},
        {0x26, "C:\\Program Files"},
    };
    std::set<int> special_folder_fails;  // CSIDLs SHGetSpecialFolderPathA fails for

    // Shortcuts by SimPathKey of the .LNK file; the file itself is in the
    // simulated file system.
    std::map<std::string, SimShellLink> links;
    bool link_component_missing = false;  // CoCreateInstance(CLSID_ShellLink) fails
    bool link_save_refused = false;       // IPersistFile::Save fails
    // Called after each shortcut is saved, for tests that look at the
    // program's state at that moment.
    std::function<void(const SimShellLink&)> on_link_saved;
};

// The shortcut saved at `path` (any letter case); null when none.
const SimShellLink* SimFindShellLink(const std::string& path);
