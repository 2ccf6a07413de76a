// What the audio operations do: wave device counts and capabilities, the
// active endpoints with their texts and failures, and the ANSI conversion.
// Wine may report no audio devices or some; what must hold either way is
// stated for any machine, and the sim adds devices with known facts.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform/audio.h"
#include "platform/system.h"
#include "tests/contract/env.h"

namespace {

struct AudioContract : ::testing::Test {
    void SetUp() override { ContractSetUp(); }
};

std::size_t Units(const char16_t* text, std::size_t limit) {
    std::size_t n = 0;
    while (n < limit && text[n] != u'\0') ++n;
    return n;
}

}  // namespace

TEST_F(AudioContract, TheEndpointEnumeratorTestFindsCreateEventExA) {
    // Every Windows since Vista (and Wine) exports it; so does the sim by
    // default.
    EXPECT_EQ(plat::EndpointEnumeratorAvailable(), 1);
}

TEST_F(AudioContract, WaveDeviceCapabilitiesAnswerPerDeviceNumber) {
    int known = ContractPutAudioDevices();
    for (int direction : {plat::kAudioCapture, plat::kAudioRender}) {
        std::uint32_t count = plat::WaveDeviceCount(direction);
        EXPECT_EQ(plat::WaveDeviceCount(direction), count) << "the count is stable";
        for (std::uint32_t device = 0; device < count; ++device) {
            char16_t name[32];
            std::memset(name, 0x55, sizeof name);
            std::uint16_t channels = 99;
            std::uint32_t answer = plat::WaveDeviceCaps(direction, device, name, 32, &channels);
            ASSERT_LE(Units(name, 32), 31u) << "terminated within szPname";
            if (answer == plat::kMmSysErrNoError) {
                EXPECT_GE(channels, 1) << device;
            } else {
                EXPECT_EQ(name[0], u'\0');
                EXPECT_EQ(channels, 0);
            }
        }
        // Numbers at and past the count have no device.
        for (std::uint32_t device : {count, count + 7}) {
            char16_t name[32] = {u'x', 0};
            std::uint16_t channels = 5;
            EXPECT_EQ(plat::WaveDeviceCaps(direction, device, name, 32, &channels), plat::kMmSysErrBadDeviceId)
                << direction << " " << device;
            EXPECT_EQ(name[0], u'\0');
            EXPECT_EQ(channels, 0);
        }
    }
    CONTRACT_SKIP_UNLESS(known, "the machine's wave devices have no known facts");
    // The sim's devices: capture 0 "Mic A" (1 channel), 1 does not answer,
    // 2 a name longer than szPname; render 0 "Speakers" (2 channels).
    ASSERT_EQ(plat::WaveDeviceCount(plat::kAudioCapture), 3u);
    ASSERT_EQ(plat::WaveDeviceCount(plat::kAudioRender), 1u);
    char16_t name[32];
    std::uint16_t channels = 0;
    EXPECT_EQ(plat::WaveDeviceCaps(plat::kAudioCapture, 0, name, 32, &channels), plat::kMmSysErrNoError);
    EXPECT_EQ(std::u16string(name), u"Mic A");
    EXPECT_EQ(channels, 1);
    EXPECT_NE(plat::WaveDeviceCaps(plat::kAudioCapture, 1, name, 32, &channels), plat::kMmSysErrNoError);
    EXPECT_EQ(plat::WaveDeviceCaps(plat::kAudioCapture, 2, name, 32, &channels), plat::kMmSysErrNoError);
    EXPECT_EQ(std::u16string(name), u"Line In (High Definition Audio ");  // the first 31 units
    // A smaller buffer gets the name cut and terminated.
    EXPECT_EQ(plat::WaveDeviceCaps(plat::kAudioCapture, 2, name, 5, &channels), plat::kMmSysErrNoError);
    EXPECT_EQ(std::u16string(name), u"Line");
    EXPECT_EQ(plat::WaveDeviceCaps(plat::kAudioRender, 0, name, 32, &channels), plat::kMmSysErrNoError);
    EXPECT_EQ(std::u16string(name), u"Speakers");
    EXPECT_EQ(channels, 2);
}

TEST_F(AudioContract, ActiveEndpointsAreReadOneByOne) {
    int known = ContractPutAudioDevices();
    ASSERT_GE(plat::ComInitialize(), 0);
    for (int direction : {plat::kAudioCapture, plat::kAudioRender}) {
        std::uint32_t count = 12345;
        plat::Handle collection = plat::AudioEndpointsOpen(direction, &count);
        if (collection == plat::kInvalidHandle) {
            EXPECT_EQ(count, 0u);
            continue;
        }
        std::uint32_t read = 0;
        for (std::uint32_t position = 0; position < count; ++position) {
            char16_t identifier[512], friendly[256], interface_name[128];
            std::memset(friendly, 0x55, sizeof friendly);
            std::memset(interface_name, 0x55, sizeof interface_name);
            int step = plat::AudioEndpointRead(collection, position, identifier, 512, friendly, 256,
                                               interface_name, 128);
            EXPECT_GE(step, plat::kEndpointReadOk);
            EXPECT_LE(step, plat::kEndpointNoInterfaceName);
            ASSERT_LT(Units(friendly, 256), 256u);
            ASSERT_LT(Units(interface_name, 128), 128u);
            if (step == plat::kEndpointReadOk) {
                ++read;
            } else {
                EXPECT_EQ(interface_name[0], u'\0');
            }
        }
        // Past the last position there is no endpoint.
        char16_t identifier[64], friendly[64], interface_name[64];
        EXPECT_EQ(plat::AudioEndpointRead(collection, count, identifier, 64, friendly, 64, interface_name, 64),
                  plat::kEndpointNoItem);
        EXPECT_EQ(friendly[0], u'\0');
        // Reading again gives the same: the collection is a snapshot.
        if (count > 0) {
            char16_t again[64], again_friendly[64], again_interface[64];
            int first = plat::AudioEndpointRead(collection, 0, identifier, 64, friendly, 64, interface_name, 64);
            int second = plat::AudioEndpointRead(collection, 0, again, 64, again_friendly, 64, again_interface, 64);
            EXPECT_EQ(first, second);
            EXPECT_EQ(std::u16string(identifier), std::u16string(again));
            EXPECT_EQ(std::u16string(friendly), std::u16string(again_friendly));
        }
        plat::AudioEndpointsClose(collection);
        if (known && direction == plat::kAudioCapture) {
            // The sim's capture endpoints: one readable, one whose property
            // store fails; an unplugged one is not in the collection.
            EXPECT_EQ(count, 2u);
            EXPECT_EQ(read, 1u);
        }
        if (known && direction == plat::kAudioRender) {
            EXPECT_EQ(count, 1u);
        }
    }
    plat::AudioEndpointsClose(nullptr);  // harmless
    plat::ComUninitialize();
}

TEST_F(AudioContract, EndpointTextsAreCutToTheirBuffers) {
    if (!ContractPutAudioDevices()) GTEST_SKIP() << "needs an endpoint with known texts";
    ASSERT_GE(plat::ComInitialize(), 0);
    std::uint32_t count = 0;
    plat::Handle collection = plat::AudioEndpointsOpen(plat::kAudioCapture, &count);
    ASSERT_NE(collection, plat::kInvalidHandle);
    char16_t identifier[512], friendly[256], interface_name[128];
    EXPECT_EQ(plat::AudioEndpointRead(collection, 0, identifier, 512, friendly, 256, interface_name, 128),
              plat::kEndpointReadOk);
    EXPECT_EQ(std::u16string(identifier), u"{0.0.1.00000000}.{6a0c5f8e-8d2b-4a4e-9f3b-1c2d3e4f5a6b}");
    EXPECT_EQ(std::u16string(friendly), u"Microphone (Mixo Card)");
    EXPECT_EQ(std::u16string(interface_name), u"Mixo Card");
    EXPECT_EQ(plat::AudioEndpointRead(collection, 0, identifier, 4, friendly, 3, interface_name, 1),
              plat::kEndpointReadOk);
    EXPECT_EQ(std::u16string(identifier), u"{0.");
    EXPECT_EQ(std::u16string(friendly), u"Mi");
    EXPECT_EQ(std::u16string(interface_name), u"");
    // The second endpoint fails at its property store, after its identifier.
    EXPECT_EQ(plat::AudioEndpointRead(collection, 1, identifier, 512, friendly, 256, interface_name, 128),
              plat::kEndpointNoPropertyStore);
    EXPECT_EQ(friendly[0], u'\0');
    plat::AudioEndpointsClose(collection);
    plat::ComUninitialize();
}

TEST_F(AudioContract, WithoutComTheEnumeratorCannotBeHad) {
    std::uint32_t count = 77;
    plat::Handle collection = plat::AudioEndpointsOpen(plat::kAudioRender, &count);
    EXPECT_EQ(collection, plat::kInvalidHandle);
    EXPECT_EQ(count, 0u);
    plat::AudioEndpointsClose(collection);
}

TEST_F(AudioContract, WideToAnsiConvertsToTheAnsiCodePage) {
    char buffer[16];
    std::memset(buffer, 'x', sizeof buffer);
    EXPECT_EQ(plat::WideToAnsi(u"Mixo 1/2", buffer, sizeof buffer), 9u);
    EXPECT_STREQ(buffer, "Mixo 1/2");
    EXPECT_EQ(plat::WideToAnsi(u"", buffer, sizeof buffer), 1u);
    EXPECT_EQ(buffer[0], '\0');
    // Too small a buffer: 0, whatever it then holds.
    EXPECT_EQ(plat::WideToAnsi(u"abcdefgh", buffer, 4), 0u);
    EXPECT_EQ(plat::WideToAnsi(u"abc", buffer, 4), 4u);
    EXPECT_STREQ(buffer, "abc");
    EXPECT_EQ(plat::WideToAnsi(nullptr, buffer, sizeof buffer), 0u);

    if (ContractAnsiCodePage() != 1252) GTEST_SKIP() << "code page " << ContractAnsiCodePage();
    EXPECT_EQ(plat::WideToAnsi(u"Caf\u00e9", buffer, sizeof buffer), 5u);
    EXPECT_STREQ(buffer, "Caf\xE9");
    EXPECT_EQ(plat::WideToAnsi(u"\u20ac\u2122", buffer, sizeof buffer), 3u);
    EXPECT_STREQ(buffer, "\x80\x99");
    // A character the code page lacks becomes '?' (no best fit exists for it).
    EXPECT_EQ(plat::WideToAnsi(u"a\u4e2db", buffer, sizeof buffer), 4u);
    EXPECT_STREQ(buffer, "a?b");
}
