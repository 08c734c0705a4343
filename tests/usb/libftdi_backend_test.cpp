// Without a chip on the bus the libftdi backend can only show that it looks without
// failing and refuses what it cannot reach.

#include "usb/backend.h"
#include "usb/system_ft_driver.h"

#include <gtest/gtest.h>

namespace nx::usb {
namespace {

TEST(LibftdiBackend, CensusWithoutAccessibleChipsDoesNotFail)
{
    const auto backend = makeLibftdiBackend();
    for (const DeviceInfo& d : backend->enumerate()) {
        SCOPED_TRACE(d.location);
        EXPECT_EQ(d.location.rfind("usb:", 0), 0u);
        EXPECT_EQ(d.id >> 16, 0x0403u);
    }
}

TEST(LibftdiBackend, OpenOfAnAbsentChipFails)
{
    const auto backend = makeLibftdiBackend();
    struct Case {
        const char* location;
        FT_STATUS status;
    };
    for (const Case& c : {Case{"usb:250:250", FT_DEVICE_NOT_FOUND}, Case{"/dev/ttyUSB0", FT_DEVICE_NOT_FOUND},
                          Case{"usb:1:2:3", FT_DEVICE_NOT_FOUND}}) {
        SCOPED_TRACE(c.location);
        DeviceInfo d;
        d.location = c.location;
        FT_STATUS status = FT_OK;
        EXPECT_EQ(backend->open(d, &status), nullptr);
        EXPECT_NE(status, FT_OK);
    }
}

TEST(SystemDriver, DefaultCensusOfThisMachineSucceeds)
{
    SystemFtDriver driver;
    DWORD count = 99;
    EXPECT_EQ(driver.CreateDeviceInfoList(&count), FT_OK);
    EXPECT_NE(count, 99u);
}

}  // namespace
}  // namespace nx::usb
