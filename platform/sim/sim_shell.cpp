#include <algorithm>

#include "platform/files.h"
#include "platform/shell.h"
#include "platform/sim/sim.h"

namespace plat {

namespace {

// A kept folder's length as the caller's form of it counts: its bytes in
// ANSI, its units in UTF-16.
std::size_t LengthIn(const std::string& kept, const char*) { return kept.size(); }
std::size_t LengthIn(const std::string& kept, const char16_t*) { return SimWideOf(kept).size(); }

// A folder into a buffer of `units` characters: 1 when it fits whole.
bool CopyFolderOut(char* buffer, std::uint32_t units, const std::string& kept) {
    if (kept.size() >= units) return false;
    SimCopyText(buffer, units, SimAnsiViewOf(kept));
    return true;
}

bool CopyFolderOut(char16_t* buffer, std::uint32_t units, const std::string& kept) {
    std::u16string wide = SimWideOf(kept);
    if (wide.size() >= kShellPathSize || wide.size() >= units) return false;
    wide.copy(buffer, wide.size());
    buffer[wide.size()] = u'\0';
    return true;
}

}  // namespace

// SHGetSpecialFolderPath in either form.
template <typename C>
int ShellSpecialFolderPath(int csidl, int create, C* buffer, std::uint32_t units, int* result) {
    if (units == 0) return 0;
    buffer[0] = C{0};
    static const int op = SimOpId("ShellSpecialFolderPath");
    if (SimFaultHere(op)) {
        *result = 0;
        return 1;
    }
    const SimShell& shell = Sim().shell;
    if (!shell.special_folder_function) return 0;
    auto it = shell.folders.find(csidl);
    // Windows writes at most MAX_PATH characters; a path must fit whole.
    if (it == shell.folders.end() || shell.special_folder_fails.count(csidl) ||
        LengthIn(it->second, buffer) >= std::min(units, kShellPathSize)) {
        *result = 0;
        return 1;
    }
    // A folder that is not there is made with the create flag, and is a
    // failure without it.
    std::string key = SimPathKey(it->second);
    auto entry = Sim().files.entries.find(key);
    bool there = Sim().files.roots.count(key) || (entry != Sim().files.entries.end() && entry->second.is_folder);
    if (!there && create) {
        SimPutFolder(it->second);
    } else if (!there) {
        *result = 0;
        return 1;
    }
    *result = CopyFolderOut(buffer, units, it->second) ? 1 : 0;
    return 1;
}

// SHGetFolderPath in either form.
template <typename C>
int ShellFolderPath(int csidl, C* buffer, std::uint32_t units, std::int32_t* hresult) {
    if (units == 0) return 0;
    buffer[0] = C{0};
    static const int op = SimOpId("ShellFolderPath");
    if (SimFaultHere(op)) {
        *hresult = static_cast<std::int32_t>(0x80004005u);  // E_FAIL
        return 1;
    }
    const SimShell& shell = Sim().shell;
    if (!shell.folder_path_function) return 0;
    auto it = shell.folders.find(csidl);
    if (it == shell.folders.end() || LengthIn(it->second, buffer) >= kShellPathSize) {
        *hresult = static_cast<std::int32_t>(0x80004005u);  // E_FAIL
        return 1;
    }
    if (!CopyFolderOut(buffer, units, it->second)) {
        *hresult = static_cast<std::int32_t>(0x8007007Au);  // HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER)
        return 1;
    }
    *hresult = kHresultOk;
    return 1;
}

template int ShellSpecialFolderPath(int, int, char*, std::uint32_t, int*);
template int ShellSpecialFolderPath(int, int, char16_t*, std::uint32_t, int*);
template int ShellFolderPath(int, char*, std::uint32_t, std::int32_t*);
template int ShellFolderPath(int, char16_t*, std::uint32_t, std::int32_t*);

namespace {
constexpr std::int32_t kHresultAccessDenied = static_cast<std::int32_t>(0x80070005u);
constexpr std::int32_t kHresultPathNotFound = static_cast<std::int32_t>(0x80070003u);
}  // namespace

std::int32_t ShellLinkCreate(const char* link_path, const char* target, const char* description,
                             const char* arguments, const char* working_folder) {
    static const int op = SimOpId("ShellLinkCreate");
    if (SimFaultHere(op)) {
        return static_cast<std::int32_t>(0x80070005u);  // E_ACCESSDENIED from Save
    }
    SimShell& shell = Sim().shell;
    if (Sim().system.com_open <= 0) return kHresultComNotInitialized;
    if (shell.link_component_missing) return kHresultClassNotRegistered;
    if (shell.link_save_refused) return kHresultAccessDenied;

    std::string path = link_path ? link_path : "";
    std::string key = SimPathKey(path);
    std::string parent = key.empty() ? "" : SimParentKey(key);
    auto folder = Sim().files.entries.find(parent);
    bool parent_there = Sim().files.roots.count(parent) ||
                        (folder != Sim().files.entries.end() && folder->second.is_folder);
    if (!parent_there) return kHresultPathNotFound;
    // The file is written like any other, so a read-only or busy file refuses.
    SimInsideCall inside;
    Handle file = FileCreateForWrite(path.c_str());
    if (file == kInvalidHandle) return kHresultAccessDenied;
    SimShellLink link;
    link.path = path;
    link.target = target ? target : "";
    link.description = description ? description : "";
    link.has_arguments = arguments != nullptr;
    link.arguments = arguments ? arguments : "";
    link.working_folder = working_folder ? working_folder : "";
    std::string bytes = "[sim shell link]\r\n" + link.target + "\r\n";
    std::uint32_t written = 0;
    FileWrite(file, bytes.data(), static_cast<std::uint32_t>(bytes.size()), &written);
    FileClose(file);
    shell.links[key] = link;
    if (shell.on_link_saved) shell.on_link_saved(link);
    return kHresultOk;
}

}  // namespace plat

const SimShellLink* SimFindShellLink(const std::string& path) {
    auto it = Sim().shell.links.find(SimPathKey(path));
    return it == Sim().shell.links.end() ? nullptr : &it->second;
}
