// The endpoint-name lookup against the simulated MMDevices registry: the
// name route with its two candidates, registry order, the two registry
// views, what each stored value becomes, and the registry readers.
#include <gtest/gtest.h>

#include <string>

#include "devices/inventory.h"
#include "devices/inventory_state.h"
#include "tests/devices/devices_support.h"

using namespace inv_test;

namespace {

struct LookupTest : ::testing::Test {
    void SetUp() override { SimReset(); }
    void TearDown() override { EXPECT_EQ(SimRegOpenKeyCount(), 0u) << "every key read is closed again"; }
};

constexpr unsigned kMmeWanted = kWantHardwareId | kWantInterfaceName | kWantDevicePath;

}  // namespace

TEST_F(LookupTest, ACutMmeNameMatchesTheEntryItBeginsAndTakesItsProperties) {
    // Candidate one of this entry: "Line In Connector Front Panel (Realtek High Definition Audio)".
    Entry entry;
    entry.description = u"Line In Connector Front Panel";
    entry.interface_name = u"Realtek High Definition Audio";
    entry.device_path = u"{1}.HDAUDIO\\FUNC_01&VEN_10EC&DEV_0662\\4&2a3e&0&0001";
    entry.icon_path = u"%windir%\\system32\\mmres.dll,-3018";
    entry.hardware_id = u"MMDEVAPI\\AudioEndpoints:{1}.HDAUDIO:FUNC_01&VEN_10EC";
    entry.has_form_factor = true;
    entry.form_factor = 4;
    entry.endpoint_format = FormatValue(2, 48000, 16);
    entry.device_format = FormatValue(6, 44100, 24, 255);
    PutNamedEntry(kAudioKey, "Capture", "{0a1b0000-0000-0000-0000-000000000001}", u"Line In", u"Other Card");
    PutEntry(kAudioKey, "Capture", "{0a1b0000-0000-0000-0000-000000000002}", entry);

    // An MME name is at most 31 characters: here cut inside the parenthesis.
    DeviceRecord record = MmeRecord(u"Line In Connector Front Panel (");
    ASSERT_EQ(std::u16string(record.display_name).size(), 31u);
    EXPECT_EQ(LookUpEndpointName(u"Capture", &record, kMmeWanted), 0);

    EXPECT_EQ(std::u16string(record.endpoint_id), u"{0a1b0000-0000-0000-0000-000000000002}");
    EXPECT_EQ(std::u16string(record.interface_name), u"Realtek High Definition Audio");
    EXPECT_EQ(std::u16string(record.device_description), u"Line In Connector Front Panel");
    // The device path from its first backslash on, in both forms.
    EXPECT_EQ(std::u16string(record.device_path), u"\\FUNC_01&VEN_10EC&DEV_0662\\4&2a3e&0&0001");
    EXPECT_STREQ(record.device_path_ansi, "\\FUNC_01&VEN_10EC&DEV_0662\\4&2a3e&0&0001");
    EXPECT_EQ(std::u16string(record.icon_path), u"%windir%\\system32\\mmres.dll,-3018");
    // The hardware id is what follows the last colon.
    EXPECT_STREQ(record.hardware_id, "FUNC_01&VEN_10EC");
    EXPECT_EQ(record.form_factor, 4u);
    EXPECT_EQ(FormatField(record.endpoint_format),
              std::vector<std::uint8_t>(entry.endpoint_format.begin() + 8, entry.endpoint_format.begin() + 26));
    EXPECT_EQ(FormatField(record.device_format),
              std::vector<std::uint8_t>(entry.device_format.begin() + 8, entry.device_format.begin() + 26));
    // The lookup adds fields; it leaves the pass's own ones alone.
    EXPECT_EQ(std::u16string(record.display_name), u"Line In Connector Front Panel (");
    EXPECT_EQ(record.device_kind, kDeviceKindMme);
    EXPECT_EQ(record.channel_count, 0);
}

TEST_F(LookupTest, BothCandidateFormsMatchAndTheFirstEntryInRegistryOrderWins) {
    // Written in the opposite of registry order (which is by key name).
    PutNamedEntry(kAudioKey, "Render", "{c0000000-0000-0000-0000-00000000000c}", u"Speakers", u"USB Audio");
    PutNamedEntry(kAudioKey, "Render", "{b0000000-0000-0000-0000-00000000000b}", u"Speakers", u"USB Audio");
    PutNamedEntry(kAudioKey, "Render", "{a0000000-0000-0000-0000-00000000000a}", u"Monitor", u"HDMI");

    DeviceRecord first = MmeRecord(u"Speakers (USB");
    EXPECT_EQ(LookUpEndpointName(u"Render", &first, kMmeWanted), 0);
    EXPECT_EQ(std::u16string(first.endpoint_id), u"{b0000000-0000-0000-0000-00000000000b}");

    // No blank before the parenthesis: only candidate two matches.
    DeviceRecord second = MmeRecord(u"Monitor(HDMI)");
    EXPECT_EQ(LookUpEndpointName(u"Render", &second, kMmeWanted), 0);
    EXPECT_EQ(std::u16string(second.endpoint_id), u"{a0000000-0000-0000-0000-00000000000a}");
    EXPECT_EQ(std::u16string(second.interface_name), u"HDMI");

    // A whole candidate matches; one unit more does not.
    DeviceRecord whole = MmeRecord(u"Monitor (HDMI)");
    EXPECT_EQ(LookUpEndpointName(u"Render", &whole, kMmeWanted), 0);
    DeviceRecord longer = MmeRecord(u"Monitor (HDMI)x");
    EXPECT_EQ(LookUpEndpointName(u"Render", &longer, kMmeWanted), -2);
    EXPECT_EQ(longer.endpoint_id[0], u'\0');
    EXPECT_EQ(longer.interface_name[0], u'\0');
    // Letter case counts.
    DeviceRecord lower = MmeRecord(u"speakers");
    EXPECT_EQ(LookUpEndpointName(u"Render", &lower, kMmeWanted), -2);
    // The other flow is not searched.
    DeviceRecord capture = MmeRecord(u"Speakers");
    EXPECT_EQ(LookUpEndpointName(u"Capture", &capture, kMmeWanted), -1);
}

TEST_F(LookupTest, EntriesWithoutBothTextsAreNeverMatchedByName) {
    Entry only_description;
    only_description.description = u"Speakers";
    only_description.hardware_id = u"wrong";
    PutEntry(kAudioKey, "Render", "{10000000-0000-0000-0000-000000000000}", only_description);
    // A description of the wrong type counts as absent too.
    std::string key = PropertiesKey(kAudioKey, "Render", "{20000000-0000-0000-0000-000000000000}");
    SimRegPutText16(plat::kHkeyLocalMachine, key, kDescription, u"Speakers", plat::kRegExpandSz);
    SimRegPutText16(plat::kHkeyLocalMachine, key, kInterfaceName, u"Card");
    PutNamedEntry(kAudioKey, "Render", "{30000000-0000-0000-0000-000000000000}", u"Speakers", u"Card");

    DeviceRecord record = MmeRecord(u"Speakers");
    EXPECT_EQ(LookUpEndpointName(u"Render", &record, kMmeWanted), 0);
    EXPECT_EQ(std::u16string(record.endpoint_id), u"{30000000-0000-0000-0000-000000000000}");
    EXPECT_STREQ(record.hardware_id, "");
}

TEST_F(LookupTest, TheSixtyFourBitViewIsTriedOnlyWhenTheFlowKeyHadNoSubkeys) {
    Sim().system.is_64bit = true;
    // The 32-bit view has the flow key but no entries; the entries live in
    // the 64-bit view.
    SimRegPutKey(plat::kHkeyLocalMachine, kAudioKeyWow + "\\Render");
    Entry entry;
    entry.description = u"Speakers";
    entry.interface_name = u"Mixo Card";
    entry.hardware_id = u"ID:HW64";
    PutEntry(kAudioKey, "Render", "{64000000-0000-0000-0000-000000000000}", entry);
    DeviceRecord record = MmeRecord(u"Speakers (Mixo");
    EXPECT_EQ(LookUpEndpointName(u"Render", &record, kMmeWanted), 0);
    EXPECT_EQ(std::u16string(record.endpoint_id), u"{64000000-0000-0000-0000-000000000000}");
    EXPECT_EQ(std::u16string(record.interface_name), u"Mixo Card");  // readers fall back to the 64-bit view
    EXPECT_STREQ(record.hardware_id, "HW64");

    // When the 32-bit view holds entries but none matches, the 64-bit view
    // is not searched.
    PutNamedEntry(kAudioKeyWow, "Render", "{32000000-0000-0000-0000-000000000000}", u"Headphones", u"Other");
    DeviceRecord missed = MmeRecord(u"Speakers (Mixo");
    EXPECT_EQ(LookUpEndpointName(u"Render", &missed, kMmeWanted), -2);
    EXPECT_EQ(missed.endpoint_id[0], u'\0');
    // ... while one that matches there is found there.
    DeviceRecord in32 = MmeRecord(u"Headphones");
    EXPECT_EQ(LookUpEndpointName(u"Render", &in32, kMmeWanted), 0);
    EXPECT_EQ(std::u16string(in32.endpoint_id), u"{32000000-0000-0000-0000-000000000000}");

    // An endpoint key of the 32-bit view without its properties: the
    // readers find the entry's texts in the 64-bit view.
    SimRegPutKey(plat::kHkeyLocalMachine, kAudioKeyWow + "\\Render\\{10000000-0000-0000-0000-000000000000}");
    PutNamedEntry(kAudioKey, "Render", "{10000000-0000-0000-0000-000000000000}", u"Line Out", u"Dock");
    DeviceRecord dock = MmeRecord(u"Line Out (Dock)");
    EXPECT_EQ(LookUpEndpointName(u"Render", &dock, kMmeWanted), 0);
    EXPECT_EQ(std::u16string(dock.endpoint_id), u"{10000000-0000-0000-0000-000000000000}");
    EXPECT_EQ(std::u16string(dock.interface_name), u"Dock");

    // No flow key in the 32-bit view: the 64-bit view is opened at once.
    DeviceRecord capture = MmeRecord(u"Mic");
    EXPECT_EQ(LookUpEndpointName(u"Capture", &capture, kMmeWanted), -1);
    PutNamedEntry(kAudioKey, "Capture", "{c6400000-0000-0000-0000-000000000000}", u"Mic", u"Array");
    EXPECT_EQ(LookUpEndpointName(u"Capture", &capture, kMmeWanted), 0);
    EXPECT_EQ(std::u16string(capture.endpoint_id), u"{c6400000-0000-0000-0000-000000000000}");
}

// The survey's kept walks give what fresh walks give: names that begin
// alike, and a tree that exists only in the 64-bit view. Running out of
// memory while walking or keeping a walk costs the match at worst, never
// the program.
TEST_F(LookupTest, KeptWalksAnswerAsFreshOnesAndSurviveRunningOutOfMemory) {
    Sim().system.is_64bit = true;  // no MMDevices key in the 32-bit view at all
    PutNamedEntry(kAudioKey, "Render", "{a0000000-0000-0000-0000-00000000000a}", u"Speakers 2", u"USB Audio");
    PutNamedEntry(kAudioKey, "Render", "{b0000000-0000-0000-0000-00000000000b}", u"Speakers", u"USB Audio");
    PutNamedEntry(kAudioKey, "Render", "{c0000000-0000-0000-0000-00000000000c}", u"Speakers", u"HDMI");
    ASSERT_FALSE(SimRegKeyExists(plat::kHkeyLocalMachine, kAudioKeyWow));
    const std::u16string names[] = {u"Speakers (USB", u"Speakers 2 (USB", u"Speakers (HDMI)", u"Speakers",
                                    u"Speakers 3"};
    const std::u16string expected[] = {u"{b0000000-0000-0000-0000-00000000000b}",
                                       u"{a0000000-0000-0000-0000-00000000000a}",
                                       u"{c0000000-0000-0000-0000-00000000000c}",
                                       u"{a0000000-0000-0000-0000-00000000000a}", u""};
    for (bool keep : {false, true}) {
        KeepLookupWalks(keep);
        for (int pass = 0; pass < 2; ++pass)
            for (std::size_t i = 0; i < std::size(names); ++i) {
                DeviceRecord record = MmeRecord(names[i]);
                EXPECT_EQ(LookUpEndpointName(u"Render", &record, kMmeWanted), expected[i].empty() ? -2 : 0)
                    << keep << " " << i;
                EXPECT_EQ(std::u16string(record.endpoint_id), expected[i]) << keep << " " << i;
                const char16_t* card = expected[i].empty() ? u"" : i == 2 ? u"HDMI" : u"USB Audio";
                EXPECT_EQ(std::u16string(record.interface_name), card) << keep << " " << i;
            }
    }

    // Memory runs out after the first entry: no match by name, no throw,
    // and nothing half-made is kept: the next lookup walks again.
    KeepLookupWalks(true);
    LimitLookupWalkAllocations(1);
    DeviceRecord starved = MmeRecord(u"Speakers (USB");
    EXPECT_EQ(LookUpEndpointName(u"Render", &starved, kMmeWanted), -2);
    EXPECT_EQ(starved.endpoint_id[0], u'\0');
    LimitLookupWalkAllocations(-1);
    DeviceRecord fed = MmeRecord(u"Speakers (USB");
    EXPECT_EQ(LookUpEndpointName(u"Render", &fed, kMmeWanted), 0);
    EXPECT_EQ(std::u16string(fed.endpoint_id), expected[0]);

    // The walk is made but cannot be kept: it still serves its lookup.
    KeepLookupWalks(true);
    LimitLookupWalkAllocations(3);
    DeviceRecord unkept = MmeRecord(u"Speakers (HDMI)");
    EXPECT_EQ(LookUpEndpointName(u"Render", &unkept, kMmeWanted), 0);
    EXPECT_EQ(std::u16string(unkept.endpoint_id), expected[2]);
    LimitLookupWalkAllocations(-1);
    KeepLookupWalks(false);
}

TEST_F(LookupTest, TheDirectRouteReadsTheEntryOfTheEndpointIdWithoutComparingNames) {
    Entry entry;
    entry.description = u"Entirely different";
    entry.interface_name = u"Names";
    entry.device_path = u"{2}.SWD\\MMDEVAPI";
    entry.hardware_id = u"NoColonHere";
    entry.device_format = FormatValue(8, 96000, 32, 120);
    PutEntry(kAudioKey, "Render", "{d0000000-0000-0000-0000-00000000000d}", entry);

    DeviceRecord record = MmeRecord(u"Speakers (Mixo Card)");
    record.device_kind = kDeviceKindEndpoint;
    std::u16string id = u"{d0000000-0000-0000-0000-00000000000d}";
    id.copy(record.endpoint_id, id.size());
    std::u16string interface_name = u"Mixo Card";
    interface_name.copy(record.interface_name, interface_name.size());
    EXPECT_EQ(LookUpEndpointName(u"Render", &record, kWantHardwareId | kWantDevicePath | kWantDirectRoute), 0);
    EXPECT_EQ(std::u16string(record.device_description), u"Entirely different");
    EXPECT_EQ(std::u16string(record.device_path), u"\\MMDEVAPI");
    EXPECT_STREQ(record.hardware_id, "NoColonHere");  // no colon: the whole text
    EXPECT_EQ(record.device_format[2], 8);            // channels
    // The interface name was not wanted: the endpoint's own one stays.
    EXPECT_EQ(std::u16string(record.interface_name), u"Mixo Card");
    EXPECT_EQ(std::u16string(record.endpoint_id), id);

    // An id whose entry is missing: still 0, nothing read.
    DeviceRecord unknown = MmeRecord(u"Entirely different (Names)");
    std::u16string other = u"{e0000000-0000-0000-0000-00000000000e}";
    other.copy(unknown.endpoint_id, other.size());
    EXPECT_EQ(LookUpEndpointName(u"Render", &unknown, kWantHardwareId | kWantDevicePath | kWantDirectRoute), 0);
    EXPECT_EQ(unknown.device_description[0], u'\0');
    EXPECT_EQ(std::u16string(unknown.endpoint_id), other);

    // Without an endpoint id the name route is taken, and it stores the id.
    DeviceRecord named = MmeRecord(u"Entirely different (Names)");
    EXPECT_EQ(LookUpEndpointName(u"Render", &named, kWantHardwareId | kWantDevicePath | kWantDirectRoute), 0);
    EXPECT_EQ(std::u16string(named.endpoint_id), u"{d0000000-0000-0000-0000-00000000000d}");
}

TEST_F(LookupTest, StoredValuesOfTheWrongSizeOrTypeLeaveTheirFieldsAlone) {
    const std::string guid = "{f0000000-0000-0000-0000-00000000000f}";
    const std::u16string id = U16(guid);
    const std::string key = PropertiesKey(kAudioKey, "Render", guid);
    auto read = [&](DeviceRecord* record) {
        ReadEndpointProperties(record, id.c_str(),
                               u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\MMDevices\\Audio\\Render",
                               kWantHardwareId | kWantDevicePath | kWantInterfaceName);
    };
    auto put_format = [&](std::size_t size) {
        SimRegPutValue(plat::kHkeyLocalMachine, key, kEndpointFormat, plat::kRegBinary,
                       FormatValue(2, 48000, 16, size));
        SimRegPutValue(plat::kHkeyLocalMachine, key, kDeviceFormat, plat::kRegBinary,
                       FormatValue(4, 48000, 16, size));
    };
    SimRegPutKey(plat::kHkeyLocalMachine, key);

    // Formats: 47 and 256 bytes are ignored; 48 and 255 are taken.
    for (std::size_t size : {std::size_t(47), std::size_t(256), std::size_t(1000), std::size_t(2000)}) {
        put_format(size);
        DeviceRecord record = MmeRecord(u"x");
        record.endpoint_format[0] = 0xAA;  // a value already there stays
        read(&record);
        EXPECT_EQ(record.endpoint_format[0], 0xAA) << size;
        EXPECT_EQ(record.device_format[2], 0) << size;
    }
    for (std::size_t size : {std::size_t(48), std::size_t(255)}) {
        put_format(size);
        DeviceRecord record = MmeRecord(u"x");
        read(&record);
        EXPECT_EQ(record.endpoint_format[0], 1) << size;  // WAVE_FORMAT_PCM
        EXPECT_EQ(record.endpoint_format[2], 2) << size;
        EXPECT_EQ(record.device_format[2], 4) << size;
    }
    // A format stored as text is no format.
    SimRegPutText16(plat::kHkeyLocalMachine, key, kDeviceFormat, std::u16string(40, u'x'));
    {
        DeviceRecord record = MmeRecord(u"x");
        read(&record);
        EXPECT_EQ(record.device_format[2], 0);
    }

    // The form factor is always set: 0 unless it is a REG_DWORD.
    SimRegPutText16(plat::kHkeyLocalMachine, key, kFormFactor, u"3");
    {
        DeviceRecord record = MmeRecord(u"x");
        record.form_factor = 9;
        read(&record);
        EXPECT_EQ(record.form_factor, 0u);
    }
    SimRegPutDword(plat::kHkeyLocalMachine, key, kFormFactor, 0x12345678);
    {
        DeviceRecord record = MmeRecord(u"x");
        read(&record);
        EXPECT_EQ(record.form_factor, 0x12345678u);
    }

    // Texts: longer than 4096 bytes counts as absent; 4096 bytes is read.
    std::u16string longest(2047, u'd');  // 2047 units + NUL = 4096 bytes
    SimRegPutText16(plat::kHkeyLocalMachine, key, kDescription, longest);
    SimRegPutText16(plat::kHkeyLocalMachine, key, kIconPath, longest + u"i");  // 4098 bytes
    {
        DeviceRecord record = MmeRecord(u"x");
        std::u16string kept = u"kept";
        kept.copy(record.icon_path, kept.size());
        read(&record);
        EXPECT_EQ(std::u16string(record.device_description), std::u16string(127, u'd'));  // cut to the field
        EXPECT_EQ(std::u16string(record.icon_path), u"kept");
    }

    // Hardware id after the last colon, converted to the ANSI code page;
    // a device path without a backslash gives empty paths.
    SimRegPutText16(plat::kHkeyLocalMachine, key, kHardwareId, u"A:B:Caf\u00e9:\u00c9t\u00e9 \u20ac");
    SimRegPutText16(plat::kHkeyLocalMachine, key, kDevicePath, u"NoBackslash");
    {
        DeviceRecord record = MmeRecord(u"x");
        std::u16string old_path = u"old";
        old_path.copy(record.device_path, old_path.size());
        record.device_path_ansi[0] = 'o';
        read(&record);
        EXPECT_STREQ(record.hardware_id, "\xC9t\xE9 \x80");  // Windows-1252
        EXPECT_EQ(record.device_path[0], u'\0');
        EXPECT_EQ(record.device_path_ansi[0], '\0');
    }
    // A colon at the very end leaves an empty hardware id.
    SimRegPutText16(plat::kHkeyLocalMachine, key, kHardwareId, u"ABC:");
    {
        DeviceRecord record = MmeRecord(u"x");
        record.hardware_id[0] = 'z';
        read(&record);
        EXPECT_STREQ(record.hardware_id, "");
    }
    // Long texts are cut to their fields, the last unit a terminator.
    SimRegPutText16(plat::kHkeyLocalMachine, key, kDevicePath, u"X" + std::u16string(1000, u'\\'));
    SimRegPutText16(plat::kHkeyLocalMachine, key, kHardwareId, std::u16string(300, u'h'));
    {
        DeviceRecord record = MmeRecord(u"x");
        read(&record);
        EXPECT_EQ(std::u16string(record.device_path), std::u16string(511, u'\\'));
        EXPECT_EQ(std::string(record.device_path_ansi), std::string(511, '\\'));
        EXPECT_EQ(std::string(record.hardware_id), std::string(127, 'h'));
        EXPECT_EQ(std::u16string(record.endpoint_id), u"");  // store endpoint id was not wanted
    }
}

TEST_F(LookupTest, RegistryReadersTellTheirCasesApartAndTryBothViews) {
    const std::u16string path16 = u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\MMDevices\\Audio\\Render\\K";
    const std::string path = kAudioKey + "\\Render\\K";
    char16_t text[kRegistryTextUnits];
    std::uint32_t number = 0;
    std::uint8_t bytes[1024];
    std::uint32_t length = 99;

    EXPECT_EQ(ReadRegistryText(path16.c_str(), u"t", text, kRegistryTextUnits), 0);
    EXPECT_EQ(ReadRegistryNumber(path16.c_str(), u"n", &number), 0);
    EXPECT_EQ(ReadRegistryBytes(path16.c_str(), u"b", bytes, &length), kBytesNoKey);
    EXPECT_EQ(length, 0u);

    SimRegPutText16(plat::kHkeyLocalMachine, path, "t", u"text");
    SimRegPutText16(plat::kHkeyLocalMachine, path, "x", u"expand", plat::kRegExpandSz);
    SimRegPutDword(plat::kHkeyLocalMachine, path, "n", 77);
    SimRegPutValue(plat::kHkeyLocalMachine, path, "b4", plat::kRegBinary, {1, 2, 3, 4});
    SimRegPutValue(plat::kHkeyLocalMachine, path, "b", plat::kRegBinary, std::vector<std::uint8_t>(1024, 7));
    SimRegPutValue(plat::kHkeyLocalMachine, path, "big", plat::kRegBinary, std::vector<std::uint8_t>(1025, 7));
    // A text stored without its NUL reads as the same text.
    SimRegPutValue(plat::kHkeyLocalMachine, path, "raw", plat::kRegSz, {'a', 0, 'b', 0});

    EXPECT_EQ(ReadRegistryText(path16.c_str(), u"t", text, kRegistryTextUnits), 1);
    EXPECT_EQ(std::u16string(text), u"text");
    EXPECT_EQ(ReadRegistryText(path16.c_str(), u"raw", text, kRegistryTextUnits), 1);
    EXPECT_EQ(std::u16string(text), u"ab");
    EXPECT_EQ(ReadRegistryText(path16.c_str(), u"x", text, kRegistryTextUnits), 0);
    EXPECT_EQ(ReadRegistryText(path16.c_str(), u"n", text, kRegistryTextUnits), 0);
    EXPECT_EQ(ReadRegistryText(path16.c_str(), u"missing", text, kRegistryTextUnits), 0);
    // A smaller buffer takes a text that fits with its terminator, with or
    // without the NUL stored, and refuses a longer one without overrunning.
    char16_t small[6] = {u'#', u'#', u'#', u'#', u'#', u'#'};
    EXPECT_EQ(ReadRegistryText(path16.c_str(), u"t", small, 5), 1);
    EXPECT_EQ(std::u16string(small), u"text");
    EXPECT_EQ(ReadRegistryText(path16.c_str(), u"raw", small, 3), 1);
    EXPECT_EQ(std::u16string(small), u"ab");
    small[4] = u'#';
    EXPECT_EQ(ReadRegistryText(path16.c_str(), u"t", small, 4), 0);
    EXPECT_EQ(small[0], u'\0');
    EXPECT_EQ(small[4], u'#');
    EXPECT_EQ(ReadRegistryText(path16.c_str(), u"raw", small, 2), 0);
    EXPECT_EQ(ReadRegistryText(path16.c_str(), u"t", small, 0), 0);
    EXPECT_EQ(small[4], u'#');

    EXPECT_EQ(ReadRegistryNumber(path16.c_str(), u"n", &number), 1);
    EXPECT_EQ(number, 77u);
    EXPECT_EQ(ReadRegistryNumber(path16.c_str(), u"b4", &number), 0);  // four bytes, but not a REG_DWORD
    EXPECT_EQ(ReadRegistryNumber(path16.c_str(), u"t", &number), 0);

    EXPECT_EQ(ReadRegistryBytes(path16.c_str(), u"b", bytes, &length), 0);
    EXPECT_EQ(length, 1024u);
    EXPECT_EQ(bytes[1023], 7);
    EXPECT_EQ(ReadRegistryBytes(path16.c_str(), u"b4", bytes, &length), 0);
    EXPECT_EQ(length, 4u);
    EXPECT_EQ(ReadRegistryBytes(path16.c_str(), u"big", bytes, &length), kBytesQueryFailed);
    EXPECT_EQ(ReadRegistryBytes(path16.c_str(), u"missing", bytes, &length), kBytesQueryFailed);
    EXPECT_EQ(ReadRegistryBytes(path16.c_str(), u"t", bytes, &length), kBytesNotBinary);
    EXPECT_EQ(ReadRegistryBytes(path16.c_str(), u"n", bytes, &length), kBytesNotBinary);

    // On a 64-bit machine the default view of the 32-bit program misses
    // the key; each reader then opens it in the 64-bit view.
    Sim().system.is_64bit = true;
    EXPECT_EQ(ReadRegistryText(path16.c_str(), u"t", text, kRegistryTextUnits), 1);
    EXPECT_EQ(ReadRegistryNumber(path16.c_str(), u"n", &number), 1);
    EXPECT_EQ(ReadRegistryBytes(path16.c_str(), u"b4", bytes, &length), 0);
    // ... but the default view comes first when it has the key.
    SimRegPutText16(plat::kHkeyLocalMachine, kAudioKeyWow + "\\Render\\K", "t", u"thirty-two");
    EXPECT_EQ(ReadRegistryText(path16.c_str(), u"t", text, kRegistryTextUnits), 1);
    EXPECT_EQ(std::u16string(text), u"thirty-two");
    EXPECT_EQ(ReadRegistryNumber(path16.c_str(), u"n", &number), 0);  // not in that view
}
