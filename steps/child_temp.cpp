#include "steps/child_temp.h"

#include <cstdint>
#include <cstring>

#include "base/text.h"
#include "platform/files.h"
#include "platform/system.h"

namespace {

// Names tried in one place before it counts as unavailable: a user may
// have made some of them in the Windows folder's Temp to block them.
constexpr int kNameTries = 16;
// Folders below a child's TEMP are walked this deep, no further.
constexpr int kRemoveDepth = 16;

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

// Everything below the folder; a link goes as a link.
void EmptyFolder(const char* folder, int depth) {
    char pattern[kChildTempSize];
    if (depth > kRemoveDepth || !JoinPath(pattern, sizeof pattern, folder, "*")) return;
    plat::FindEntry entry{};
    plat::Handle search = plat::FindFirst(pattern, &entry);
    if (search == plat::kInvalidHandle) return;
    do {
        char path[kChildTempSize];
        if (IsDots(entry.name) || !JoinPath(path, sizeof path, folder, entry.name)) continue;
        if (entry.is_directory && !entry.is_reparse_point) EmptyFolder(path, depth + 1);
        int gone = entry.is_directory ? plat::FolderRemove(path) : plat::FileDelete(path);
        if (!gone) plat::FileDeleteAtRestart(path);
    } while (plat::FindNext(search, &entry));
    plat::FindClose(search);
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
    EmptyFolder(folder, 0);
    if (!plat::FolderRemove(folder)) plat::FileDeleteAtRestart(folder);
}

plat::ProcessStartStatus StartChildProgram(const SetupContext* context, const char* program, const char* command_line,
                                           char* temp, std::size_t temp_size, plat::Handle* process) {
    *process = nullptr;
    if (!MakeChildTemp(context, temp, temp_size)) return plat::kProcessCreateFailed;
    return plat::ProcessStart(program, command_line, context->product_folder, temp, process);
}
