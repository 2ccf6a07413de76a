/* The DAZA device's control requests and its pin status record, shared by
 * the stand-in driver and the Windows-side programs that test it. Plain C
 * (the driver is C), no Windows headers; byte order is little-endian,
 * written and read byte by byte. */
#ifndef MIXO_STANDINS_DAZA_PINS_H
#define MIXO_STANDINS_DAZA_PINS_H

/* Control codes: device type 0x22, buffered, any access. */
#define DAZA_IOCTL_INFO 0x222040u       /* function 0x810: 4 bytes out */
#define DAZA_IOCTL_PIN_STATUS 0x222050u /* function 0x814: 16 in, 416 out */
#define DAZA_IOCTL_STATISTICS 0x222400u /* function 0x900: 16 bytes out, tests only */

#define DAZA_INFO_SIZE 4u
#define DAZA_REQUEST_SIZE 16u
#define DAZA_RECORD_SIZE 416u
#define DAZA_STATISTICS_SIZE 16u
#define DAZA_CHANNELS 8u
#define DAZA_INTERFACE_VERSION 0x00020102u

/* Pin status record: [0] record size, [4] channel index, [8] pins in the
 * channel (2), then per pin (first at 16, second at 28): state, pin number,
 * the state it settles at. Everything else is zero. */
#define DAZA_PIN1_STATE_AT 16u
#define DAZA_PIN2_STATE_AT 28u

/* Each pin climbs linearly from 0 to its final state, pin after pin a
 * little more slowly, so that the pin check, polling once a second, sees its
 * count of settled pins grow over several polls: channel 0's first pin
 * settles at 2.5 s, each further pin (channel 0 pin 1, channel 1 pin 0, ...)
 * 0.3 s later, channel 7's second pin at 7.0 s after the pins' clock started
 * (the driver's first 0x222040 since the device started). */
#define DAZA_PIN_FINAL_BASE 5000u
#define DAZA_RAMP_BASE_MS 2500u
#define DAZA_RAMP_STEP_MS 300u

static inline void DazaPutLe32(unsigned char* at, unsigned int value) {
    at[0] = (unsigned char)(value & 0xFFu);
    at[1] = (unsigned char)((value >> 8) & 0xFFu);
    at[2] = (unsigned char)((value >> 16) & 0xFFu);
    at[3] = (unsigned char)((value >> 24) & 0xFFu);
}

static inline unsigned int DazaGetLe32(const unsigned char* at) {
    return (unsigned int)at[0] | ((unsigned int)at[1] << 8) | ((unsigned int)at[2] << 16) |
           ((unsigned int)at[3] << 24);
}

static inline unsigned int DazaPinFinal(unsigned int channel, unsigned int pin) {
    return DAZA_PIN_FINAL_BASE + 100u * channel + 10u * pin;
}

static inline unsigned int DazaPinRampMs(unsigned int channel, unsigned int pin) {
    return DAZA_RAMP_BASE_MS + DAZA_RAMP_STEP_MS * (2u * channel + pin);
}

/* State of pin 0 or 1 of a channel, `ms` milliseconds after the pins' clock
 * started. */
static inline unsigned int DazaPinState(unsigned int channel, unsigned int pin, unsigned int ms) {
    unsigned int final_state = DazaPinFinal(channel, pin);
    unsigned int ramp = DazaPinRampMs(channel, pin);
    if (ms >= ramp) return final_state;
    return (unsigned int)((unsigned long long)final_state * ms / ramp);
}

static inline void DazaFillRecord(unsigned char* record, unsigned int channel, unsigned int ms) {
    for (unsigned int i = 0; i < DAZA_RECORD_SIZE; ++i) record[i] = 0;
    DazaPutLe32(record + 0, DAZA_RECORD_SIZE);
    DazaPutLe32(record + 4, channel);
    DazaPutLe32(record + 8, 2u);
    for (unsigned int pin = 0; pin < 2u; ++pin) {
        unsigned char* at = record + (pin == 0 ? DAZA_PIN1_STATE_AT : DAZA_PIN2_STATE_AT);
        DazaPutLe32(at + 0, DazaPinState(channel, pin, ms));
        DazaPutLe32(at + 4, 2u * channel + pin);
        DazaPutLe32(at + 8, DazaPinFinal(channel, pin));
    }
}

#endif
