// Building the device inventory on a busy simulated machine: 64 active
// endpoints and 64 wave devices per direction, over 1000 endpoint entries
// in the MMDevices registry (500 per flow, most of them left behind by
// devices long gone, as real machines collect them). Every wave device is
// found by the name route, at a spread of positions in registry order; the
// endpoints take the direct route. Goal: at most 20 ms per build.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>

#include "bench/summary.h"
#include "devices/inventory.h"
#include "platform/registry.h"
#include "platform/sim/sim.h"

namespace {

constexpr int kPerDirection = 64;
constexpr int kEntriesPerFlow = 500;
const std::string kAudioKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\MMDevices\\Audio";

std::string Guid(int flow, int n) {
    char text[64];
    // A scrambled number keeps registry order unlike creation order.
    unsigned scrambled = (static_cast<unsigned>(n) * 2654435761u) >> 8;
    std::snprintf(text, sizeof text, "{%08x-%04x-4000-8000-%012x}", scrambled, unsigned(flow), unsigned(n));
    return text;
}

std::u16string U16(const std::string& ascii) { return std::u16string(ascii.begin(), ascii.end()); }

void PutEntry(const std::string& flow_name, const std::string& guid, const std::u16string& description,
              const std::u16string& interface_name, int channels) {
    std::string key = kAudioKey + "\\" + flow_name + "\\" + guid + "\\Properties";
    SimRegPutText16(plat::kHkeyLocalMachine, key, "{a45c254e-df1c-4efd-8020-67d146a850e0},2", description);
    SimRegPutText16(plat::kHkeyLocalMachine, key, "{b3f8fa53-0004-438e-9003-51a46e139bfc},6", interface_name);
    SimRegPutText16(plat::kHkeyLocalMachine, key, "{233164c8-1b2c-4c7d-bc68-b671687a2567},1",
                    u"{1}.\\\\?\\hdaudio#func_01&ven_10ec&dev_0256#4&1&0&0001#{6994ad04-93ef-11d0-a3cc-00a0c9223196}");
    SimRegPutText16(plat::kHkeyLocalMachine, key, "{259abffc-50a7-47ce-af08-68c9a7d73366},12",
                    u"%windir%\\system32\\mmres.dll,-3010");
    SimRegPutText16(plat::kHkeyLocalMachine, key, "{83da6326-97a6-4088-9453-a1923f573b29},3",
                    u"{1}.HDAUDIO\\FUNC_01&VEN_10EC&DEV_0256:HDAUDIO_DEVICE");
    SimRegPutDword(plat::kHkeyLocalMachine, key, "{1da5d803-d492-4edd-8c23-e0c0ffee7f0e},0", 1);
    std::vector<std::uint8_t> format(48, 0);
    format[8] = 1;
    format[10] = static_cast<std::uint8_t>(channels);
    SimRegPutValue(plat::kHkeyLocalMachine, key, "{e4870e26-3cc5-4cd2-ba46-ca0a9a70ed04},0", plat::kRegBinary, format);
    SimRegPutValue(plat::kHkeyLocalMachine, key, "{f19f064d-082c-4e27-bc73-6882a1bb8e4c},0", plat::kRegBinary, format);
}

void BuildMachine() {
    SimReset();
    for (int flow = 0; flow < 2; ++flow) {
        const std::string flow_name = flow == 0 ? "Render" : "Capture";
        std::vector<SimEndpoint>& endpoints =
            flow == 0 ? Sim().audio.render_endpoints : Sim().audio.capture_endpoints;
        std::vector<SimWaveDevice>& waves = flow == 0 ? Sim().audio.wave_out : Sim().audio.wave_in;
        for (int n = 0; n < kEntriesPerFlow; ++n) {
            std::string guid = Guid(flow, n);
            std::u16string description = U16((flow == 0 ? "Speakers " : "Line In ") + std::to_string(n));
            std::u16string interface_name = U16("High Definition Audio Device " + std::to_string(n % 7));
            PutEntry(flow_name, guid, description, interface_name, 2 + n % 7);
            if (n % (kEntriesPerFlow / kPerDirection) != 0 || int(endpoints.size()) == kPerDirection) continue;
            // One of the present devices: listed as an endpoint and as a
            // wave device whose name is cut to 31 characters.
            SimEndpoint endpoint;
            endpoint.identifier = u"{0.0." + U16(std::to_string(flow)) + u".00000000}." + U16(guid);
            endpoint.friendly_name = description + u" (" + interface_name + u")";
            endpoint.interface_name = interface_name;
            endpoints.push_back(endpoint);
            SimWaveDevice wave;
            wave.name = endpoint.friendly_name.substr(0, 31);
            wave.channels = 2;
            waves.push_back(wave);
        }
    }
}

void BM_InventoryStart(benchmark::State& state) {
    BuildMachine();
    for (auto _ : state) {
        InventoryStart();
        benchmark::DoNotOptimize(ListCount(CaptureDeviceList()));
        InventoryEnd();
    }
}
BENCHMARK(BM_InventoryStart)->Unit(benchmark::kMillisecond);

void InventorySummary() {
    BuildMachine();
    double best = 1e9;
    unsigned capture = 0, render = 0, matched = 0;
    for (int round = 0; round < 5; ++round) {
        auto start = std::chrono::steady_clock::now();
        InventoryStart();
        auto end = std::chrono::steady_clock::now();
        best = std::min(best, std::chrono::duration<double, std::milli>(end - start).count());
        capture = ListCount(CaptureDeviceList());
        render = ListCount(RenderDeviceList());
        matched = 0;
        for (DeviceList* list : {CaptureDeviceList(), RenderDeviceList()})
            for (std::uint32_t i = 1; i <= ListCount(list); ++i)
                if (ListElement(list, i)->device_kind == kDeviceKindMme && ListElement(list, i)->endpoint_id[0] != 0)
                    ++matched;
        InventoryEnd();
    }
    if (capture != 2 * kPerDirection || render != 2 * kPerDirection || matched != 2 * kPerDirection)
        std::printf("inventory_result: unexpected lists (%u capture, %u render, %u wave devices matched)\n", capture,
                    render, matched);
    std::printf("inventory_ms: %.2f (goal: at most 20)\n", best);
}
BENCH_SUMMARY(InventorySummary);

}  // namespace
