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

#include "base/context.h"
#include "base/text.h"
#include "package/md5.h"
#include "package/package.h"
#include "package/package_format.h"
#include "platform/sim/sim.h"
#include "tools/pe_rcdata.h"
#include "tools/pe_stamp.h"

namespace fs = std::filesystem;

namespace {

int Usage() {
    std::fprintf(stderr,
                 "usage: mixpack build PAYLOAD_DIR OUT [--tag N]\n"
                 "       mixpack list FILE\n"
                 "       mixpack verify FILE\n"
                 "       mixpack extract FILE DIR\n"
                 "       mixpack stamp SETUP_EXE PACKAGE_OR_PAYLOAD_DIR OUT_EXE [--tag N]\n"
                 "       mixpack same SETUP_EXE SETUP_EXE\n"
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

// Reads the 98 entries of a payload folder and builds the package from them.
bool BuildFromFolder(const std::string& folder, std::uint32_t tag, std::vector<std::uint8_t>* package) {
    std::vector<std::vector<std::uint8_t>> plain(kPackageEntryCount);
    for (int i = 0; i < kPackageEntryCount; ++i) {
        std::string error;
        if (!ReadWholeFile(folder + "/" + HostName(kPackageEntryNames[i]), &plain[i], &error)) {
            std::fprintf(stderr, "mixpack: cannot read entry %d: %s\n", i, error.c_str());
            return false;
        }
    }
    std::string problem = BuildPackage(plain, tag, package);
    if (!problem.empty()) {
        std::fprintf(stderr, "mixpack: %s\n", problem.c_str());
        return false;
    }
    return true;
}

// Written beside the target and renamed, so a failure leaves no output.
// `mode_from`, when given, lends its permissions (a program stays runnable).
bool WriteOutput(const std::string& path, const std::vector<std::uint8_t>& bytes, const char* mode_from) {
    std::string temp = path + ".part";
    std::error_code code;
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        out.close();
        if (!out) {
            int saved = errno;
            fs::remove(temp, code);
            std::fprintf(stderr, "mixpack: cannot write %s: %s\n", path.c_str(), std::strerror(saved));
            return false;
        }
    }
    if (mode_from != nullptr) fs::permissions(temp, fs::status(mode_from, code).permissions(), code);
    fs::rename(temp, path, code);
    if (code) {
        std::string reason = code.message();
        fs::remove(temp, code);
        std::fprintf(stderr, "mixpack: cannot write %s: %s\n", path.c_str(), reason.c_str());
        return false;
    }
    return true;
}

// The optional "--tag N" at argv[at]: false (after a message) when malformed.
bool ParseTag(int argc, char** argv, int at, std::uint32_t* tag) {
    *tag = 0;
    if (argc == at) return true;
    if (argc != at + 2 || std::strcmp(argv[at], "--tag") != 0) return false;
    char* end = nullptr;
    unsigned long long value = std::strtoull(argv[at + 1], &end, 0);
    if (*argv[at + 1] == '\0' || *end != '\0' || value > 0xFFFFFFFFull) {
        std::fprintf(stderr, "mixpack: --tag takes a number from 0 to 4294967295\n");
        return false;
    }
    *tag = static_cast<std::uint32_t>(value);
    return true;
}

int Build(int argc, char** argv) {
    std::uint32_t tag = 0;
    if ((argc != 4 && argc != 6) || !ParseTag(argc, argv, 4, &tag)) return Usage();
    std::vector<std::uint8_t> package;
    if (!BuildFromFolder(argv[2], tag, &package) || !WriteOutput(argv[3], package, nullptr)) return 1;
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

// A package file to stamp: package-shaped, not a program, every entry
// inside it under a name that may be placed below the product folder.
bool CheckPackageShape(const char* path, const std::vector<std::uint8_t>& bytes) {
    if (LooksLikeProgram(bytes)) {
        std::fprintf(stderr, "mixpack: %s: a Windows program, not a package\n", path);
        return false;
    }
    if (bytes.size() <= static_cast<std::size_t>(kPackageDirectorySize) || bytes.size() > 0xFFFFFFFFull) {
        std::fprintf(stderr, "mixpack: %s: %zu bytes cannot be a package\n", path, bytes.size());
        return false;
    }
    for (int i = 0; i < kPackageEntryCount; ++i) {
        DirectoryRecord record;
        ReadDirectoryRecord(bytes.data() + i * kDirectoryRecordSize, &record);
        if (!EntryInsideResource(record, bytes.size()) || !IsSafeEntryName(record.name)) {
            std::fprintf(stderr, "mixpack: %s: not a package (entry %d lies outside or has a bad name)\n", path, i);
            return false;
        }
    }
    return true;
}

int Stamp(int argc, char** argv) {
    std::uint32_t tag = 0;
    if ((argc != 5 && argc != 7) || !ParseTag(argc, argv, 5, &tag)) return Usage();
    const char* setup = argv[2];
    const char* source = argv[3];
    std::vector<std::uint8_t> program, package, stamped;
    std::string error;
    if (!ReadWholeFile(setup, &program, &error)) {
        std::fprintf(stderr, "mixpack: %s\n", error.c_str());
        return 1;
    }
    std::error_code code;
    if (fs::is_directory(source, code)) {
        if (!BuildFromFolder(source, tag, &package)) return 1;
    } else if (argc == 7) {
        std::fprintf(stderr, "mixpack: --tag applies only when a payload folder is given\n");
        return 2;
    } else if (!ReadWholeFile(source, &package, &error)) {
        std::fprintf(stderr, "mixpack: %s\n", error.c_str());
        return 1;
    } else if (!CheckPackageShape(source, package)) {
        return 1;
    }
    error = StampProgram(program, package, &stamped);
    if (!error.empty()) {
        std::fprintf(stderr, "mixpack: %s: cannot stamp: %s\n", setup, error.c_str());
        return 1;
    }
    // Read back before writing: the output must be a program carrying exactly this package.
    ProgramLayout layout;
    std::vector<std::uint8_t> carried;
    if (!ReadProgramLayout(stamped, &layout).empty() || !FindProgramResource(stamped, 10, 100, &carried).empty() ||
        carried != package) {
        std::fprintf(stderr, "mixpack: %s: the stamped program does not read back; nothing written\n", setup);
        return 1;
    }
    if (!WriteOutput(argv[4], stamped, setup)) return 1;
    std::printf("%s: %zu bytes, carrying a package of %zu bytes\n", argv[4], stamped.size(), package.size());
    return 0;
}

int Same(int argc, char** argv) {
    if (argc != 4) return Usage();
    std::vector<std::uint8_t> first, second;
    std::string error;
    if (!ReadWholeFile(argv[2], &first, &error) || !ReadWholeFile(argv[3], &second, &error)) {
        std::fprintf(stderr, "mixpack: %s\n", error.c_str());
        return 1;
    }
    ProgramComparison result = ComparePrograms(first, second);
    for (const std::string& line : result.lines) std::printf("%s\n", line.c_str());
    return result.same ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return Usage();
    std::string command = argv[1];
    if (command == "build") return Build(argc, argv);
    if (command == "list") return List(argc, argv);
    if (command == "verify") return Verify(argc, argv);
    if (command == "extract") return Extract(argc, argv);
    if (command == "stamp") return Stamp(argc, argv);
    if (command == "same") return Same(argc, argv);
    return Usage();
}
