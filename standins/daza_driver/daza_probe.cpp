// Test program for the DAZA device, built 32-bit like the setup program (so
// that in a 64-bit prefix it talks to the driver across WOW64). It finds the
// device the way the setup program does (first present interface of the DAZA
// class, opened for reading and writing) and checks what the pin check
// relies on.
//   daza_probe present       exit 0 when a present DAZA interface exists
//   daza_probe absent        exit 0 when none exists
//   daza_probe check [--expect-climb]
//                            the control requests, the pins climbing and
//                            settling at 5000 or more, the request counts
//   daza_probe pincheck      polls once a second as the setup program's pin
//                            check does and prints its "n/16 Pin(s) Ok"
//                            counts; exit 0 when all 16 pins came up
//   daza_probe stats         prints the driver's counts
// Lines start with "PASS" or "FAIL"; exit 0 when all passed, 1 otherwise.
#include <windows.h>
#include <setupapi.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "daza_pins.h"

namespace {

const GUID kDazaInterfaceClass = {0x3F594749, 0xD668, 0x404A, {0x84, 0xEA, 0x50, 0x26, 0xB8, 0x43, 0x77, 0x52}};

int g_failures = 0;

void Check(bool ok, const char* what) {
    std::printf("%s %s\n", ok ? "PASS" : "FAIL", what);
    if (!ok) ++g_failures;
}

// The device path of the first present DAZA interface, "" when none.
std::string FindInterfacePath() {
    HDEVINFO set = SetupDiGetClassDevsA(&kDazaInterfaceClass, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    if (set == INVALID_HANDLE_VALUE) return "";
    std::string path;
    SP_DEVICE_INTERFACE_DATA iface{};
    iface.cbSize = sizeof iface;
    if (SetupDiEnumDeviceInterfaces(set, nullptr, &kDazaInterfaceClass, 0, &iface)) {
        DWORD needed = 0;
        SetupDiGetDeviceInterfaceDetailA(set, &iface, nullptr, 0, &needed, nullptr);
        if (needed >= sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A)) {
            std::string bytes(needed, '\0');
            auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_A*>(bytes.data());
            detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);
            if (SetupDiGetDeviceInterfaceDetailA(set, &iface, detail, needed, nullptr, nullptr))
                path = detail->DevicePath;
        }
    }
    SetupDiDestroyDeviceInfoList(set);
    return path;
}

// Opened as the setup program opens it.
HANDLE OpenDevice(const std::string& path) {
    return CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0x800,
                       nullptr);
}

struct Answer {
    bool ok;
    DWORD bytes;
};

Answer Request(HANDLE device, DWORD code, const unsigned char* in, DWORD in_size, unsigned char* out,
               DWORD out_size) {
    DWORD bytes = 0;
    BOOL ok = DeviceIoControl(device, code, const_cast<unsigned char*>(in), in_size, out, out_size, &bytes, nullptr);
    return Answer{ok != FALSE, bytes};
}

struct Statistics {
    bool ok;
    unsigned info_requests, pin_requests, starts, ms_since_start;
};

Statistics ReadStatistics(HANDLE device) {
    unsigned char out[DAZA_STATISTICS_SIZE] = {};
    Answer answer = Request(device, DAZA_IOCTL_STATISTICS, nullptr, 0, out, sizeof out);
    return Statistics{answer.ok && answer.bytes == sizeof out, DazaGetLe32(out), DazaGetLe32(out + 4),
                      DazaGetLe32(out + 8), DazaGetLe32(out + 12)};
}

Answer QueryChannel(HANDLE device, unsigned channel, unsigned char (&record)[DAZA_RECORD_SIZE]) {
    unsigned char request[DAZA_REQUEST_SIZE] = {};
    DazaPutLe32(request, channel);
    return Request(device, DAZA_IOCTL_PIN_STATUS, request, sizeof request, record, sizeof record);
}

struct PinTrack {
    unsigned first, last;
    bool decreased;
    DWORD settled_since;  // tick count when it last changed
};

int RunCheck(bool expect_climb) {
    std::string path = FindInterfacePath();
    Check(!path.empty(), "a present DAZA device interface");
    if (path.empty()) return 1;
    std::printf("device path %s\n", path.c_str());
    HANDLE device = OpenDevice(path);
    Check(device != INVALID_HANDLE_VALUE, "the device opens for reading and writing");
    if (device == INVALID_HANDLE_VALUE) return 1;

    Statistics before = ReadStatistics(device);
    Check(before.ok, "statistics request answers 16 bytes");

    unsigned char info[8] = {};
    Answer info_answer = Request(device, DAZA_IOCTL_INFO, nullptr, 0, info, DAZA_INFO_SIZE);
    Check(info_answer.ok && info_answer.bytes == DAZA_INFO_SIZE, "0x222040 answers 4 bytes");
    Check(DazaGetLe32(info) == DAZA_INTERFACE_VERSION, "0x222040 gives the interface version");

    // Requests the driver must refuse, without counting them.
    unsigned char record[DAZA_RECORD_SIZE] = {};
    unsigned char request[DAZA_REQUEST_SIZE] = {};
    DazaPutLe32(request, DAZA_CHANNELS);
    Check(!Request(device, DAZA_IOCTL_PIN_STATUS, request, sizeof request, record, sizeof record).ok,
          "0x222050 refuses channel 8");
    DazaPutLe32(request, 0);
    Check(!Request(device, DAZA_IOCTL_PIN_STATUS, request, sizeof request, record, sizeof record - 1).ok,
          "0x222050 refuses an output buffer of 415 bytes");
    Check(!Request(device, DAZA_IOCTL_INFO, nullptr, 0, info, 3).ok, "0x222040 refuses an output buffer of 3 bytes");

    PinTrack pins[DAZA_CHANNELS * 2] = {};
    unsigned sent = 0;
    bool layout_ok = true;
    unsigned first_poll_ms = 0;
    const DWORD begin = GetTickCount();
    bool settled = false;
    for (int poll = 0; !settled && GetTickCount() - begin < 15000; ++poll) {
        if (poll > 0) Sleep(250);
        if (poll == 0) first_poll_ms = ReadStatistics(device).ms_since_start;
        DWORD now = GetTickCount();
        settled = true;
        for (unsigned channel = 0; channel < DAZA_CHANNELS; ++channel) {
            std::memset(record, 0xEE, sizeof record);
            Answer answer = QueryChannel(device, channel, record);
            ++sent;
            if (!answer.ok || answer.bytes != DAZA_RECORD_SIZE || DazaGetLe32(record) != DAZA_RECORD_SIZE ||
                DazaGetLe32(record + 4) != channel) {
                layout_ok = false;
                settled = false;
                continue;
            }
            for (unsigned pin = 0; pin < 2; ++pin) {
                unsigned value = DazaGetLe32(record + (pin == 0 ? DAZA_PIN1_STATE_AT : DAZA_PIN2_STATE_AT));
                PinTrack& track = pins[channel * 2 + pin];
                if (poll == 0) {
                    track = PinTrack{value, value, false, now};
                } else if (value != track.last) {
                    if (value < track.last) track.decreased = true;
                    track.last = value;
                    track.settled_since = now;
                }
                if (track.last < 5000 || now - track.settled_since < 1000) settled = false;
            }
        }
    }

    Check(layout_ok, "every 0x222050 answer is a 416-byte record of the requested channel");
    bool never_decreased = true;
    unsigned below_at_first = 0;
    for (unsigned i = 0; i < DAZA_CHANNELS * 2; ++i) {
        std::printf("pin %u.%u: first %u, last %u\n", i / 2, i % 2, pins[i].first, pins[i].last);
        if (pins[i].decreased) never_decreased = false;
        if (pins[i].first < 5000) ++below_at_first;
    }
    std::printf("first poll %u ms after the device started; %u of 16 pins below 5000 then\n", first_poll_ms,
                below_at_first);
    Check(settled, "all 16 pins hold one value of 5000 or more for a second");
    Check(never_decreased, "no pin state ever went down");
    if (expect_climb) Check(below_at_first > 0, "pins were still climbing at the first poll");

    Statistics after = ReadStatistics(device);
    Check(after.ok && after.info_requests == before.info_requests + 1, "the driver counted one 0x222040 answer");
    Check(after.ok && after.pin_requests == before.pin_requests + sent, "the driver counted every 0x222050 answer");
    std::printf("counts: 0x222040 %u, 0x222050 %u, starts %u\n", after.info_requests, after.pin_requests,
                after.starts);
    CloseHandle(device);
    return g_failures == 0 ? 0 : 1;
}

// The setup program's polling: a pin is good when its state is at least
// 5000 and the same as at the previous poll, one second earlier.
int RunPinCheck() {
    std::string path;
    for (int attempt = 0; attempt < 5 && path.empty(); ++attempt) {
        if (attempt > 0) Sleep(1000);
        path = FindInterfacePath();
    }
    HANDLE device = path.empty() ? INVALID_HANDLE_VALUE : OpenDevice(path);
    if (device == INVALID_HANDLE_VALUE) {
        std::printf("FAIL no DAZA device to open\n");
        return 1;
    }
    unsigned char info[DAZA_INFO_SIZE] = {};
    Request(device, DAZA_IOCTL_INFO, nullptr, 0, info, sizeof info);
    unsigned char previous[DAZA_CHANNELS][DAZA_RECORD_SIZE] = {};
    unsigned char current[DAZA_CHANNELS][DAZA_RECORD_SIZE] = {};
    for (unsigned channel = 0; channel < DAZA_CHANNELS; ++channel) QueryChannel(device, channel, previous[channel]);
    int good = 0;
    for (int poll = 1; poll <= 20 && good < 16; ++poll) {
        Sleep(1000);
        good = 0;
        for (unsigned channel = 0; channel < DAZA_CHANNELS; ++channel) {
            QueryChannel(device, channel, current[channel]);
            for (unsigned at : {DAZA_PIN1_STATE_AT, DAZA_PIN2_STATE_AT}) {
                unsigned value = DazaGetLe32(current[channel] + at);
                if (value >= 5000 && value == DazaGetLe32(previous[channel] + at)) ++good;
            }
            std::memcpy(previous[channel], current[channel], DAZA_RECORD_SIZE);
        }
        std::printf("poll %d: %d/16 Pin(s) Ok\n", poll, good);
    }
    CloseHandle(device);
    std::printf("%s all 16 pins came up\n", good == 16 ? "PASS" : "FAIL");
    return good == 16 ? 0 : 1;
}

int RunStats() {
    std::string path = FindInterfacePath();
    if (path.empty()) {
        std::printf("FAIL no present DAZA device interface\n");
        return 1;
    }
    HANDLE device = OpenDevice(path);
    if (device == INVALID_HANDLE_VALUE) {
        std::printf("FAIL cannot open %s: error %lu\n", path.c_str(), GetLastError());
        return 1;
    }
    Statistics stats = ReadStatistics(device);
    CloseHandle(device);
    std::printf("info_requests %u\npin_requests %u\nstarts %u\nms_since_start %u\n", stats.info_requests,
                stats.pin_requests, stats.starts, stats.ms_since_start);
    return stats.ok ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    const char* command = argc >= 2 ? argv[1] : "";
    if (std::strcmp(command, "present") == 0 || std::strcmp(command, "absent") == 0) {
        std::string path = FindInterfacePath();
        bool want_present = command[0] == 'p';
        std::printf("%s %s%s\n", path.empty() == want_present ? "FAIL" : "PASS",
                    path.empty() ? "no present DAZA interface" : "present DAZA interface ", path.c_str());
        return path.empty() == want_present ? 1 : 0;
    }
    if (std::strcmp(command, "check") == 0)
        return RunCheck(argc >= 3 && std::strcmp(argv[2], "--expect-climb") == 0);
    if (std::strcmp(command, "pincheck") == 0) return RunPinCheck();
    if (std::strcmp(command, "stats") == 0) return RunStats();
    std::printf("usage: daza_probe present | absent | check [--expect-climb] | pincheck | stats\n");
    return 2;
}
