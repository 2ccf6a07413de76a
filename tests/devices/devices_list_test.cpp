// The device lists: growth, 1-based access with its cursor, the sort with
// its scratch block, and what happens when a block cannot be had.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "devices/device_list.h"

namespace {

DeviceRecord Record(std::int32_t index, const std::u16string& name, std::uint32_t kind) {
    DeviceRecord record;
    std::memset(&record, 0, sizeof record);
    record.device_index = index;
    name.copy(record.display_name, std::min<std::size_t>(name.size(), 255));
    record.device_kind = kind;
    return record;
}

std::vector<std::int32_t> Indices(DeviceList* list) {
    std::vector<std::int32_t> indices;
    for (std::uint32_t i = 1; i <= ListCount(list); ++i) indices.push_back(ListElement(list, i)->device_index);
    return indices;
}

// The order the sort promises, as an independent reference: kind group
// (MME last), then the names as unsigned 16-bit units, prefixes first.
bool Before(const DeviceRecord& a, const DeviceRecord& b) {
    bool mme_a = (a.device_kind & 0xFFFF) == kDeviceKindMme, mme_b = (b.device_kind & 0xFFFF) == kDeviceKindMme;
    if (mme_a != mme_b) return mme_b;
    return std::u16string(a.display_name) < std::u16string(b.display_name);
}

struct ListTest : ::testing::Test {
    DeviceList list;
    void SetUp() override {
        ListLimitAllocations(-1);
        ListCreate(&list);
    }
    void TearDown() override {
        ListLimitAllocations(-1);
        ListFree(&list);
    }
};

}  // namespace

TEST_F(ListTest, GrowsByOneStepAtTheSecondAndAgainAtTheTenthRecord) {
    ASSERT_NE(list.storage, nullptr);
    EXPECT_EQ(list.capacity, 8192u);
    EXPECT_EQ(list.element_size, sizeof(DeviceRecord));
    EXPECT_EQ(list.free_bytes, 8192u);
    EXPECT_EQ(list.growth_step, 32768u);

    DeviceRecord first = Record(0, u"first", kDeviceKindMme);
    ASSERT_NE(ListAppend(&list, &first), nullptr);
    EXPECT_EQ(list.capacity, 8192u);
    EXPECT_EQ(list.growth_count, 0u);

    std::vector<std::uint32_t> capacities;
    for (std::int32_t i = 1; i < 12; ++i) {
        DeviceRecord record = Record(i, u"record", kDeviceKindEndpoint);
        DeviceRecord* stored = ListAppend(&list, &record);
        ASSERT_NE(stored, nullptr);
        EXPECT_EQ(stored->device_index, i);
        capacities.push_back(list.capacity);
        EXPECT_EQ(list.last_index, list.count);
        EXPECT_EQ(list.used_bytes, list.count * sizeof(DeviceRecord));
        EXPECT_EQ(list.free_bytes, list.capacity - list.used_bytes);
    }
    // Records 2..9 live in 40960 bytes; the tenth needs the next step.
    EXPECT_EQ(capacities[0], 40960u);  // second record
    EXPECT_EQ(capacities[7], 40960u);  // ninth
    EXPECT_EQ(capacities[8], 73728u);  // tenth
    EXPECT_EQ(list.growth_count, 2u);
    // Every record survived the moves of the block.
    EXPECT_EQ(Indices(&list), (std::vector<std::int32_t>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}));
    EXPECT_EQ(std::u16string(ListElement(&list, 1)->display_name), u"first");
}

TEST_F(ListTest, AppendsACopyOfItsOwnRecordAcrossAnEnlargement) {
    DeviceRecord first = Record(7, u"seven", kDeviceKindMme);
    ListAppend(&list, &first);
    // The source lies in the block that the enlargement moves.
    DeviceRecord* stored = ListAppend(&list, ListElement(&list, 1));
    ASSERT_NE(stored, nullptr);
    EXPECT_EQ(list.growth_count, 1u);
    EXPECT_EQ(stored->device_index, 7);
    EXPECT_EQ(std::u16string(stored->display_name), u"seven");
}

TEST_F(ListTest, ElementGivesOnlyStoredRecordsAndMovesTheCursor) {
    for (std::int32_t i = 0; i < 3; ++i) {
        DeviceRecord record = Record(i, u"x", kDeviceKindMme);
        ListAppend(&list, &record);
    }
    EXPECT_EQ(list.cursor, 0u);
    EXPECT_EQ(ListElement(&list, 2)->device_index, 1);
    EXPECT_EQ(list.cursor, 2u);
    EXPECT_EQ(ListElement(&list, 0), nullptr);
    EXPECT_EQ(ListElement(&list, 4), nullptr);
    EXPECT_EQ(list.cursor, 2u);  // unchanged by the misses
    EXPECT_EQ(ListElement(&list, 3)->device_index, 2);
    EXPECT_EQ(list.cursor, 3u);

    // A reset empties the list but keeps its block.
    std::uint8_t* storage = list.storage;
    std::uint32_t capacity = list.capacity;
    ListReset(&list);
    EXPECT_EQ(ListCount(&list), 0u);
    EXPECT_EQ(list.cursor, 0u);
    EXPECT_EQ(list.last_index, 0u);
    EXPECT_EQ(list.used_bytes, 0u);
    EXPECT_EQ(list.free_bytes, capacity);
    EXPECT_EQ(list.storage, storage);
    EXPECT_EQ(ListElement(&list, 1), nullptr);

    ListFree(&list);
    EXPECT_EQ(list.storage, nullptr);
    EXPECT_EQ(list.capacity, 0u);
    EXPECT_EQ(list.element_size, 0u);
    EXPECT_EQ(ListCount(&list), 0u);
}

TEST_F(ListTest, AListWithoutStorageReadsEmptyAndRefusesRecords) {
    ListFree(&list);
    ListLimitAllocations(0);
    ListCreate(&list);
    EXPECT_EQ(list.storage, nullptr);
    EXPECT_EQ(list.capacity, 0u);
    DeviceRecord record = Record(1, u"a", kDeviceKindMme);
    EXPECT_EQ(ListAppend(&list, &record), nullptr);
    EXPECT_EQ(ListCount(&list), 0u);
    EXPECT_EQ(ListElement(&list, 1), nullptr);
    // Even a count left behind reads as empty without storage.
    list.count = 3;
    EXPECT_EQ(ListCount(&list), 0u);
    EXPECT_EQ(ListElement(&list, 1), nullptr);
    ListReset(&list);
    EXPECT_EQ(list.capacity, 0u);
    EXPECT_EQ(list.free_bytes, 0u);
    ListSort(&list);  // nothing to do, nothing to break
}

TEST_F(ListTest, AFailedEnlargementKeepsTheOldBlockAndRefusesTheAppend) {
    DeviceRecord first = Record(1, u"kept", kDeviceKindMme);
    ListAppend(&list, &first);
    std::uint8_t* storage = list.storage;
    ListLimitAllocations(0);
    DeviceRecord second = Record(2, u"refused", kDeviceKindMme);
    EXPECT_EQ(ListAppend(&list, &second), nullptr);
    EXPECT_EQ(list.storage, storage);
    EXPECT_EQ(ListCount(&list), 1u);
    EXPECT_EQ(list.capacity, 8192u);
    EXPECT_EQ(list.growth_count, 0u);
    EXPECT_EQ(list.last_index, 1u);
    EXPECT_EQ(std::u16string(ListElement(&list, 1)->display_name), u"kept");
    EXPECT_EQ(ListElement(&list, 2), nullptr);
    // Once memory is back the same append works.
    ListLimitAllocations(-1);
    ASSERT_NE(ListAppend(&list, &second), nullptr);
    EXPECT_EQ(Indices(&list), (std::vector<std::int32_t>{1, 2}));
}

TEST_F(ListTest, SortPutsEndpointsFirstThenNamesInCodeUnitOrder) {
    const struct {
        const char16_t* name;
        std::uint32_t kind;
    } input[] = {
        {u"Alpha", kDeviceKindMme},           // 0
        {u"Zulu", kDeviceKindEndpoint},       // 1: any endpoint precedes any MME device
        {u"Mix", kDeviceKindMme},             // 2
        {u"Mix A", kDeviceKindMme},           // 3: a prefix sorts first
        {u"beta", kDeviceKindMme},            // 4: lower case after every upper case
        {u"Beta", kDeviceKindMme},            // 5
        {u"Caf\u00e9", kDeviceKindMme},       // 6: above 0x7F, compared unsigned
        {u"Cafz", kDeviceKindMme},            // 7
        {u"\uff21wide", kDeviceKindMme},      // 8: a high unit sorts last
        {u"", kDeviceKindMme},                // 9: the empty name first
        {u"Other", 0x00010004u},              // 10: high bits of the kind are ignored
        {u"Low", 0x00020001u},                // 11: ... so this one is an MME device
        {u"Aardvark", 0u},                    // 12: an unknown kind sorts with the endpoints
    };
    std::int32_t i = 0;
    for (const auto& item : input) {
        DeviceRecord record = Record(i++, item.name, item.kind);
        ListAppend(&list, &record);
    }
    ListSort(&list);
    EXPECT_EQ(Indices(&list), (std::vector<std::int32_t>{12, 10, 1, 9, 0, 5, 7, 6, 11, 2, 3, 4, 8}));
}

TEST_F(ListTest, EmptyAndSingleRecordListsAreLeftAsTheyAre) {
    ListSort(&list);
    EXPECT_EQ(ListCount(&list), 0u);
    DeviceRecord record = Record(5, u"only", kDeviceKindMme);
    ListAppend(&list, &record);
    ListSort(&list);
    EXPECT_EQ(Indices(&list), std::vector<std::int32_t>{5});
    EXPECT_EQ(list.scratch, nullptr);
}

TEST_F(ListTest, LongListsSortCompletelyAndKeepTheirGrownScratchBlock) {
    // Names from a fixed pseudo-random sequence, some repeated; kinds mixed.
    std::vector<DeviceRecord> records;
    std::uint32_t x = 12345;
    for (std::int32_t i = 0; i < 77; ++i) {
        x = x * 1103515245u + 12345u;
        std::u16string name = u"Dev ";
        name += static_cast<char16_t>(u'A' + (x >> 16) % 26);
        name += static_cast<char16_t>(u'a' + (x >> 8) % 5);
        records.push_back(Record(i, name, (x >> 4) % 3 == 0 ? kDeviceKindEndpoint : kDeviceKindMme));
    }
    for (const DeviceRecord& record : records) ListAppend(&list, &record);
    ListSort(&list);

    ASSERT_EQ(ListCount(&list), records.size());
    std::vector<std::int32_t> seen;
    for (std::uint32_t i = 1; i <= ListCount(&list); ++i) {
        const DeviceRecord* record = ListElement(&list, i);
        seen.push_back(record->device_index);
        // The record travelled whole: its name is the one it was made with.
        EXPECT_EQ(std::u16string(record->display_name),
                  std::u16string(records[record->device_index].display_name));
        if (i > 1) {
            EXPECT_FALSE(Before(*record, *ListElement(&list, i - 1))) << "at " << i;
        }
    }
    std::sort(seen.begin(), seen.end());
    for (std::int32_t i = 0; i < 77; ++i) EXPECT_EQ(seen[i], i);

    // 77 records merge runs up to 64: the scratch block grew to one run.
    EXPECT_NE(list.scratch, nullptr);
    EXPECT_EQ(list.scratch_size, 64 * sizeof(DeviceRecord));

    // A later sort uses the block it has: no allocation needed.
    std::uint8_t* scratch = list.scratch;
    ListReset(&list);
    std::reverse(records.begin(), records.end());
    for (const DeviceRecord& record : records) ListAppend(&list, &record);
    ListLimitAllocations(0);
    ListSort(&list);
    EXPECT_EQ(list.scratch, scratch);
    for (std::uint32_t i = 2; i <= ListCount(&list); ++i)
        EXPECT_FALSE(Before(*ListElement(&list, i), *ListElement(&list, i - 1))) << "at " << i;
}

namespace {

// Twelve records in descending order of name, indices 0 to 11.
void AppendTwelveDescending(DeviceList* list) {
    for (std::int32_t i = 0; i < 12; ++i) {
        std::u16string name = u"N";
        name += static_cast<char16_t>(u'z' - i);
        DeviceRecord record = Record(i, name, kDeviceKindMme);
        ListAppend(list, &record);
    }
}

}  // namespace

TEST_F(ListTest, ASortWithoutScratchStopsWithEveryRecordStillThereOnce) {
    AppendTwelveDescending(&list);
    // No scratch at all: only the pairs are put in order.
    ListLimitAllocations(0);
    ListSort(&list);
    EXPECT_EQ(list.scratch, nullptr);
    EXPECT_EQ(list.scratch_size, 0u);
    EXPECT_EQ(Indices(&list), (std::vector<std::int32_t>{1, 0, 3, 2, 5, 4, 7, 6, 9, 8, 11, 10}));

    // Scratch for runs of 2 only: the runs of 4 come out sorted, then the
    // sort stops when the block for runs of 4 cannot be had.
    ListLimitAllocations(-1);
    ListFree(&list);  // start again without a scratch block
    ListCreate(&list);
    AppendTwelveDescending(&list);
    ListLimitAllocations(1);
    ListSort(&list);
    EXPECT_EQ(list.scratch, nullptr);  // released when it had to grow
    EXPECT_EQ(Indices(&list), (std::vector<std::int32_t>{3, 2, 1, 0, 7, 6, 5, 4, 11, 10, 9, 8}));

    // With memory back, sorting again finishes the job.
    ListLimitAllocations(-1);
    ListSort(&list);
    EXPECT_EQ(Indices(&list), (std::vector<std::int32_t>{11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1, 0}));
}
