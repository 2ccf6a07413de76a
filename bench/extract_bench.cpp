// ExtractPackage of a package of the present build's shape (98 entries,
// 42,431,172 bytes, the largest about 7.3 MB) into the simulated file
// system, beside one MD5 pass over the same bytes.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <vector>

#include "base/context.h"
#include "base/text.h"
#include "bench/summary.h"
#include "package/md5.h"
#include "package/package.h"
#include "package/package_format.h"
#include "platform/sim/sim.h"

// Live heap bytes, to measure what extraction holds beside the resource.
namespace {
std::atomic<std::size_t> live_bytes{0};
std::atomic<std::size_t> peak_bytes{0};
constexpr std::size_t kHeader = 16;

void* Allocate(std::size_t size) {
    auto* block = static_cast<unsigned char*>(std::malloc(size + kHeader));
    if (block == nullptr) return nullptr;
    *reinterpret_cast<std::size_t*>(block) = size;
    std::size_t now = live_bytes += size;
    std::size_t peak = peak_bytes.load();
    while (now > peak && !peak_bytes.compare_exchange_weak(peak, now)) {
    }
    return block + kHeader;
}

void Release(void* pointer) {
    if (pointer == nullptr) return;
    auto* block = static_cast<unsigned char*>(pointer) - kHeader;
    live_bytes -= *reinterpret_cast<std::size_t*>(block);
    std::free(block);
}
}  // namespace

void* operator new(std::size_t size) {
    if (void* p = Allocate(size)) return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t size) { return operator new(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }
void operator delete(void* p) noexcept { Release(p); }
void operator delete[](void* p) noexcept { Release(p); }
void operator delete(void* p, std::size_t) noexcept { Release(p); }
void operator delete[](void* p, std::size_t) noexcept { Release(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { Release(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { Release(p); }

namespace {

constexpr std::uint32_t kPackageSize = 42431172;
constexpr std::uint32_t kLargestEntry = 7300000;

std::vector<std::uint8_t> MakePackage() {
    std::vector<std::vector<std::uint8_t>> entries(kPackageEntryCount);
    std::uint32_t remaining = kPackageSize - kPackageDirectorySize - kLargestEntry;
    std::uint32_t seed = 12345;
    for (int i = 0; i < kPackageEntryCount; ++i) {
        std::uint32_t size = i == 46 ? kLargestEntry : remaining / (kPackageEntryCount - 1 - (i > 46 ? i - 1 : i));
        if (i != 46) remaining -= size;
        entries[i].resize(size);
        for (auto& b : entries[i]) {
            seed = seed * 1103515245u + 12345u;
            b = static_cast<std::uint8_t>(seed >> 16);
        }
    }
    std::vector<std::uint8_t> package;
    BuildPackage(entries, 0, &package);
    return package;
}

const std::vector<std::uint8_t>& Package() {
    static const std::vector<std::uint8_t> package = MakePackage();
    return package;
}

// A fresh machine holding the package, its writes counted but not kept.
void SetUpMachine() {
    SimReset();
    Sim().files.keep_contents = false;
    Sim().resources.rcdata[100] = Package();
    SimPutFolder("C:\\Program Files\\ZT\\Mixolyte");
    ResetSetupContext(&setup_context);
    CopyText(setup_context.product_folder, sizeof setup_context.product_folder, "C:\\Program Files\\ZT\\Mixolyte");
}

int ExtractOnce() {
    SetUpMachine();
    return ExtractPackage(&setup_context);
}

// Best of five; `prepare` runs untimed before each round.
double SecondsOf(void (*prepare)(), void (*work)()) {
    double best = 1e9;
    for (int round = 0; round < 5; ++round) {
        prepare();
        auto start = std::chrono::steady_clock::now();
        work();
        best = std::min(best, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    return best;
}

void Nothing() {}

void ExtractPrepared() { benchmark::DoNotOptimize(ExtractPackage(&setup_context)); }

void Md5Pass() {
    std::uint8_t digest[16];
    Md5OfBuffer(Package().data(), Package().size(), digest);
    benchmark::DoNotOptimize(digest);
}

void BM_ExtractPackage(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        SetUpMachine();
        state.ResumeTiming();
        ExtractPrepared();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * kPackageSize);
}
BENCHMARK(BM_ExtractPackage)->Unit(benchmark::kMillisecond);

void BM_Md5Pass(benchmark::State& state) {
    for (auto _ : state) Md5Pass();
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * kPackageSize);
}
BENCHMARK(BM_Md5Pass)->Unit(benchmark::kMillisecond);

void ExtractSummary() {
    if (ExtractOnce() != 0) std::printf("extract_result: unexpected failure\n");
    double extract = SecondsOf(SetUpMachine, ExtractPrepared);
    double md5 = SecondsOf(Nothing, Md5Pass);
    std::printf("extract_vs_md5_ratio: %.2f\n", extract / md5);

    // What extraction itself holds at once beyond the resource: the
    // machine is set up first, then the peak is taken over the call alone.
    SetUpMachine();
    std::size_t base = live_bytes.load();
    peak_bytes = base;
    ExtractPackage(&setup_context);
    std::printf("extract_peak_extra_bytes: %zu (goal: at most %u)\n", peak_bytes.load() - base,
                kLargestEntry + (1u << 20));
}
BENCH_SUMMARY(ExtractSummary);

}  // namespace
