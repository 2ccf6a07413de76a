// The pin check: after the DAZA driver was installed its device and
// endpoints take a while to come up. Wait for its 16 pins to report stable
// states, then name the endpoints.
#include <cstdint>
#include <cstring>

#include "base/text.h"
#include "endpoints/endpoints.h"
#include "package/package_format.h"
#include "platform/devices.h"
#include "platform/system.h"

namespace {

constexpr int kOpenAttempts = 5;
constexpr std::uint32_t kOpenWaitMs = 1000;
constexpr std::uint32_t kOpenRetryWaitMs = 4000;
constexpr std::uint32_t kStartWaitMs = 1000;
constexpr std::uint32_t kPollWaitMs = 1000;
constexpr std::uint32_t kNamingWaitMs = 5000;
// Polling ends when the good-pin count has not changed for this long...
constexpr std::uint32_t kSteadyWindowMs = 60000;
// ...and in any case after this long, however the count moves.
constexpr std::uint32_t kPollingLimitMs = 600000;

// Milliseconds from `noted` to `now` on the 32-bit tick counter, which wraps
// after about 49.7 days.
std::uint32_t TicksSince(std::uint32_t noted, std::uint32_t now) {
    if (now >= noted) return now - noted;
    return (0xFFFFFFFFu - noted) + now;
}

// Asks for one channel's pin status record. A request that fails leaves
// the record as it was.
void QueryChannel(plat::Handle device, int channel, std::uint8_t* record) {
    std::uint8_t request[kPinStatusRequestSize] = {};
    WriteLe32(request, static_cast<std::uint32_t>(channel));
    std::uint32_t returned = 0;
    plat::DeviceControl(device, kDazaRequestPinStatus, request, kPinStatusRequestSize, record,
                        kPinStatusRecordSize, &returned);
}

// A pin is good when its state reached the threshold and did not change
// since the previous poll.
int PinIsGood(const std::uint8_t* current, const std::uint8_t* previous, std::size_t offset) {
    std::uint32_t state = ReadLe32(current + offset);
    return state >= kPinGoodThreshold && state == ReadLe32(previous + offset) ? 1 : 0;
}

}  // namespace

plat::Handle OpenDazaDevice() {
    for (int attempt = 0; attempt < kOpenAttempts; ++attempt) {
        plat::SleepMs(kOpenWaitMs);
        plat::Handle device = plat::DeviceInterfaceOpen(kDazaInterfaceClass);
        if (device != nullptr && device != plat::kInvalidHandle) return device;
        plat::SleepMs(kOpenRetryWaitMs);
    }
    return nullptr;
}

int PinCheck(SetupContext* context) {
    plat::SleepMs(kStartWaitMs);
    plat::Handle device = OpenDazaDevice();
    if (device == nullptr) return -1;

    std::uint8_t answer[kDazaOpenAnswerSize] = {};
    std::uint32_t returned = 0;
    plat::DeviceControl(device, kDazaRequestOpen, nullptr, 0, answer, kDazaOpenAnswerSize, &returned);

    // Records read before their channel's first successful query stay zero.
    std::uint8_t previous[kDazaChannels][kPinStatusRecordSize] = {};
    std::uint8_t current[kDazaChannels][kPinStatusRecordSize] = {};
    for (int channel = 0; channel < kDazaChannels; ++channel) QueryChannel(device, channel, previous[channel]);

    std::uint32_t polling_start = plat::TickCount();
    std::uint32_t last_change = polling_start;
    int last_count = 0;
    int finished = 0;
    for (;;) {
        plat::SleepMs(kPollWaitMs);
        int count = 0;
        for (int channel = 0; channel < kDazaChannels; ++channel) {
            QueryChannel(device, channel, current[channel]);
            count += PinIsGood(current[channel], previous[channel], kFirstPinOffset);
            count += PinIsGood(current[channel], previous[channel], kSecondPinOffset);
            std::memcpy(previous[channel], current[channel], kPinStatusRecordSize);
        }
        std::uint32_t now = plat::TickCount();
        // Only a change to another non-zero count restarts the window.
        if (count >= 1) {
            FormatText(context->step_text, sizeof context->step_text, "%i/%i Pin(s) Ok", count, kDazaPins);
            if (count != last_count) {
                last_change = now;
                last_count = count;
            }
            if (count == kDazaPins) finished = 1;
        }
        if (finished || TicksSince(last_change, now) > kSteadyWindowMs ||
            TicksSince(polling_start, now) >= kPollingLimitMs)
            break;
    }
    plat::DeviceClose(device);

    CopyText(context->step_text, sizeof context->step_text, "Set Pin Name/Icon");
    plat::SleepMs(kNamingWaitMs);
    return NameVirtualEndpoints() < 0 ? -1 : 0;
}
