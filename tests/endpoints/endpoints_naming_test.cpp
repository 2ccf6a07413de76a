// Endpoint naming on the simulated machine: which endpoints get which name
// and icon, where the driver file comes from, the registry views of a
// 32-bit program on 64-bit Windows, and the failures that are counted.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "endpoints/endpoints.h"
#include "platform/registry.h"
#include "platform/sim/sim.h"

namespace {

using plat::kHkeyLocalMachine;

const std::string kAudio = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\MMDevices\\Audio";
// The same keys as the 32-bit view of a 64-bit machine keeps them.
const std::string kAudio32 = "SOFTWARE\\WOW6432Node\\Microsoft\\Windows\\CurrentVersion\\MMDevices\\Audio";
const std::string kService = "SYSTEM\\CurrentControlSet\\Services\\ZTMixolyteDAZAMME";
const std::string kClass = "SYSTEM\\CurrentControlSet\\Control\\Class\\{4D36E96C-E325-11CE-BFC1-08002BE10318}";
const char kDriverId[] = "{83da6326-97a6-4088-9453-a1923f573b29},3";
const char kChannel[] = "{233164c8-1b2c-4c7d-bc68-b671687a2567},1";
const char kName[] = "{a45c254e-df1c-4efd-8020-67d146a850e0},2";
const char kIcon[] = "{259abffc-50a7-47ce-af08-68c9a7d73366},12";
const char kDazaId[] = "{1}.ROOT\\MEDIA\\0000:ZTMixolyteDAZA";
const std::string kDriverFile = "%windir%\\System32\\drivers\\ztdaza.sys";

const char* const kRenderNames[] = {"Mixolyte In 1",  "Mixolyte In 2",  "Mixolyte In 3",      "Mixolyte In 4",
                                    "Mixolyte In 5",  "Mixolyte Input", "Mixolyte AUX Input", "Mixolyte DAZA3 Input"};
const char* const kCaptureNames[] = {"Mixolyte Out A1", "Mixolyte Out A2", "Mixolyte Out A3", "Mixolyte Out A4",
                                     "Mixolyte Out A5", "Mixolyte Out B1", "Mixolyte Out B2", "Mixolyte Out B3"};

std::string Properties(const std::string& audio, const std::string& flow, const std::string& key) {
    return audio + "\\" + flow + "\\" + key + "\\Properties";
}

// An endpoint key; an empty text leaves its value out.
void PutEndpoint(const std::string& audio, const std::string& flow, const std::string& key,
                 const std::string& driver_id, const std::string& channel) {
    std::string path = Properties(audio, flow, key);
    SimRegPutKey(kHkeyLocalMachine, path);
    if (!driver_id.empty()) SimRegPutText(kHkeyLocalMachine, path, kDriverId, driver_id);
    if (!channel.empty()) SimRegPutText(kHkeyLocalMachine, path, kChannel, channel);
}

std::string ChannelText(int channel) { return "{2}.ROOT\\ZTMIXOLYTEDAZA\\000" + std::to_string(channel); }

// Eight endpoints per flow as the driver leaves them: key names whose order
// is not the channel order, each channel in its channel value.
void PutDazaEndpoints(const std::string& audio) {
    for (const char* flow : {"Render", "Capture"})
        for (int channel = 1; channel <= 8; ++channel)
            PutEndpoint(audio, flow, "{0.0.0.00000000}.{" + std::to_string(9 - channel) + "e0c3f1a}", kDazaId,
                        ChannelText(channel));
}

std::string EndpointKey(int channel) { return "{0.0.0.00000000}.{" + std::to_string(9 - channel) + "e0c3f1a}"; }

void PutService(const std::string& image_path, std::uint32_t type = plat::kRegSz) {
    SimRegPutText(kHkeyLocalMachine, kService, "ImagePath", image_path, type);
}

std::string NameOf(const std::string& audio, const std::string& flow, const std::string& key) {
    return SimRegGetText(kHkeyLocalMachine, Properties(audio, flow, key), kName);
}
std::string IconOf(const std::string& audio, const std::string& flow, const std::string& key) {
    return SimRegGetText(kHkeyLocalMachine, Properties(audio, flow, key), kIcon);
}

// The icon path NameEndpoint gives Render channel 1 on this machine ("" when
// nothing was written).
std::string IconFromDriverFile() {
    PutEndpoint(kAudio, "Render", "ep", kDazaId, "");
    EXPECT_GE(NameEndpoint(u"Render", u"Mixolyte In 1", 201, 1), 0);
    return IconOf(kAudio, "Render", "ep");
}

struct EndpointNaming : ::testing::Test {
    void SetUp() override { SimReset(); }
};

}  // namespace

TEST_F(EndpointNaming, NamesSixteenEndpointsWithNamesAndIcons) {
    PutService("\\SystemRoot\\System32\\drivers\\ztdaza.sys");
    PutDazaEndpoints(kAudio);
    // An endpoint of another driver in between stays as it is.
    PutEndpoint(kAudio, "Render", "{0.0.0.00000000}.{5e0c3f1b}", "{1}.HDAUDIO\\FUNC_01:HdAudio", "x0001");

    EXPECT_GE(NameVirtualEndpoints(), 0);
    for (int channel = 1; channel <= 8; ++channel) {
        std::string key = EndpointKey(channel);
        EXPECT_EQ(NameOf(kAudio, "Render", key), kRenderNames[channel - 1]) << channel;
        EXPECT_EQ(IconOf(kAudio, "Render", key), kDriverFile + ",-" + std::to_string(200 + channel)) << channel;
        EXPECT_EQ(NameOf(kAudio, "Capture", key), kCaptureNames[channel - 1]) << channel;
        EXPECT_EQ(IconOf(kAudio, "Capture", key), kDriverFile + ",-" + std::to_string(300 + channel)) << channel;
    }
    // REG_SZ, stored with the terminating NUL and nothing after it.
    const SimRegValue* name = SimRegGetValue(kHkeyLocalMachine, Properties(kAudio, "Capture", EndpointKey(8)), kName);
    ASSERT_NE(name, nullptr);
    EXPECT_EQ(name->type, plat::kRegSz);
    EXPECT_EQ(name->bytes.size(), 2u * (std::string("Mixolyte Out B3").size() + 1));
    const SimRegValue* icon = SimRegGetValue(kHkeyLocalMachine, Properties(kAudio, "Render", EndpointKey(6)), kIcon);
    ASSERT_NE(icon, nullptr);
    EXPECT_EQ(icon->type, plat::kRegSz);
    EXPECT_EQ(icon->bytes.size(), 2u * ((kDriverFile + ",-206").size() + 1));

    std::vector<std::string> other = SimRegListValues(kHkeyLocalMachine, Properties(kAudio, "Render", "{0.0.0.00000000}.{5e0c3f1b}"));
    EXPECT_EQ(other.size(), 2u);
    EXPECT_EQ(SimRegOpenKeyCount(), 0u);
}

TEST_F(EndpointNaming, ChannelFromTrailingNumberElseRunningOrdinal) {
    PutService("\\SystemRoot\\System32\\drivers\\ztdaza.sys");
    // In enumeration order (the key names sort as listed):
    PutEndpoint(kAudio, "Render", "a1", kDazaId, "");                           // first DAZA endpoint: 1
    PutEndpoint(kAudio, "Render", "a2", kDazaId, "{2}.ROOT\\X\\0003");           // its number: 3
    PutEndpoint(kAudio, "Render", "a3", kDazaId, "");                           // after 3: 4
    PutEndpoint(kAudio, "Render", "a4", "{1}.USB:OtherDriver", "0002x0002");    // another driver: no step
    PutEndpoint(kAudio, "Render", "a5", kDazaId, "0009");                        // 4 characters: -1, so 5
    SimRegPutKey(kHkeyLocalMachine, kAudio + "\\Render\\a6");                   // no Properties: skipped
    PutEndpoint(kAudio, "Render", "a7", kDazaId, "{2}.0000");                    // 0 is no channel: 6
    PutEndpoint(kAudio, "Render", "a8", kDazaId, "{2}.0002");                    // back to 2
    PutEndpoint(kAudio, "Render", "a9", kDazaId, "");                           // after 2: 3 again

    EXPECT_GE(NameVirtualEndpoints(), 0);
    EXPECT_EQ(NameOf(kAudio, "Render", "a1"), "Mixolyte In 1");
    EXPECT_EQ(NameOf(kAudio, "Render", "a2"), "Mixolyte In 3");
    EXPECT_EQ(NameOf(kAudio, "Render", "a3"), "Mixolyte In 4");
    EXPECT_EQ(NameOf(kAudio, "Render", "a4"), "");
    EXPECT_EQ(NameOf(kAudio, "Render", "a5"), "Mixolyte In 5");
    EXPECT_FALSE(SimRegKeyExists(kHkeyLocalMachine, kAudio + "\\Render\\a6\\Properties"));
    EXPECT_EQ(NameOf(kAudio, "Render", "a7"), "Mixolyte Input");
    EXPECT_EQ(NameOf(kAudio, "Render", "a8"), "Mixolyte In 2");
    // Two endpoints with one channel both get its name and icon.
    EXPECT_EQ(NameOf(kAudio, "Render", "a9"), "Mixolyte In 3");
    EXPECT_EQ(IconOf(kAudio, "Render", "a9"), kDriverFile + ",-203");
    EXPECT_EQ(IconOf(kAudio, "Render", "a2"), kDriverFile + ",-203");
    // The other flow is counted on its own.
    PutEndpoint(kAudio, "Capture", "b1", kDazaId, "");
    EXPECT_GE(NameEndpoint(u"Capture", u"Mixolyte Out A1", 301, 1), 0);
    EXPECT_EQ(NameOf(kAudio, "Capture", "b1"), "Mixolyte Out A1");
}

TEST_F(EndpointNaming, HardwareIdIgnoresAsciiCaseOnlyAndMustEndThere) {
    PutService("\\SystemRoot\\System32\\drivers\\ztdaza.sys");
    struct Case {
        const char* key;
        const char* driver_id;
        bool daza;
    };
    const Case cases[] = {
        {"c01", "{1}.ROOT\\MEDIA\\0000:ztmixolytedaza", true},
        {"c02", "a:b:ZTMIXOLYTEDAZA", true},
        {"c03", "ZTMixolyteDAZA", true},  // no colon: the whole text
        {"c04", "{1}.ROOT:ZTMixolyteDAZAx", false},
        {"c05", "{1}.ROOT:ZTMixolyteDAZA ", false},
        {"c06", "{1}.ROOT:ZTMixolyteDAZ", false},
        {"c07", "ZTMixolyteDAZA:", false},  // nothing after the last colon
        {"c08", "ZTMixolyteDAZA:Other", false},
        {"c09", "{1}.ROOT: ZTMixolyteDAZA", false},
    };
    // Each endpoint carries channel 1, so every DAZA endpoint gets its name.
    for (const Case& c : cases) PutEndpoint(kAudio, "Render", c.key, c.driver_id, ChannelText(1));
    EXPECT_EQ(NameEndpoint(u"Render", u"Mixolyte In 1", 201, 1), 0);
    for (const Case& c : cases)
        EXPECT_EQ(NameOf(kAudio, "Render", c.key), c.daza ? "Mixolyte In 1" : "") << c.driver_id;

    EXPECT_EQ(IsDazaHardwareId(u"zTmIxOlYtEdAzA"), 1);
    EXPECT_EQ(IsDazaHardwareId(u""), 0);
    EXPECT_EQ(IsDazaHardwareId(u"ZTMixolyteDAZA\u00e0"), 0);
    // Only ASCII letters fold: a Latin-1 letter is no 'A'.
    EXPECT_EQ(IsDazaHardwareId(u"ZTMixolyteDAZ\u00c0"), 0);
}

TEST_F(EndpointNaming, TrailingNumberReadsTheLastFourCharacters) {
    EXPECT_EQ(TrailingNumber(u""), -1);
    EXPECT_EQ(TrailingNumber(u"0007"), -1);
    EXPECT_EQ(TrailingNumber(u"x0007"), 7);
    EXPECT_EQ(TrailingNumber(u"01234"), 1234);
    EXPECT_EQ(TrailingNumber(u"{2}.ROOT\\MEDIA\\0000\\98765"), 8765);
    // Characters that are not digits count with their code: 'b' is 50 past
    // '0', ':' 10, 'c' 51, 'd' 52.
    EXPECT_EQ(TrailingNumber(u"ab:cd"), 50 * 1000 + 10 * 100 + 51 * 10 + 52);
    EXPECT_EQ(TrailingNumber(u"x 000"), (u' ' - u'0') * 1000);
}

TEST_F(EndpointNaming, DriverFileFromTheServiceImagePath) {
    struct Case {
        std::string image_path;
        std::uint32_t type;
        std::string icon;
    };
    const Case cases[] = {
        {"\\SystemRoot\\System32\\drivers\\x.sys", plat::kRegSz, "%windir%\\System32\\drivers\\x.sys,-201"},
        {"System32\\DRIVERS\\ztdaza.sys", plat::kRegSz, "%windir%\\DRIVERS\\ztdaza.sys,-201"},
        {"ztdaza.sys", plat::kRegSz, "%windir%\\ztdaza.sys,-201"},
        {"\\ztdaza.sys", plat::kRegSz, "%windir%\\ztdaza.sys,-201"},
        // Not expanded: the first component is dropped as any other.
        {"%SystemRoot%\\system32\\drivers\\ztdaza.sys", plat::kRegExpandSz,
         "%windir%\\system32\\drivers\\ztdaza.sys,-201"},
    };
    for (const Case& c : cases) {
        SimReset();
        PutService(c.image_path, c.type);
        EXPECT_EQ(IconFromDriverFile(), c.icon) << c.image_path;
    }

    // A long ImagePath is read up to 1023 characters.
    SimReset();
    PutService("\\SystemRoot\\" + std::string(1488, 'a'));
    char16_t path[1024];
    ASSERT_EQ(FindDazaDriverFile(path, 1024), 1);
    std::u16string found(path);
    EXPECT_EQ(found.size(), 9u + 1011u);
    EXPECT_EQ(found.substr(0, 10), u"%windir%\\a");

    // The service key of the other spelling is not the one read.
    SimReset();
    SimRegPutText(kHkeyLocalMachine, "SYSTEM\\CurrentControlSet\\Services\\ZTMixolyteVAIOMME", "ImagePath",
                  "\\SystemRoot\\System32\\drivers\\x.sys");
    EXPECT_EQ(FindDazaDriverFile(path, 1024), 0);
}

TEST_F(EndpointNaming, DriverFileFromTheMediaClassWhenNoImagePathIsRead) {
    auto put_class_entry = [](const std::string& sub, const char* matching, const char* driver) {
        SimRegPutKey(kHkeyLocalMachine, kClass + "\\" + sub);
        if (matching) SimRegPutText(kHkeyLocalMachine, kClass + "\\" + sub, "MatchingDeviceId", matching);
        if (driver) SimRegPutText(kHkeyLocalMachine, kClass + "\\" + sub, "Driver", driver);
    };
    char16_t path[1024];

    // ImagePaths that cannot be read: a number, more than 4096 bytes.
    for (int variant = 0; variant < 3; ++variant) {
        SimReset();
        if (variant == 1) SimRegPutDword(kHkeyLocalMachine, kService, "ImagePath", 7);
        if (variant == 2) PutService("\\SystemRoot\\" + std::string(2100, 'x'));
        put_class_entry("0000", "ROOT\\OtherDevice", "other.sys");
        put_class_entry("0001", nullptr, "none.sys");
        put_class_entry("0002", "ztmixolyteDAZA", "ztdaza.sys");
        put_class_entry("0003", "ZTMixolyteDAZA", "later.sys");
        EXPECT_EQ(IconFromDriverFile(), "%windir%\\system32\\Drivers\\ztdaza.sys,-201") << variant;
        EXPECT_EQ(SimRegOpenKeyCount(), 0u);
    }

    // The first DAZA entry decides: without a readable "Driver" there is no
    // driver file, though a later entry has one.
    for (int variant = 0; variant < 2; ++variant) {
        SimReset();
        put_class_entry("0000", "ZTMixolyteDAZA", nullptr);
        if (variant == 1) SimRegPutDword(kHkeyLocalMachine, kClass + "\\0000", "Driver", 1);
        put_class_entry("0001", "ZTMixolyteDAZA", "ztdaza.sys");
        EXPECT_EQ(FindDazaDriverFile(path, 1024), 0);
        PutDazaEndpoints(kAudio);
        EXPECT_EQ(NameVirtualEndpoints(), -1);
        EXPECT_EQ(NameEndpoint(u"Render", u"Mixolyte In 1", 201, 1), -1);
        EXPECT_EQ(NameOf(kAudio, "Render", EndpointKey(1)), "");
        EXPECT_EQ(SimRegOpenKeyCount(), 0u);
    }

    // No class key, or no DAZA entry in it: no driver file, nothing named.
    SimReset();
    PutDazaEndpoints(kAudio);
    EXPECT_EQ(NameVirtualEndpoints(), -1);
    put_class_entry("0000", "ROOT\\OtherDevice", "other.sys");
    EXPECT_EQ(NameVirtualEndpoints(), -1);
    for (int channel = 1; channel <= 8; ++channel) {
        EXPECT_EQ(NameOf(kAudio, "Render", EndpointKey(channel)), "");
        EXPECT_EQ(IconOf(kAudio, "Capture", EndpointKey(channel)), "");
    }
}

TEST_F(EndpointNaming, SixtyFourBitViewOnlyWhenTheDefaultViewHasNoEndpoints) {
    // The driver setup of a 64-bit Windows writes the endpoints in the 64-bit
    // view; the 32-bit program's default view shows none of them.
    Sim().system.is_64bit = true;
    PutService("\\SystemRoot\\System32\\drivers\\ztdaza.sys");
    PutDazaEndpoints(kAudio);
    EXPECT_GE(NameVirtualEndpoints(), 0);
    for (int channel = 1; channel <= 8; ++channel) {
        EXPECT_EQ(NameOf(kAudio, "Render", EndpointKey(channel)), kRenderNames[channel - 1]);
        EXPECT_EQ(IconOf(kAudio, "Capture", EndpointKey(channel)),
                  kDriverFile + ",-" + std::to_string(300 + channel));
    }
    // Nothing landed in the 32-bit view.
    EXPECT_FALSE(SimRegKeyExists(kHkeyLocalMachine, kAudio32));

    // A flow key of the default view that exists but is empty: the 64-bit
    // view is searched as well, and written in.
    SimReset();
    Sim().system.is_64bit = true;
    PutService("\\SystemRoot\\System32\\drivers\\ztdaza.sys");
    PutDazaEndpoints(kAudio);
    SimRegPutKey(kHkeyLocalMachine, kAudio32 + "\\Render");
    EXPECT_GE(NameVirtualEndpoints(), 0);
    EXPECT_EQ(NameOf(kAudio, "Render", EndpointKey(3)), "Mixolyte In 3");
    EXPECT_EQ(SimRegListSubkeys(kHkeyLocalMachine, kAudio32 + "\\Render").size(), 0u);

    // A default view that holds any endpoint key is the one used: the 64-bit
    // endpoints stay unnamed for that flow.
    SimReset();
    Sim().system.is_64bit = true;
    PutService("\\SystemRoot\\System32\\drivers\\ztdaza.sys");
    PutDazaEndpoints(kAudio);
    PutEndpoint(kAudio32, "Render", "{0.0.0.00000000}.{other}", "{1}.USB:OtherDriver", "");
    EXPECT_GE(NameVirtualEndpoints(), 0);
    EXPECT_EQ(NameOf(kAudio, "Render", EndpointKey(1)), "");
    EXPECT_EQ(NameOf(kAudio32, "Render", "{0.0.0.00000000}.{other}"), "");
    EXPECT_EQ(NameOf(kAudio, "Capture", EndpointKey(1)), "Mixolyte Out A1");

    // Endpoints in the default view are named there.
    SimReset();
    Sim().system.is_64bit = true;
    PutService("\\SystemRoot\\System32\\drivers\\ztdaza.sys");
    PutDazaEndpoints(kAudio32);
    EXPECT_GE(NameVirtualEndpoints(), 0);
    EXPECT_EQ(NameOf(kAudio32, "Render", EndpointKey(7)), "Mixolyte AUX Input");
    EXPECT_FALSE(SimRegKeyExists(kHkeyLocalMachine, kAudio));
    EXPECT_EQ(SimRegOpenKeyCount(), 0u);
}

TEST_F(EndpointNaming, FailedWritesAreCountedAndTheOthersStillHappen) {
    PutService("\\SystemRoot\\System32\\drivers\\ztdaza.sys");
    PutDazaEndpoints(kAudio);
    PutEndpoint(kAudio, "Render", "zz-second-3", kDazaId, ChannelText(3));
    PutEndpoint(kAudio, "Render", "zz-third-3", kDazaId, ChannelText(3));
    SimRegDenyWrite(kHkeyLocalMachine, Properties(kAudio, "Render", EndpointKey(3)));
    SimRegDenyWrite(kHkeyLocalMachine, Properties(kAudio, "Render", "zz-second-3"));

    // Two endpoints refuse both values; the third of the channel is named.
    EXPECT_EQ(NameEndpoint(u"Render", u"Mixolyte In 3", 203, 3), -4);
    EXPECT_EQ(NameOf(kAudio, "Render", "zz-third-3"), "Mixolyte In 3");
    EXPECT_EQ(NameOf(kAudio, "Render", EndpointKey(3)), "");
    EXPECT_EQ(NameEndpoint(u"Render", u"Mixolyte In 4", 204, 4), 0);

    // Only the last of the 16 results counts for the whole.
    EXPECT_EQ(NameVirtualEndpoints(), 0);
    EXPECT_EQ(NameOf(kAudio, "Render", EndpointKey(8)), "Mixolyte DAZA3 Input");
    SimRegDenyWrite(kHkeyLocalMachine, Properties(kAudio, "Capture", EndpointKey(8)));
    EXPECT_EQ(NameVirtualEndpoints(), -2);
    EXPECT_EQ(NameOf(kAudio, "Capture", EndpointKey(7)), "Mixolyte Out B2");
    EXPECT_EQ(SimRegOpenKeyCount(), 0u);
}

TEST_F(EndpointNaming, NoDazaEndpointsWritesNothing) {
    PutService("\\SystemRoot\\System32\\drivers\\ztdaza.sys");
    // No flow keys at all.
    EXPECT_GE(NameVirtualEndpoints(), 0);
    // Only endpoints of other drivers.
    for (int i = 1; i <= 3; ++i)
        PutEndpoint(kAudio, "Render", "other" + std::to_string(i), "{1}.HDAUDIO:HdAudio", ChannelText(i));
    EXPECT_GE(NameVirtualEndpoints(), 0);
    for (int i = 1; i <= 3; ++i)
        EXPECT_EQ(SimRegListValues(kHkeyLocalMachine, Properties(kAudio, "Render", "other" + std::to_string(i))).size(),
                  2u);
    EXPECT_FALSE(SimRegKeyExists(kHkeyLocalMachine, kAudio + "\\Capture"));
}

TEST_F(EndpointNaming, EndpointKeyNamesOf255CharactersAreSkipped) {
    PutService("\\SystemRoot\\System32\\drivers\\ztdaza.sys");
    std::string long_name = "{0" + std::string(253, 'a');   // 255 characters, enumerated first
    std::string longest_used = "{1" + std::string(252, 'b');  // 254 characters
    PutEndpoint(kAudio, "Render", long_name, kDazaId, "");
    PutEndpoint(kAudio, "Render", longest_used, kDazaId, "");
    EXPECT_EQ(NameEndpoint(u"Render", u"Mixolyte In 1", 201, 1), 0);
    EXPECT_EQ(NameOf(kAudio, "Render", long_name), "");
    EXPECT_EQ(NameOf(kAudio, "Render", longest_used), "Mixolyte In 1");
}

TEST_F(EndpointNaming, ReadMachineTextBoundsAndViews) {
    char16_t text[512];
    const std::string key = "SYSTEM\\MixoTest";
    SimRegPutText(kHkeyLocalMachine, key, "long", std::string(600, 'q'));
    ASSERT_EQ(ReadMachineText(u"SYSTEM\\MixoTest", u"long", text, 512), 1);
    EXPECT_EQ(std::u16string(text), std::u16string(511, u'q'));
    char16_t small[4] = {u'z', u'z', u'z', u'z'};
    ASSERT_EQ(ReadMachineText(u"SYSTEM\\MixoTest", u"long", small, 4), 1);
    EXPECT_EQ(std::u16string(small), u"qqq");

    // 4096 bytes are read; two more are too many.
    SimRegPutText(kHkeyLocalMachine, key, "fits", std::string(2047, 'f'));
    SimRegPutText(kHkeyLocalMachine, key, "over", std::string(2048, 'o'));
    EXPECT_EQ(ReadMachineText(u"SYSTEM\\MixoTest", u"fits", text, 512), 1);
    EXPECT_EQ(ReadMachineText(u"SYSTEM\\MixoTest", u"over", text, 512), 0);

    // Only text types; a text stored without its NUL is read whole.
    SimRegPutDword(kHkeyLocalMachine, key, "number", 5);
    EXPECT_EQ(ReadMachineText(u"SYSTEM\\MixoTest", u"number", text, 512), 0);
    SimRegPutValue(kHkeyLocalMachine, key, "bare", plat::kRegSz, {'a', 0, 'b', 0});
    ASSERT_EQ(ReadMachineText(u"SYSTEM\\MixoTest", u"bare", text, 512), 1);
    EXPECT_EQ(std::u16string(text), u"ab");
    SimRegPutText(kHkeyLocalMachine, key, "expand", "%windir%\\x", plat::kRegExpandSz);
    ASSERT_EQ(ReadMachineText(u"SYSTEM\\MixoTest", u"expand", text, 512), 1);
    EXPECT_EQ(std::u16string(text), u"%windir%\\x");
    EXPECT_EQ(ReadMachineText(u"SYSTEM\\MixoTest", u"absent", text, 512), 0);
    EXPECT_EQ(ReadMachineText(u"SYSTEM\\Absent", u"long", text, 512), 0);

    // A key only in the 64-bit view is found there.
    Sim().system.is_64bit = true;
    SimRegPutText(kHkeyLocalMachine, "SOFTWARE\\MixoTest", "v", "from 64");
    ASSERT_EQ(ReadMachineText(u"SOFTWARE\\MixoTest", u"v", text, 512), 1);
    EXPECT_EQ(std::u16string(text), u"from 64");
    // With the key in both views, the default view wins.
    SimRegPutText(kHkeyLocalMachine, "SOFTWARE\\WOW6432Node\\MixoTest", "v", "from 32");
    ASSERT_EQ(ReadMachineText(u"SOFTWARE\\MixoTest", u"v", text, 512), 1);
    EXPECT_EQ(std::u16string(text), u"from 32");
    EXPECT_EQ(SimRegOpenKeyCount(), 0u);
}

TEST_F(EndpointNaming, WriteMachineTextCreatesAndChoosesTheView) {
    Sim().system.is_64bit = true;
    EXPECT_EQ(WriteMachineText(0, u"thirty-two", u"SOFTWARE\\MixoTest\\New", u"v"), 1);
    EXPECT_EQ(SimRegGetText(kHkeyLocalMachine, "SOFTWARE\\WOW6432Node\\MixoTest\\New", "v"), "thirty-two");
    EXPECT_EQ(WriteMachineText(1, u"sixty-four", u"SOFTWARE\\MixoTest\\New", u"v"), 1);
    EXPECT_EQ(SimRegGetText(kHkeyLocalMachine, "SOFTWARE\\MixoTest\\New", "v"), "sixty-four");
    EXPECT_EQ(SimRegGetText(kHkeyLocalMachine, "SOFTWARE\\WOW6432Node\\MixoTest\\New", "v"), "thirty-two");
    const SimRegValue* value = SimRegGetValue(kHkeyLocalMachine, "SOFTWARE\\MixoTest\\New", "v");
    ASSERT_NE(value, nullptr);
    EXPECT_EQ(value->type, plat::kRegSz);
    EXPECT_EQ(value->bytes.size(), 22u);
    EXPECT_EQ(value->bytes[20] | value->bytes[21], 0);

    // An existing value is replaced; a key that refuses writes counts as a
    // failure, for opening and for creating below it alike.
    EXPECT_EQ(WriteMachineText(1, u"again", u"SOFTWARE\\MixoTest\\New", u"v"), 1);
    EXPECT_EQ(SimRegGetText(kHkeyLocalMachine, "SOFTWARE\\MixoTest\\New", "v"), "again");
    SimRegDenyWrite(kHkeyLocalMachine, "SYSTEM\\Locked");
    EXPECT_EQ(WriteMachineText(0, u"x", u"SYSTEM\\Locked", u"v"), 0);
    EXPECT_EQ(WriteMachineText(0, u"x", u"SYSTEM\\Locked\\Below", u"v"), 0);
    EXPECT_FALSE(SimRegKeyExists(kHkeyLocalMachine, "SYSTEM\\Locked\\Below"));
    EXPECT_EQ(SimRegOpenKeyCount(), 0u);
}
