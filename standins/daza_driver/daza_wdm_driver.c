/* The DAZA virtual device driver (stand-in): ztmixolytevaio64_win10.sys.
 *
 * A WDM function driver for the root-enumerated device whose hardware id is
 * "ZTMixolyteDAZA". For each device it creates one device object on top of
 * the device's PDO, registers the DAZA device interface class and enables it
 * while the device is started. Opened through that interface it answers the
 * two control requests the setup program's pin check sends:
 *
 *   0x222040  no input, 4 bytes out: the driver's interface version.
 *   0x222050  16 bytes in (channel index 0..7, little-endian, then zeros),
 *             416 bytes out: the channel's pin status record, whose 32-bit
 *             little-endian values at bytes 16 and 28 are the states of the
 *             channel's two pins. The pins come up once the control
 *             application has connected: each state is 0 until the first
 *             0x222040 since the device started (the pin check sends it once
 *             after opening the device), climbs over the seconds after it
 *             and then holds at its final value of 5000 or more. So the pin
 *             check, however late it comes, sees changing pins first and
 *             steady ones after, and its count of good pins grows.
 *
 * It counts the requests it answered and keeps the counts, for tests, in
 * the service key's "Parameters" subkey ("InfoRequests", "PinRequests",
 * "DeviceStarts") and behind one more control request, 0x222400 (16 bytes
 * out: the two counts, the device starts, milliseconds since the last start).
 *
 * Buffers are read and written byte by byte, little-endian. */
#include <ddk/wdm.h>

#include "daza_pins.h"

static const GUID kDazaInterfaceClass = {
    0x3F594749, 0xD668, 0x404A, {0x84, 0xEA, 0x50, 0x26, 0xB8, 0x43, 0x77, 0x52}};

/* Per-device state, kept in the device object's extension. */
typedef struct DazaDevice {
    PDEVICE_OBJECT self;
    PDEVICE_OBJECT pdo;
    PDEVICE_OBJECT lower;
    UNICODE_STRING interface_link; /* from IoRegisterDeviceInterface */
    BOOLEAN interface_enabled;
    LONGLONG started_at;           /* performance counter at the last start */
    volatile LONGLONG pins_started_at; /* at the first 0x222040 since then, 0 before */
} DazaDevice;

/* Driver-wide state: the counts and where they are published. */
static struct {
    UNICODE_STRING parameters_key; /* <service key>\Parameters */
    WCHAR parameters_key_text[512];
    volatile LONG info_requests;
    volatile LONG pin_requests;
    volatile LONG device_starts;
} g_driver;

DRIVER_INITIALIZE DriverEntry;

/* ---- time ---- */

static LONGLONG CounterNow(LONGLONG* ticks_per_second) {
    LARGE_INTEGER frequency;
    LARGE_INTEGER now = KeQueryPerformanceCounter(&frequency);
    *ticks_per_second = frequency.QuadPart > 0 ? frequency.QuadPart : 1;
    return now.QuadPart;
}

static ULONG MillisecondsSince(LONGLONG then) {
    LONGLONG per_second = 1;
    LONGLONG now = CounterNow(&per_second);
    LONGLONG elapsed = now - then;
    if (elapsed <= 0) return 0;
    LONGLONG ms = elapsed / per_second * 1000 + (elapsed % per_second) * 1000 / per_second;
    return ms > 0x7FFFFFFF ? 0x7FFFFFFFu : (ULONG)ms;
}

/* ---- the counts in the registry ---- */

static void WriteCount(HANDLE key, const WCHAR* name, LONG value) {
    UNICODE_STRING value_name;
    ULONG data = (ULONG)value;
    RtlInitUnicodeString(&value_name, name);
    ZwSetValueKey(key, &value_name, 0, REG_DWORD, &data, sizeof data);
}

static void PublishCounts(void) {
    if (g_driver.parameters_key.Length == 0) return;
    OBJECT_ATTRIBUTES attributes;
    InitializeObjectAttributes(&attributes, &g_driver.parameters_key,
                               OBJ_CASE_INSENSITIVE | OBJ_KERNEL_HANDLE, NULL, NULL);
    HANDLE key = NULL;
    if (!NT_SUCCESS(ZwCreateKey(&key, KEY_SET_VALUE, &attributes, 0, NULL, REG_OPTION_NON_VOLATILE, NULL)))
        return;
    WriteCount(key, L"InfoRequests", g_driver.info_requests);
    WriteCount(key, L"PinRequests", g_driver.pin_requests);
    WriteCount(key, L"DeviceStarts", g_driver.device_starts);
    ZwClose(key);
}

/* ---- control requests ---- */

static ULONG MillisecondsSinceStart(const DazaDevice* device) { return MillisecondsSince(device->started_at); }

/* The pins' clock: 0 until the first 0x222040 since the start. */
static ULONG PinMilliseconds(const DazaDevice* device) {
    LONGLONG since = device->pins_started_at;
    return since == 0 ? 0 : MillisecondsSince(since);
}

static NTSTATUS AnswerInfo(DazaDevice* device, PIRP irp, ULONG out_size) {
    if (out_size < DAZA_INFO_SIZE) return STATUS_BUFFER_TOO_SMALL;
    if (device->pins_started_at == 0) {
        LONGLONG per_second = 1;
        LONGLONG now = CounterNow(&per_second);
        InterlockedCompareExchange64(&device->pins_started_at, now != 0 ? now : 1, 0);
    }
    UCHAR* out = (UCHAR*)irp->AssociatedIrp.SystemBuffer;
    DazaPutLe32(out, DAZA_INTERFACE_VERSION);
    irp->IoStatus.Information = DAZA_INFO_SIZE;
    InterlockedIncrement(&g_driver.info_requests);
    return STATUS_SUCCESS;
}

static NTSTATUS AnswerPinStatus(const DazaDevice* device, PIRP irp, ULONG in_size, ULONG out_size) {
    if (in_size < 4) return STATUS_INVALID_PARAMETER;
    if (out_size < DAZA_RECORD_SIZE) return STATUS_BUFFER_TOO_SMALL;
    UCHAR* buffer = (UCHAR*)irp->AssociatedIrp.SystemBuffer;
    /* Input and output share the system buffer: take the channel first. */
    ULONG channel = DazaGetLe32(buffer);
    if (channel >= DAZA_CHANNELS) return STATUS_INVALID_PARAMETER;
    DazaFillRecord(buffer, channel, PinMilliseconds(device));
    irp->IoStatus.Information = DAZA_RECORD_SIZE;
    InterlockedIncrement(&g_driver.pin_requests);
    return STATUS_SUCCESS;
}

static NTSTATUS AnswerStatistics(const DazaDevice* device, PIRP irp, ULONG out_size) {
    if (out_size < DAZA_STATISTICS_SIZE) return STATUS_BUFFER_TOO_SMALL;
    UCHAR* out = (UCHAR*)irp->AssociatedIrp.SystemBuffer;
    DazaPutLe32(out + 0, (ULONG)g_driver.info_requests);
    DazaPutLe32(out + 4, (ULONG)g_driver.pin_requests);
    DazaPutLe32(out + 8, (ULONG)g_driver.device_starts);
    DazaPutLe32(out + 12, MillisecondsSinceStart(device));
    irp->IoStatus.Information = DAZA_STATISTICS_SIZE;
    return STATUS_SUCCESS;
}

static NTSTATUS CompleteWith(PIRP irp, NTSTATUS status) {
    irp->IoStatus.Status = status;
    IoCompleteRequest(irp, IO_NO_INCREMENT);
    return status;
}

static NTSTATUS DispatchDeviceControl(PDEVICE_OBJECT device_object, PIRP irp) {
    DazaDevice* device = (DazaDevice*)device_object->DeviceExtension;
    PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
    ULONG code = stack->Parameters.DeviceIoControl.IoControlCode;
    ULONG in_size = stack->Parameters.DeviceIoControl.InputBufferLength;
    ULONG out_size = stack->Parameters.DeviceIoControl.OutputBufferLength;
    irp->IoStatus.Information = 0;
    NTSTATUS status;
    switch (code) {
        case DAZA_IOCTL_INFO:
            status = AnswerInfo(device, irp, out_size);
            break;
        case DAZA_IOCTL_PIN_STATUS:
            status = AnswerPinStatus(device, irp, in_size, out_size);
            break;
        case DAZA_IOCTL_STATISTICS:
            status = AnswerStatistics(device, irp, out_size);
            break;
        default:
            status = STATUS_INVALID_DEVICE_REQUEST;
            break;
    }
    if (NT_SUCCESS(status) && code != DAZA_IOCTL_STATISTICS) PublishCounts();
    return CompleteWith(irp, status);
}

static NTSTATUS DispatchCreateClose(PDEVICE_OBJECT device_object, PIRP irp) {
    (void)device_object;
    irp->IoStatus.Information = 0;
    return CompleteWith(irp, STATUS_SUCCESS);
}

/* ---- plug and play ---- */

static NTSTATUS PassDown(const DazaDevice* device, PIRP irp) {
    IoSkipCurrentIrpStackLocation(irp);
    return IoCallDriver(device->lower, irp);
}

static NTSTATUS LowerDone(PDEVICE_OBJECT device_object, PIRP irp, PVOID context) {
    (void)device_object;
    (void)irp;
    KeSetEvent((PKEVENT)context, IO_NO_INCREMENT, FALSE);
    return STATUS_MORE_PROCESSING_REQUIRED;
}

/* Hands the request to the PDO and waits until the PDO has completed it;
 * the request comes back to this driver to finish. */
static NTSTATUS PassDownAndWait(const DazaDevice* device, PIRP irp) {
    KEVENT done;
    KeInitializeEvent(&done, NotificationEvent, FALSE);
    IoCopyCurrentIrpStackLocationToNext(irp);
    IoSetCompletionRoutine(irp, LowerDone, &done, TRUE, TRUE, TRUE);
    NTSTATUS status = IoCallDriver(device->lower, irp);
    if (status == STATUS_PENDING) {
        KeWaitForSingleObject(&done, Executive, KernelMode, FALSE, NULL);
        status = irp->IoStatus.Status;
    }
    return status;
}

static void SetInterface(DazaDevice* device, BOOLEAN enable) {
    if (device->interface_link.Buffer == NULL || device->interface_enabled == enable) return;
    if (NT_SUCCESS(IoSetDeviceInterfaceState(&device->interface_link, enable)) || !enable)
        device->interface_enabled = enable;
}

static NTSTATUS StartDevice(DazaDevice* device, PIRP irp) {
    NTSTATUS status = PassDownAndWait(device, irp);
    if (NT_SUCCESS(status)) {
        LONGLONG per_second = 1;
        device->started_at = CounterNow(&per_second);
        device->pins_started_at = 0;
        InterlockedIncrement(&g_driver.device_starts);
        PublishCounts();
        SetInterface(device, TRUE);
    }
    return CompleteWith(irp, status);
}

static NTSTATUS RemoveDevice(DazaDevice* device, PIRP irp) {
    SetInterface(device, FALSE);
    irp->IoStatus.Status = STATUS_SUCCESS;
    NTSTATUS status = PassDown(device, irp);
    IoDetachDevice(device->lower);
    RtlFreeUnicodeString(&device->interface_link);
    IoDeleteDevice(device->self);
    return status;
}

static NTSTATUS DispatchPnp(PDEVICE_OBJECT device_object, PIRP irp) {
    DazaDevice* device = (DazaDevice*)device_object->DeviceExtension;
    PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
    switch (stack->MinorFunction) {
        case IRP_MN_START_DEVICE:
            return StartDevice(device, irp);
        case IRP_MN_REMOVE_DEVICE:
            return RemoveDevice(device, irp);
        case IRP_MN_SURPRISE_REMOVAL:
        case IRP_MN_STOP_DEVICE:
            SetInterface(device, FALSE);
            irp->IoStatus.Status = STATUS_SUCCESS;
            return PassDown(device, irp);
        case IRP_MN_QUERY_REMOVE_DEVICE:
        case IRP_MN_CANCEL_REMOVE_DEVICE:
        case IRP_MN_QUERY_STOP_DEVICE:
        case IRP_MN_CANCEL_STOP_DEVICE:
            irp->IoStatus.Status = STATUS_SUCCESS;
            return PassDown(device, irp);
        default:
            /* Identity, capabilities and the rest are the PDO's business. */
            return PassDown(device, irp);
    }
}

static NTSTATUS DispatchPower(PDEVICE_OBJECT device_object, PIRP irp) {
    DazaDevice* device = (DazaDevice*)device_object->DeviceExtension;
    PoStartNextPowerIrp(irp);
    IoSkipCurrentIrpStackLocation(irp);
    return PoCallDriver(device->lower, irp);
}

static NTSTATUS DispatchPassThrough(PDEVICE_OBJECT device_object, PIRP irp) {
    return PassDown((DazaDevice*)device_object->DeviceExtension, irp);
}

static NTSTATUS AddDevice(PDRIVER_OBJECT driver, PDEVICE_OBJECT pdo) {
    PDEVICE_OBJECT fdo = NULL;
    NTSTATUS status = IoCreateDevice(driver, sizeof(DazaDevice), NULL, FILE_DEVICE_UNKNOWN,
                                     FILE_DEVICE_SECURE_OPEN, FALSE, &fdo);
    if (!NT_SUCCESS(status)) return status;
    DazaDevice* device = (DazaDevice*)fdo->DeviceExtension;
    RtlZeroMemory(device, sizeof *device);
    device->self = fdo;
    device->pdo = pdo;
    status = IoRegisterDeviceInterface(pdo, &kDazaInterfaceClass, NULL, &device->interface_link);
    if (!NT_SUCCESS(status)) {
        IoDeleteDevice(fdo);
        return status;
    }
    device->lower = IoAttachDeviceToDeviceStack(fdo, pdo);
    if (device->lower == NULL) {
        RtlFreeUnicodeString(&device->interface_link);
        IoDeleteDevice(fdo);
        return STATUS_NO_SUCH_DEVICE;
    }
    fdo->Flags |= DO_BUFFERED_IO | DO_POWER_PAGABLE;
    fdo->Flags &= ~DO_DEVICE_INITIALIZING;
    return STATUS_SUCCESS;
}

static void Unload(PDRIVER_OBJECT driver) {
    (void)driver;
}

/* Remembers "<registry path>\Parameters" for the counts. */
static void NoteParametersKey(PCUNICODE_STRING registry_path) {
    static const WCHAR suffix[] = L"\\Parameters";
    USHORT suffix_bytes = (USHORT)(sizeof suffix - sizeof(WCHAR));
    USHORT capacity = (USHORT)(sizeof g_driver.parameters_key_text - sizeof(WCHAR));
    g_driver.parameters_key.Buffer = g_driver.parameters_key_text;
    g_driver.parameters_key.Length = 0;
    g_driver.parameters_key.MaximumLength = capacity;
    if (registry_path == NULL || registry_path->Length == 0 ||
        (ULONG)registry_path->Length + suffix_bytes > capacity)
        return;
    RtlCopyMemory(g_driver.parameters_key_text, registry_path->Buffer, registry_path->Length);
    RtlCopyMemory((UCHAR*)g_driver.parameters_key_text + registry_path->Length, suffix, suffix_bytes);
    g_driver.parameters_key.Length = (USHORT)(registry_path->Length + suffix_bytes);
}

NTSTATUS DriverEntry(PDRIVER_OBJECT driver, PUNICODE_STRING registry_path) {
    NoteParametersKey(registry_path);
    for (int i = 0; i <= IRP_MJ_MAXIMUM_FUNCTION; ++i) driver->MajorFunction[i] = DispatchPassThrough;
    driver->MajorFunction[IRP_MJ_CREATE] = DispatchCreateClose;
    driver->MajorFunction[IRP_MJ_CLOSE] = DispatchCreateClose;
    driver->MajorFunction[IRP_MJ_CLEANUP] = DispatchCreateClose;
    driver->MajorFunction[IRP_MJ_DEVICE_CONTROL] = DispatchDeviceControl;
    driver->MajorFunction[IRP_MJ_PNP] = DispatchPnp;
    driver->MajorFunction[IRP_MJ_POWER] = DispatchPower;
    driver->DriverExtension->AddDevice = AddDevice;
    driver->DriverUnload = Unload;
    PublishCounts();
    return STATUS_SUCCESS;
}
