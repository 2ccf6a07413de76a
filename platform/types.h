// Plain values that cross the platform seam.
#pragma once
#include <cstddef>
#include <cstdint>

namespace plat {

// An opaque handle with Win32 meaning. Every operation that gives a Handle
// as its result gives kInvalidHandle (INVALID_HANDLE_VALUE) when it could not
// open or make the thing; the backend turns the Win32 call's own failure
// value (null for a mutex, thread or module) into it. Null is "none": a
// handle field not yet filled, a hive or parent not given. Two kinds stand
// apart: window and GDI handles (platform/windows.h), which Windows gives
// as null for "none" and never as INVALID_HANDLE_VALUE, and
// DeviceInterfaceOpen (platform/devices.h), where null says "no device"
// and kInvalidHandle "a device that cannot be opened". An operation that
// gives a status and hands the handle out through a parameter (registry
// keys, processes) leaves kInvalidHandle there on failure too.
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
