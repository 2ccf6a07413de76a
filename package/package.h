// Loading the package directory and extracting the package's entries.
#pragma once
#include <cstdint>

#include "base/context.h"

constexpr int kPackageResourceId = 100;

// Copies the directory of the package resource into package_directory.
// 0 on success; -1 when the resource is missing, not loadable, or has no
// byte of entry data beyond the directory.
int LoadPackageDirectory(SetupContext* context);

// Descrambles, verifies and writes all 98 entries below product_folder.
// 0 when all were written and the last record is not empty; -1 when the
// resource cannot be had, or nothing failed but the last record is empty;
// -100 - n when n entries failed.
int ExtractPackage(SetupContext* context);

// Creates every folder along the path. 1 when they all exist afterwards.
int CreateFolderChain(const char* path);

// Creates or overwrites the file with exactly these bytes. 1 on success.
int WriteWholeFile(const char* path, std::uint32_t size, const std::uint8_t* bytes);
