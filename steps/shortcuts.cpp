#include "steps/shortcuts.h"

#include <cstring>

#include "base/names.h"
#include "base/path_chars.h"
#include "base/text.h"
#include "package/package.h"
#include "platform/shell.h"
#include "platform/system.h"

namespace {

// HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE): a path that does not fit
// its buffer is not used cut.
constexpr std::int32_t kHresultPathTooLong = static_cast<std::int32_t>(0x800700CEu);

bool RowApplies(const ShortcutRow& row, const SetupContext* context) {
    switch (row.condition) {
        case kAlways: return true;
        case kWithoutDaza: return context->daza_driver_found == 0;
        case kOn64Bit: return context->is_wow64 != 0;
    }
    return false;
}

// The drive of the Windows folder ("D:"), or "C:" when the folder cannot
// be read or has no drive letter.
void WindowsDrive(char* drive, std::size_t size) {
    CopyText(drive, size, "C:");
    char windows[2000];
    windows[0] = '\0';
    std::uint32_t length = plat::WindowsFolder(windows, sizeof windows);
    if (length == 0 || length >= sizeof windows || length != std::strlen(windows)) return;
    const char* colon = std::strchr(windows, ':');
    if (colon == nullptr) return;
    windows[colon - windows + 1] = '\0';
    CopyText(drive, size, windows);
}

}  // namespace

int FindProductFolder(SetupContext* context) {
    char* folder = context->product_folder;
    const std::size_t size = sizeof context->product_folder;
    folder[0] = '\0';

    int done = 0;
    if (plat::ShellSpecialFolderPath(plat::kCsidlProgramFiles, 0, folder, size, &done) && done != 1)
        folder[0] = '\0';
    if (folder[0] == '\0') {
        std::int32_t result = 0;
        if (plat::ShellFolderPath(plat::kCsidlProgramFiles, folder, size, &result) && result != plat::kHresultOk)
            folder[0] = '\0';
    }
    if (folder[0] == '\0') {
        WindowsDrive(folder, size);
        AppendText(folder, size, "\\Program Files\\");
    }
    AppendBackslash(folder, size);
    AppendText(folder, size, kProductFolderName);
    return 0;
}

void CreateShortcuts(SetupContext* context, char* buffer, std::size_t size) {
    CopyText(buffer, size, common_programs_folder);
    if (buffer[0] == '\0') return;
    AppendBackslash(buffer, size);
    if (!AppendText(buffer, size, kShortcutFolderName)) return;
    if (CreateFolderChain(buffer) != 1) return;
    for (const ShortcutRow& row : kShortcutRows) {
        if (!RowApplies(row, context)) continue;
        const char* file = context->daza_driver_found && row.file_with_daza ? row.file_with_daza : row.file;
        char target[1024];
        if (!JoinPath(target, sizeof target, context->product_folder, file)) continue;
        CreateShellLink(row.title, target, buffer);
    }
}

std::int32_t CreateShellLink(const char* title, const char* target, const char* folder) {
    char link[2048];
    int fitted = JoinPath(link, sizeof link, folder, title);
    fitted &= AppendText(link, sizeof link, kLinkExtension);
    char working_folder[1024];
    fitted &= CopyText(working_folder, sizeof working_folder, target);
    if (!fitted) return kHresultPathTooLong;
    CutAtLastBackslash(working_folder);
    return plat::ShellLinkCreate(link, target, title, nullptr, working_folder);
}
