// The pin check on the simulated machine: the DAZA device's pins scripted
// over simulated time, the requests it receives, the labels the window
// would show, and when the polling ends, all read off the simulated clock.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "base/text.h"
#include "endpoints/endpoints.h"
#include "platform/registry.h"
#include "platform/sim/sim.h"

namespace {

using plat::kHkeyLocalMachine;

const std::string kAudio = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\MMDevices\\Audio";
const char kName[] = "{a45c254e-df1c-4efd-8020-67d146a850e0},2";

std::string EndpointProperties(const char* flow, int channel) {
    return kAudio + "\\" + flow + "\\{0.0.0.00000000}.{ep" + std::to_string(channel) + "}\\Properties";
}

// The driver's registry facts: its service and its 16 endpoints.
void PutDriverEntries() {
    SimRegPutText(kHkeyLocalMachine, "SYSTEM\\CurrentControlSet\\Services\\ZTMixolyteDAZAMME", "ImagePath",
                  "\\SystemRoot\\System32\\drivers\\ztdaza.sys");
    for (const char* flow : {"Render", "Capture"})
        for (int channel = 1; channel <= 8; ++channel) {
            std::string path = EndpointProperties(flow, channel);
            SimRegPutText(kHkeyLocalMachine, path, "{83da6326-97a6-4088-9453-a1923f573b29},3",
                          "{1}.ROOT\\MEDIA\\0000:ZTMixolyteDAZA");
            SimRegPutText(kHkeyLocalMachine, path, "{233164c8-1b2c-4c7d-bc68-b671687a2567},1",
                          "{2}.ROOT\\MEDIA\\000" + std::to_string(channel));
        }
}

bool EndpointsNamed() {
    return SimRegGetText(kHkeyLocalMachine, EndpointProperties("Render", 1), kName) == "Mixolyte In 1" &&
           SimRegGetText(kHkeyLocalMachine, EndpointProperties("Capture", 8), kName) == "Mixolyte Out B3";
}

bool NothingNamed() {
    for (const char* flow : {"Render", "Capture"})
        for (int channel = 1; channel <= 8; ++channel)
            if (SimRegGetValue(kHkeyLocalMachine, EndpointProperties(flow, channel), kName) != nullptr) return false;
    return true;
}

SimPinStep Step(std::uint32_t after_ms, std::uint32_t first, std::uint32_t second) {
    SimPinStep step;
    step.after_ms = after_ms;
    step.first = first;
    step.second = second;
    return step;
}

std::uint32_t ReadLe(const std::vector<std::uint8_t>& bytes, std::size_t offset) {
    return static_cast<std::uint32_t>(bytes[offset]) | (static_cast<std::uint32_t>(bytes[offset + 1]) << 8) |
           (static_cast<std::uint32_t>(bytes[offset + 2]) << 16) |
           (static_cast<std::uint32_t>(bytes[offset + 3]) << 24);
}

struct PinCheckTest : ::testing::Test {
    std::unique_ptr<SetupContext> context = std::make_unique<SetupContext>();
    std::uint32_t start = 0;               // the clock when the check began
    std::vector<std::string> labels;        // step_text as the device saw it, changes only

    void SetUp() override {
        SimReset();
        ResetSetupContext(context.get());
        labels.clear();
        PutDriverEntries();
    }

    // Installs the scripted device (its script clock starting now) and
    // samples step_text at every request, as a repaint would.
    void AddDevice(const SimDazaPins& pins, int open_failures = 0) {
        SimAddDazaDevice(pins);
        if (open_failures > 0) SimFailCall("DeviceInterfaceOpen", 1, static_cast<std::uint64_t>(open_failures));
        auto driver = Sim().devices.answer;
        Sim().devices.answer = [this, driver](const SimDeviceRequest& request, std::vector<std::uint8_t>* answer) {
            std::string label = context->step_text;
            if (labels.empty() || labels.back() != label) labels.push_back(label);
            return driver(request, answer);
        };
    }

    int Run() {
        CopyText(context->step_text, sizeof context->step_text, "Configure VAIOs");
        start = Sim().system.tick_ms;
        return PinCheck(context.get());
    }

    // Clock times of the polls, from the requests for channel 0 (the first
    // is the query before polling).
    std::vector<std::uint32_t> PollTicks() {
        std::vector<std::uint32_t> ticks;
        for (const SimDeviceRequest& request : SimDeviceRequestsOf(kDazaRequestPinStatus))
            if (ReadLe(request.input, 0) == 0) ticks.push_back(request.tick_ms);
        if (!ticks.empty()) ticks.erase(ticks.begin());
        return ticks;
    }
};

}  // namespace

TEST_F(PinCheckTest, AllPinsUpAtTheFirstPoll) {
    AddDevice(SimDazaAllChannels({Step(0, 6000, 7000)}));
    EXPECT_EQ(Run(), 0);

    // Opening request first, then each channel before polling and at the one poll.
    const auto& requests = Sim().devices.requests;
    ASSERT_EQ(requests.size(), 17u);
    EXPECT_EQ(requests[0].code, kDazaRequestOpen);
    EXPECT_TRUE(requests[0].input.empty());
    EXPECT_EQ(requests[0].interface_class, kSimDazaClass);
    for (std::size_t i = 1; i < 17; ++i) {
        EXPECT_EQ(requests[i].code, kDazaRequestPinStatus);
        ASSERT_EQ(requests[i].input.size(), 16u);
        EXPECT_EQ(ReadLe(requests[i].input, 0), (i - 1) % 8);
        for (std::size_t b = 4; b < 16; ++b) EXPECT_EQ(requests[i].input[b], 0);
    }
    // One second before opening, one in the open attempt, the initial
    // queries at once, the poll one second later.
    EXPECT_EQ(requests[0].tick_ms, start + 2000);
    EXPECT_EQ(requests[8].tick_ms, start + 2000);
    EXPECT_EQ(requests[16].tick_ms, start + 3000);
    // Then five seconds before the naming.
    EXPECT_EQ(Sim().system.slept_ms, 8000u);
    EXPECT_EQ(std::string(context->step_text), "Set Pin Name/Icon");
    EXPECT_EQ(labels, std::vector<std::string>{"Configure VAIOs"});
    EXPECT_TRUE(EndpointsNamed());
    EXPECT_TRUE(Sim().devices.open.empty());
    EXPECT_EQ(Sim().devices.classes[kSimDazaClass].open_attempts, 1);
}

TEST_F(PinCheckTest, ThresholdIsFiveThousand) {
    // Exactly 5000 everywhere: up at the first poll.
    AddDevice(SimDazaAllChannels({Step(0, 5000, 5000)}));
    EXPECT_EQ(Run(), 0);
    EXPECT_EQ(PollTicks().size(), 1u);

    // One pin stays at 4999: 15 good pins from the first poll on, and the
    // minute after that count was reached ends the polling.
    SetUp();
    SimDazaPins pins = SimDazaAllChannels({Step(0, 5000, 5000)});
    pins.channels[2] = {Step(0, 5000, 4999)};
    AddDevice(pins);
    EXPECT_EQ(Run(), 0);
    std::vector<std::uint32_t> polls = PollTicks();
    ASSERT_EQ(polls.size(), 62u);
    EXPECT_EQ(polls.front(), start + 3000);
    EXPECT_EQ(polls.back() - polls.front(), 61000u);
    EXPECT_EQ(labels, (std::vector<std::string>{"Configure VAIOs", "15/16 Pin(s) Ok"}));
    EXPECT_EQ(std::string(context->step_text), "Set Pin Name/Icon");
    EXPECT_TRUE(EndpointsNamed());

    // No pin ever good: the label is never touched, polling ends about 60
    // seconds after it began, and the endpoints are named all the same.
    SetUp();
    AddDevice(SimDazaAllChannels({Step(0, 4999, 4999)}));
    EXPECT_EQ(Run(), 0);
    polls = PollTicks();
    ASSERT_EQ(polls.size(), 61u);
    EXPECT_EQ(polls.back(), start + 2000 + 61000);
    EXPECT_EQ(labels, std::vector<std::string>{"Configure VAIOs"});
    EXPECT_EQ(Sim().system.slept_ms, 1000u + 1000u + 61000u + 5000u);
    EXPECT_TRUE(EndpointsNamed());
}

TEST_F(PinCheckTest, AValueThatChangedSinceThePreviousPollIsNotGood) {
    // Initial queries at +2000, polls at +3000, +4000, +5000.
    SimDazaPins pins = SimDazaAllChannels({Step(0, 6000, 6000)});
    pins.channels[3] = {Step(0, 6000, 5000), Step(2500, 6000, 5001)};  // changed before poll 1
    pins.channels[6] = {Step(0, 6000, 6000), Step(3500, 9000, 6000)};  // changed before poll 2
    AddDevice(pins);
    EXPECT_EQ(Run(), 0);
    EXPECT_EQ(PollTicks().size(), 3u);
    EXPECT_EQ(labels, (std::vector<std::string>{"Configure VAIOs", "15/16 Pin(s) Ok"}));
}

TEST_F(PinCheckTest, AChangedCountRestartsTheMinuteAndASteadyOneEndsIt) {
    // 3 good pins from the first poll (+3000); at +30500 four more come up,
    // good from the poll at +32000 (7); at +50500 all seven change at once
    // (0 good at +51000, 7 again at +52000). Only the change to 7 restarts
    // the minute: polling ends at the first poll more than 60 s after +32000.
    SimDazaPins pins;
    pins.channels[0] = {Step(0, 6000, 6000), Step(50500, 6100, 6100)};
    pins.channels[1] = {Step(0, 6000, 0), Step(30500, 6000, 6000), Step(50500, 6100, 6100)};
    pins.channels[2] = {Step(30500, 6000, 6000), Step(50500, 6100, 6100)};
    pins.channels[3] = {Step(30500, 6000, 0), Step(50500, 6100, 0)};
    AddDevice(pins);
    EXPECT_EQ(Run(), 0);
    std::vector<std::uint32_t> polls = PollTicks();
    ASSERT_EQ(polls.size(), 91u);
    EXPECT_EQ(polls.back(), start + 93000);
    EXPECT_EQ(labels, (std::vector<std::string>{"Configure VAIOs", "3/16 Pin(s) Ok", "7/16 Pin(s) Ok"}));
    EXPECT_EQ(Sim().system.slept_ms, 93000u + 5000u);
}

TEST_F(PinCheckTest, TheTickCounterWrapsDuringThePoll) {
    // The counter wraps at different points of the minute; the polling still
    // ends after 61 polls with no good pin, and after 62 with a steady count.
    for (std::uint32_t before_wrap : {20000u, 2500u, 1u}) {
        for (std::uint32_t good : {0u, 6000u}) {
            SetUp();
            Sim().system.tick_ms = 0xFFFFFFFFu - before_wrap;
            SimDazaPins pins;
            pins.channels[4] = {Step(0, good, 0)};
            AddDevice(pins);
            EXPECT_EQ(Run(), 0);
            std::vector<std::uint32_t> polls = PollTicks();
            EXPECT_EQ(polls.size(), good ? 62u : 61u) << before_wrap << " " << good;
            EXPECT_EQ(Sim().system.slept_ms, 2000u + polls.size() * 1000u + 5000u);
            EXPECT_TRUE(EndpointsNamed());
        }
    }
}

TEST_F(PinCheckTest, TheWrapFormulaCountsOneMillisecondLessWithUnevenSteps) {
    // Each poll takes 2069 ms (the channel-0 request answers after 1069
    // ms), so 29 polls after the start exactly 60001 ms have passed. Without
    // a wrap that is more than the minute: polling ends. Across the wrap the
    // time is (0xFFFFFFFF - noted) + now, one less: 60000 is not more than
    // the minute, and a 30th poll follows.
    for (bool wrap : {false, true}) {
        SetUp();
        Sim().system.tick_ms = wrap ? 0xFFFFFFFFu - 30000u : 1000u;
        AddDevice(SimDazaPins{});
        auto driver = Sim().devices.answer;
        Sim().devices.answer = [driver](const SimDeviceRequest& request, std::vector<std::uint8_t>* answer) {
            if (request.code == kDazaRequestPinStatus && ReadLe(request.input, 0) == 0) Sim().system.tick_ms += 1069;
            return driver(request, answer);
        };
        EXPECT_EQ(Run(), 0);
        std::vector<std::uint32_t> polls = PollTicks();
        ASSERT_EQ(polls.size(), wrap ? 30u : 29u) << wrap;
        EXPECT_EQ(polls[28] - polls[0], 28u * 2069u) << wrap;
        EXPECT_TRUE(EndpointsNamed()) << wrap;
    }
}

TEST_F(PinCheckTest, PollingEndsAfterTenMinutesWhateverTheCount) {
    // One pin good throughout; a second one comes and goes every 30 s, so the
    // count keeps changing between 1 and 2 within every minute.
    SimDazaPins pins;
    pins.channels[0] = {Step(0, 6000, 0)};
    for (std::uint32_t k = 0; k < 40; ++k) pins.channels[7].push_back(Step(2500 + 30000 * k, k % 2 ? 0 : 8000, 0));
    AddDevice(pins);
    EXPECT_EQ(Run(), 0);
    std::vector<std::uint32_t> polls = PollTicks();
    ASSERT_EQ(polls.size(), 600u);
    EXPECT_EQ(polls.back(), start + 2000 + 600000);
    // The label follows the count: 1 at +3000, 2 at +4000, then 1 and 2 in
    // turn at +33000, +64000, ... up to 1 at +573000.
    std::vector<std::string> expected = {"Configure VAIOs"};
    for (int change = 0; change < 21; ++change) expected.push_back(change % 2 ? "2/16 Pin(s) Ok" : "1/16 Pin(s) Ok");
    EXPECT_EQ(labels, expected);
    EXPECT_TRUE(EndpointsNamed());
}

TEST_F(PinCheckTest, FiveOpenAttemptsThenNoNaming) {
    // No DAZA device at all: five attempts of 1 s + 4 s after the first second.
    EXPECT_EQ(Run(), -1);
    EXPECT_EQ(Sim().system.slept_ms, 1000u + 5u * 5000u);
    EXPECT_TRUE(Sim().devices.requests.empty());
    EXPECT_EQ(std::string(context->step_text), "Configure VAIOs");
    EXPECT_TRUE(NothingNamed());

    // Present but never openable: the same, with five opens tried.
    SetUp();
    AddDevice(SimDazaAllChannels({Step(0, 6000, 6000)}));
    Sim().devices.classes[kSimDazaClass].openable = false;
    EXPECT_EQ(Run(), -1);
    EXPECT_EQ(Sim().devices.classes[kSimDazaClass].open_attempts, 5);
    EXPECT_EQ(Sim().system.slept_ms, 26000u);
    EXPECT_TRUE(NothingNamed());

    // Openable at the fifth attempt: 1 s, four failed attempts of 5 s, 1 s.
    SetUp();
    AddDevice(SimDazaAllChannels({Step(0, 6000, 6000)}), 4);
    EXPECT_EQ(Run(), 0);
    EXPECT_EQ(Sim().devices.classes[kSimDazaClass].open_attempts, 5);
    ASSERT_FALSE(Sim().devices.requests.empty());
    EXPECT_EQ(Sim().devices.requests[0].tick_ms, start + 22000);
    EXPECT_TRUE(EndpointsNamed());

    // OpenDazaDevice on its own: an open handle, or null after about 25 s.
    SetUp();
    AddDevice(SimDazaAllChannels({}), 1);
    plat::Handle device = OpenDazaDevice();
    ASSERT_NE(device, nullptr);
    ASSERT_NE(device, plat::kInvalidHandle);
    EXPECT_EQ(Sim().devices.open.count(reinterpret_cast<std::uintptr_t>(device)), 1u);
    EXPECT_EQ(Sim().system.slept_ms, 6000u);
    SetUp();
    EXPECT_EQ(OpenDazaDevice(), nullptr);
    EXPECT_EQ(Sim().system.slept_ms, 25000u);
}

TEST_F(PinCheckTest, FailedQueriesKeepTheRecord) {
    // Channel 5 answers at the first poll, then fails: its record stays as it
    // was and compares equal, so the pins count as up at the second poll.
    SimDazaPins pins = SimDazaAllChannels({Step(0, 6000, 6000)});
    SimPinStep fails = Step(3500, 0, 0);
    fails.fails = true;
    pins.channels[5] = {Step(0, 6000, 5000), Step(2500, 6000, 5500), fails};
    AddDevice(pins);
    EXPECT_EQ(Run(), 0);
    EXPECT_EQ(PollTicks().size(), 2u);
    EXPECT_EQ(labels, (std::vector<std::string>{"Configure VAIOs", "15/16 Pin(s) Ok"}));

    // Failing from the start, the channel's record stays all zero: never up.
    SetUp();
    pins = SimDazaAllChannels({Step(0, 6000, 6000)});
    fails.after_ms = 0;
    pins.channels[5] = {fails};
    AddDevice(pins);
    EXPECT_EQ(Run(), 0);
    EXPECT_EQ(PollTicks().size(), 62u);
    EXPECT_EQ(labels, (std::vector<std::string>{"Configure VAIOs", "14/16 Pin(s) Ok"}));

    // The opening request failing changes nothing.
    SetUp();
    AddDevice(SimDazaAllChannels({Step(0, 6000, 6000)}));
    auto inner = Sim().devices.answer;
    Sim().devices.answer = [inner](const SimDeviceRequest& request, std::vector<std::uint8_t>* answer) {
        return request.code == kDazaRequestOpen ? 0 : inner(request, answer);
    };
    EXPECT_EQ(Run(), 0);
    EXPECT_EQ(PollTicks().size(), 1u);
}

TEST_F(PinCheckTest, NamingFailuresMakeTheResultNegative) {
    AddDevice(SimDazaAllChannels({Step(0, 6000, 6000)}));
    // A refused write for the last row of the naming: -1.
    SimRegDenyWrite(kHkeyLocalMachine, EndpointProperties("Capture", 8));
    EXPECT_EQ(Run(), -1);
    EXPECT_EQ(SimRegGetText(kHkeyLocalMachine, EndpointProperties("Capture", 7), kName), "Mixolyte Out B2");

    // Only the last row's result counts: a refused playback endpoint does not.
    SetUp();
    AddDevice(SimDazaAllChannels({Step(0, 6000, 6000)}));
    SimRegDenyWrite(kHkeyLocalMachine, EndpointProperties("Render", 2));
    EXPECT_EQ(Run(), 0);
    EXPECT_EQ(SimRegGetText(kHkeyLocalMachine, EndpointProperties("Render", 2), kName), "");

    // No driver file: the naming fails as a whole.
    SetUp();
    SimRegPutDword(kHkeyLocalMachine, "SYSTEM\\CurrentControlSet\\Services\\ZTMixolyteDAZAMME", "ImagePath", 0);
    AddDevice(SimDazaAllChannels({Step(0, 6000, 6000)}));
    EXPECT_EQ(Run(), -1);
    EXPECT_TRUE(NothingNamed());
}
