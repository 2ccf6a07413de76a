/* Placeholder for the DAZA virtual device driver image
 * (ztmixolytevaio64_win10.sys). It is a native-subsystem image with the
 * driver's identity and the channel icons that the endpoint names point at
 * ("<driver file>,-201" .. ",-208" for playback, ",-301" .. ",-308" for
 * recording), but no device support: its entry point refuses to load, so
 * nothing ever runs it by mistake. */
typedef long NTSTATUS;
#define STATUS_NOT_SUPPORTED ((NTSTATUS)0xC00000BBL)

NTSTATUS DriverEntry(void* driver_object, void* registry_path);

NTSTATUS DriverEntry(void* driver_object, void* registry_path) {
    (void)driver_object;
    (void)registry_path;
    return STATUS_NOT_SUPPORTED;
}
