// The package on the simulated machine: building, loading the directory,
// extracting, and the damage it must survive.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "base/context.h"
#include "base/path_chars.h"
#include "base/text.h"
#include "package/md5.h"
#include "package/package.h"
#include "package/package_format.h"
#include "platform/sim/sim.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
const char kFolder[] = "C:\\Program Files\\ZT\\Mixolyte";

std::vector<Bytes> RandomEntries(std::mt19937* random, std::size_t max_size) {
    std::vector<Bytes> entries(kPackageEntryCount);
    for (Bytes& entry : entries) {
        entry.resize(1 + (*random)() % max_size);
        for (auto& b : entry) b = static_cast<std::uint8_t>((*random)());
    }
    return entries;
}

Bytes Build(const std::vector<Bytes>& entries) {
    Bytes package;
    EXPECT_EQ(BuildPackage(entries, 7, &package), "");
    return package;
}

// A fresh machine holding the package as the program's resource and the
// product folder created.
void Install(const Bytes& package, const char* folder = kFolder) {
    SimReset();
    Sim().resources.rcdata[100] = package;
    SimPutFolder(folder);
    ResetSetupContext(&setup_context);
    CopyText(setup_context.product_folder, sizeof setup_context.product_folder, folder);
}

std::string Target(const char* name, const char* folder = kFolder) {
    char path[1024];
    JoinPath(path, sizeof path, folder, name);
    return path;
}

DirectoryRecord RecordOf(const Bytes& package, int index) {
    DirectoryRecord record;
    ReadDirectoryRecord(package.data() + index * kDirectoryRecordSize, &record);
    return record;
}

void PatchRecord(Bytes* package, int index, const DirectoryRecord& record) {
    WriteDirectoryRecord(record, package->data() + index * kDirectoryRecordSize);
}

int CountWritten(const char* folder = kFolder) {
    int count = 0;
    for (const SimFile* file : SimListTree(folder)) count += !file->is_folder;
    return count;
}

}  // namespace

TEST(Package, RandomPackagesRoundTripByteForByte) {
    std::mt19937 random(2026);
    for (int round = 0; round < 4; ++round) {
        std::vector<Bytes> entries = RandomEntries(&random, 3000);
        Bytes package = Build(entries);
        // The layout: directory, then entries back to back to the last byte.
        std::uint32_t offset = kPackageDirectorySize;
        for (int i = 0; i < kPackageEntryCount; ++i) {
            DirectoryRecord record = RecordOf(package, i);
            EXPECT_STREQ(record.name, kPackageEntryNames[i]);
            EXPECT_EQ(record.offset, offset);
            EXPECT_EQ(record.size, entries[i].size());
            EXPECT_EQ(record.tag, 7u);
            EXPECT_EQ(record.reserved, 0u);
            std::uint8_t digest[16];
            Md5OfBuffer(entries[i].data(), entries[i].size(), digest);
            EXPECT_TRUE(DigestsEqual(digest, record.digest));
            offset += record.size;
        }
        EXPECT_EQ(offset, package.size());

        const char* folder = round % 2 ? "C:\\Program Files\\ZT\\Mixolyte\\" : kFolder;
        Install(package, folder);
        ASSERT_EQ(ExtractPackage(&setup_context), 0);
        for (int i = 0; i < kPackageEntryCount; ++i)
            EXPECT_EQ(SimReadFile(Target(kPackageEntryNames[i], folder)), entries[i]) << kPackageEntryNames[i];
        SimFile* lame = SimFindFile(Target("mp3lame", folder));
        ASSERT_NE(lame, nullptr);
        EXPECT_TRUE(lame->is_folder);
        EXPECT_EQ(std::memcmp(setup_context.package_directory, package.data(), kPackageDirectorySize), 0);
    }
}

TEST(Package, DirectoryLoadsOnlyWithEntryData) {
    std::mt19937 random(1);
    Bytes package = Build(RandomEntries(&random, 10));
    Bytes exact(package.begin(), package.begin() + kPackageDirectorySize);
    Install(exact);
    EXPECT_EQ(LoadPackageDirectory(&setup_context), -1);
    Bytes zero(kPackageDirectorySize, 0);
    EXPECT_EQ(std::memcmp(setup_context.package_directory, zero.data(), zero.size()), 0);

    exact.push_back(0);
    Install(exact);
    EXPECT_EQ(LoadPackageDirectory(&setup_context), 0);
    EXPECT_STREQ(reinterpret_cast<const char*>(setup_context.package_directory[97]), "mp3lame\\lame_License.txt");

    // A failed load after a good one keeps the directory it had, and an
    // extraction from a resource without entry data neither refreshes it nor
    // reads past the resource: every entry lies outside and fails.
    Bytes loaded(setup_context.package_directory[0], setup_context.package_directory[0] + kPackageDirectorySize);
    Bytes other(kPackageDirectorySize, 0x5A);
    Sim().resources.rcdata[100] = other;
    EXPECT_EQ(LoadPackageDirectory(&setup_context), -1);
    EXPECT_EQ(std::memcmp(setup_context.package_directory, loaded.data(), kPackageDirectorySize), 0);
    EXPECT_EQ(ExtractPackage(&setup_context), -198);
    EXPECT_EQ(std::memcmp(setup_context.package_directory, loaded.data(), kPackageDirectorySize), 0);
    EXPECT_EQ(CountWritten(), 0);
    // With the all-zero directory of a fresh context, a short resource
    // fails every entry too (an empty name is never written).
    for (std::size_t size : {std::size_t{0}, std::size_t{1}, std::size_t{kPackageDirectorySize}}) {
        Install(Bytes(size, 0));
        EXPECT_EQ(LoadPackageDirectory(&setup_context), -1) << size;
        EXPECT_EQ(ExtractPackage(&setup_context), -198) << size;
        EXPECT_EQ(CountWritten(), 0) << size;
    }

    SimReset();
    EXPECT_EQ(LoadPackageDirectory(&setup_context), -1);  // no resource
    EXPECT_EQ(ExtractPackage(&setup_context), -1);
    Sim().resources.rcdata[100] = package;
    Sim().resources.not_loadable = true;
    EXPECT_EQ(LoadPackageDirectory(&setup_context), -1);
    EXPECT_EQ(ExtractPackage(&setup_context), -1);
}

TEST(Package, OneDamagedByteFailsFiveEntriesThenTheChainRecovers) {
    std::mt19937 random(99);
    std::vector<Bytes> entries = RandomEntries(&random, 600);
    Bytes package = Build(entries);
    const int damaged = 40;
    package[RecordOf(package, damaged).offset + 3] ^= 0x5A;
    Install(package);
    int result = ExtractPackage(&setup_context);
    // Entry k and k+1 always fail; k+2..k+4 fail as a rule (their seed
    // derives from the damaged digest); from k+5 on all is well again.
    EXPECT_LE(result, -102);
    EXPECT_GE(result, -105);
    EXPECT_EQ(SimFindFile(Target(kPackageEntryNames[damaged])), nullptr);
    EXPECT_EQ(SimFindFile(Target(kPackageEntryNames[damaged + 1])), nullptr);
    for (int i = 0; i < kPackageEntryCount; ++i) {
        if (i >= damaged && i <= damaged + 4) continue;
        EXPECT_EQ(SimReadFile(Target(kPackageEntryNames[i])), entries[i]) << i;
    }
    EXPECT_EQ(result, -100 - (kPackageEntryCount - CountWritten()));
}

TEST(Package, EntriesOutsideTheResourceFailWithoutReadingBeyondIt) {
    std::mt19937 random(5);
    std::vector<Bytes> entries = RandomEntries(&random, 200);
    Bytes package = Build(entries);

    // Offset plus size passing 32 bits must not wrap into the resource.
    DirectoryRecord record = RecordOf(package, 10);
    record.offset = 0xFFFFFF00u;
    record.size = 0x200u;
    PatchRecord(&package, 10, record);
    // Another one simply one byte past the end.
    DirectoryRecord last = RecordOf(package, 60);
    last.size = static_cast<std::uint32_t>(package.size()) - last.offset + 1;
    PatchRecord(&package, 60, last);

    Install(package);
    int result = ExtractPackage(&setup_context);
    // The chain does not advance for a skipped entry, so the next one fails
    // its digest too, and the entries after it recover as from damage.
    EXPECT_LE(result, -104);
    EXPECT_EQ(SimFindFile(Target(kPackageEntryNames[10])), nullptr);
    EXPECT_EQ(SimFindFile(Target(kPackageEntryNames[11])), nullptr);
    EXPECT_EQ(SimFindFile(Target(kPackageEntryNames[60])), nullptr);
    EXPECT_EQ(SimFindFile(Target(kPackageEntryNames[61])), nullptr);
    EXPECT_EQ(SimReadFile(Target(kPackageEntryNames[20])), entries[20]);
    EXPECT_EQ(SimReadFile(Target(kPackageEntryNames[80])), entries[80]);
    // The byte past the end is never read, though its digest would fail
    // the entry anyway: the bound is exact.
    EXPECT_EQ(EntryInsideResource(last, package.size()), 0);
    --last.size;
    EXPECT_EQ(EntryInsideResource(last, package.size()), 1);
}

TEST(Package, EmptyEntriesAndTheLastRecordRule) {
    std::mt19937 random(8);
    std::vector<Bytes> entries = RandomEntries(&random, 100);
    entries[5].clear();
    Install(Build(entries));
    EXPECT_EQ(ExtractPackage(&setup_context), 0);
    SimFile* empty = SimFindFile(Target(kPackageEntryNames[5]));
    ASSERT_NE(empty, nullptr);
    EXPECT_TRUE(empty->bytes.empty());

    // An empty last entry is written, yet the whole is reported as -1.
    entries[97].clear();
    Install(Build(entries));
    EXPECT_EQ(ExtractPackage(&setup_context), -1);
    EXPECT_NE(SimFindFile(Target("mp3lame\\lame_License.txt")), nullptr);
}

TEST(Package, FailureCountsAndUnwritableTargets) {
    std::mt19937 random(3);
    std::vector<Bytes> entries = RandomEntries(&random, 100);
    Bytes package = Build(entries);

    // A read-only target and one in use: counted, left as they were.
    Install(package);
    SimPutFile(Target("ztml_asiodriver.dll"), {1, 2, 3});
    SimFindFile(Target("ztml_asiodriver.dll"))->in_use = true;
    SimPutFile(Target("readme.txt"), {'o', 'l', 'd'});
    SimFindFile(Target("readme.txt"))->read_only = true;
    EXPECT_EQ(ExtractPackage(&setup_context), -102);
    EXPECT_EQ(SimReadFile(Target("ztml_asiodriver.dll")), (Bytes{1, 2, 3}));
    EXPECT_EQ(SimReadFile(Target("readme.txt")), (Bytes{'o', 'l', 'd'}));
    EXPECT_EQ(SimReadFile(Target("mixolyte.exe")), entries[36]);

    // A file named "mp3lame" where the folder should be: each of the three
    // entries in it counts once (the folder itself is not counted).
    Install(package);
    SimPutFile(Target("mp3lame"), {'f'});
    EXPECT_EQ(ExtractPackage(&setup_context), -103);
    EXPECT_EQ(SimReadFile(Target("mp3lame")), (Bytes{'f'}));
    EXPECT_EQ(CountWritten(), kPackageEntryCount - 3 + 1);

    // A writable existing file is replaced.
    Install(package);
    SimPutFile(Target("mixolyte.exe"), {9, 9});
    EXPECT_EQ(ExtractPackage(&setup_context), 0);
    EXPECT_EQ(SimReadFile(Target("mixolyte.exe")), entries[36]);

    // A full disk: the write reports fewer bytes and the entry fails.
    Install(package);
    Sim().files.free_bytes = 0;
    EXPECT_EQ(ExtractPackage(&setup_context), -100 - kPackageEntryCount + 0);

    // No product folder at all: every write fails, every entry counts.
    Install(package);
    CopyText(setup_context.product_folder, sizeof setup_context.product_folder, "C:\\Absent");
    EXPECT_EQ(ExtractPackage(&setup_context), -198 + 3);  // mp3lame entries make their folders
    // Every digest wrong: all 98 fail.
    Bytes bad = package;
    for (int i = 0; i < kPackageEntryCount; ++i) {
        DirectoryRecord record = RecordOf(bad, i);
        record.digest[15] ^= 1;
        PatchRecord(&bad, i, record);
    }
    Install(bad);
    EXPECT_EQ(ExtractPackage(&setup_context), -198);
    EXPECT_EQ(CountWritten(), 0);
}

TEST(Package, CraftedNamesNeverLeaveTheProductFolder) {
    EXPECT_TRUE(IsSafeEntryName("readme.txt"));
    EXPECT_TRUE(IsSafeEntryName("mp3lame\\lame_enc.dll"));
    EXPECT_TRUE(IsSafeEntryName("a.b\\.hidden"));
    for (const char* bad : {"", "\\Windows\\evil.dll", "/etc/x", "C:\\evil.dll", "D:evil", "a:b",
                            "..\\evil.dll", "sub\\..\\..\\evil", "sub/../x", "..", ". .\\x", "x\\...",
                            "\\\\server\\share\\x"})
        EXPECT_FALSE(IsSafeEntryName(bad)) << bad;
    // Device names, as the last component or a folder, any case, with or
    // without an extension; their look-alikes are files.
    for (const char* device : {"CON", "prn", "Aux.txt", "nul.dll", "COM1", "com9.log", "LPT1", "lpt5.x.y",
                               "con .txt", "sub\\NUL", "AUX\\readme.txt", "a/com3/b", "COM0", "COM0.txt",
                               "lpt0.dll", "CONIN$", "sub\\conout$.log", "GLOBALROOT\\x", "com\xB9.txt"})
        EXPECT_FALSE(IsSafeEntryName(device)) << device;
    for (const char* file : {"CONSOLE.exe", "com10.txt", "lpt.txt", "xcon", "nul_x.dll", "con-1\\a",
                             "mp3lame\\prn_driver.dll", "AUXI", "CONIN.txt", "GLOBALROOTS"})
        EXPECT_TRUE(IsSafeEntryName(file)) << file;

    std::mt19937 random(11);
    std::vector<Bytes> entries = RandomEntries(&random, 100);
    Bytes package = Build(entries);
    const char* crafted[] = {"..\\..\\evil.dll", "C:\\Windows\\evil.dll", "\\evil.dll", "mp3lame\\CON.dll"};
    int index = 30;
    for (const char* name : crafted) {
        DirectoryRecord record = RecordOf(package, index);
        std::memset(record.name, 0, sizeof record.name);
        std::memcpy(record.name, name, std::strlen(name));
        PatchRecord(&package, index, record);
        index += 10;
    }
    // A name that fills the whole field without a terminator.
    DirectoryRecord record = RecordOf(package, 70);
    std::memset(record.name, 'A', kRecordNameSize);
    PatchRecord(&package, 70, record);
    // The writer always terminates the name: the last byte goes in by hand.
    package[70 * kDirectoryRecordSize + kRecordNameAt + kRecordNameSize - 1] = 'A';
    ASSERT_FALSE(RecordOf(package, 70).name_terminated);
    // A name that fits the field but not the path buffer with the folder.
    std::string deep_folder = "C:\\" + std::string(900, 'f');
    Install(package, deep_folder.c_str());
    DirectoryRecord long_name = RecordOf(package, 80);
    std::memset(long_name.name, 0, sizeof long_name.name);
    std::memset(long_name.name, 'n', 127);
    PatchRecord(&package, 80, long_name);
    Sim().resources.rcdata[100] = package;

    std::size_t files_before = Sim().files.entries.size();
    EXPECT_EQ(ExtractPackage(&setup_context), -106);
    EXPECT_EQ(SimFindFile("C:\\evil.dll"), nullptr);
    EXPECT_EQ(SimFindFile("C:\\Windows\\evil.dll"), nullptr);
    // The chain goes on past refused names: everything else arrives.
    EXPECT_EQ(CountWritten(deep_folder.c_str()), kPackageEntryCount - 6);
    EXPECT_EQ(SimFindFile(deep_folder + "\\mp3lame\\CON.dll"), nullptr);
    EXPECT_EQ(SimReadFile(Target(kPackageEntryNames[31], deep_folder.c_str())), entries[31]);
    EXPECT_GT(Sim().files.entries.size(), files_before);
}

// One device-name rule for every component the program is handed, in the
// package's names and in the folders it removes from.
TEST(Package, DeviceNamesByTheirStemInAnyCaseWithAnyExtension) {
    auto device = [](const char* name) { return IsDeviceName(name, std::strlen(name)); };
    for (const char* name : {"CON", "prn", "Aux", "nul", "CONIN$", "conout$", "GlobalRoot", "COM0", "com9", "LPT0",
                             "lpt5", "COM\xB9", "lpt\xB2", "Com\xB3", "nul.txt", "CON.", "con..", "AUX .dll",
                             "NUL  .x.y", "CONIN$.txt", "GLOBALROOT.x", "COM1 "})
        EXPECT_EQ(device(name), 1) << name;
    for (const char* name : {"", "CO", "CONSOLE", "COM", "COM10", "LPT", "COMx", "com\xB4", "COM\xB9\x30", " CON",
                             "xNUL", "NUL_x", "CONIN", "CONIN$$", "GLOBALROOTS", "AUXI.txt", ".CON", "con-1",
                             "COM1x.txt", "\x83\x43ON", "C\x83\x4FN"})
        EXPECT_EQ(device(name), 0) << name;
    // The length ends the component: what follows belongs to another.
    EXPECT_EQ(IsDeviceName("AUX\\readme.txt", 3), 1);
    EXPECT_EQ(IsDeviceName("CONSOLE", 3), 1);
    EXPECT_EQ(IsDeviceName("readme\\AUX", 6), 0);
}

// A known answer, worked out by hand from the format's rules (not with the
// project's scrambler or builder): entries 0 "Mixolyte", 1 "The quick
// brown fox." and 97 "end\r\n", all others empty, tag 7. Entry 1 is keyed
// by the MD5 of entry 0's stored bytes; chaining on the plain digest would
// give 0A 07 69 98 ... instead. Extraction and the builder share their
// code, so only a vector like this catches a mistake made in both.
TEST(Package, KnownAnswerPackageOfThreeEntries) {
    const Bytes plain0 = {'M', 'i', 'x', 'o', 'l', 'y', 't', 'e'};
    const Bytes plain1 = {'T', 'h', 'e', ' ', 'q', 'u', 'i', 'c', 'k', ' ',
                          'b', 'r', 'o', 'w', 'n', ' ', 'f', 'o', 'x', '.'};
    const Bytes plain97 = {'e', 'n', 'd', '\r', '\n'};
    const Bytes stored0 = {0xF3, 0x48, 0xC9, 0x00, 0x5A, 0x8C, 0xC3, 0xA3};
    const Bytes stored1 = {0x11, 0xA1, 0x7B, 0xA1, 0x8E, 0x6A, 0x0F, 0x96, 0x43, 0x35,
                           0x31, 0x5F, 0x70, 0xF1, 0x0A, 0xB1, 0x2F, 0xF9, 0x08, 0xF5};
    const Bytes stored97 = {0xAD, 0xA1, 0xEA, 0x2D, 0xD2};
    const Bytes md5_0 = {0xDE, 0x1E, 0x93, 0x31, 0x72, 0xDD, 0xD5, 0x9D,
                         0x85, 0x7F, 0x56, 0xD3, 0xBF, 0xEA, 0x3B, 0xB0};
    const Bytes md5_1 = {0x2E, 0x87, 0x28, 0x4D, 0x24, 0x5C, 0x2A, 0xAE,
                         0x1C, 0x74, 0xFA, 0x4C, 0x50, 0xA7, 0x4C, 0x77};
    const Bytes md5_97 = {0x69, 0x4F, 0xFE, 0x4B, 0xD4, 0x31, 0x06, 0x28,
                          0xC8, 0x79, 0xDB, 0x24, 0x32, 0x9A, 0x73, 0xBD};
    const Bytes md5_empty = {0xD4, 0x1D, 0x8C, 0xD9, 0x8F, 0x00, 0xB2, 0x04,
                             0xE9, 0x80, 0x09, 0x98, 0xEC, 0xF8, 0x42, 0x7E};

    // The expected resource, laid out byte by byte: 98 records of 160 bytes
    // (name, offset, size, digest, tag, reserved), then the stored bytes.
    Bytes expected(15680);
    auto put32 = [&](std::size_t at, std::uint32_t value) {
        for (int i = 0; i < 4; ++i) expected[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
    };
    std::uint32_t offset = 15680;
    for (int i = 0; i < 98; ++i) {
        const Bytes& stored = i == 0 ? stored0 : i == 1 ? stored1 : i == 97 ? stored97 : Bytes{};
        const Bytes& digest = i == 0 ? md5_0 : i == 1 ? md5_1 : i == 97 ? md5_97 : md5_empty;
        std::size_t record = static_cast<std::size_t>(i) * 160;
        std::memcpy(&expected[record], kPackageEntryNames[i], std::strlen(kPackageEntryNames[i]));
        put32(record + 128, offset);
        put32(record + 132, static_cast<std::uint32_t>(stored.size()));
        std::memcpy(&expected[record + 136], digest.data(), 16);
        put32(record + 152, 7);
        expected.insert(expected.end(), stored.begin(), stored.end());
        offset += static_cast<std::uint32_t>(stored.size());
    }
    ASSERT_EQ(expected.size(), 15680u + 8 + 20 + 5);

    std::vector<Bytes> entries(kPackageEntryCount);
    entries[0] = plain0;
    entries[1] = plain1;
    entries[97] = plain97;
    Bytes built;
    ASSERT_EQ(BuildPackage(entries, 7, &built), "");
    ASSERT_EQ(built.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i)
        ASSERT_EQ(built[i], expected[i]) << "byte " << i << " (record " << i / 160 << ")";

    // The hand-made resource extracts to the plain files.
    Install(expected);
    EXPECT_EQ(ExtractPackage(&setup_context), 0);
    EXPECT_EQ(SimReadFile(Target(kPackageEntryNames[0])), plain0);
    EXPECT_EQ(SimReadFile(Target(kPackageEntryNames[1])), plain1);
    EXPECT_EQ(SimReadFile(Target(kPackageEntryNames[97])), plain97);
    EXPECT_NE(SimFindFile(Target(kPackageEntryNames[50])), nullptr);
    EXPECT_EQ(CountWritten(), kPackageEntryCount);
}

TEST(Package, CreateFolderChainWalksDrivesAndShares) {
    SimReset();
    std::uint32_t before = static_cast<std::uint32_t>(Sim().files.entries.size());
    EXPECT_EQ(CreateFolderChain("D:\\A"), 0);  // four characters: nothing
    EXPECT_EQ(CreateFolderChain(nullptr), 0);
    EXPECT_EQ(Sim().files.entries.size(), before);

    EXPECT_EQ(CreateFolderChain("C:\\A\\B\\C"), 1);
    EXPECT_TRUE(SimFindFile("C:\\A")->is_folder);
    EXPECT_TRUE(SimFindFile("C:\\A\\B\\C")->is_folder);
    EXPECT_EQ(CreateFolderChain("c:\\a\\b\\c\\"), 1);  // all there already, other case
    EXPECT_EQ(CreateFolderChain("C:\\A\\B\\D\\"), 1);  // final backslash
    EXPECT_NE(SimFindFile("C:\\A\\B\\D"), nullptr);

    EXPECT_EQ(CreateFolderChain("Q:\\Missing\\Drive"), 0);
    SimPutFile("C:\\A\\file", {1});
    EXPECT_EQ(CreateFolderChain("C:\\A\\file\\sub"), 0);

    // A network path: server and share are never created.
    SimAddRoot("\\\\server\\share");
    EXPECT_EQ(CreateFolderChain("\\\\server\\share\\A\\B"), 1);
    EXPECT_NE(SimFindFile("\\\\server\\share\\A\\B"), nullptr);
    EXPECT_EQ(CreateFolderChain("\\\\server\\share"), 1);
    EXPECT_EQ(CreateFolderChain("\\\\server\\share\\"), 1);
    EXPECT_EQ(CreateFolderChain("\\\\nohost\\share\\X"), 0);
    // A path that does not fit the work buffer is refused, not cut.
    std::string long_path = "C:\\" + std::string(1100, 'x');
    EXPECT_EQ(CreateFolderChain(long_path.c_str()), 0);
}
