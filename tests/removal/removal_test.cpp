// The removal operations on the simulated machine: ".del" leftovers, the
// package files and their ".del" names, shortcuts, folder trees and
// registry key trees.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "base/context.h"
#include "base/names.h"
#include "base/text.h"
#include "package/package_format.h"
#include "platform/entries.h"
#include "platform/files.h"
#include "platform/registry.h"
#include "platform/sim/sim.h"
#include "removal/leftovers.h"
#include "removal/removal.h"
#include "steps/registry_records.h"
#include "tests/support/shortcut_titles.h"

namespace {

const char kProduct[] = "C:\\Program Files\\ZT\\Mixolyte";
const char kUserPrograms[] = "C:\\Users\\user\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs";
const char kCommonPrograms[] = "C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs";
const char kUninstallKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";

std::string In(const std::string& folder, const std::string& name) { return folder + "\\" + name; }

void Put(const std::string& path, const std::string& text = "x") {
    SimPutFile(path, std::vector<std::uint8_t>(text.begin(), text.end()));
}

bool Has(const std::string& path) { return SimFindFile(path) != nullptr; }

void MarkInUse(const std::string& path) {
    SimFile* file = SimFindFile(path);
    ASSERT_NE(file, nullptr) << path;
    file->in_use = true;
}

// A fresh machine and context with the product folder and the package
// directory of the real entry names.
void FreshMachine() {
    SimReset();
    ResetSetupContext(&setup_context);
    CopyText(setup_context.product_folder, sizeof setup_context.product_folder, kProduct);
    for (int i = 0; i < kPackageEntryCount; ++i) {
        DirectoryRecord record{};
        std::memcpy(record.name, kPackageEntryNames[i], std::strlen(kPackageEntryNames[i]));
        WriteDirectoryRecord(record, setup_context.package_directory[i]);
    }
    common_programs_folder[0] = '\0';
    startup_folder[0] = '\0';
}

void SetEntryName(int index, const std::string& name) {
    std::uint8_t* field = setup_context.package_directory[index];
    std::memset(field + kRecordNameAt, 0, kRecordNameSize);
    std::memcpy(field + kRecordNameAt, name.data(), std::min<std::size_t>(name.size(), kRecordNameSize));
}

void PutLinks(const std::string& folder) {
    for (const std::string& title : kEveryShortcutTitle) Put(In(folder, title + ".LNK"), "link");
}

void SetUserPrograms(const std::string& folder) {
    SimRegPutText(plat::kHkeyCurrentUser, kShellFoldersKey, kProgramsValue, folder);
}

}  // namespace

TEST(UninstallRemoval, PurgeDelFilesTriesEveryDelFileOfTheFolderOnly) {
    FreshMachine();
    Put(In(kProduct, "ztml_asiodriver.del"));
    Put(In(kProduct, "README.DEL"));
    Put(In(kProduct, "held.del"));
    MarkInUse(In(kProduct, "held.del"));
    Put(In(kProduct, "ztml_asiodriver.dll"));
    Put(In(kProduct, "notes.delta"));
    SimPutFolder(In(kProduct, "backup.del"));
    Put(In(kProduct, "mp3lame\\lame_enc.del"));

    // Three files tried, the one in use among them; folders not counted.
    EXPECT_EQ(PurgeDelFiles(kProduct), 3);
    EXPECT_FALSE(Has(In(kProduct, "ztml_asiodriver.del")));
    EXPECT_FALSE(Has(In(kProduct, "README.DEL")));
    EXPECT_TRUE(Has(In(kProduct, "held.del")));
    EXPECT_TRUE(Has(In(kProduct, "ztml_asiodriver.dll")));
    EXPECT_TRUE(Has(In(kProduct, "notes.delta")));
    EXPECT_TRUE(Has(In(kProduct, "backup.del")));
    EXPECT_TRUE(Has(In(kProduct, "mp3lame\\lame_enc.del"))) << "subfolders are not searched";

    // With a backslash at the end the same folder is meant.
    EXPECT_EQ(PurgeDelFiles((std::string(kProduct) + "\\").c_str()), 1);
    EXPECT_TRUE(Has(In(kProduct, "held.del")));
    SimFindFile(In(kProduct, "held.del"))->in_use = false;
    EXPECT_EQ(PurgeDelFiles(kProduct), 1);
    EXPECT_EQ(PurgeDelFiles(kProduct), 0) << "nothing left";
    EXPECT_EQ(PurgeDelFiles("C:\\Absent\\Folder"), 0);
    EXPECT_EQ(PurgeDelFiles(""), 0);
    EXPECT_TRUE(Sim().files.searches.empty()) << "every search closed";
}

TEST(UninstallRemoval, DelNamesReplaceTheLastExtensionOfTheLastComponent) {
    char out[1024];
    ASSERT_EQ(DelNameOf("C:\\P\\ztml_asiodriver.dll", out, sizeof out), 1);
    EXPECT_STREQ(out, "C:\\P\\ztml_asiodriver.del");
    ASSERT_EQ(DelNameOf("C:\\P\\mp3lame\\lame_enc.dll", out, sizeof out), 1);
    EXPECT_STREQ(out, "C:\\P\\mp3lame\\lame_enc.del");
    ASSERT_EQ(DelNameOf("C:\\P\\archive.tar.gz", out, sizeof out), 1);
    EXPECT_STREQ(out, "C:\\P\\archive.tar.del");
    ASSERT_EQ(DelNameOf("C:\\P\\.hidden", out, sizeof out), 1);
    EXPECT_STREQ(out, "C:\\P\\.del");
    // A dot in a folder name is not an extension of the file.
    EXPECT_EQ(DelNameOf("C:\\Folder.v2\\noext", out, sizeof out), 0);
    EXPECT_EQ(DelNameOf("C:\\P\\noext", out, sizeof out), 0);
    // ".dll" -> ".del" keeps the length; ".x" -> ".del" grows by two.
    EXPECT_EQ(DelNameOf("C:\\a.x", out, 8), 0) << "a cut name would be another file";
    EXPECT_EQ(DelNameOf("C:\\a.x", out, 9), 1);
    EXPECT_STREQ(out, "C:\\a.del");
}

TEST(UninstallRemoval, PackageFilesGoAndFilesInUseMoveAside) {
    FreshMachine();
    for (int i = 0; i < kPackageEntryCount; ++i) Put(In(kProduct, kPackageEntryNames[i]), kPackageEntryNames[i]);
    // In use: a DLL in the folder, one in the subfolder, one whose ".del"
    // name is taken already.
    MarkInUse(In(kProduct, "ztml_asiodriver.dll"));
    MarkInUse(In(kProduct, "mp3lame\\lame_enc.dll"));
    MarkInUse(In(kProduct, "ztml_asiodriver64.dll"));
    Put(In(kProduct, "ztml_asiodriver64.del"), "older leftover");
    // Never unpacked: nothing happens for it.
    Sim().files.entries.erase(SimPathKey(In(kProduct, "readme.txt")));
    // Not a package file: it stays.
    Put(In(kProduct, "user settings.ini"));

    EXPECT_EQ(DeletePackageFiles(&setup_context), 0);

    EXPECT_EQ(SimReadFile(In(kProduct, "ztml_asiodriver.del")),
              std::vector<std::uint8_t>(std::begin("ztml_asiodriver.dll"), std::end("ztml_asiodriver.dll") - 1));
    EXPECT_FALSE(Has(In(kProduct, "ztml_asiodriver.dll")));
    EXPECT_TRUE(Has(In(kProduct, "mp3lame\\lame_enc.del")));
    EXPECT_FALSE(Has(In(kProduct, "mp3lame\\lame_enc.dll")));
    EXPECT_FALSE(Has(In(kProduct, "lame_enc.del"))) << "stays in its subfolder";
    // The target existed: the file keeps its name, the leftover is untouched.
    EXPECT_TRUE(Has(In(kProduct, "ztml_asiodriver64.dll")));
    std::string leftover = "older leftover";
    EXPECT_EQ(SimReadFile(In(kProduct, "ztml_asiodriver64.del")),
              std::vector<std::uint8_t>(leftover.begin(), leftover.end()));
    EXPECT_FALSE(Has(In(kProduct, "readme.txt")));
    EXPECT_FALSE(Has(In(kProduct, "readme.del")));

    // What is left: exactly the moved files, the stuck one, its leftover,
    // the foreign file and the subfolder.
    std::vector<std::string> left;
    for (const SimFile* file : SimListTree(kProduct)) left.push_back(file->path);
    std::vector<std::string> expected = {
        In(kProduct, "mp3lame"),          In(kProduct, "mp3lame\\lame_enc.del"),
        In(kProduct, "user settings.ini"), In(kProduct, "ztml_asiodriver.del"),
        In(kProduct, "ztml_asiodriver64.del"), In(kProduct, "ztml_asiodriver64.dll")};
    EXPECT_EQ(left, expected);
}

TEST(UninstallRemoval, CraftedEntryNamesCannotReachOutsideTheProductFolder) {
    FreshMachine();
    const std::vector<std::string> outside = {
        "C:\\Windows\\win.ini", "C:\\Windows\\system.ini", "C:\\Program Files\\ZT\\outside.txt",
        "C:\\Program Files\\ZT\\Mixolyte.txt", "C:\\boot.ini"};
    for (const std::string& path : outside) Put(path, "precious");
    SetEntryName(0, "..\\..\\..\\Windows\\win.ini");
    SetEntryName(1, "C:\\Windows\\system.ini");
    SetEntryName(2, "mp3lame\\..\\..\\outside.txt");
    SetEntryName(3, "..\\Mixolyte.txt");
    SetEntryName(4, "\\boot.ini");
    SetEntryName(5, "C:boot.ini");
    SetEntryName(6, " . \\..\\outside.txt");
    // A name field without its NUL: its first 128 characters name a file
    // that exists, which the extraction never wrote.
    std::string long_name(128, 'a');
    SetEntryName(7, long_name);
    Put(In(kProduct, long_name));
    // What a stream of a package file would be named.
    const std::string stream = In(kProduct, "readme.txt:x.exe");
    Put(stream);
    // Files in use would otherwise be moved: mark them so.
    for (const std::string& path : outside) MarkInUse(path);
    Put(In(kProduct, "mixolyte.exe"));

    DeletePackageFiles(&setup_context);
    for (const std::string& path : outside) {
        EXPECT_TRUE(Has(path)) << path;
        std::string del = path.substr(0, path.rfind('.')) + ".del";
        EXPECT_FALSE(Has(del)) << del;
    }
    EXPECT_TRUE(Has(In(kProduct, long_name)));
    EXPECT_FALSE(Has(In(kProduct, "mixolyte.exe"))) << "the good names are still handled";
    // Nor does a running program's name with a ':' reach a stream (the sim
    // keeps the name as a file of its own).
    DeleteOrMoveAside(kProduct, "readme.txt:x.exe");
    EXPECT_TRUE(Has(stream));

    // An empty product folder deletes nothing at all.
    Put(In(kProduct, "ZTDeviceCheck.exe"));
    setup_context.product_folder[0] = '\0';
    DeletePackageFiles(&setup_context);
    EXPECT_TRUE(Has(In(kProduct, "ZTDeviceCheck.exe")));
}

TEST(UninstallRemoval, DeleteShortcutNamesTheLinkFile) {
    FreshMachine();
    const std::string startup = "C:\\Users\\user\\Start Menu\\Programs\\Startup";
    Put(In(startup, "Mixolyte (ZT-Audio).lnk"));
    Put(In(startup, "Mixolyte (ZT-Audio)"));
    EXPECT_NE(DeleteShortcut(startup.c_str(), "Mixolyte (ZT-Audio)"), 0);
    EXPECT_FALSE(Has(In(startup, "Mixolyte (ZT-Audio).lnk")));
    EXPECT_TRUE(Has(In(startup, "Mixolyte (ZT-Audio)"))) << "only the .LNK file";
    EXPECT_EQ(DeleteShortcut(startup.c_str(), "Mixolyte (ZT-Audio)"), 0);

    Put(In(startup, "Readme.LNK"));
    EXPECT_NE(DeleteShortcut((startup + "\\").c_str(), "Readme"), 0);
    EXPECT_FALSE(Has(In(startup, "Readme.LNK")));
    // No folder: nothing relative to the current folder.
    EXPECT_EQ(DeleteShortcut("", "Readme"), 0);
}

TEST(UninstallRemoval, StartMenuShortcutsGoFromBothProgramsFolders) {
    // 64-bit Windows: all twelve titles, in both halves; the MixoLyte
    // folders go, their "ZT Audio" parents and other links stay.
    FreshMachine();
    setup_context.is_wow64 = 1;
    CopyText(common_programs_folder, sizeof common_programs_folder, kCommonPrograms);
    SetUserPrograms(kUserPrograms);
    const std::string user = In(kUserPrograms, "ZT Audio\\MixoLyte");
    const std::string common = In(kCommonPrograms, "ZT Audio\\MixoLyte");
    PutLinks(user);
    PutLinks(common);
    Put(In(kCommonPrograms, "ZT Audio\\Other.LNK"));
    char buffer[1024];
    RemoveStartMenuShortcuts(&setup_context, buffer, sizeof buffer);
    EXPECT_FALSE(Has(user));
    EXPECT_FALSE(Has(common));
    EXPECT_TRUE(Has(In(kUserPrograms, "ZT Audio")));
    EXPECT_TRUE(Has(In(kCommonPrograms, "ZT Audio\\Other.LNK")));

    // Which titles the list deletes shows when the folder tree cannot
    // follow: a file in use that it finds first keeps every other file.
    for (int wow64 = 0; wow64 < 2; ++wow64) {
        FreshMachine();
        setup_context.is_wow64 = wow64;
        CopyText(common_programs_folder, sizeof common_programs_folder, kCommonPrograms);
        SetUserPrograms(std::string(kUserPrograms) + "\\");
        for (const std::string& folder : {user, common}) {
            PutLinks(folder);
            Put(In(folder, "0 held.txt"));
            MarkInUse(In(folder, "0 held.txt"));
            Put(In(folder, "Mixolyte Pro.LNK"));  // no title of the list
        }
        RemoveStartMenuShortcuts(&setup_context, buffer, sizeof buffer);
        for (const std::string& folder : {user, common}) {
            std::vector<std::string> left;
            for (const SimFile* file : SimListTree(folder)) left.push_back(file->path);
            std::vector<std::string> expected = {In(folder, "0 held.txt")};
            if (!wow64) expected.push_back(In(folder, "Mixolyte Kumbra x64.LNK"));
            expected.push_back(In(folder, "Mixolyte Pro.LNK"));
            if (!wow64) expected.push_back(In(folder, "Mixolyte x64.LNK"));
            EXPECT_EQ(left, expected) << "is_wow64 " << wow64;
        }
    }
    // They go in their listed order: the n-th deletion failing keeps the
    // n-th title alone.
    const std::vector<std::string> removal_order = {
        "Mixolyte",         "Mixolyte x64",    "Virtual IO Control Panel", "Readme",
        "Macro Buttons",    "ZTAN-2-MIDI",     "8x8 Output Matrix",        "15 Bands Graphic EQ",
        "ML Streamer View", "Mixolyte Kumbra", "Mixolyte Kumbra x64",      "Virtual AUX IO Control Panel"};
    for (std::size_t n = 0; n < removal_order.size(); ++n) {
        FreshMachine();
        setup_context.is_wow64 = 1;
        CopyText(common_programs_folder, sizeof common_programs_folder, kCommonPrograms);
        PutLinks(common);
        Put(In(common, "0 held.txt"));
        MarkInUse(In(common, "0 held.txt"));
        Sim().faults.fail_op = "EntryDelete";
        Sim().faults.fail_at = n + 1;
        RemoveStartMenuShortcuts(&setup_context, buffer, sizeof buffer);
        std::vector<std::string> left;
        for (const SimFile* file : SimListTree(common)) left.push_back(file->path);
        EXPECT_EQ(left, (std::vector<std::string>{In(common, "0 held.txt"), In(common, removal_order[n] + ".LNK")}))
            << "deletion " << n + 1;
    }
    EXPECT_TRUE(Sim().files.searches.empty());
    EXPECT_EQ(SimRegOpenKeyCount(), 0u);
}

TEST(UninstallRemoval, AProgramsFolderThatCannotServeSkipsItsHalf) {
    const std::string user = In(kUserPrograms, "ZT Audio\\MixoLyte");
    const std::string common = In(kCommonPrograms, "ZT Audio\\MixoLyte");
    char buffer[1024];
    auto Setup = [&] {
        FreshMachine();
        setup_context.is_wow64 = 1;
        CopyText(common_programs_folder, sizeof common_programs_folder, kCommonPrograms);
        PutLinks(user);
        PutLinks(common);
    };

    // No "Programs" value: only the all-users half.
    Setup();
    SimRegPutKey(plat::kHkeyCurrentUser, kShellFoldersKey);
    RemoveStartMenuShortcuts(&setup_context, buffer, sizeof buffer);
    EXPECT_TRUE(Has(In(user, "Readme.LNK")));
    EXPECT_FALSE(Has(common));

    // Not a REG_SZ (the expandable form lives under "User Shell Folders").
    Setup();
    SimRegPutText(plat::kHkeyCurrentUser, kShellFoldersKey, kProgramsValue, kUserPrograms, plat::kRegExpandSz);
    RemoveStartMenuShortcuts(&setup_context, buffer, sizeof buffer);
    EXPECT_TRUE(Has(In(user, "Readme.LNK")));
    EXPECT_FALSE(Has(common));

    // Empty: nothing relative to the current folder.
    Setup();
    SetUserPrograms("");
    RemoveStartMenuShortcuts(&setup_context, buffer, sizeof buffer);
    EXPECT_TRUE(Has(In(user, "Readme.LNK")));

    // Too long for the buffer with the shortcut folder and the longest
    // link name: refused, not cut (a cut path would name another folder).
    const std::string shortcut_tail = "\\ZT Audio\\MixoLyte\\Virtual AUX IO Control Panel.LNK";
    // A folder of exactly `length` characters, in parts of 100 or less.
    auto FolderOf = [](std::size_t length) {
        std::string folder = "C:\\P";
        while (folder.size() < length) {
            std::size_t part = std::min<std::size_t>(100, length - folder.size());
            folder += part == 1 ? std::string("d") : "\\" + std::string(part - 1, 'd');
        }
        return folder;
    };
    const std::size_t longest_fitting = 1023 - shortcut_tail.size();
    for (std::size_t length : {longest_fitting, longest_fitting + 1}) {
        std::string folder = FolderOf(length);
        ASSERT_EQ(folder.size(), length);
        bool fits = length == longest_fitting;
        Setup();
        SetUserPrograms(folder);
        const std::string deep_user = folder + "\\ZT Audio\\MixoLyte";
        PutLinks(deep_user);
        RemoveStartMenuShortcuts(&setup_context, buffer, sizeof buffer);
        EXPECT_EQ(Has(In(deep_user, "Virtual AUX IO Control Panel.LNK")), !fits) << folder.size();
        EXPECT_EQ(Has(deep_user), !fits);
        EXPECT_FALSE(Has(common));
    }

    // No all-users folder: only the per-user half.
    Setup();
    common_programs_folder[0] = '\0';
    SetUserPrograms(kUserPrograms);
    RemoveStartMenuShortcuts(&setup_context, buffer, sizeof buffer);
    EXPECT_FALSE(Has(user));
    EXPECT_TRUE(Has(In(common, "Readme.LNK")));
}

TEST(UninstallRemoval, ReadUserProgramsFolderTakesAStringThatFits) {
    FreshMachine();
    char16_t folder[1024];
    EXPECT_EQ(ReadUserProgramsFolder(folder, 1024), 0) << "no key";
    SimRegPutKey(plat::kHkeyCurrentUser, kShellFoldersKey);
    EXPECT_EQ(ReadUserProgramsFolder(folder, 1024), 0) << "no value";
    SimRegPutDword(plat::kHkeyCurrentUser, kShellFoldersKey, kProgramsValue, 7);
    EXPECT_EQ(ReadUserProgramsFolder(folder, 1024), 0) << "not a string";

    SetUserPrograms(kUserPrograms);
    ASSERT_EQ(ReadUserProgramsFolder(folder, 1024), 1);
    EXPECT_EQ(SimKeptNameOf(folder), kUserPrograms);
    // Stored without its NUL (UTF-16 as Windows keeps it): read all the same.
    std::vector<std::uint8_t> bytes;
    for (char c : std::string("D:\\Menu")) {
        bytes.push_back(static_cast<std::uint8_t>(c));
        bytes.push_back(0);
    }
    SimRegPutValue(plat::kHkeyCurrentUser, kShellFoldersKey, kProgramsValue, plat::kRegSz, bytes);
    ASSERT_EQ(ReadUserProgramsFolder(folder, 1024), 1);
    EXPECT_EQ(SimKeptNameOf(folder), "D:\\Menu");
    // Letters the ANSI code page cannot write come whole, in UTF-16.
    const std::u16string cyrillic = u"C:\\Users\\\u0418\u0432\u0430\u043D\\Start Menu\\Programs";
    SimRegPutText16(plat::kHkeyCurrentUser, kShellFoldersKey, kProgramsValue, cyrillic);
    ASSERT_EQ(ReadUserProgramsFolder(folder, 1024), 1);
    EXPECT_EQ(std::u16string(folder), cyrillic);
    // Exactly filling the destination is fine; one more is refused.
    SetUserPrograms("C:\\" + std::string(6, 'x'));
    char16_t small[10];
    EXPECT_EQ(ReadUserProgramsFolder(small, 10), 1);
    SetUserPrograms("C:\\" + std::string(7, 'x'));
    EXPECT_EQ(ReadUserProgramsFolder(small, 10), 0);
    EXPECT_EQ(SimRegOpenKeyCount(), 0u);
}

TEST(UninstallRemoval, FolderTreeGoesWhollyWhenNothingHoldsIt) {
    FreshMachine();
    const std::string root = kProduct;
    Put(In(root, "a.txt"));
    Put(In(root, ".hidden"));
    Put(In(root, "noext"));
    Put(In(root, "mp3lame\\lame_enc.dll"));
    SimPutFolder(In(root, "empty"));
    std::string deep = In(root, "n");
    for (int level = 0; level < 40; ++level) {
        Put(In(deep, "f" + std::to_string(level) + ".dat"));
        deep = In(deep, "n");
    }
    SimPutFolder(deep);
    EXPECT_EQ(DeleteFolderTree(kProduct), 1);
    EXPECT_FALSE(Has(root));
    EXPECT_TRUE(SimListTree(root).empty());
    EXPECT_TRUE(Has("C:\\Program Files\\ZT")) << "only the folder given";
    EXPECT_TRUE(Sim().files.searches.empty());

    // A missing folder or none at all: nothing to do, still 1.
    EXPECT_EQ(DeleteFolderTree("C:\\Absent"), 1);
    Put("C:\\keep.txt");
    EXPECT_EQ(DeleteFolderTree(""), 1);
    EXPECT_TRUE(Has("C:\\keep.txt"));
}

TEST(UninstallRemoval, FolderTreeStopsAtWhatItCannotDelete) {
    const std::string root = kProduct;
    // Dot-directories stay with their contents; a file named with a dot
    // goes; the folder itself stays, not being empty.
    FreshMachine();
    Put(In(root, ".git\\config"));
    Put(In(root, ".hidden"));
    Put(In(root, "z.txt"));
    EXPECT_EQ(DeleteFolderTree(kProduct), 1);
    EXPECT_TRUE(Has(In(root, ".git\\config")));
    EXPECT_FALSE(Has(In(root, ".hidden")));
    EXPECT_FALSE(Has(In(root, "z.txt")));
    EXPECT_TRUE(Has(root));

    // The first file it cannot delete ends the work on its folder: entries
    // found after it stay.
    FreshMachine();
    Put(In(root, "a.txt"));
    Put(In(root, "b.dll"));
    Put(In(root, "c.txt"));
    MarkInUse(In(root, "b.dll"));
    EXPECT_EQ(DeleteFolderTree(kProduct), 1);
    EXPECT_FALSE(Has(In(root, "a.txt")));
    EXPECT_TRUE(Has(In(root, "b.dll")));
    EXPECT_TRUE(Has(In(root, "c.txt")));
    // So does one it cannot hold (another handle with deletion access
    // excludes the hold), though it is not marked for deletion.
    SimFindFile(In(root, "b.dll"))->in_use = false;
    plat::EntryFacts facts{};
    plat::Handle other = plat::EntryOpen(In(root, "b.dll").c_str(), &facts);
    ASSERT_NE(other, plat::kInvalidHandle);
    EXPECT_EQ(DeleteFolderTree(kProduct), 1);
    EXPECT_TRUE(Has(In(root, "c.txt")));
    plat::EntryClose(other);

    // A subfolder that stays (a file in use inside) ends the work on its
    // parent too: the walk ends instead of finding it again and again.
    // (The sim finds entries in name order.)
    FreshMachine();
    Put(In(root, "a\\aa.txt"));
    Put(In(root, "a\\inner\\locked.dll"));
    Put(In(root, "a\\inner\\z.txt"));
    Put(In(root, "a\\zz.txt"));
    Put(In(root, "b.txt"));
    MarkInUse(In(root, "a\\inner\\locked.dll"));
    EXPECT_EQ(DeleteFolderTree(kProduct), 1);
    EXPECT_FALSE(Has(In(root, "a\\aa.txt")));
    EXPECT_TRUE(Has(In(root, "a\\inner\\locked.dll")));
    EXPECT_TRUE(Has(In(root, "a\\inner\\z.txt")));
    EXPECT_TRUE(Has(In(root, "a\\zz.txt"))) << "work on \"a\" ended at \"inner\"";
    EXPECT_TRUE(Has(In(root, "b.txt"))) << "work on the root ended at \"a\"";
    EXPECT_TRUE(Sim().files.searches.empty());

    // Read-only files count as files it cannot delete.
    FreshMachine();
    Put(In(root, "sub\\ro.txt"));
    SimFindFile(In(root, "sub\\ro.txt"))->read_only = true;
    EXPECT_EQ(DeleteFolderTree(kProduct), 1);
    EXPECT_TRUE(Has(In(root, "sub\\ro.txt")));
}

TEST(UninstallRemoval, RegistryTreeGoesDepthFirst) {
    FreshMachine();
    const std::string entry = std::string(kUninstallKey) + "\\ZT:Mixolyte {17359A74-1236-5467}";
    SimRegPutText(plat::kHkeyLocalMachine, entry, "DisplayName", "Mixolyte, The Virtual Mixing Console");
    SimRegPutDword(plat::kHkeyLocalMachine, entry + "\\a\\b\\c", "deep", 1);
    SimRegPutKey(plat::kHkeyLocalMachine, entry + "\\a\\b2");
    SimRegPutKey(plat::kHkeyLocalMachine, entry + "\\Z");
    SimRegPutKey(plat::kHkeyLocalMachine, std::string(kUninstallKey) + "\\Other Product");
    // The sim, like Windows, refuses to delete a key that has subkeys: a
    // success here means the tree went leaves first.
    EXPECT_EQ(DeleteRegistryTree(plat::kHkeyLocalMachine, entry.c_str()), 1);
    EXPECT_FALSE(SimRegKeyExists(plat::kHkeyLocalMachine, entry));
    EXPECT_TRUE(SimRegKeyExists(plat::kHkeyLocalMachine, std::string(kUninstallKey) + "\\Other Product"));
    EXPECT_EQ(DeleteRegistryTree(plat::kHkeyLocalMachine, entry.c_str()), 0) << "gone already";
    EXPECT_EQ(SimRegOpenKeyCount(), 0u);

    // A subkey that cannot be deleted: 0, the walk ends, what was before it
    // in enumeration order is gone and its ancestors stay.
    SimRegPutKey(plat::kHkeyLocalMachine, entry + "\\a\\x");
    SimRegPutKey(plat::kHkeyLocalMachine, entry + "\\b\\stuck\\leaf");
    SimRegPutKey(plat::kHkeyLocalMachine, entry + "\\c");
    SimRegDenyDelete(plat::kHkeyLocalMachine, entry + "\\b\\stuck");
    EXPECT_EQ(DeleteRegistryTree(plat::kHkeyLocalMachine, entry.c_str()), 0);
    EXPECT_FALSE(SimRegKeyExists(plat::kHkeyLocalMachine, entry + "\\a"));
    EXPECT_FALSE(SimRegKeyExists(plat::kHkeyLocalMachine, entry + "\\b\\stuck\\leaf"));
    EXPECT_TRUE(SimRegKeyExists(plat::kHkeyLocalMachine, entry + "\\b\\stuck"));
    EXPECT_TRUE(SimRegKeyExists(plat::kHkeyLocalMachine, entry + "\\c"));
    EXPECT_EQ(SimRegOpenKeyCount(), 0u);

    // A subkey that cannot be opened for deletion: 0 as well.
    FreshMachine();
    SimRegPutKey(plat::kHkeyLocalMachine, entry + "\\locked\\inner");
    SimRegDenyWrite(plat::kHkeyLocalMachine, entry + "\\locked");
    EXPECT_EQ(DeleteRegistryTree(plat::kHkeyLocalMachine, entry.c_str()), 0);
    EXPECT_TRUE(SimRegKeyExists(plat::kHkeyLocalMachine, entry + "\\locked\\inner"));
    EXPECT_EQ(SimRegOpenKeyCount(), 0u);
}

TEST(UninstallRemoval, RegistryTreeOnA64BitMachineStaysInTheProgramsView) {
    FreshMachine();
    Sim().system.is_64bit = true;
    const std::string entry = std::string(kUninstallKey) + "\\ZT:Mixolyte {17359A74-1236-5467}";
    const std::string wow = "SOFTWARE\\WOW6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\"
                            "ZT:Mixolyte {17359A74-1236-5467}";
    SimRegPutText(plat::kHkeyLocalMachine, wow + "\\sub", "UninstallString", "x");
    SimRegPutText(plat::kHkeyLocalMachine, entry, "UninstallString", "native view");
    EXPECT_EQ(DeleteRegistryTree(plat::kHkeyLocalMachine, entry.c_str()), 1);
    EXPECT_FALSE(SimRegKeyExists(plat::kHkeyLocalMachine, wow));
    EXPECT_EQ(SimRegGetText(plat::kHkeyLocalMachine, entry, "UninstallString"), "native view");
}

TEST(UninstallRemoval, LinksAreRemovedAsLinksAndNeverWalked) {
    // A user plants links where the elevated uninstall walks: in the
    // per-user shortcut folder, as that folder itself, and in the product
    // folder. Every target keeps everything it holds.
    FreshMachine();
    const std::string system = "C:\\Windows\\System32";
    Put(In(system, "kernel32.dll"), "precious");
    Put(In(system, "drivers\\disk.sys"), "precious");
    const std::string user_shortcuts = In(kUserPrograms, "ZT Audio\\MixoLyte");
    SetUserPrograms(kUserPrograms);
    PutLinks(user_shortcuts);
    SimPutFolderLink(In(user_shortcuts, "System"), system);
    Put(In(user_shortcuts, "Mine\\notes.txt"));

    // The search reports the link as such, and reading through it reaches
    // the target.
    plat::FindEntry entry{};
    plat::Handle search = plat::FindFirst(In(user_shortcuts, "System").c_str(), &entry);
    ASSERT_NE(search, plat::kInvalidHandle);
    EXPECT_EQ(entry.is_directory, 1);
    EXPECT_EQ(entry.is_reparse_point, 1);
    plat::FindClose(search);
    EXPECT_EQ(SimReadFile(In(user_shortcuts, "System\\kernel32.dll")), SimReadFile(In(system, "kernel32.dll")));

    char buffer[1024];
    RemoveStartMenuShortcuts(&setup_context, buffer, sizeof buffer);
    EXPECT_FALSE(Has(user_shortcuts)) << "the link went with the folder";
    EXPECT_TRUE(Has(In(system, "kernel32.dll")));
    EXPECT_TRUE(Has(In(system, "drivers\\disk.sys")));

    // The shortcut folder itself is a link: removed as one, nothing below
    // it deleted, not even files named like the shortcuts.
    SimPutFolder(In(kUserPrograms, "ZT Audio"));
    SimPutFolderLink(user_shortcuts, system);
    Put(In(system, "Readme.LNK"), "precious");
    RemoveStartMenuShortcuts(&setup_context, buffer, sizeof buffer);
    EXPECT_FALSE(Has(user_shortcuts));
    EXPECT_TRUE(Has(In(system, "Readme.LNK")));
    EXPECT_TRUE(Has(In(system, "kernel32.dll")));

    // "ZT Audio" is a link to a folder holding a real "MixoLyte": it is not
    // ours, and nothing below it is touched.
    const std::string elsewhere = "C:\\Users\\other\\Stuff";
    Put(In(elsewhere, "MixoLyte\\Readme.LNK"), "precious");
    Sim().files.entries.erase(SimPathKey(In(kUserPrograms, "ZT Audio")));
    SimPutFolderLink(In(kUserPrograms, "ZT Audio"), elsewhere);
    RemoveStartMenuShortcuts(&setup_context, buffer, sizeof buffer);
    EXPECT_TRUE(Has(In(elsewhere, "MixoLyte\\Readme.LNK")));
    EXPECT_TRUE(Has(In(kUserPrograms, "ZT Audio")));

    // The product folder: a linked subfolder goes as a link, a package file
    // below a linked "mp3lame" is not deleted through it, and the ".del"
    // purge does not search a linked folder.
    const std::string other = "C:\\Other";
    Put(In(other, "lame_enc.dll"), "precious");
    Put(In(other, "old.del"), "precious");
    SimPutFolderLink(In(kProduct, "mp3lame"), other);
    SimPutFolderLink(In(kProduct, "Skins"), system);
    Put(In(kProduct, "Mixolyte.exe"));
    DeletePackageFiles(&setup_context);
    EXPECT_TRUE(Has(In(other, "lame_enc.dll")));
    EXPECT_FALSE(Has(In(kProduct, "Mixolyte.exe")));
    EXPECT_EQ(PurgeDelFiles(In(kProduct, "mp3lame").c_str()), 0);
    EXPECT_TRUE(Has(In(other, "old.del")));
    DeleteFolderTree(kProduct);
    EXPECT_FALSE(Has(kProduct));
    EXPECT_TRUE(Has(In(other, "lame_enc.dll")));
    EXPECT_TRUE(Has(In(system, "kernel32.dll")));

    // A linked product folder: removed as a link; nothing deleted through it.
    SimPutFolderLink(kProduct, other);
    DeletePackageFiles(&setup_context);
    DeleteFolderTree(kProduct);
    EXPECT_FALSE(Has(kProduct));
    EXPECT_TRUE(Has(In(other, "lame_enc.dll")));
    EXPECT_TRUE(Has(In(other, "old.del")));
    EXPECT_TRUE(Sim().files.searches.empty());

    // Device names are refused in removal as in extraction.
    Put(In(kProduct, "aux.txt"));
    SetEntryName(0, "aux.txt");
    DeletePackageFiles(&setup_context);
    EXPECT_TRUE(Has(In(kProduct, "aux.txt")));
}

// The per-user places come from what the user controls: only the forms a
// real profile folder has are used, and a path whose look-up fails is not
// touched.
TEST(UninstallRemoval, OnlyPlainFolderPathsAreUsedAndFailedLookUpsAreNotTouched) {
    for (const char* plain : {"C:\\Users\\u\\Start Menu\\Programs", "d:\\x", "C:\\x\\", "\\\\server\\share\\Menu",
                              "\\\\server\\share", "C:\\a.b\\Con tour", "C:\\COM10\\LPT"})
        EXPECT_EQ(IsPlainFolderPath(plain), 1) << plain;
    for (const char* refused :
         {"", "Startup", "C:", "C:\\", "C:x\\y", "\\x\\y", "\\\\?\\C:\\Users", "\\\\.\\C:\\Users", "\\??\\C:\\Users",
          "\\\\.\\GLOBALROOT\\RPC Control", "\\\\?\\GLOBALROOT\\Device\\x", "C:\\x\\GLOBALROOT\\y", "//?/C:/x",
          "C:/x", "C:\\x\\..\\y", "C:\\x\\.\\y", "C:\\x\\\\y", "C:\\x\\NUL", "C:\\x\\con.txt", "C:\\x\\COM1",
          "C:\\x\\lpt9.lnk", "C:\\x\\CONOUT$", "C:\\x:stream", "C:\\x\\*", "C:\\x\\a?", "C:\\x\\y.", "C:\\x\\y ",
          "\\\\server", "\\\\server\\", "\\\\\\share", "C:\\x\\a\"b", "C:\\x\\a|b", "C:\\NUL .txt\\y",
          "C:\\x\\Aux  .log", "C:\\com\xB9\\y", "C:\\x\\LPT\xB3.txt"})
        EXPECT_EQ(IsPlainFolderPath(refused), 0) << refused;

    // The Shell Folders value in a namespace form reaches the same folder
    // on Windows, and is refused.
    FreshMachine();
    SetUserPrograms(std::string("\\\\?\\") + kUserPrograms);
    char16_t folder[1024];
    EXPECT_EQ(ReadUserProgramsFolder(folder, 1024), 0);
    // The Startup folder: a relative fallback is never taken from the
    // current folder, and a linked Startup folder is not walked.
    Sim().processes.current_folder = "C:\\Downloads";
    Put("C:\\Downloads\\Startup\\Mixolyte (ZT-Audio).LNK");
    EXPECT_EQ(DeleteShortcut("Startup", "Mixolyte (ZT-Audio)"), 0);
    EXPECT_TRUE(Has("C:\\Downloads\\Startup\\Mixolyte (ZT-Audio).LNK"));
    Put("C:\\Precious\\Mixolyte (ZT-Audio).LNK");
    SimPutFolderLink("C:\\Users\\user\\Startup", "C:\\Precious");
    EXPECT_EQ(DeleteShortcut("C:\\Users\\user\\Startup", "Mixolyte (ZT-Audio)"), 0);
    EXPECT_TRUE(Has("C:\\Precious\\Mixolyte (ZT-Audio).LNK"));

    // "ZT Audio" made a link whose look-up fails while paths through it
    // reach the precious folder: nothing below it goes.
    SimPutFolder(kUserPrograms);
    SetUserPrograms(kUserPrograms);
    Put("C:\\Precious\\MixoLyte\\Mixolyte.LNK");
    SimPutFolderLink(In(kUserPrograms, "ZT Audio"), "C:\\Precious");
    SimFindFile(In(kUserPrograms, "ZT Audio"))->lookup_fails = true;
    char buffer[1024];
    RemoveStartMenuShortcuts(&setup_context, buffer, sizeof buffer);
    EXPECT_TRUE(Has("C:\\Precious\\MixoLyte\\Mixolyte.LNK"));
    EXPECT_TRUE(Sim().files.open.empty()) << "every hold let go";
}

// A Shell Folders value of plain form can still name a folder the user
// does not own (another user's Start menu, say). Run as the user (the
// shell's unelevated token), what only the administrator may change stays.
// Where those rights should exist but cannot be had, only the listed
// shortcut names go and folders only when empty. Where they are not needed
// (no split token; another user's desktop, so HKCU is the administrator's
// own) the work runs as it always did.
TEST(UninstallRemoval, PerUserRemovalRunsWithTheUsersOwnRights) {
    enum State { kAsUser, kNoShell, kShellRefused, kShellElevated, kNotTaken, kOwnUnread, kNoSplit, kOtherUser };
    for (State state :
         {kAsUser, kNoShell, kShellRefused, kShellElevated, kNotTaken, kOwnUnread, kNoSplit, kOtherUser}) {
        SCOPED_TRACE(state);
        FreshMachine();
        SimSystem& system = Sim().system;
        system.shell_running = state != kNoShell;
        system.shell_token_refused = state == kShellRefused;
        system.shell.elevated = state == kShellElevated;
        system.token.split = state != kNoSplit;
        if (state == kOtherUser) system.shell.user = "S-1-5-21-7-7-7-1002";
        if (state == kNotTaken) SimFailCall("ImpersonateToken", 1, 1000);  // the impersonation does not take
        if (state == kOwnUnread) SimFailCall("OwnTokenFacts", 1, 1000);    // whether it is split cannot be told
        const bool as_user = state == kAsUser;
        const bool narrowed = state == kNoShell || state == kShellRefused || state == kShellElevated ||
                              state == kNotTaken || state == kOwnUnread;
        const std::string shortcuts = "C:\\Secret\\ZT Audio\\MixoLyte";
        Put(In(shortcuts, "Mixolyte.LNK"));
        Put(In(shortcuts, "ledger.dat"));
        Put(In(shortcuts, "Sub\\deep.txt"));
        Put("C:\\Secret\\Startup\\Mixolyte (ZT-Audio).LNK");
        for (const std::string& path : {In(shortcuts, "Mixolyte.LNK"), In(shortcuts, "ledger.dat"),
                                        In(shortcuts, "Sub\\deep.txt"), In(shortcuts, "Sub"),
                                        std::string("C:\\Secret\\Startup\\Mixolyte (ZT-Audio).LNK")})
            SimFindFile(path)->admin_only = true;
        Put(In(shortcuts, "Readme.LNK"));  // the user's own
        Put(In(shortcuts, "notes.txt"));   // the user's own, not a listed name
        // An empty "ZT Audio" of someone else's in a second Programs folder.
        SimPutFolder("C:\\Other\\ZT Audio");
        SimFindFile("C:\\Other\\ZT Audio")->admin_only = true;
        SetUserPrograms("C:\\Secret");
        char buffer[1024];
        RemoveStartMenuShortcuts(&setup_context, buffer, sizeof buffer);
        EXPECT_EQ(DeleteShortcut("C:\\Secret\\Startup", "Mixolyte (ZT-Audio)"), as_user ? 0 : 1);
        EXPECT_EQ(Has(In(shortcuts, "Mixolyte.LNK")), as_user) << "a listed name goes unless the user may not";
        EXPECT_EQ(Has("C:\\Secret\\Startup\\Mixolyte (ZT-Audio).LNK"), as_user);
        EXPECT_EQ(Has(In(shortcuts, "ledger.dat")), as_user || narrowed) << "no tree goes without the user's rights";
        EXPECT_EQ(Has(In(shortcuts, "Sub\\deep.txt")), as_user || narrowed);
        EXPECT_FALSE(Has(In(shortcuts, "Readme.LNK"))) << "what the user may delete goes in every state";
        // (As the user, the walk stops at the first file it may not delete.)
        if (!as_user) {
            EXPECT_EQ(Has(In(shortcuts, "notes.txt")), narrowed);
        }
        EXPECT_EQ(Has(shortcuts), as_user || narrowed);
        SetUserPrograms("C:\\Other");
        RemoveEmptyShortcutParents();
        EXPECT_EQ(Has("C:\\Other\\ZT Audio"), as_user) << "the empty folder is removed as the user";
        // The settings are written in every state; narrowed, only along
        // keys that are no registry links (shown in the contract suite).
        SimFaults& faults = Sim().faults;
        faults.record = true;
        faults.log.clear();
        EXPECT_EQ(SetUserDword(kProductSettingsKey, "SysTray", 0), 1);
        bool unlinked = false;
        for (int op : faults.log) unlinked |= SimOpName(op) == "UserDwordWriteNoLinks";
        EXPECT_EQ(unlinked, narrowed);
        plat::Handle key = nullptr;
        EXPECT_EQ(plat::RegistryOpenKey(plat::kHkeyCurrentUser, kProductSettingsKey, &key), plat::kErrorSuccess);
        if (key != plat::kInvalidHandle) plat::RegistryCloseKey(key);
        EXPECT_FALSE(system.impersonating) << "back to the program's own rights";
        EXPECT_TRUE(system.token_handles.empty()) << "every token closed";
    }
}

// When the program's own rights cannot be restored after work as the
// user, the process ends at once with its own code: it deletes nothing
// more, with whatever token the thread was left.
TEST(UninstallRemoval, AFailedReturnToTheProgramsOwnRightsEndsTheProcess) {
    FreshMachine();
    PutLinks(In(kUserPrograms, "ZT Audio\\MixoLyte"));
    Put(In(kUserPrograms, "Startup\\Mixolyte (ZT-Audio).LNK"));
    SetUserPrograms(kUserPrograms);
    SimFailCall("StopImpersonating", 1);
    char buffer[1024];
    std::uint32_t code = 0;
    bool ended = false;
    try {
        RemoveStartMenuShortcuts(&setup_context, buffer, sizeof buffer);
        DeleteShortcut(In(kUserPrograms, "Startup").c_str(), "Mixolyte (ZT-Audio)");
    } catch (const SimKilled& killed) {
        ended = killed.ended;
        code = killed.exit_code;
    }
    EXPECT_TRUE(ended);
    EXPECT_EQ(static_cast<int>(code), kExitRightsNotRestored);
    EXPECT_FALSE(Has(In(kUserPrograms, "ZT Audio\\MixoLyte\\Mixolyte.LNK"))) << "the work as the user was done";
    EXPECT_TRUE(Has(In(kUserPrograms, "Startup\\Mixolyte (ZT-Audio).LNK"))) << "nothing after it";
}
