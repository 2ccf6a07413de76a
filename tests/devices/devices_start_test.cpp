// The inventory built on simulated machines: module start and end with the
// COM start result, the endpoint passes with their failures, the MME passes
// with their lookups and the fallback to listed endpoints, the final order,
// and what readers find afterwards.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <cstring>

#include "devices/inventory.h"
#include "platform/audio.h"
#include "setup/probe.h"
#include "tests/devices/devices_support.h"

using namespace inv_test;

namespace {

constexpr std::int32_t kRpcChangedMode = static_cast<std::int32_t>(0x80010106u);
constexpr std::int32_t kOutOfMemory = static_cast<std::int32_t>(0x8007000Eu);

struct InventoryTest : ::testing::Test {
    void SetUp() override {
        SimReset();
        ListLimitAllocations(-1);
    }
    void TearDown() override {
        InventoryEnd();
        ListLimitAllocations(-1);
    }
    // Starts the inventory and checks what must hold after any start.
    void Start() {
        EXPECT_EQ(InventoryStart(), 0);
        EXPECT_TRUE(Sim().audio.collections.empty()) << "every collection released";
        EXPECT_EQ(SimRegOpenKeyCount(), 0u) << "every registry key closed";
    }
};

std::vector<std::u16string> Names(DeviceList* list) {
    std::vector<std::u16string> names;
    for (std::uint32_t i = 1; i <= ListCount(list); ++i) names.emplace_back(ListElement(list, i)->display_name);
    return names;
}

const DeviceRecord* Find(DeviceList* list, std::uint32_t kind, std::int32_t index) {
    for (std::uint32_t i = 1; i <= ListCount(list); ++i) {
        const DeviceRecord* record = ListElement(list, i);
        if (record->device_kind == kind && record->device_index == index) return record;
    }
    return nullptr;
}

// A machine like many: one sound card with speakers and a microphone, its
// endpoints and their registry entries, plus the product's virtual device.
void TypicalMachine() {
    SimAudio& audio = Sim().audio;
    audio.render_endpoints.push_back(
        Endpoint(u"{r1000000-0000-0000-0000-000000000001}", u"Speakers (Realtek Audio)", u"Realtek Audio"));
    audio.render_endpoints.push_back(
        Endpoint(u"{r2000000-0000-0000-0000-000000000002}", u"Console Out (ZT Virtual)", u"MixoLyte Virtual Device"));
    audio.capture_endpoints.push_back(
        Endpoint(u"{c1000000-0000-0000-0000-000000000001}", u"Microphone (Realtek Audio)", u"Realtek Audio"));
    audio.wave_out = {Wave(u"Speakers (Realtek Audio)"), Wave(u"Console Out (ZT Virtual)", 8)};
    audio.wave_in = {Wave(u"Microphone (Realtek Audio)", 1)};

    Entry speakers;
    speakers.description = u"Speakers";
    speakers.interface_name = u"Realtek Audio";
    speakers.hardware_id = u"{1}.HDAUDIO\\FUNC_01:REALTEK_0256";
    speakers.device_format = FormatValue(2, 48000, 24);
    speakers.has_form_factor = true;
    speakers.form_factor = 1;
    PutEntry(kAudioKey, "Render", "{r1000000-0000-0000-0000-000000000001}", speakers);
    Entry console;
    console.description = u"Console Out";
    console.interface_name = u"ZT Virtual";
    console.hardware_id = u"ROOT:ZTMIXOLYTE";
    console.device_format = FormatValue(8, 48000, 32);
    PutEntry(kAudioKey, "Render", "{r2000000-0000-0000-0000-000000000002}", console);
    Entry microphone;
    microphone.description = u"Microphone";
    microphone.interface_name = u"Realtek Audio";
    microphone.device_format = FormatValue(1, 44100, 16);
    PutEntry(kAudioKey, "Capture", "{c1000000-0000-0000-0000-000000000001}", microphone);
}

}  // namespace

TEST_F(InventoryTest, BuildsBothListsEndpointsFirstEachGroupByName) {
    TypicalMachine();
    Start();
    EXPECT_EQ(CaptureEndpointCount(), 1);
    EXPECT_EQ(RenderEndpointCount(), 2);
    EXPECT_EQ(Names(RenderDeviceList()),
              (std::vector<std::u16string>{u"Console Out (ZT Virtual)", u"Speakers (Realtek Audio)",
                                           u"Console Out (ZT Virtual)", u"Speakers (Realtek Audio)"}));
    EXPECT_EQ(ListElement(RenderDeviceList(), 1)->device_kind, kDeviceKindEndpoint);
    EXPECT_EQ(ListElement(RenderDeviceList(), 3)->device_kind, kDeviceKindMme);

    // An endpoint record: the pass's fields and the entry's.
    const DeviceRecord* console = Find(RenderDeviceList(), kDeviceKindEndpoint, 1);
    ASSERT_NE(console, nullptr);
    EXPECT_STREQ(console->ansi_name, "Console Out (ZT Virtual)");
    EXPECT_EQ(std::u16string(console->interface_name), u"MixoLyte Virtual Device");
    EXPECT_EQ(std::u16string(console->endpoint_id), u"{r2000000-0000-0000-0000-000000000002}");
    EXPECT_STREQ(console->hardware_id, "ZTMIXOLYTE");
    EXPECT_EQ(console->channel_count, 8);  // from the device format
    EXPECT_EQ(std::u16string(console->device_description), u"Console Out");

    // An MME record matched to the same entry by name: the entry's
    // interface name replaces nothing of the pass's but adds its own.
    const DeviceRecord* mme = Find(RenderDeviceList(), kDeviceKindMme, 1);
    ASSERT_NE(mme, nullptr);
    EXPECT_EQ(mme->channel_count, 8);
    EXPECT_EQ(std::u16string(mme->interface_name), u"ZT Virtual");
    EXPECT_EQ(std::u16string(mme->endpoint_id), u"{r2000000-0000-0000-0000-000000000002}");
    EXPECT_STREQ(mme->hardware_id, "ZTMIXOLYTE");
    EXPECT_EQ(mme->form_factor, 0u);

    const DeviceRecord* speakers = Find(RenderDeviceList(), kDeviceKindMme, 0);
    ASSERT_NE(speakers, nullptr);
    EXPECT_EQ(speakers->form_factor, 1u);
    EXPECT_STREQ(speakers->hardware_id, "REALTEK_0256");

    const DeviceRecord* microphone = Find(CaptureDeviceList(), kDeviceKindEndpoint, 0);
    ASSERT_NE(microphone, nullptr);
    EXPECT_EQ(microphone->channel_count, 1);
    EXPECT_EQ(ListCount(CaptureDeviceList()), 2u);
    EXPECT_EQ(Sim().system.com_open, 1);  // COM stays started until the end
}

TEST_F(InventoryTest, InventoryEndUndoesOnlyASuccessfulComStartAndEmptiesTheLists) {
    TypicalMachine();
    // S_OK: one CoUninitialize.
    Start();
    EXPECT_GT(ListCount(CaptureDeviceList()), 0u);
    EXPECT_EQ(InventoryEnd(), 0);
    EXPECT_EQ(Sim().system.com_open, 0);
    // Readers after the end see two empty lists.
    EXPECT_EQ(ListCount(CaptureDeviceList()), 0u);
    EXPECT_EQ(ListCount(RenderDeviceList()), 0u);
    EXPECT_EQ(ListElement(CaptureDeviceList(), 1), nullptr);
    EXPECT_EQ(ListElement(RenderDeviceList(), 1), nullptr);
    EXPECT_EQ(CaptureDeviceList()->storage, nullptr);
    EXPECT_EQ(CaptureEndpointCount(), 0);
    EXPECT_EQ(RenderEndpointCount(), 0);

    // S_FALSE: COM was already started on the thread; still exactly one
    // CoUninitialize, leaving the earlier start in place.
    Sim().system.com_open = 1;
    Sim().system.com_initialize_result = 1;
    Start();
    EXPECT_EQ(RenderEndpointCount(), 2);
    EXPECT_EQ(Sim().system.com_open, 2);
    InventoryEnd();
    EXPECT_EQ(Sim().system.com_open, 1);

    // A failure: no endpoints can be had, the MME devices are listed all
    // the same, and no CoUninitialize follows.
    Sim().system.com_open = 0;
    Sim().system.com_initialize_result = kOutOfMemory;
    Start();
    EXPECT_EQ(RenderEndpointCount(), 0);
    EXPECT_EQ(CaptureEndpointCount(), 0);
    EXPECT_EQ(ListCount(RenderDeviceList()), 2u);
    EXPECT_EQ(ListElement(RenderDeviceList(), 1)->device_kind, kDeviceKindMme);
    // Without endpoints the MME devices still find their entries.
    EXPECT_EQ(std::u16string(ListElement(RenderDeviceList(), 1)->interface_name), u"ZT Virtual");
    InventoryEnd();
    EXPECT_EQ(Sim().system.com_open, 0);

    // COM started in the other mode: the enumerator works, no
    // CoUninitialize is owed.
    Sim().system.com_initialize_result = kRpcChangedMode;
    Start();
    EXPECT_EQ(RenderEndpointCount(), 2);
    InventoryEnd();
    EXPECT_EQ(Sim().system.com_open, 0);
}

TEST_F(InventoryTest, WithoutCreateEventExAOnlyMmeDevicesAreListed) {
    TypicalMachine();
    Sim().audio.create_event_ex = false;
    Start();
    EXPECT_EQ(Sim().audio.endpoint_reads, 0);
    EXPECT_EQ(CaptureEndpointCount(), 0);
    EXPECT_EQ(RenderEndpointCount(), 0);
    ASSERT_EQ(ListCount(RenderDeviceList()), 2u);
    for (DeviceList* list : {CaptureDeviceList(), RenderDeviceList()})
        for (std::uint32_t i = 1; i <= ListCount(list); ++i)
            EXPECT_EQ(ListElement(list, i)->device_kind, kDeviceKindMme);

    // And a direction without wave devices is then empty.
    InventoryEnd();
    Sim().audio.wave_in.clear();
    Start();
    EXPECT_EQ(ListCount(CaptureDeviceList()), 0u);
    EXPECT_NE(CaptureDeviceList()->storage, nullptr);
}

TEST_F(InventoryTest, MmeDeviceNumbersThatDoNotAnswerAreLeftOut) {
    Sim().audio.create_event_ex = false;
    SimWaveDevice broken = Wave(u"Broken");
    broken.caps_error = plat::kMmSysErrNoDriver;
    Sim().audio.wave_in = {Wave(u"Mic B", 1), broken, Wave(u"Mic A", 2), Wave(u"", 4)};
    // A name longer than the capabilities hold arrives cut to 31.
    Sim().audio.wave_out = {Wave(u"Speakers (High Definition Audio Device)", 6)};
    Start();
    DeviceList* capture = CaptureDeviceList();
    ASSERT_EQ(ListCount(capture), 3u);
    // Sorted by name: "", "Mic A", "Mic B"; each keeps its device number.
    EXPECT_EQ(ListElement(capture, 1)->device_index, 3);
    EXPECT_EQ(ListElement(capture, 1)->ansi_name[0], '\0');
    EXPECT_EQ(ListElement(capture, 1)->channel_count, 4);
    EXPECT_EQ(ListElement(capture, 2)->device_index, 2);
    EXPECT_STREQ(ListElement(capture, 2)->ansi_name, "Mic A");
    EXPECT_EQ(ListElement(capture, 3)->device_index, 0);
    EXPECT_EQ(ListElement(capture, 3)->channel_count, 1);
    EXPECT_EQ(Find(capture, kDeviceKindMme, 1), nullptr);

    const DeviceRecord* speakers = ListElement(RenderDeviceList(), 1);
    ASSERT_NE(speakers, nullptr);
    EXPECT_EQ(std::u16string(speakers->display_name), u"Speakers (High Definition Audio");
    EXPECT_STREQ(speakers->ansi_name, "Speakers (High Definition Audio");
    EXPECT_EQ(speakers->channel_count, 6);
    EXPECT_EQ(speakers->device_kind, kDeviceKindMme);
}

TEST_F(InventoryTest, EndpointsThatFailAtAnyStepAreSkippedAndTheRestRead) {
    SimAudio& audio = Sim().audio;
    auto failing = [](const char16_t* name, SimEndpointFailure failure) {
        SimEndpoint endpoint = Endpoint(u"{f0000000-0000-0000-0000-000000000000}", name, u"Card");
        endpoint.failure = failure;
        return endpoint;
    };
    audio.capture_endpoints = {
        failing(u"No item", SimEndpointFailure::kItem),
        Endpoint(u"{a0000000-0000-0000-0000-00000000000a}", u"Good A", u"Card A"),
        failing(u"No store", SimEndpointFailure::kPropertyStore),
        failing(u"No friendly name", SimEndpointFailure::kFriendlyName),
        failing(u"No interface name", SimEndpointFailure::kInterfaceName),
        Endpoint(u"{b0000000-0000-0000-0000-00000000000b}", u"Good B", u"Card B"),
    };
    // Not active: not listed, and not counted as a position.
    SimEndpoint unplugged = Endpoint(u"{c0000000-0000-0000-0000-00000000000c}", u"Unplugged", u"Card");
    unplugged.state = 8;  // DEVICE_STATE_UNPLUGGED
    audio.capture_endpoints.insert(audio.capture_endpoints.begin(), unplugged);
    Start();
    EXPECT_EQ(CaptureEndpointCount(), 2);
    EXPECT_EQ(Names(CaptureDeviceList()), (std::vector<std::u16string>{u"Good A", u"Good B"}));
    // The position is the one in the collection of active endpoints.
    EXPECT_EQ(ListElement(CaptureDeviceList(), 1)->device_index, 1);
    EXPECT_EQ(ListElement(CaptureDeviceList(), 2)->device_index, 5);
    EXPECT_EQ(ListElement(CaptureDeviceList(), 2)->channel_count, 0);  // no entry, no format
    EXPECT_EQ(std::u16string(ListElement(CaptureDeviceList(), 2)->endpoint_id),
              u"{b0000000-0000-0000-0000-00000000000b}");
    EXPECT_EQ(Sim().audio.endpoint_reads, 6);
}

TEST_F(InventoryTest, ReadEndpointGivesTheFailingStepsCodes) {
    SimAudio& audio = Sim().audio;
    const SimEndpointFailure failures[] = {SimEndpointFailure::kNone, SimEndpointFailure::kItem,
                                           SimEndpointFailure::kPropertyStore, SimEndpointFailure::kFriendlyName,
                                           SimEndpointFailure::kInterfaceName};
    for (SimEndpointFailure failure : failures) {
        SimEndpoint endpoint = Endpoint(u"{e0000000-0000-0000-0000-00000000000e}", u"Name", u"Card");
        endpoint.failure = failure;
        audio.render_endpoints.push_back(endpoint);
    }
    Sim().system.com_open = 1;
    std::uint32_t count = 0;
    plat::Handle collection = plat::AudioEndpointsOpen(plat::kAudioRender, &count);
    ASSERT_NE(collection, plat::kInvalidHandle);
    ASSERT_EQ(count, 5u);
    DeviceRecord record;
    const int expected[] = {0, -1, -3, -4, -5};
    for (std::uint32_t position = 0; position < 5; ++position) {
        std::memset(&record, 0x5A, sizeof record);
        EXPECT_EQ(ReadEndpoint(collection, position, &record, kDirectionRender), expected[position]) << position;
        if (expected[position] != -1) {
            // Every field was cleared before the reading began.
            EXPECT_EQ(record.form_factor, 0u) << position;
            EXPECT_EQ(std::u16string(record.endpoint_id), u"{e0000000-0000-0000-0000-00000000000e}");
        }
    }
    EXPECT_EQ(ReadEndpoint(collection, 5, &record, kDirectionRender), -1);  // past the end
    plat::AudioEndpointsClose(collection);
    EXPECT_TRUE(Sim().audio.collections.empty());
}

TEST_F(InventoryTest, TheEndpointIdIsTheBracedPartAfterTheLastBrace) {
    SimAudio& audio = Sim().audio;
    SimEndpoint normal = Endpoint(u"{12345678-1234-1234-1234-123456789abc}", u"A normal", u"Card");
    SimEndpoint short_tail;
    short_tail.identifier = u"{0.0.0.00000000}.{123456789abcde}";  // 16 units from the last brace
    short_tail.friendly_name = u"B short";
    short_tail.interface_name = u"Card";
    SimEndpoint no_brace;
    no_brace.identifier = u"SWD\\MMDEVAPI\\device";
    no_brace.friendly_name = u"C without";
    no_brace.interface_name = u"Card";
    SimEndpoint long_tail;
    long_tail.identifier = u"x{" + std::u16string(100, u'7') + u"}";
    long_tail.friendly_name = u"D long";
    long_tail.interface_name = u"Card";
    SimEndpoint failing_id = Endpoint(u"{99999999-9999-9999-9999-999999999999}", u"E failing", u"Card");
    failing_id.identifier_fails = true;
    audio.render_endpoints = {normal, short_tail, no_brace, long_tail, failing_id};
    // Only the entry for the endpoint without an id is found by its name.
    PutNamedEntry(kAudioKey, "Render", "{0c000000-0000-0000-0000-00000000000c}", u"C without", u"Card");
    Start();
    DeviceList* render = RenderDeviceList();
    ASSERT_EQ(ListCount(render), 5u);
    EXPECT_EQ(std::u16string(ListElement(render, 1)->endpoint_id), u"{12345678-1234-1234-1234-123456789abc}");
    EXPECT_EQ(std::u16string(ListElement(render, 2)->endpoint_id), u"");
    // No brace: the name route found the entry and stored its key name.
    EXPECT_EQ(std::u16string(ListElement(render, 3)->endpoint_id), u"{0c000000-0000-0000-0000-00000000000c}");
    EXPECT_EQ(std::u16string(ListElement(render, 4)->endpoint_id), u"{" + std::u16string(62, u'7'));
    EXPECT_EQ(std::u16string(ListElement(render, 5)->endpoint_id), u"");  // GetId failed: not an error
}

TEST_F(InventoryTest, UnmatchedMmeDevicesFallBackToTheListedEndpointsOfTheirFlow) {
    SimAudio& audio = Sim().audio;
    // Both flows have an endpoint whose friendly name begins with "Line";
    // the registry entries do not carry the texts the name route needs.
    audio.capture_endpoints = {Endpoint(u"{c1000000-0000-0000-0000-000000000001}", u"Line (Capture Card)", u"Cap")};
    audio.render_endpoints = {Endpoint(u"{r1000000-0000-0000-0000-000000000001}", u"Line (Render Card)", u"Ren")};
    Entry capture_entry;
    capture_entry.hardware_id = u"X:CAPTURE_HW";
    capture_entry.interface_name = u"Capture Card";  // no description: never matched by name
    capture_entry.device_path = u"{1}.\\\\?\\capture";
    PutEntry(kAudioKey, "Capture", "{c1000000-0000-0000-0000-000000000001}", capture_entry);
    Entry render_entry;
    render_entry.hardware_id = u"X:RENDER_HW";
    PutEntry(kAudioKey, "Render", "{r1000000-0000-0000-0000-000000000001}", render_entry);
    audio.wave_in = {Wave(u"Line"), Wave(u"Other")};
    audio.wave_out = {Wave(u"Line (Render")};
    Start();

    const DeviceRecord* line_in = Find(CaptureDeviceList(), kDeviceKindMme, 0);
    ASSERT_NE(line_in, nullptr);
    EXPECT_EQ(std::u16string(line_in->endpoint_id), u"{c1000000-0000-0000-0000-000000000001}");
    EXPECT_STREQ(line_in->hardware_id, "CAPTURE_HW");
    EXPECT_EQ(std::u16string(line_in->interface_name), u"Capture Card");
    EXPECT_EQ(std::u16string(line_in->device_path), u"\\\\?\\capture");

    const DeviceRecord* other = Find(CaptureDeviceList(), kDeviceKindMme, 1);
    ASSERT_NE(other, nullptr);
    EXPECT_EQ(other->endpoint_id[0], u'\0');
    EXPECT_EQ(other->interface_name[0], u'\0');

    const DeviceRecord* line_out = Find(RenderDeviceList(), kDeviceKindMme, 0);
    ASSERT_NE(line_out, nullptr);
    EXPECT_EQ(std::u16string(line_out->endpoint_id), u"{r1000000-0000-0000-0000-000000000001}");
    EXPECT_STREQ(line_out->hardware_id, "RENDER_HW");
}

TEST_F(InventoryTest, TheFallbackCopiesTheListedHardwareIdEvenWhenTheEntryHasNone) {
    SimAudio& audio = Sim().audio;
    audio.render_endpoints = {Endpoint(u"{r1000000-0000-0000-0000-000000000001}", u"Speakers (Card)", u"Card")};
    Entry entry;
    entry.hardware_id = u"X:FROM_ENTRY";
    entry.device_format = FormatValue(2, 48000, 16);
    PutEntry(kAudioKey, "Render", "{r1000000-0000-0000-0000-000000000001}", entry);
    audio.wave_out = {Wave(u"Speakers")};
    Start();
    // The entry loses its hardware id after the endpoint pass read it: a
    // lookup through the listed endpoint then keeps the listed record's.
    SimRegPutText16(plat::kHkeyLocalMachine, PropertiesKey(kAudioKey, "Render", "{r1000000-0000-0000-0000-000000000001}"),
                    kHardwareId, u"", plat::kRegExpandSz);
    DeviceRecord record = MmeRecord(u"Speakers");
    EXPECT_EQ(LookUpEndpointName(u"Render", &record, kWantHardwareId | kWantInterfaceName | kWantDevicePath), 0);
    EXPECT_STREQ(record.hardware_id, "FROM_ENTRY");
    EXPECT_EQ(std::u16string(record.endpoint_id), u"{r1000000-0000-0000-0000-000000000001}");
    EXPECT_EQ(record.device_format[2], 2);
    // A flow name other than "Render" searches the capture list, which has
    // no endpoints here.
    DeviceRecord capture = MmeRecord(u"Speakers");
    SimRegPutKey(plat::kHkeyLocalMachine, kAudioKey + "\\Capture");
    EXPECT_EQ(LookUpEndpointName(u"Capture", &capture, kWantHardwareId), -2);
    // Only exactly "Render" means the render list.
    DeviceRecord render_lower = MmeRecord(u"Speakers");
    EXPECT_EQ(LookUpEndpointName(u"render", &render_lower, kWantHardwareId), -2);
}

TEST_F(InventoryTest, LookupsAfterTheSurveySeeTheRegistryAsItIsThen) {
    TypicalMachine();
    Start();
    // The survey walked the Render flow key; an entry added since then is
    // found by a later lookup all the same.
    PutNamedEntry(kAudioKey, "Render", "{00000000-0000-0000-0000-0000000000aa}", u"Late", u"Arrival");
    DeviceRecord record = MmeRecord(u"Late (Arr");
    EXPECT_EQ(LookUpEndpointName(u"Render", &record, kWantInterfaceName), 0);
    EXPECT_EQ(std::u16string(record.interface_name), u"Arrival");
    // And a second survey sees it too.
    Sim().audio.wave_out.push_back(Wave(u"Late (Arrival)"));
    InventoryEnd();
    Start();
    const DeviceRecord* late = Find(RenderDeviceList(), kDeviceKindMme, 2);
    ASSERT_NE(late, nullptr);
    EXPECT_EQ(std::u16string(late->endpoint_id), u"{00000000-0000-0000-0000-0000000000aa}");
}

TEST_F(InventoryTest, ListsWithoutStorageStayEmptyAndStartUpGoesOn) {
    TypicalMachine();
    // Only the first allocation (the capture list's block) works.
    ListLimitAllocations(1);
    Start();
    EXPECT_EQ(RenderDeviceList()->storage, nullptr);
    EXPECT_EQ(ListCount(RenderDeviceList()), 0u);
    // The count is of records handed to the list, stored or not.
    EXPECT_EQ(RenderEndpointCount(), 2);
    // The capture list holds its first record; the second needed more room.
    EXPECT_EQ(ListCount(CaptureDeviceList()), 1u);
    EXPECT_EQ(CaptureEndpointCount(), 1);
}

TEST_F(InventoryTest, TheProbeFindsTheProductThroughAnMmeDevicesInterfaceName) {
    // Without endpoints an MME device gets its interface name only through
    // the registry; the probe searches it for the product name.
    Sim().audio.create_event_ex = false;
    Sim().audio.wave_in = {Wave(u"Microphone (USB Audio)"), Wave(u"Console Input 1/2 (ZT Virtual A")};
    PutNamedEntry(kAudioKey, "Capture", "{m1000000-0000-0000-0000-000000000001}", u"Console Input 1/2",
                  u"ZT Virtual Audio Device (MixoLyte)");
    Start();
    const DeviceRecord* record = Find(CaptureDeviceList(), kDeviceKindMme, 1);
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(std::u16string(record->display_name).find(u"MixoLyte"), std::u16string::npos);
    EXPECT_EQ(FindProductDeviceNames(), 1);  // capture list, interface name, "MixoLyte"
    // After the end the probe finds two empty lists.
    InventoryEnd();
    EXPECT_EQ(FindProductDeviceNames(), 0);

    // The same device for playback is found in the render list.
    SimReset();
    Sim().audio.create_event_ex = false;
    Sim().audio.wave_out = {Wave(u"Console Output 1/2 (ZT Virtual")};
    PutNamedEntry(kAudioKey, "Render", "{m2000000-0000-0000-0000-000000000002}", u"Console Output 1/2",
                  u"ZT Virtual Audio Device (MixoLyte)");
    Start();
    EXPECT_EQ(FindProductDeviceNames(), 11);

    // Without the registry entry nothing names the product.
    InventoryEnd();
    SimReset();
    Sim().audio.create_event_ex = false;
    Sim().audio.wave_out = {Wave(u"Console Output 1/2 (ZT Virtual")};
    Start();
    EXPECT_EQ(FindProductDeviceNames(), 0);
}
