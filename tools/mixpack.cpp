// mixpack: builds, lists, verifies and extracts the setup program's package.
// verify and extract run the setup program's own ExtractPackage against a
// simulated machine, so they give exactly the codes the installer would.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "package/md5.h"
#include "package/package.h"
#include "package/package_format.h"
#include "platform/sim/sim.h"
#include "setup/context.h"
#include "setup/text.h"
#include "tools/pe_rcdata.h"

namespace fs = std::filesystem;

namespace {

int Usage() {
    std::fprintf(stderr,
                 "usage: mixpack build PAYLOAD_DIR OUT [--tag N]\n"
                 "       mixpack list FILE\n"
                 "       mixpack verify FILE\n"
                 "       mixpack extract FILE DIR\n"
                 "FILE is a package or a setup program that carries one.\n");
    return 2;
}

bool ReadWholeFile(const std::string& path, std::vector<std::uint8_t>* bytes, std::string* error) {
    std::error_code code;
    if (fs::is_directory(path, code)) {
        *error = path + ": is a folder, not a file";
        return false;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        *error = path + ": " + std::strerror(errno);
        return false;
    }
    bytes->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    if (in.bad()) {
        *error = path + ": read error";
        return false;
    }
    return true;
}

std::string HostName(const char* entry_name) {
    std::string name = entry_name;
    for (char& c : name)
        if (c == '\\') c = '/';
    return name;
}

std::string Hex(const std::uint8_t* bytes, int count) {
    std::string text;
    char pair[3];
    for (int i = 0; i < count; ++i) {
        std::snprintf(pair, sizeof pair, "%02x", bytes[i]);
        text += pair;
    }
    return text;
}

int Build(int argc, char** argv) {
    if (argc != 4 && !(argc == 6 && std::strcmp(argv[4], "--tag") == 0)) return Usage();
    std::uint32_t tag = 0;
    if (argc == 6) {
        char* end = nullptr;
        unsigned long long value = std::strtoull(argv[5], &end, 0);
        if (*argv[5] == '\0' || *end != '\0' || value > 0xFFFFFFFFull) {
            std::fprintf(stderr, "mixpack: --tag takes a number from 0 to 4294967295\n");
            return 2;
        }
        tag = static_cast<std::uint32_t>(value);
    }
    std::vector<std::vector<std::uint8_t>> plain(kPackageEntryCount);
    for (int i = 0; i < kPackageEntryCount; ++i) {
        std::string error;
        if (!ReadWholeFile(std::string(argv[2]) + "/" + HostName(kPackageEntryNames[i]), &plain[i], &error)) {
            std::fprintf(stderr, "mixpack: cannot read entry %d: %s\n", i, error.c_str());
            return 1;
        }
    }
    std::vector<std::uint8_t> package;
    std::string problem = BuildPackage(plain, tag, &package);
    if (!problem.empty()) {
        std::fprintf(stderr, "mixpack: %s\n", problem.c_str());
        return 1;
    }
    // Written beside the target and renamed, so a failure leaves no package.
    std::string temp = std::string(argv[3]) + ".part";
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(package.data()), static_cast<std::streamsize>(package.size()));
        out.close();
        if (!out) {
            std::error_code ignored;
            fs::remove(temp, ignored);
            std::fprintf(stderr, "mixpack: cannot write %s\n", argv[3]);
            return 1;
        }
    }
    std::error_code code;
    fs::rename(temp, argv[3], code);
    if (code) {
        fs::remove(temp, code);
        std::fprintf(stderr, "mixpack: cannot write %s\n", argv[3]);
        return 1;
    }
    std::printf("%s: %zu bytes, %d entries\n", argv[3], package.size(), kPackageEntryCount);
    return 0;
}

// Reads FILE (a package, or a setup program carrying one as RCDATA 100)
// and checks that it can be a package at all.
bool LoadPackageFile(const char* path, std::vector<std::uint8_t>* bytes) {
    std::string error;
    if (!ReadWholeFile(path, bytes, &error)) {
        std::fprintf(stderr, "mixpack: %s\n", error.c_str());
        return false;
    }
    if (LooksLikeProgram(*bytes)) {
        std::vector<std::uint8_t> resource;
        error = FindProgramResource(*bytes, 10, 100, &resource);
        if (!error.empty()) {
            std::fprintf(stderr, "mixpack: %s: a Windows program without a package: %s\n", path, error.c_str());
            return false;
        }
        bytes->swap(resource);
    }
    if (bytes->size() <= static_cast<std::size_t>(kPackageDirectorySize)) {
        std::fprintf(stderr,
                     "mixpack: %s: %zu bytes is too short for a package (a directory of %d bytes and "
                     "at least one byte of entry data)\n",
                     path, bytes->size(), kPackageDirectorySize);
        return false;
    }
    if (bytes->size() > 0xFFFFFFFFull) {
        std::fprintf(stderr, "mixpack: %s: larger than 4 GiB, not a package\n", path);
        return false;
    }
    return true;
}

int List(int argc, char** argv) {
    if (argc != 3) return Usage();
    std::vector<std::uint8_t> bytes;
    if (!LoadPackageFile(argv[2], &bytes)) return 1;
    std::printf("%-5s %-34s %10s %10s %-32s %10s %s\n", "index", "name", "offset", "size", "md5", "tag",
                "place");
    int outside = 0;
    for (int i = 0; i < kPackageEntryCount; ++i) {
        DirectoryRecord record;
        ReadDirectoryRecord(bytes.data() + i * kDirectoryRecordSize, &record);
        bool inside = EntryInsideResource(record, bytes.size());
        outside += !inside;
        std::printf("%-5d %-34s %10u %10u %s %10u %s\n", i, record.name, record.offset, record.size,
                    Hex(record.digest, 16).c_str(), record.tag, inside ? "inside" : "OUTSIDE");
    }
    if (outside) std::printf("%d entries lie outside the file\n", outside);
    return 0;
}

// Runs ExtractPackage on a fresh simulated machine into C:\Package.
int ExtractOnSim(const std::vector<std::uint8_t>& bytes) {
    SimReset();
    Sim().resources.rcdata[100] = bytes;
    SimPutFolder("C:\\Package");
    ResetSetupContext(&setup_context);
    CopyText(setup_context.product_folder, sizeof setup_context.product_folder, "C:\\Package");
    return ExtractPackage(&setup_context);
}

std::string EntryPath(const char* name) { return std::string("C:\\Package\\") + name; }

int Verify(int argc, char** argv) {
    if (argc != 3) return Usage();
    std::vector<std::uint8_t> bytes;
    if (!LoadPackageFile(argv[2], &bytes)) return 1;
    int code = ExtractOnSim(bytes);
    for (int i = 0; i < kPackageEntryCount; ++i) {
        DirectoryRecord record;
        ReadDirectoryRecord(setup_context.package_directory[i], &record);
        if (!SimFindFile(EntryPath(record.name)) || !IsSafeEntryName(record.name))
            std::printf("entry %d failed: %s\n", i, record.name);
    }
    std::printf("result %d\n", code);
    return code == 0 ? 0 : 1;
}

int Extract(int argc, char** argv) {
    if (argc != 4) return Usage();
    std::vector<std::uint8_t> bytes;
    if (!LoadPackageFile(argv[2], &bytes)) return 1;
    int code = ExtractOnSim(bytes);
    std::error_code error;
    for (const SimFile* file : SimListTree("C:\\Package")) {
        std::string relative = HostName(file->path.c_str() + std::strlen("C:\\Package\\"));
        fs::path target = fs::path(argv[3]) / relative;
        if (file->is_folder) {
            fs::create_directories(target, error);
            continue;
        }
        fs::create_directories(target.parent_path(), error);
        std::ofstream out(target, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(file->bytes.data()),
                  static_cast<std::streamsize>(file->bytes.size()));
        if (!out) {
            std::fprintf(stderr, "mixpack: cannot write %s\n", target.c_str());
            return 1;
        }
        std::printf("%s\n", relative.c_str());
    }
    std::printf("result %d\n", code);
    return code == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return Usage();
    std::string command = argv[1];
    if (command == "build") return Build(argc, argv);
    if (command == "list") return List(argc, argv);
    if (command == "verify") return Verify(argc, argv);
    if (command == "extract") return Extract(argc, argv);
    return Usage();
}
