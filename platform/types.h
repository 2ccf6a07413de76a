// Plain values that cross the platform seam.
#pragma once
#include <cstddef>
#include <cstdint>

namespace plat {

// An opaque handle with Win32 meaning: null is "none", kInvalidHandle is
// INVALID_HANDLE_VALUE (a distinct, non-null failure value).
using Handle = void*;
inline Handle const kInvalidHandle = reinterpret_cast<Handle>(static_cast<std::intptr_t>(-1));

// Win32 error codes the logic tells apart.
constexpr std::uint32_t kErrorSuccess = 0;
constexpr std::uint32_t kErrorFileNotFound = 2;
constexpr std::uint32_t kErrorPathNotFound = 3;
constexpr std::uint32_t kErrorAccessDenied = 5;
constexpr std::uint32_t kErrorNotReady = 21;
constexpr std::uint32_t kErrorSharingViolation = 32;
constexpr std::uint32_t kErrorHandleDiskFull = 39;
constexpr std::uint32_t kErrorFileExists = 80;
constexpr std::uint32_t kErrorDiskFull = 112;
constexpr std::uint32_t kErrorAlreadyExists = 183;
constexpr std::uint32_t kErrorNoMoreItems = 259;

// HRESULTs: S_OK, the one success code the logic tests for, and S_FALSE,
// which CoInitialize gives when COM was already started on the thread.
constexpr std::int32_t kHresultOk = 0;
constexpr std::int32_t kHresultFalse = 1;

}  // namespace plat
