#include "base/clock.h"
#include "base/exception.h"
#include "meter/meter_link.h"
#include "meter/records.h"
#include "usb/recording_ft_driver.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>
#include <optional>
#include <set>
#include <string>
#include <vector>

// The link hands out each device list as one nothrow array block; counting the live
// blocks shows that discovery gives back every list it took.
namespace {
std::mutex blockMutex;
std::set<void*>& liveBlocks()
{
    static std::set<void*> blocks;
    return blocks;
}
int blocksTaken = 0;
}  // namespace

void* operator new[](std::size_t size, const std::nothrow_t&) noexcept
{
    void* p = std::malloc(size ? size : 1);
    if (p) {
        std::lock_guard lock(blockMutex);
        liveBlocks().insert(p);
        ++blocksTaken;
    }
    return p;
}

void* operator new[](std::size_t size)
{
    if (void* p = std::malloc(size ? size : 1))
        return p;
    throw std::bad_alloc();
}

void operator delete[](void* p) noexcept
{
    if (p) {
        std::lock_guard lock(blockMutex);
        liveBlocks().erase(p);
    }
    std::free(p);
}

void operator delete[](void* p, std::size_t) noexcept { operator delete[](p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { operator delete[](p); }

using namespace nx;
using namespace nx::meter;
using nx::usb::FtCall;
using Ms = std::chrono::milliseconds;

namespace {

usb::FT_DEVICE_LIST_INFO_NODE node(const std::string& serial)
{
    usb::FT_DEVICE_LIST_INFO_NODE n{};
    std::memcpy(n.SerialNumber, serial.data(), std::min(serial.size(), sizeof n.SerialNumber));
    std::strcpy(n.Description, "FT232R USB UART");
    return n;
}

struct Blocks {
    int taken;
    std::size_t live;
};
Blocks blocks()
{
    std::lock_guard lock(blockMutex);
    return {blocksTaken, liveBlocks().size()};
}

// Discovery and set-up against the recording driver, in virtual time.
class DiscoveryTest : public ::testing::Test {
protected:
    usb::RecordingFtDriver driver;
    usb::ScopedFtDriver useDriver{driver};
    VirtualClock clock;
    ScopedClock useClock{clock};
    usb::tftdichip link;
    int pumps = 0;
    MeterLink meters{link, [this] { ++pumps; }};

    void attach(const std::vector<std::string>& serials)
    {
        driver.devices.clear();
        for (const std::string& s : serials)
            driver.devices.push_back(node(s));
    }
};

}  // namespace

TEST_F(DiscoveryTest, MetersAreTheSerialsBeginningPP)
{
    struct Case {
        const char* name;
        std::vector<std::string> attached;
        std::vector<std::string> meters;
    };
    const Case cases[] = {
        {"four characters is too short", {"PP12"}, {}},
        {"lower case prefix", {"pp1234"}, {}},
        {"prefix not at the start", {"XPP123"}, {}},
        {"five characters", {"PP123"}, {"PP123"}},
        {"driver's order kept, others skipped", {"FT0001", "PP200", "AB123", "PP100"}, {"PP200", "PP100"}},
        {"16 bytes with no terminator", {"PP34567890ABCDEF"}, {"PP34567890ABCDEF"}},
        {"no device at all", {}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        attach(c.attached);
        driver.clearCalls();
        pumps = 0;
        const Ms start = clock.now();
        const Blocks before = blocks();

        const int count = meters.FindMeters();

        ASSERT_EQ(count, static_cast<int>(c.meters.size()));
        for (int i = 1; i <= count; ++i)
            EXPECT_EQ(meters.ListaPPDev[i], c.meters[static_cast<std::size_t>(i - 1)]) << "entry " << i;
        // Finding none costs a second look 2 s later; finding one does not.
        const int passes = c.meters.empty() ? 2 : 1;
        EXPECT_EQ(driver.callsOf("CreateDeviceInfoList").size(), static_cast<std::size_t>(passes));
        EXPECT_EQ(clock.now() - start, c.meters.empty() ? Ms(2000) : Ms(0));
        EXPECT_EQ(pumps, passes * static_cast<int>(c.attached.size()));
        const Blocks after = blocks();
        EXPECT_EQ(after.taken - before.taken, c.attached.empty() ? 0 : passes) << driver.callLog();
        EXPECT_EQ(after.live, before.live) << "a device list was not given back";
        EXPECT_FALSE(link.fconnected);
    }
}

TEST_F(DiscoveryTest, AtMostOneHundredMetersAndStaleEntriesStay)
{
    std::vector<std::string> many;
    for (int i = 0; i < 105; ++i)
        many.push_back("PP" + std::to_string(1000 + i));
    attach(many);
    ASSERT_EQ(meters.FindMeters(), 100);
    EXPECT_EQ(meters.ListaPPDev[1], "PP1000");
    EXPECT_EQ(meters.ListaPPDev[100], "PP1099");
    EXPECT_THROW(meters.ListaPPDev[0], Exception);
    EXPECT_THROW(meters.ListaPPDev[101], Exception);

    // A later, smaller find overwrites only what it finds.
    attach({"PP9999"});
    ASSERT_EQ(meters.FindMeters(), 1);
    EXPECT_EQ(meters.ListaPPDev[1], "PP9999");
    EXPECT_EQ(meters.ListaPPDev[2], "PP1001");
    // The working variable ends on the last serial listed.
    EXPECT_EQ(meters.USBPortSerial, "PP9999");
}

TEST_F(DiscoveryTest, LinkLeftOpenIsClosedAfterTheListIsTaken)
{
    attach({"PP123"});
    ASSERT_TRUE(link.openDeviceBySerial("PP123"));
    driver.clearCalls();

    EXPECT_EQ(meters.FindMeters(), 1);

    EXPECT_FALSE(link.fconnected);
    const std::vector<FtCall> calls = driver.calls();
    ASSERT_FALSE(calls.empty());
    EXPECT_EQ(calls.front().function, "CreateDeviceInfoList") << driver.callLog();
    EXPECT_EQ(calls.back(), (FtCall{"Close", {driver.openHandle}, ""})) << driver.callLog();

    // Closed already: no second close, so no "Not open" error.
    driver.clearCalls();
    EXPECT_NO_THROW(meters.FindMeters());
    EXPECT_TRUE(driver.callsOf("Close").empty());
}

TEST_F(DiscoveryTest, FailedCensusCountsAsNoDevice)
{
    attach({"PP123"});
    driver.failWith("CreateDeviceInfoList", usb::FT_IO_ERROR);
    EXPECT_EQ(meters.FindMeters(), 0);
    EXPECT_EQ(driver.callsOf("CreateDeviceInfoList").size(), 2u);
    EXPECT_EQ(blocks().live, 0u);
}

TEST_F(DiscoveryTest, LinkSetUpStepsInOrder)
{
    struct Case {
        const char* name;
        bool leftOpen;
        bool openFails;
    };
    const Case cases[] = {
        {"closed link", false, false},
        {"link left open by the last download", true, false},
        {"open fails, the steps still run", false, true},
    };
    const std::uint64_t h = driver.openHandle;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        driver.failWith("OpenEx", usb::FT_OK);
        if (c.leftOpen && !link.fconnected) {
            ASSERT_TRUE(link.openDeviceBySerial("PP0001"));
        }
        if (c.openFails)
            driver.failWith("OpenEx", usb::FT_DEVICE_NOT_FOUND);
        driver.clearCalls();
        std::size_t callsAtPump = 0;
        MeterLink setUp(link, [&] { callsAtPump = driver.calls().size(); });
        setUp.USBPortSerial = "PP123";
        const Ms start = clock.now();

        setUp.configureLink();

        std::vector<FtCall> expected;
        if (c.leftOpen)
            expected.push_back({"Close", {h}, ""});
        expected.insert(expected.end(), {
                                            {"OpenEx", {usb::FT_OPEN_BY_SERIAL_NUMBER}, "PP123"},
                                            {"ResetDevice", {h}, ""},
                                            {"SetBaudRate", {h, 115200}, ""},
                                            {"SetDataCharacteristics", {h, 8, 0, 0}, ""},
                                            {"SetLatencyTimer", {h, 2}, ""},
                                            {"SetUSBParameters", {h, 16, 16}, ""},
                                            {"SetFlowControl", {h, 0, 0, 0}, ""},
                                            {"SetTimeouts", {h, 5, 5}, ""},
                                        });
        EXPECT_EQ(driver.calls(), expected) << driver.callLog();
        // Messages are pumped after the close and before the open.
        EXPECT_EQ(callsAtPump, c.leftOpen ? 1u : 0u);
        EXPECT_EQ(clock.now() - start, Ms(100));
        EXPECT_EQ(link.fconnected, !c.openFails);
        if (link.fconnected)
            link.closeDevice();
    }
}

namespace {

// A meter whose reply bytes appear in the receive queue at set times after the write.
class TimedReplyDriver final : public usb::FtDriver {
public:
    struct Burst {
        Ms after;  // since the write
        std::string bytes;
    };
    std::vector<Burst> bursts;
    // A sender that never stops: one byte every `trickle`, or `flood` bytes a millisecond.
    std::optional<Ms> trickle;
    std::size_t flood = 0;
    std::optional<Ms> queueQueryFailsFrom;  // since the write

    std::string written;
    std::vector<usb::DWORD> purges;
    std::optional<Ms> writeAt;
    std::vector<Ms> polls;  // since the write
    std::optional<Ms> readAt;
    usb::DWORD readAsked = 0;

    usb::FT_STATUS Write(usb::FT_HANDLE, const void* buffer, usb::DWORD n, usb::DWORD* put) override
    {
        written.append(static_cast<const char*>(buffer), n);
        writeAt = nx::clock().now();
        *put = n;
        return usb::FT_OK;
    }
    usb::FT_STATUS Purge(usb::FT_HANDLE, usb::DWORD mask) override
    {
        purges.push_back(mask);
        return usb::FT_OK;
    }
    usb::FT_STATUS GetQueueStatus(usb::FT_HANDLE, usb::DWORD* rx) override
    {
        polls.push_back(sinceWrite());
        // What a failing driver leaves behind must not be believed.
        *rx = static_cast<usb::DWORD>(arrived().size() + 1000);
        if (queueQueryFailsFrom && sinceWrite() >= *queueQueryFailsFrom)
            return usb::FT_IO_ERROR;
        *rx = static_cast<usb::DWORD>(arrived().size());
        return usb::FT_OK;
    }
    usb::FT_STATUS Read(usb::FT_HANDLE, void* buffer, usb::DWORD n, usb::DWORD* got) override
    {
        readAt = sinceWrite();
        readAsked = n;
        const std::string bytes = arrived();
        *got = std::min<usb::DWORD>(n, static_cast<usb::DWORD>(bytes.size()));
        std::memcpy(buffer, bytes.data(), *got);
        return usb::FT_OK;
    }

    usb::FT_STATUS CreateDeviceInfoList(usb::DWORD*) override { return usb::FT_OK; }
    usb::FT_STATUS GetDeviceInfoList(usb::FT_DEVICE_LIST_INFO_NODE*, usb::DWORD*) override
    {
        return usb::FT_OK;
    }
    usb::FT_STATUS OpenEx(const char*, usb::DWORD, usb::FT_HANDLE*) override { return usb::FT_OK; }
    usb::FT_STATUS Close(usb::FT_HANDLE) override { return usb::FT_OK; }
    usb::FT_STATUS ResetDevice(usb::FT_HANDLE) override { return usb::FT_OK; }
    usb::FT_STATUS CyclePort(usb::FT_HANDLE) override { return usb::FT_OK; }
    usb::FT_STATUS SetDtr(usb::FT_HANDLE) override { return usb::FT_OK; }
    usb::FT_STATUS ClrDtr(usb::FT_HANDLE) override { return usb::FT_OK; }
    usb::FT_STATUS SetRts(usb::FT_HANDLE) override { return usb::FT_OK; }
    usb::FT_STATUS ClrRts(usb::FT_HANDLE) override { return usb::FT_OK; }
    usb::FT_STATUS SetBaudRate(usb::FT_HANDLE, usb::DWORD) override { return usb::FT_OK; }
    usb::FT_STATUS SetDataCharacteristics(usb::FT_HANDLE, usb::UCHAR, usb::UCHAR, usb::UCHAR) override
    {
        return usb::FT_OK;
    }
    usb::FT_STATUS SetFlowControl(usb::FT_HANDLE, usb::WORD, usb::UCHAR, usb::UCHAR) override
    {
        return usb::FT_OK;
    }
    usb::FT_STATUS SetTimeouts(usb::FT_HANDLE, usb::DWORD, usb::DWORD) override { return usb::FT_OK; }
    usb::FT_STATUS SetLatencyTimer(usb::FT_HANDLE, usb::UCHAR) override { return usb::FT_OK; }
    usb::FT_STATUS SetUSBParameters(usb::FT_HANDLE, usb::DWORD, usb::DWORD) override { return usb::FT_OK; }
    usb::FT_STATUS GetStatus(usb::FT_HANDLE, usb::DWORD*, usb::DWORD*, usb::DWORD*) override
    {
        return usb::FT_OK;
    }
    usb::FT_STATUS GetModemStatus(usb::FT_HANDLE, usb::DWORD*) override { return usb::FT_OK; }
    usb::FT_STATUS GetDeviceInfo(usb::FT_HANDLE, usb::DWORD*, usb::DWORD*, char*, char*, void*) override
    {
        return usb::FT_OK;
    }
    usb::FT_STATUS SetEventNotification(usb::FT_HANDLE, usb::DWORD, usb::FtEvent*) override
    {
        return usb::FT_OK;
    }

private:
    Ms sinceWrite() const { return nx::clock().now() - writeAt.value_or(nx::clock().now()); }
    std::string arrived() const
    {
        const Ms t = sinceWrite();
        if (trickle)
            return std::string(static_cast<std::size_t>(t / *trickle), 'x');
        if (flood)
            return std::string(static_cast<std::size_t>(t.count()) * flood, 'x');
        std::string bytes;
        for (const Burst& b : bursts)
            if (b.after <= t)
                bytes += b.bytes;
        return bytes;
    }
};

const std::string identity17 = std::string("PPTTC000123\x01"
                                           "1.05") +
                               "Z";

}  // namespace

TEST(CommandExchange, WaitsForTheReplyInVirtualTime)
{
    struct Case {
        const char* name;
        std::vector<TimedReplyDriver::Burst> bursts;
        int expected;
        std::optional<Ms> queueQueryFailsFrom;
        std::string reply;
        Ms lastPoll;  // the poll that ended the wait, since the write
    };
    const Case cases[] = {
        {"identity stops at the first poll that sees 17",
         {{Ms(55), identity17}},
         17,
         std::nullopt,
         identity17,
         Ms(60)},
        {"20 waiting at that poll are all taken",
         {{Ms(55), identity17 + "abc"}},
         17,
         std::nullopt,
         identity17 + "abc",
         Ms(60)},
        {"silent meter ends on quiet", {}, 0, std::nullopt, "", Ms(1000)},
        {"expected length never reached ends on quiet",
         {{Ms(55), "PPTTC"}},
         17,
         std::nullopt,
         "PPTTC",
         Ms(1070)},
        {"bursts 0.8 s apart come whole",
         {{Ms(55), "ABC"}, {Ms(855), "DEF"}},
         0,
         std::nullopt,
         "ABCDEF",
         Ms(1870)},
        {"burst 1.2 s later is cut off",
         {{Ms(55), "ABC"}, {Ms(1255), "DEF"}},
         0,
         std::nullopt,
         "ABC",
         Ms(1070)},
        {"failing queue queries count as nothing waiting", {{Ms(55), identity17}}, 17, Ms(0), "", Ms(1000)},
        {"queue queries failing mid-reply end it empty", {{Ms(55), "PPTTC"}}, 17, Ms(100), "", Ms(1070)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TimedReplyDriver driver;
        driver.bursts = c.bursts;
        driver.queueQueryFailsFrom = c.queueQueryFailsFrom;
        usb::ScopedFtDriver useDriver(driver);
        VirtualClock clock;
        ScopedClock useClock(clock);
        usb::tftdichip link;
        MeterLink meter(link);

        const ExchangeResult result = meter.CommandExchange(identityCommand, c.expected);

        EXPECT_EQ(result.reply, c.reply);
        EXPECT_FALSE(result.cutShort);
        EXPECT_EQ(driver.written, identityCommand);
        EXPECT_EQ(driver.purges, std::vector<usb::DWORD>{usb::FT_PURGE_RX});
        ASSERT_GE(driver.polls.size(), 2u);
        EXPECT_EQ(driver.polls[0], Ms(0));
        EXPECT_EQ(driver.polls[1] - driver.polls[0], Ms(10));
        EXPECT_EQ(driver.polls.back(), c.lastPoll);
        // One poll period, then 300 ms, then one read of what was counted.
        ASSERT_TRUE(driver.readAt);
        EXPECT_EQ(*driver.readAt, c.lastPoll + Ms(310));
        EXPECT_EQ(driver.readAsked, c.reply.size());
    }
}

TEST(CommandExchange, SenderThatNeverStopsIsCutAtTheBound)
{
    struct Case {
        const char* name;
        std::optional<Ms> trickle;
        std::size_t flood;
    };
    const Case cases[] = {
        {"a byte every half second keeps the line from going quiet", Ms(500), 0},
        {"a flood past the bound within one poll", std::nullopt, 1000},
    };
    constexpr std::size_t bound = 4096;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TimedReplyDriver driver;
        driver.trickle = c.trickle;
        driver.flood = c.flood;
        usb::ScopedFtDriver useDriver(driver);
        VirtualClock clock;
        ScopedClock useClock(clock);
        usb::tftdichip link;
        MeterLink meter(link, {}, bound);

        const ExchangeResult result = meter.CommandExchange(moistureCommand, 0);

        EXPECT_TRUE(result.cutShort);
        EXPECT_EQ(result.reply.size(), bound);
        EXPECT_EQ(driver.readAsked, bound);
    }
    EXPECT_EQ(MeterLink::defaultReplyLimit, std::size_t{16} * 1024 * 1024);
}
