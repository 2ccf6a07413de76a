// The DAZA driver's answers as the pin check reads them: the record layout
// (states at bytes 16 and 28, little-endian), the climb of each pin and its
// hold at 5000 or more, and what the setup program's once-a-second polling
// makes of them. Host test of standins/daza_driver/daza_pins.h, the code
// the stand-in DAZA driver answers with.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "standins/daza_driver/daza_pins.h"

namespace {

using Record = std::vector<unsigned char>;

Record RecordAt(unsigned channel, unsigned ms) {
    Record record(DAZA_RECORD_SIZE, 0xEE);
    DazaFillRecord(record.data(), channel, ms);
    return record;
}

// The setup program's test of one pin: at least 5000 and unchanged since
// the previous poll.
int GoodPins(unsigned previous_ms, unsigned ms) {
    int good = 0;
    for (unsigned channel = 0; channel < DAZA_CHANNELS; ++channel) {
        Record before = RecordAt(channel, previous_ms);
        Record now = RecordAt(channel, ms);
        for (unsigned at : {DAZA_PIN1_STATE_AT, DAZA_PIN2_STATE_AT}) {
            unsigned value = DazaGetLe32(now.data() + at);
            if (value >= 5000 && value == DazaGetLe32(before.data() + at)) ++good;
        }
    }
    return good;
}

TEST(DazaPins, LittleEndianFieldsByteByByte) {
    unsigned char bytes[4] = {};
    DazaPutLe32(bytes, 0x11223344u);
    EXPECT_EQ(bytes[0], 0x44);
    EXPECT_EQ(bytes[1], 0x33);
    EXPECT_EQ(bytes[2], 0x22);
    EXPECT_EQ(bytes[3], 0x11);
    EXPECT_EQ(DazaGetLe32(bytes), 0x11223344u);
    DazaPutLe32(bytes, 0xFFFFFFFEu);
    EXPECT_EQ(DazaGetLe32(bytes), 0xFFFFFFFEu);
    EXPECT_EQ(bytes[0], 0xFE);
}

TEST(DazaPins, RecordLayoutForEveryChannel) {
    EXPECT_EQ(DAZA_RECORD_SIZE, 416u);
    EXPECT_EQ(DAZA_PIN1_STATE_AT, 16u);
    EXPECT_EQ(DAZA_PIN2_STATE_AT, 28u);
    EXPECT_EQ(DAZA_IOCTL_INFO, 0x222040u);
    EXPECT_EQ(DAZA_IOCTL_PIN_STATUS, 0x222050u);
    for (unsigned channel = 0; channel < DAZA_CHANNELS; ++channel) {
        for (unsigned ms : {0u, 1234u, 100000u}) {
            Record record = RecordAt(channel, ms);
            EXPECT_EQ(DazaGetLe32(&record[0]), 416u);
            EXPECT_EQ(DazaGetLe32(&record[4]), channel);
            EXPECT_EQ(DazaGetLe32(&record[8]), 2u);
            EXPECT_EQ(DazaGetLe32(&record[12]), 0u);
            EXPECT_EQ(DazaGetLe32(&record[16]), DazaPinState(channel, 0, ms));
            EXPECT_EQ(DazaGetLe32(&record[20]), 2 * channel);
            EXPECT_EQ(DazaGetLe32(&record[24]), DazaPinFinal(channel, 0));
            EXPECT_EQ(DazaGetLe32(&record[28]), DazaPinState(channel, 1, ms));
            EXPECT_EQ(DazaGetLe32(&record[32]), 2 * channel + 1);
            EXPECT_EQ(DazaGetLe32(&record[36]), DazaPinFinal(channel, 1));
            // Every byte of the record is written: nothing of the buffer's
            // earlier content shows through.
            for (unsigned i = 40; i < DAZA_RECORD_SIZE; ++i) ASSERT_EQ(record[i], 0) << "byte " << i;
        }
    }
}

TEST(DazaPins, EachPinClimbsThenHoldsAtFiveThousandOrMore) {
    std::vector<unsigned> ramps;
    for (unsigned channel = 0; channel < DAZA_CHANNELS; ++channel) {
        for (unsigned pin = 0; pin < 2; ++pin) {
            unsigned ramp = DazaPinRampMs(channel, pin);
            unsigned final_state = DazaPinFinal(channel, pin);
            ramps.push_back(ramp);
            EXPECT_GE(final_state, 5000u);
            EXPECT_GE(ramp, 2500u);
            EXPECT_LE(ramp, 7000u);
            EXPECT_EQ(DazaPinState(channel, pin, 0), 0u);
            EXPECT_LT(DazaPinState(channel, pin, ramp - 1), final_state);
            unsigned last = 0;
            for (unsigned ms = 0; ms <= ramp + 500; ms += 50) {
                unsigned value = DazaPinState(channel, pin, ms);
                EXPECT_GE(value, last) << "channel " << channel << " pin " << pin << " at " << ms;
                last = value;
            }
            for (unsigned ms : {ramp, ramp + 1, 60000u, 0x7FFFFFFFu, 0xFFFFFFFFu})
                EXPECT_EQ(DazaPinState(channel, pin, ms), final_state);
        }
    }
    // One pin after the other, 0.3 s apart: the count of settled pins rises
    // in small steps.
    for (std::size_t i = 1; i < ramps.size(); ++i) EXPECT_EQ(ramps[i], ramps[i - 1] + 300u) << "pin " << i;
}

TEST(DazaPins, PollingOnceASecondSeesTheGoodCountGrowToSixteen) {
    // The pins' clock starts with the pin check's own 0x222040; its first
    // records follow at once, then one poll a second. No pin is steady for
    // three polls, then the count rises over four polls (each shown for a
    // second as "n/16 Pin(s) Ok") and reaches all sixteen at eight seconds.
    EXPECT_EQ(GoodPins(0, 1000), 0);
    EXPECT_EQ(GoodPins(1000, 2000), 0);
    EXPECT_EQ(GoodPins(2000, 3000), 0);
    EXPECT_EQ(GoodPins(3000, 4000), 2);
    EXPECT_EQ(GoodPins(4000, 5000), 6);
    EXPECT_EQ(GoodPins(5000, 6000), 9);
    EXPECT_EQ(GoodPins(6000, 7000), 12);
    EXPECT_EQ(GoodPins(7000, 8000), 16);
    EXPECT_EQ(GoodPins(8000, 9000), 16);
    // Polls that run late (1.25 s apart on a busy machine) still show the
    // count between 0 and 16 more than once before all pins are up.
    int partial = 0;
    int good = 0;
    for (unsigned poll = 1; good < 16 && poll < 20; ++poll) {
        good = GoodPins((poll - 1) * 1250, poll * 1250);
        if (good > 0 && good < 16) ++partial;
    }
    EXPECT_EQ(good, 16);
    EXPECT_GE(partial, 2);
    // A late first look finds every pin steady at the first poll.
    EXPECT_EQ(GoodPins(9000, 10000), 16);
    for (unsigned channel = 0; channel < DAZA_CHANNELS; ++channel) {
        Record early = RecordAt(channel, 1000);
        EXPECT_LT(DazaGetLe32(&early[16]), 5000u);
        EXPECT_LT(DazaGetLe32(&early[28]), 5000u);
    }
}

}  // namespace
