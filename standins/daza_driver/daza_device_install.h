// Installing and removing the DAZA virtual device the way Windows installs a
// root-enumerated device: a device information element of the INF's class,
// the hardware id "ZTMixolyteDAZA", registration as a device node, then the
// driver from the INF (UpdateDriverForPlugAndPlayDevices), which copies the
// driver, creates its kernel service "ZTMixolyteDAZAMME" and starts the
// device. Removal takes every such device away again, then the service, the
// driver file and the published copy of the INF.
//
// For 64-bit programs on 64-bit Windows (a 32-bit program under WOW64 is
// refused by the driver install). Link with setupapi and newdev.
#pragma once

struct DazaDeviceResult {
    unsigned long error;      // 0, or the Win32 error of the step that failed
    const char* failed_step;  // the name of that step, "" on success
    bool reboot_needed;       // the driver install asked for a restart
    int devices;              // devices installed (1) or removed (0 or more)
};

// `inf_path`: the INF, absolute or relative to the current folder, with the
// driver file beside it. A DAZA device that already exists is reused, so a
// second install updates the driver instead of adding a second device.
DazaDeviceResult InstallDazaDevice(const char* inf_path);

// Removes every DAZA device, then stops and deletes the driver's service and
// deletes the driver file and the published INF. Parts that are absent are
// not an error.
DazaDeviceResult RemoveDazaDevice();
