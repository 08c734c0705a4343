// The serial backend's real I/O path, with a pseudo-terminal standing in for a
// /dev/ttyUSB port: the test holds the master side, the device opens the slave.

#include "usb/serial_backend.h"
#include "usb/system_ft_driver.h"
#include "usb/tftdichip.h"

#include <gtest/gtest.h>

#include <asm/termbits.h>
#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <string>
#include <sys/ioctl.h>
#include <thread>
#include <unistd.h>

namespace nx::usb {
namespace {

class PseudoTerminal {
public:
    PseudoTerminal() : master_(::posix_openpt(O_RDWR | O_NOCTTY))
    {
        if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0)
            throw std::runtime_error("no pseudo-terminal");
        slavePath_ = ::ptsname(master_);
        // Opened before the device takes the port for itself; the line settings are
        // the tty's, so this side sees what the device set.
        observer_ = ::open(slavePath_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    }
    ~PseudoTerminal()
    {
        if (observer_ >= 0)
            ::close(observer_);
        hangUp();
    }
    PseudoTerminal(const PseudoTerminal&) = delete;
    PseudoTerminal& operator=(const PseudoTerminal&) = delete;

    const std::string& slavePath() const { return slavePath_; }

    // The meter's side sends.
    void send(std::string_view bytes) const
    {
        ASSERT_EQ(::write(master_, bytes.data(), bytes.size()), ssize_t(bytes.size()));
    }

    // The meter's side receives `count` bytes; a generous bound keeps a broken test
    // from hanging, it is no timing rule.
    std::string receive(std::size_t count) const
    {
        std::string got;
        while (got.size() < count) {
            pollfd p{master_, POLLIN, 0};
            if (::poll(&p, 1, 5000) <= 0)
                break;
            char chunk[256];
            const ssize_t n = ::read(master_, chunk, std::min(sizeof chunk, count - got.size()));
            if (n <= 0)
                break;
            got.append(chunk, std::size_t(n));
        }
        return got;
    }

    // The rate the tty's line runs at, in bits per second.
    unsigned speed() const
    {
        termios2 t{};
        return ::ioctl(observer_, TCGETS2, &t) == 0 ? t.c_ospeed : 0;
    }

    void hangUp()
    {
        if (master_ >= 0)
            ::close(master_);
        master_ = -1;
    }

private:
    int master_;
    std::string slavePath_;
    int observer_ = -1;
};

std::unique_ptr<Device> openOrFail(const std::string& path)
{
    FT_STATUS status = FT_OTHER_ERROR;
    std::unique_ptr<Device> device = openSerialDevice(path, &status);
    EXPECT_EQ(status, FT_OK);
    return device;
}

// Bytes sent on the master side reach the slave's queue after a moment; this waits
// for them (bounded) so the assertions that follow see a settled queue.
DWORD waitForQueue(Device& device, DWORD expected)
{
    DWORD waiting = 0;
    for (int i = 0; i < 5000; ++i) {
        if (device.queueStatus(&waiting) != FT_OK || waiting >= expected)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return waiting;
}

class SerialDeviceTest : public ::testing::Test {
protected:
    PseudoTerminal pty;
    std::unique_ptr<Device> device = openOrFail(pty.slavePath());
};

TEST_F(SerialDeviceTest, WritesEveryByteUnchanged)
{
    ASSERT_NE(device, nullptr);
    // Raw mode: no newline mapping, no flow-control characters eaten, nothing echoed.
    const std::string bytes("I\r\n\x00\x11\x13\xff\x7f", 8);
    DWORD written = 0;
    ASSERT_EQ(device->write(bytes.data(), DWORD(bytes.size()), &written), FT_OK);
    EXPECT_EQ(written, bytes.size());
    EXPECT_EQ(pty.receive(bytes.size()), bytes);
}

TEST_F(SerialDeviceTest, CountsAndReadsWhatArrived)
{
    ASSERT_NE(device, nullptr);
    ASSERT_EQ(device->setTimeouts(20, 20), FT_OK);
    const std::string reply("PPTTC\x01\x02\r\x00\x11", 10);
    pty.send(reply);
    EXPECT_EQ(waitForQueue(*device, 10), 10u);
    DWORD rx = 0;
    DWORD tx = 99;
    DWORD events = 0;
    ASSERT_EQ(device->status(&rx, &tx, &events), FT_OK);
    EXPECT_EQ(rx, 10u);
    EXPECT_EQ(tx, 0u);
    EXPECT_EQ(events & FT_EVENT_RXCHAR, FT_EVENT_RXCHAR);

    // More asked for than came: the time-out ends the read with success and what came.
    char buffer[32] = {};
    DWORD got = 0;
    ASSERT_EQ(device->read(buffer, sizeof buffer, &got), FT_OK);
    EXPECT_EQ(std::string(buffer, got), reply);
    ASSERT_EQ(device->queueStatus(&rx), FT_OK);
    EXPECT_EQ(rx, 0u);
}

TEST_F(SerialDeviceTest, ReadOfNothingTimesOutWithSuccess)
{
    ASSERT_NE(device, nullptr);
    ASSERT_EQ(device->setTimeouts(5, 5), FT_OK);
    char buffer[4] = {};
    DWORD got = 99;
    EXPECT_EQ(device->read(buffer, sizeof buffer, &got), FT_OK);
    EXPECT_EQ(got, 0u);
}

TEST_F(SerialDeviceTest, ReadWithoutTimeOutWaitsForEveryByte)
{
    ASSERT_NE(device, nullptr);
    std::thread meter([&] {
        pty.send("ab");
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        pty.send("cd");
    });
    char buffer[4] = {};
    DWORD got = 0;
    const FT_STATUS status = device->read(buffer, sizeof buffer, &got);
    meter.join();
    EXPECT_EQ(status, FT_OK);
    EXPECT_EQ(std::string(buffer, got), "abcd");
}

TEST_F(SerialDeviceTest, PurgeEmptiesTheReceiveQueue)
{
    ASSERT_NE(device, nullptr);
    pty.send("stale reply");
    ASSERT_EQ(waitForQueue(*device, 11), 11u);
    ASSERT_EQ(device->purge(FT_PURGE_RX | FT_PURGE_TX), FT_OK);
    DWORD rx = 99;
    ASSERT_EQ(device->queueStatus(&rx), FT_OK);
    EXPECT_EQ(rx, 0u);

    pty.send("fresh");
    ASSERT_EQ(waitForQueue(*device, 5), 5u);
    ASSERT_EQ(device->setTimeouts(5, 5), FT_OK);
    char buffer[16] = {};
    DWORD got = 0;
    ASSERT_EQ(device->read(buffer, sizeof buffer, &got), FT_OK);
    EXPECT_EQ(std::string(buffer, got), "fresh");
}

TEST_F(SerialDeviceTest, AHungUpPortEndsAReadWithAnError)
{
    ASSERT_NE(device, nullptr);
    pty.hangUp();
    char buffer[4] = {};
    DWORD got = 0;
    EXPECT_EQ(device->read(buffer, sizeof buffer, &got), FT_IO_ERROR) << "no time-out set: must not hang";
}

TEST_F(SerialDeviceTest, LineSettingsTheTtyTakesOrRefuses)
{
    ASSERT_NE(device, nullptr);
    struct Case {
        const char* name;
        std::function<FT_STATUS(Device&)> call;
        FT_STATUS status;
    };
    const Case cases[] = {
        {"115200", [](Device& d) { return d.setBaudRate(115200); }, FT_OK},
        {"230400", [](Device& d) { return d.setBaudRate(230400); }, FT_OK},
        {"460800", [](Device& d) { return d.setBaudRate(460800); }, FT_OK},
        {"921600", [](Device& d) { return d.setBaudRate(921600); }, FT_OK},
        {"no rate", [](Device& d) { return d.setBaudRate(0); }, FT_INVALID_BAUD_RATE},
        {"8N1", [](Device& d) { return d.setDataCharacteristics(8, 0, 0); }, FT_OK},
        {"7 bits, 2 stop, mark", [](Device& d) { return d.setDataCharacteristics(7, 2, 3); }, FT_OK},
        {"space parity", [](Device& d) { return d.setDataCharacteristics(8, 0, 4); }, FT_OK},
        {"6 bits", [](Device& d) { return d.setDataCharacteristics(6, 0, 0); }, FT_INVALID_PARAMETER},
        {"1.5 stop bits", [](Device& d) { return d.setDataCharacteristics(8, 1, 0); }, FT_INVALID_PARAMETER},
        {"parity 5", [](Device& d) { return d.setDataCharacteristics(8, 0, 5); }, FT_INVALID_PARAMETER},
        {"no flow control", [](Device& d) { return d.setFlowControl(0x0000, 0, 0); }, FT_OK},
        {"rts/cts", [](Device& d) { return d.setFlowControl(0x0100, 0, 0); }, FT_OK},
        {"xon/xoff", [](Device& d) { return d.setFlowControl(0x0400, 17, 19); }, FT_OK},
        {"dtr/dsr", [](Device& d) { return d.setFlowControl(0x0200, 0, 0); }, FT_NOT_SUPPORTED},
        {"unknown flow word", [](Device& d) { return d.setFlowControl(0x0800, 0, 0); }, FT_INVALID_PARAMETER},
        {"latency on a tty without a timer", [](Device& d) { return d.setLatencyTimer(2); }, FT_OK},
        {"usb transfer sizes", [](Device& d) { return d.setUsbParameters(16, 16); }, FT_OK},
        {"reset", [](Device& d) { return d.reset(); }, FT_OK},
        {"cycle port", [](Device& d) { return d.cyclePort(); }, FT_NOT_SUPPORTED},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.call(*device), c.status);
    }
    // Still a working line after all that.
    DWORD written = 0;
    ASSERT_EQ(device->setFlowControl(0, 0, 0), FT_OK);
    ASSERT_EQ(device->write("ok", 2, &written), FT_OK);
    EXPECT_EQ(pty.receive(2), "ok");
}

// The rates termios names and those it does not (14400 is one of the link's own).
TEST_F(SerialDeviceTest, TheTtyRunsAtTheRateAsked)
{
    ASSERT_NE(device, nullptr);
    for (DWORD rate : {DWORD(300), DWORD(14400), DWORD(115200), DWORD(921600), DWORD(250000)}) {
        SCOPED_TRACE("rate " + std::to_string(rate));
        ASSERT_EQ(device->setBaudRate(rate), FT_OK);
        EXPECT_EQ(pty.speed(), rate);
        ASSERT_EQ(device->setDataCharacteristics(8, 2, 0), FT_OK);
        ASSERT_EQ(device->setFlowControl(0x0100, 0, 0), FT_OK);
        EXPECT_EQ(pty.speed(), rate) << "other line settings keep the rate";
    }
}

TEST(SerialBackend, OpenOfAMissingPortSaysNotFound)
{
    FT_STATUS status = FT_OK;
    EXPECT_EQ(openSerialDevice("/dev/nonexistent-ttyUSB9", &status), nullptr);
    EXPECT_EQ(status, FT_DEVICE_NOT_FOUND);
}

TEST(SerialBackend, CensusOfTheSystemDoesNotFail)
{
    const auto backend = makeSerialBackend();
    for (const DeviceInfo& d : backend->enumerate()) {
        SCOPED_TRACE(d.location);
        EXPECT_EQ(d.location.rfind("/dev/", 0), 0u);
    }
}

// The whole way down: link, FT_* calls, system driver, serial backend, tty.
TEST(SerialBackend, LinkTalksToATtyThroughTheSystemDriver)
{
    PseudoTerminal pty;
    DeviceInfo port;
    port.serialNumber = "PP004217";
    port.description = "Nivex meter";
    port.location = pty.slavePath();
    std::vector<std::unique_ptr<Backend>> backends;
    backends.push_back(makeSerialBackend({port}));
    SystemFtDriver driver(std::move(backends));
    ScopedFtDriver scope(driver);

    tftdichip link;
    std::uint32_t count = 0;
    pftdiDeviceList list = nullptr;
    ASSERT_TRUE(link.createDeviceInfoList(count, list));
    ASSERT_EQ(count, 1u);
    EXPECT_STREQ(list[0].SerialNumber, "PP004217");
    link.destroyDeviceInfoList(list);

    ASSERT_TRUE(link.openDeviceBySerial("PP004217"));
    ASSERT_TRUE(link.setBaudRate(fBaud115200));
    ASSERT_TRUE(link.setDataCharacteristics(fBits8, fStopBits1, fParityNone));
    ASSERT_TRUE(link.setLatencyTimer(2));
    ASSERT_EQ(FT_SetUSBParameters(link.fhandle, 16, 16), FT_OK);
    ASSERT_TRUE(link.setFlowControl(fFlowNone, 0, 0));
    ASSERT_TRUE(link.setTimeouts(5, 5));
    ASSERT_TRUE(link.purgeQueue(fAll));

    std::int32_t written = 0;
    ASSERT_TRUE(link.write("I\r", 2, written));
    EXPECT_EQ(written, 2);
    EXPECT_EQ(pty.receive(2), "I\r");

    pty.send("PPTTC-0001-v1.05");
    std::int32_t waiting = 0;
    for (int i = 0; i < 5000 && waiting < 16; ++i) {
        ASSERT_TRUE(link.getReceiveQueueStatus(waiting));
        if (waiting < 16)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ASSERT_EQ(waiting, 16);
    char reply[17] = {};
    std::int32_t got = 0;
    ASSERT_TRUE(link.read(reply, 17, got));
    EXPECT_EQ(std::string(reply, std::size_t(got)), "PPTTC-0001-v1.05");

    std::int32_t unsent = -1;
    ASSERT_TRUE(link.getSendQueueStatus(unsent));
    EXPECT_EQ(unsent, 0);
    link.closeDevice();
    EXPECT_FALSE(link.resetDevice()) << "the handle is closed in the driver";
}

}  // namespace
}  // namespace nx::usb
