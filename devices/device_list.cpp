// The device lists: one contiguous block of records per list, grown in
// fixed steps, read with 1-based indices, sorted once by a bottom-up merge.
#include "devices/device_list.h"

#include <cstdlib>
#include <cstring>

namespace {

// Allocations still allowed before they fail; negative: no limit.
int allocations_left = -1;

void* AllocateBlock(std::uint32_t size) {
    if (allocations_left == 0) return nullptr;
    void* block = std::malloc(size);
    if (block != nullptr && allocations_left > 0) --allocations_left;
    return block;
}

void* EnlargeBlock(void* block, std::uint32_t size) {
    if (allocations_left == 0) return nullptr;
    void* larger = std::realloc(block, size);  // keeps `block` when it fails
    if (larger != nullptr && allocations_left > 0) --allocations_left;
    return larger;
}

const DeviceRecord* RecordAt(const std::uint8_t* base, std::uint32_t position, std::uint32_t size) {
    return reinterpret_cast<const DeviceRecord*>(base + std::size_t(position) * size);
}

// Audio endpoints (and any kind other than MME) form group 0, MME devices
// group 1; the sort reads only the low 16 bits of the kind.
int KindGroup(const DeviceRecord* record) { return (record->device_kind & 0xFFFFu) == kDeviceKindMme ? 1 : 0; }

// True when a sorts strictly after b.
bool Greater(const DeviceRecord* a, const DeviceRecord* b) {
    int group_a = KindGroup(a), group_b = KindGroup(b);
    if (group_a != group_b) return group_a > group_b;
    const char16_t* x = a->display_name;
    const char16_t* y = b->display_name;
    for (std::size_t i = 0; i < 256; ++i) {
        auto ux = static_cast<std::uint16_t>(x[i]);
        auto uy = static_cast<std::uint16_t>(y[i]);
        if (ux != uy) return ux > uy;  // a shorter name (its NUL) sorts first
        if (ux == 0) return false;
    }
    return false;
}

void SwapBytes(std::uint8_t* a, std::uint8_t* b, std::uint32_t size) {
    for (std::uint32_t i = 0; i < size; ++i) {
        std::uint8_t t = a[i];
        a[i] = b[i];
        b[i] = t;
    }
}

// Makes the scratch block hold at least `needed` bytes. False when a block
// of that size cannot be had (the list is then left without scratch).
bool EnsureScratch(DeviceList* list, std::uint32_t needed) {
    if (list->scratch != nullptr && list->scratch_size >= needed) return true;
    std::free(list->scratch);
    list->scratch = static_cast<std::uint8_t*>(AllocateBlock(needed));
    list->scratch_size = list->scratch != nullptr ? needed : 0;
    return list->scratch != nullptr;
}

}  // namespace

void ListLimitAllocations(int count) { allocations_left = count < 0 ? -1 : count; }

void ListCreate(DeviceList* list) {
    std::memset(list, 0, sizeof *list);
    list->storage = static_cast<std::uint8_t*>(AllocateBlock(kListInitialBytes));
    list->capacity = list->storage != nullptr ? kListInitialBytes : 0;
    list->element_size = sizeof(DeviceRecord);
    list->free_bytes = list->capacity;
    list->growth_step = kListGrowthStep;
}

void ListReset(DeviceList* list) {
    list->count = 0;
    list->used_bytes = 0;
    list->cursor = 0;
    list->last_index = 0;
    if (list->storage == nullptr) list->capacity = 0;
    list->free_bytes = list->capacity;
}

DeviceRecord* ListAppend(DeviceList* list, const DeviceRecord* record) {
    if (list->storage == nullptr) return nullptr;
    if (list->element_size > list->free_bytes) {
        std::uint32_t larger = list->capacity + list->growth_step * (list->element_size / list->growth_step + 1);
        // The record may live in the block that is about to move.
        bool inside = reinterpret_cast<const std::uint8_t*>(record) >= list->storage &&
                      reinterpret_cast<const std::uint8_t*>(record) < list->storage + list->capacity;
        std::size_t offset = inside ? std::size_t(reinterpret_cast<const std::uint8_t*>(record) - list->storage) : 0;
        auto* block = static_cast<std::uint8_t*>(EnlargeBlock(list->storage, larger));
        if (block == nullptr) return nullptr;
        list->storage = block;
        if (inside) record = reinterpret_cast<const DeviceRecord*>(block + offset);
        list->capacity = larger;
        list->free_bytes = list->capacity - list->used_bytes;
        ++list->growth_count;
    }
    std::uint8_t* slot = list->storage + std::size_t(list->count) * list->element_size;
    if (reinterpret_cast<const std::uint8_t*>(record) != slot) std::memmove(slot, record, list->element_size);
    ++list->count;
    list->free_bytes -= list->element_size;
    list->used_bytes += list->element_size;
    list->last_index = list->count;
    return reinterpret_cast<DeviceRecord*>(slot);
}

DeviceRecord* ListElement(DeviceList* list, std::uint32_t index) {
    if (list->storage == nullptr || index < 1 || index > list->count) return nullptr;
    list->cursor = index;
    return reinterpret_cast<DeviceRecord*>(list->storage + std::size_t(index - 1) * list->element_size);
}

std::uint32_t ListCount(const DeviceList* list) { return list->storage != nullptr ? list->count : 0; }

void ListSort(DeviceList* list) {
    std::uint32_t n = ListCount(list);
    if (n < 2) return;
    const std::uint32_t size = list->element_size;
    std::uint8_t* base = list->storage;

    // Pairs first: records 1-2, 3-4, ... swapped when out of order.
    for (std::uint32_t i = 0; i + 1 < n; i += 2)
        if (Greater(RecordAt(base, i, size), RecordAt(base, i + 1, size)))
            SwapBytes(base + std::size_t(i) * size, base + std::size_t(i + 1) * size, size);

    // Then runs of 2, 4, 8, ... merged pairwise in place; the left run waits
    // in the scratch block while the merge overwrites its places.
    for (std::uint32_t run = 2; run < n; run *= 2) {
        for (std::uint32_t left = 0; left + run < n; left += 2 * run) {
            std::uint32_t right = left + run;
            std::uint32_t end = right + run < n ? right + run : n;
            // Already in order: nothing to move.
            if (!Greater(RecordAt(base, right - 1, size), RecordAt(base, right, size))) continue;
            if (!EnsureScratch(list, run * size)) return;  // keeps the order reached so far
            std::memcpy(list->scratch, base + std::size_t(left) * size, std::size_t(run) * size);
            std::uint32_t i = 0, j = right, out = left;
            while (i < run && j < end) {
                const DeviceRecord* waiting = RecordAt(list->scratch, i, size);
                const DeviceRecord* next = RecordAt(base, j, size);
                if (Greater(waiting, next)) {
                    std::memmove(base + std::size_t(out) * size, next, size);
                    ++j;
                } else {
                    std::memcpy(base + std::size_t(out) * size, waiting, size);
                    ++i;
                }
                ++out;
            }
            // What is left of the right run is already in place.
            if (i < run)
                std::memcpy(base + std::size_t(out) * size, list->scratch + std::size_t(i) * size,
                            std::size_t(run - i) * size);
        }
    }
}

void ListFree(DeviceList* list) {
    std::free(list->storage);
    std::free(list->scratch);
    std::memset(list, 0, sizeof *list);
}
