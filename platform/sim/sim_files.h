// The simulated file system: Windows paths ("C:\...", "\\server\share\..."),
// case-insensitive and case-preserving.
#pragma once
#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

struct SimFile {
    std::string path;  // as first created, case preserved
    bool is_folder = false;
    std::vector<std::uint8_t> bytes;
    bool read_only = false;
    bool in_use = false;  // held by a running program or loaded DLL: delete fails, rename works
    // A folder link (a junction or a directory symbolic link): the key of
    // the folder it stands for. Paths through it reach the target; removing
    // it removes only the link. Empty for anything else.
    std::string link_target;
    // A link that a search cannot look up (an object-manager link behind a
    // junction): FindFirst on it or below it finds nothing, while paths
    // through it still reach the target.
    bool lookup_fails = false;
    // Only the administrator may change it: the user's own programs (and
    // the setup program while it acts as the user) cannot delete or rename
    // it.
    bool admin_only = false;
    // Another program (an indexer, a virus scanner) holds it open, sharing
    // deletion: it can be opened and marked for deletion all the same. With
    // the classic disposition its name then stays, `delete_pending`: still
    // listed, not to be opened, gone when that program lets go (at the
    // restart, or SimLetGo). With POSIX semantics the name goes at once.
    bool held_sharing_delete = false;
    bool delete_pending = false;
    // On a redirector or a virtual machine's shared folder that does not
    // tell final paths: GetFinalPathNameByHandle fails for it and all below.
    bool final_path_unanswered = false;
};

struct SimOpenFile {
    std::string key;
    bool writable = false;
    bool entry = false;           // opened as itself (FolderHold, EntryOpen)
    bool deleting = false;        // with deletion access (EntryOpen)
    bool delete_pending = false;  // EntryDelete: goes at EntryClose
};

// An open folder search: the entries it found, taken at FindFirst, and
// the next one to hand out.
struct SimFound {
    std::string name;
    bool is_folder = false;
    bool is_link = false;
    std::uint64_t size = 0;
};
struct SimSearch {
    std::string folder;  // the key of the folder searched
    std::vector<SimFound> found;
    std::size_t next = 0;
};

struct SimFileSystem {
    std::map<std::string, SimFile> entries;  // by SimPathKey
    std::set<std::string> roots;             // SimPathKey of "C:" or "\\server\share"
    std::map<std::uintptr_t, SimOpenFile> open;
    std::map<std::uintptr_t, SimSearch> searches;  // searches not yet closed
    std::uint64_t free_bytes = UINT64_MAX;  // a write beyond this reports fewer bytes
    // Off for measurements: writes are counted in `bytes_written` only, so
    // the file contents do not weigh on the memory being measured.
    bool keep_contents = true;
    std::uint64_t bytes_written = 0;
    bool has_links = false;  // a link was made: paths are resolved through links
    // Deletion by handle has POSIX semantics (Windows 10, 1709 on, NTFS).
    bool posix_delete = true;
    // A name marked for deletion opens again (as in Wine; Windows refuses
    // it as pending).
    bool pending_reopens = false;
    // Deletions scheduled for the next restart, paths as given, in order.
    std::vector<std::string> pending_deletions;
};

// The lookup key of a path: upper case, no trailing backslash. Empty when
// the path is not an absolute Windows path. Links among its folders are
// followed to their targets; the last component stays itself, so that the
// key of a link is the link.
std::string SimPathKey(const std::string& path);
// The key of the folder that holds the path (empty for a root).
std::string SimParentKey(const std::string& key);
// A call on the one file or folder at PATH (null reads as none): true when
// the fault switch fails it, with that path noted as the failed subject.
bool SimFileCallFails(int op, const char* path);

// Paths in the ANSI code page (SimSystem::ansi_code_page): a lead byte and
// the byte after it are one character, whose second byte may be '\\'.
bool SimIsLeadByte(unsigned char byte);
// The position of the last '\\' or '/' that is a character of its own, or
// npos; and the path without such separators at its end.
std::size_t SimLastSeparator(const std::string& path);
std::string SimTrimSeparators(const std::string& path);
// A key as the program reads a path: keys hold each double-byte character
// as "\x01" and its bytes in hex, so that byte-wise work on keys stays
// right; this gives the bytes back.
std::string SimKeyToPath(const std::string& key);

// Test helpers.
void SimAddRoot(const std::string& root);  // "D:" or "\\server\share"
void SimPutFolder(const std::string& path);  // with all missing parents
void SimPutFile(const std::string& path, const std::vector<std::uint8_t>& bytes);
SimFile* SimFindFile(const std::string& path);  // null when absent
// A folder link at `path` (its parent must exist) standing for the folder
// `target`.
void SimPutFolderLink(const std::string& path, const std::string& target);
// The other program holding the file sharing deletion lets go: a name
// marked for deletion goes now.
void SimLetGo(const std::string& path);
// True when the path leads through (or is) a link whose look-up fails.
bool SimPassesUnseenLink(const std::string& path);
std::vector<std::uint8_t> SimReadFile(const std::string& path);  // empty when absent
// The restart carries out the scheduled deletions in order: a file goes
// unless it is read-only, a folder (or a folder link) only when empty then;
// a path with nothing there is passed over. The list is emptied.
void SimRunPendingDeletions();
// A rename moved `from_key` (and what lies below it) to `to_key`: when the
// running program's image was among it, the image is now there.
void SimNoteImageMoved(const std::string& from_key, const std::string& to_key);
// Where the running program's image is now (the key of module_path until
// it moved).
std::string SimImageKey();
// Every entry below (not including) the folder, in key order.
std::vector<const SimFile*> SimListTree(const std::string& folder);

// The ANSI code page and UTF-16 (platform/sim/sim_code_page.cpp). Names
// are kept in the code page's bytes; a letter it cannot write as "\x02"
// and four hex digits of its unit.
// The UTF-16 of kept (or ANSI) text; false for bytes that are no character.
bool SimAnsiToWide(const char* text, std::size_t length, std::u16string* out);
std::u16string SimWideOf(const std::string& text);  // empty when it is none
// The kept form of a UTF-16 text (what the UTF-16 calls take in).
std::string SimKeptNameOf(std::u16string_view text);
// Kept text as the ANSI calls give it: a letter the code page cannot write
// becomes '?'.
std::string SimAnsiViewOf(const std::string& kept);
// The system's upper-case table as far as the sim's names reach (ASCII,
// Latin-1, Latin Extended-A with the dotless i an I and the long s an S,
// Cyrillic): the one rule file names are compared by.
std::uint32_t SimUpperOf(std::uint32_t unit);
