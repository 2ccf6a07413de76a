// What the device interface operations do: finding and opening the first
// present interface of a class, buffered control requests and their
// failures, closing. Wine has no DAZA device, so its absence is what both
// backends must agree on; the opening and requests are shown on devices
// Wine does have (see ContractPutDevices).
#include <gtest/gtest.h>

#include <cstring>

#include "platform/devices.h"
#include "tests/contract/env.h"

namespace {

const char kDazaClass[] = "{3F594749-D668-404A-84EA-5026B8437752}";

struct DevicesContract : ::testing::Test {
    void SetUp() override {
        ContractSetUp();
        ContractPutDevices();
    }
};

}  // namespace

TEST_F(DevicesContract, AnAbsentClassGivesNoHandle) {
    EXPECT_EQ(plat::DeviceInterfaceOpen(kDazaClass), nullptr);
    EXPECT_EQ(plat::DeviceInterfaceOpen("{3f594749-d668-404a-84ea-5026b8437752}"), nullptr);
    // The two other driver classes of the product are absent as well.
    EXPECT_EQ(plat::DeviceInterfaceOpen("{D8C6B17A-215D-4082-9341-1E1677AE6B55}"), nullptr);
    EXPECT_EQ(plat::DeviceInterfaceOpen("{5573CC9C-DF43-40BF-8EB3-D79E59A5A481}"), nullptr);
    // Text that is no class at all finds nothing either.
    EXPECT_EQ(plat::DeviceInterfaceOpen("ZTMixolyteDAZA"), nullptr);
    EXPECT_EQ(plat::DeviceInterfaceOpen(""), nullptr);
}

TEST_F(DevicesContract, APresentDeviceThatDoesNotOpenGivesTheInvalidHandle) {
    // Present, so not null; its path does not open, so INVALID_HANDLE_VALUE.
    plat::Handle device = plat::DeviceInterfaceOpen(kContractDisplayClass);
    EXPECT_EQ(device, plat::kInvalidHandle);
    plat::DeviceClose(device);  // harmless
}

TEST_F(DevicesContract, BufferedRequestsOnAnOpenDevice) {
    plat::Handle device = plat::DeviceInterfaceOpen(kContractHidClass);
    ASSERT_NE(device, nullptr);
    ASSERT_NE(device, plat::kInvalidHandle);

    std::uint8_t answer[64];
    std::memset(answer, 0xCC, sizeof answer);
    std::uint32_t returned = 0;
    ASSERT_EQ(plat::DeviceControl(device, kContractHidCollectionInfo, nullptr, 0, answer, sizeof answer, &returned), 1);
    EXPECT_EQ(returned, 12u);
    std::uint32_t descriptor_size = answer[0] | (answer[1] << 8) | (answer[2] << 16) |
                                    (static_cast<std::uint32_t>(answer[3]) << 24);
    EXPECT_GT(descriptor_size, 0u);
    EXPECT_EQ(answer[12], 0xCC) << "nothing written past the answer";

    // An answer larger than the buffer fails (the count is not relied on).
    EXPECT_EQ(plat::DeviceControl(device, kContractHidCollectionInfo, nullptr, 0, answer, 4, &returned), 0);

    // A request the device does not know fails with nothing returned: what
    // the pin check's requests meet on a device that is not the DAZA device.
    std::uint8_t request[16] = {};
    returned = 99;
    EXPECT_EQ(plat::DeviceControl(device, 0x222050, request, sizeof request, answer, sizeof answer, &returned), 0);
    EXPECT_EQ(returned, 0u);
    returned = 99;
    EXPECT_EQ(plat::DeviceControl(device, 0x222040, nullptr, 0, answer, 4, &returned), 0);
    EXPECT_EQ(returned, 0u);

    // The device keeps answering until it is closed, and not after.
    ASSERT_EQ(plat::DeviceControl(device, kContractHidCollectionInfo, nullptr, 0, answer, sizeof answer, &returned), 1);
    plat::DeviceClose(device);
    returned = 99;
    EXPECT_EQ(plat::DeviceControl(device, kContractHidCollectionInfo, nullptr, 0, answer, sizeof answer, &returned), 0);
    EXPECT_EQ(returned, 0u);
}

TEST_F(DevicesContract, RequestsOnHandlesThatAreNoDeviceFail) {
    std::uint8_t answer[416];
    std::uint8_t request[16] = {};
    for (plat::Handle handle : {plat::kInvalidHandle, static_cast<plat::Handle>(nullptr)}) {
        std::uint32_t returned = 99;
        EXPECT_EQ(plat::DeviceControl(handle, 0x222050, request, sizeof request, answer, sizeof answer, &returned), 0);
        EXPECT_EQ(returned, 0u);
        returned = 99;
        EXPECT_EQ(plat::DeviceControl(handle, 0x222040, nullptr, 0, answer, 4, &returned), 0);
        EXPECT_EQ(returned, 0u);
        plat::DeviceClose(handle);  // ignored
    }
}
