// The demo meter through the FT_* calls and the system driver, as the program meets it.

#include "base/clock.h"
#include "usb/system_ft_driver.h"

#include <gtest/gtest.h>

namespace {

using namespace nx::usb;
using namespace std::chrono_literals;

class DemoMeterTest : public ::testing::Test {
protected:
    DemoMeterTest() { qputenv("NIVEX_EMULATED_METERS", QByteArray(NX_DEMO_METER)); }
    ~DemoMeterTest() override { qunsetenv("NIVEX_EMULATED_METERS"); }

    static std::vector<std::unique_ptr<Backend>> emulatedOnly()
    {
        std::vector<std::unique_ptr<Backend>> backends;
        backends.push_back(makeEmulatedBackend());
        return backends;
    }

    // One command as the program's exchange makes it: purge, write, wait, read.
    QByteArray exchange(FT_HANDLE handle, const QByteArray& command)
    {
        EXPECT_EQ(FT_Purge(handle, FT_PURGE_RX), FT_OK);
        DWORD written = 0;
        EXPECT_EQ(FT_Write(handle, command.data(), DWORD(command.size()), &written), FT_OK);
        clock_.advance(2s);
        DWORD waiting = 0;
        EXPECT_EQ(FT_GetQueueStatus(handle, &waiting), FT_OK);
        QByteArray reply(qsizetype(waiting), '\0');
        DWORD got = 0;
        EXPECT_EQ(FT_Read(handle, reply.data(), waiting, &got), FT_OK);
        EXPECT_EQ(got, waiting);
        return reply;
    }

    nx::VirtualClock clock_;
    nx::ScopedClock scopedClock_{clock_};
    SystemFtDriver driver_{emulatedOnly()};
    ScopedFtDriver scopedDriver_{driver_};
};

TEST_F(DemoMeterTest, IsListedAndAnswersEveryCommand)
{
    DWORD count = 0;
    ASSERT_EQ(FT_CreateDeviceInfoList(&count), FT_OK);
    ASSERT_EQ(count, 1u);
    FT_DEVICE_LIST_INFO_NODE node{};
    ASSERT_EQ(FT_GetDeviceInfoList(&node, &count), FT_OK);
    EXPECT_STREQ(node.SerialNumber, "PP004711");
    EXPECT_STREQ(node.Description, "Nivex meter");

    FT_HANDLE handle = 0;
    ASSERT_EQ(FT_OpenEx("PP004711", FT_OPEN_BY_SERIAL_NUMBER, &handle), FT_OK);
    FT_ResetDevice(handle);
    FT_SetBaudRate(handle, 115200);
    FT_SetDataCharacteristics(handle, 8, 0, 0);
    FT_SetLatencyTimer(handle, 2);
    FT_SetUSBParameters(handle, 16, 16);
    FT_SetFlowControl(handle, 0, 0, 0);
    FT_SetTimeouts(handle, 5, 5);

    const QByteArray identity = exchange(handle, "I\r");
    ASSERT_EQ(identity.size(), 17);
    EXPECT_TRUE(identity.startsWith("PPTTC004711"));
    EXPECT_EQ(identity.mid(12, 4), QByteArray("1.05"));

    const QByteArray moisture = exchange(handle, "H\r");
    EXPECT_EQ(moisture.size() % 13, 1);
    EXPECT_GE(moisture.size() / 13, 200);
    EXPECT_EQ(moisture.back(), '*');

    const QByteArray objects = exchange(handle, "L\r");
    ASSERT_EQ(objects.size(), 3 * 25 + 1);
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        const char number = objects[i * 25];
        const QByteArray readings = exchange(handle, QByteArray("M") + number + '\r');
        EXPECT_EQ(readings.size(), 144 * 9);
    }
    EXPECT_EQ(FT_Close(handle), FT_OK);
}

}  // namespace
