#include "steps/child_temp.h"

#include <cstdint>
#include <cstring>

#include "base/text.h"
#include "platform/files.h"
#include "platform/system.h"
#include "removal/removal.h"

namespace {

// Names tried in one place before it counts as unavailable: a user may
// have made some of them in the Windows folder's Temp to block them.
constexpr int kNameTries = 16;

int MakeIn(const char* parent, char* folder, std::size_t size) {
    if (parent[0] == '\0') return 0;
    const auto tick = static_cast<unsigned>(plat::TickCount());
    for (int i = 0; i < kNameTries; ++i) {
        char name[64];
        FormatText(name, sizeof name, "ZT-Mixolyte-%08X-%d", tick, i);
        if (!JoinPath(folder, size, parent, name)) return 0;
        std::uint32_t error = 0;
        if (plat::FolderCreateAdminOnly(folder, &error)) return 1;
        if (error != plat::kErrorAlreadyExists) return 0;
    }
    return 0;
}

bool IsDots(const char* name) { return std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0; }

// What the held walk left (a file a child's child still runs from, a folder
// holding one): each entry directly in the folder, then the folder itself,
// go at the next restart. Only this one level is named by path: the folder
// is the administrators' alone, so nobody else can put a link among its
// names. Deeper names are not, since below a folder a child made writable
// a user could swap one for a link before the restart; and a link that
// stayed is not named either.
void DeleteAtRestart(const char* folder) {
    char pattern[kChildTempSize];
    if (JoinPath(pattern, sizeof pattern, folder, "*")) {
        plat::FindEntry entry{};
        plat::Handle search = plat::FindFirst(pattern, &entry);
        if (search != plat::kInvalidHandle) {
            do {
                char path[kChildTempSize];
                if (IsDots(entry.name) || entry.is_reparse_point || !JoinPath(path, sizeof path, folder, entry.name))
                    continue;
                plat::FileDeleteAtRestart(path);
            } while (plat::FindNext(search, &entry));
            plat::FindClose(search);
        }
    }
    plat::FileDeleteAtRestart(folder);
}

}  // namespace

int MakeChildTemp(const SetupContext* context, char* folder, std::size_t size) {
    folder[0] = '\0';
    char windows[kChildTempSize];
    windows[0] = '\0';
    std::uint32_t length = plat::WindowsFolder(windows, sizeof windows);
    char parent[kChildTempSize];
    if (length > 0 && length < sizeof windows && JoinPath(parent, sizeof parent, windows, "Temp") &&
        MakeIn(parent, folder, size))
        return 1;
    if (MakeIn(context->product_folder, folder, size)) return 1;
    folder[0] = '\0';
    return 0;
}

void RemoveChildTemp(const char* folder) {
    if (folder[0] == '\0') return;
    // The removal's own walk: each folder held as itself while the work
    // below it is done, each entry reached through a handle on itself, a
    // link removed as a link and never walked into.
    DeleteFolderTree(folder);
    plat::FindEntry left{};
    plat::Handle search = plat::FindFirst(folder, &left);
    if (search == plat::kInvalidHandle) return;  // gone
    plat::FindClose(search);
    DeleteAtRestart(folder);
}

plat::ProcessStartStatus StartChildProgram(const SetupContext* context, const char* program, const char* command_line,
                                           char* temp, std::size_t temp_size, plat::Handle* process) {
    *process = plat::kInvalidHandle;
    if (!MakeChildTemp(context, temp, temp_size)) return plat::kProcessCreateFailed;
    return plat::ProcessStart(program, command_line, context->product_folder, temp, process);
}
