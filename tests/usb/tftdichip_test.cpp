// The link object against the recording driver: what reaches the driver, and when the
// link raises or answers false instead.

#include "base/exception.h"
#include "usb/recording_ft_driver.h"
#include "usb/tftdichip.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace nx::usb {
namespace {

using ::testing::IsEmpty;

class LinkTest : public ::testing::Test {
protected:
    FtCall last() const
    {
        const std::vector<FtCall> calls = driver.calls();
        return calls.empty() ? FtCall{"(none)", {}, {}} : calls.back();
    }

    RecordingFtDriver driver;
    ScopedFtDriver scope{driver};
    tftdichip link;
};

FT_DEVICE_LIST_INFO_NODE node(const char* serial, DWORD type = FT_DEVICE_232R)
{
    FT_DEVICE_LIST_INFO_NODE n{};
    n.Type = type;
    n.ID = 0x04036001;
    std::strncpy(n.SerialNumber, serial, sizeof n.SerialNumber - 1);
    std::strncpy(n.Description, "FT232R USB UART", sizeof n.Description - 1);
    return n;
}

TEST_F(LinkTest, StartsClosedAndMakesNoDriverCall)
{
    EXPECT_FALSE(link.fconnected);
    EXPECT_EQ(link.fhandle, 0u);
    EXPECT_FALSE(link.dataHasBeenSent);
    EXPECT_FALSE(link.thread);
    EXPECT_FALSE(link.e_onReceiveData);
    EXPECT_THAT(driver.calls(), IsEmpty());
}

TEST_F(LinkTest, BaudRateOrdinalsBecomeRates)
{
    const DWORD rates[] = {300,   600,   1200,  2400,   4800,   9600,   14400,
                           19200, 38400, 57600, 115200, 230400, 460800, 921600};
    link.fhandle = 5;
    for (int ordinal = 0; ordinal < 14; ++ordinal) {
        SCOPED_TRACE("ordinal " + std::to_string(ordinal));
        ASSERT_TRUE(link.setBaudRate(fBaudRate(ordinal)));
        EXPECT_EQ(last(), (FtCall{"SetBaudRate", {5, rates[ordinal]}, {}}));
    }
}

TEST_F(LinkTest, DataCharacteristicsBecomeDriverNumbers)
{
    struct Case {
        fWordLength word;
        fStopBits stop;
        fParity parity;
        std::vector<std::uint64_t> handed;
    };
    const Case cases[] = {
        {fBits8, fStopBits1, fParityNone, {8, 0, 0}}, {fBits7, fStopBits2, fParitySpace, {7, 2, 4}},
        {fBits8, fStopBits2, fParityOdd, {8, 2, 1}},  {fBits7, fStopBits1, fParityEven, {7, 0, 2}},
        {fBits8, fStopBits1, fParityMark, {8, 0, 3}},
    };
    link.fhandle = 3;
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.handed));
        ASSERT_TRUE(link.setDataCharacteristics(c.word, c.stop, c.parity));
        std::vector<std::uint64_t> args{3};
        args.insert(args.end(), c.handed.begin(), c.handed.end());
        EXPECT_EQ(last(), (FtCall{"SetDataCharacteristics", args, {}}));
    }
}

TEST_F(LinkTest, FlowControlAndPurgeTranslateThroughTheirTables)
{
    struct Case {
        const char* name;
        std::function<bool(tftdichip&)> call;
        FtCall handed;
    };
    const Case cases[] = {
        {"none",
         [](tftdichip& l) { return l.setFlowControl(fFlowNone, 0, 0); },
         {"SetFlowControl", {4, 0, 0, 0}, {}}},
        {"rts/cts",
         [](tftdichip& l) { return l.setFlowControl(fFlowRTSCTS, 1, 2); },
         {"SetFlowControl", {4, 0x0100, 1, 2}, {}}},
        {"dtr/dsr",
         [](tftdichip& l) { return l.setFlowControl(fFlowDTRDSR, 0, 0); },
         {"SetFlowControl", {4, 0x0200, 0, 0}, {}}},
        {"xon/xoff",
         [](tftdichip& l) { return l.setFlowControl(fFlowXONXOFF, 17, 19); },
         {"SetFlowControl", {4, 0x0400, 17, 19}, {}}},
        {"purge send", [](tftdichip& l) { return l.purgeQueue(fSendQueue); }, {"Purge", {4, 2}, {}}},
        {"purge receive", [](tftdichip& l) { return l.purgeQueue(fReceiveQueue); }, {"Purge", {4, 1}, {}}},
        {"purge all", [](tftdichip& l) { return l.purgeQueue(fAll); }, {"Purge", {4, 3}, {}}},
    };
    link.fhandle = 4;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(c.call(link));
        EXPECT_EQ(last(), c.handed);
    }
}

// Out-of-table values raise before any driver call and change no field.
TEST_F(LinkTest, RuleBreakingCallsRaiseTheirFixedTextBeforeAnyDriverCall)
{
    struct Case {
        std::function<void(tftdichip&)> call;
        std::string message;
    };
    const Case cases[] = {
        {[](tftdichip& l) { l.setBaudRate(fBaudRate(14)); }, "tftdichip.setBaudRate: Invalid baud rate"},
        {[](tftdichip& l) { l.setBaudRate(fBaudRate(-1)); }, "tftdichip.setBaudRate: Invalid baud rate"},
        {[](tftdichip& l) { l.setDataCharacteristics(fWordLength(2), fStopBits1, fParityNone); },
         "tftdichip.setDataCharacteristics: Invalid wordLength"},
        {[](tftdichip& l) { l.setDataCharacteristics(fBits8, fStopBits(2), fParityNone); },
         "tftdichip.setDataCharacteristics: Invalid stopBits"},
        {[](tftdichip& l) { l.setDataCharacteristics(fBits8, fStopBits1, fParity(5)); },
         "tftdichip.setDataCharacteristics: Invalid parity"},
        {[](tftdichip& l) { l.setDataCharacteristics(fWordLength(-1), fStopBits1, fParity(9)); },
         "tftdichip.setDataCharacteristics: Invalid wordLength"},
        {[](tftdichip& l) { l.setDataCharacteristics(fBits7, fStopBits(7), fParity(9)); },
         "tftdichip.setDataCharacteristics: Invalid stopBits"},
        {[](tftdichip& l) { l.setFlowControl(fFlowControl(4), 17, 19); },
         "tftdichip.setFlowControl: Invalid flowcontrol"},
        {[](tftdichip& l) { l.purgeQueue(fQueue(3)); }, "tftdichip.purgeQueue: Invalid queue"},
        {[](tftdichip& l) { l.closeDevice(); }, "tftdichip.closeDevice: Not open"},
    };
    link.fhandle = 9;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        try {
            c.call(link);
            ADD_FAILURE() << "no exception";
        } catch (const Exception& e) {
            EXPECT_EQ(std::string(e.what()), c.message);
        }
        EXPECT_THAT(driver.calls(), IsEmpty()) << driver.callLog();
        EXPECT_EQ(link.fhandle, 9u);
        EXPECT_FALSE(link.fconnected);
    }
}

TEST_F(LinkTest, OpenWhileOpenRaisesAndKeepsTheOpenDevice)
{
    driver.openHandle = 7;
    ASSERT_TRUE(link.openDeviceBySerial("PP000001"));
    EXPECT_EQ(driver.calls(), (std::vector<FtCall>{{"OpenEx", {1}, "PP000001"}}));
    driver.openHandle = 8;
    driver.clearCalls();

    struct Case {
        std::function<void(tftdichip&)> call;
        std::string message;
    };
    const Case cases[] = {
        {[](tftdichip& l) { l.openDeviceBySerial("PP000002"); },
         "tftdichip.openDeviceBySerial: Already open"},
        {[](tftdichip& l) { l.openDeviceByDescription("FT232R USB UART"); },
         "tftdichip.openDeviceByDescription: Already open"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        try {
            c.call(link);
            ADD_FAILURE() << "no exception";
        } catch (const Exception& e) {
            EXPECT_EQ(std::string(e.what()), c.message);
        }
        EXPECT_THAT(driver.calls(), IsEmpty()) << driver.callLog();
        EXPECT_TRUE(link.fconnected);
        EXPECT_EQ(link.fhandle, 7u);
    }
}

TEST_F(LinkTest, OpensByDescriptionWithModeTwo)
{
    driver.openHandle = 12;
    ASSERT_TRUE(link.openDeviceByDescription("FT232R USB UART"));
    EXPECT_EQ(last(), (FtCall{"OpenEx", {2}, "FT232R USB UART"}));
    EXPECT_TRUE(link.fconnected);
    EXPECT_EQ(link.fhandle, 12u);
}

TEST_F(LinkTest, FailedOpenLeavesTheLinkClosed)
{
    driver.failWith("OpenEx", FT_DEVICE_NOT_FOUND);
    EXPECT_FALSE(link.openDeviceBySerial("PP999999"));
    EXPECT_FALSE(link.openDeviceByDescription("nothing"));
    EXPECT_FALSE(link.fconnected);
    EXPECT_THROW(link.closeDevice(), Exception);
}

TEST_F(LinkTest, CloseClosesEvenWhenTheDriverFails)
{
    driver.openHandle = 7;
    ASSERT_TRUE(link.openDeviceBySerial("PP000001"));
    driver.failWith("Close", FT_IO_ERROR);
    link.closeDevice();
    EXPECT_FALSE(link.fconnected);
    EXPECT_EQ(link.fhandle, 7u) << "the handle is kept after closing";
    EXPECT_EQ(last(), (FtCall{"Close", {7}, {}}));
}

TEST_F(LinkTest, PresenceProbeClosesItsOwnHandleAndTouchesNoField)
{
    driver.openHandle = 21;
    link.fhandle = 3;
    EXPECT_TRUE(link.isPresentBySerial("PP000001"));
    EXPECT_TRUE(link.isPresentByDescription("FT232R USB UART"));
    EXPECT_EQ(driver.calls(), (std::vector<FtCall>{{"OpenEx", {1}, "PP000001"},
                                                   {"Close", {21}, {}},
                                                   {"OpenEx", {2}, "FT232R USB UART"},
                                                   {"Close", {21}, {}}}));
    EXPECT_EQ(link.fhandle, 3u);
    EXPECT_FALSE(link.fconnected);

    driver.clearCalls();
    driver.failWith("OpenEx", FT_DEVICE_NOT_FOUND);
    EXPECT_FALSE(link.isPresentBySerial("PP000002"));
    EXPECT_EQ(driver.calls(), (std::vector<FtCall>{{"OpenEx", {1}, "PP000002"}}))
        << "no close without an open";
}

// Every other operation hands over fhandle as it is, open or not, and is true
// exactly when the driver says FT_OK.
TEST_F(LinkTest, PlainOperationsAnswerTheDriverStatusAsBoolean)
{
    struct Case {
        const char* function;
        std::function<bool(tftdichip&)> call;
        std::vector<std::uint64_t> args;
    };
    char buffer[8] = {};
    std::int32_t count = 0;
    const Case cases[] = {
        {"ResetDevice", [](tftdichip& l) { return l.resetDevice(); }, {}},
        {"CyclePort", [](tftdichip& l) { return l.cycleDevice(); }, {}},
        {"SetLatencyTimer", [](tftdichip& l) { return l.setLatencyTimer(2); }, {2}},
        {"SetBaudRate", [](tftdichip& l) { return l.setBaudRateEx(12345); }, {12345}},
        {"SetTimeouts", [](tftdichip& l) { return l.setTimeouts(5, 6); }, {5, 6}},
        {"SetDtr", [](tftdichip& l) { return l.setDTR(); }, {}},
        {"ClrDtr", [](tftdichip& l) { return l.clearDTR(); }, {}},
        {"SetRts", [](tftdichip& l) { return l.setRTS(); }, {}},
        {"ClrRts", [](tftdichip& l) { return l.clearRTS(); }, {}},
        {"Read", [&](tftdichip& l) { return l.read(buffer, 8, count); }, {8}},
        {"Write", [&](tftdichip& l) { return l.write(buffer, 3, count); }, {3}},
        {"GetQueueStatus", [&](tftdichip& l) { return l.getReceiveQueueStatus(count); }, {}},
        {"GetStatus", [&](tftdichip& l) { return l.getSendQueueStatus(count); }, {}},
    };
    link.fhandle = 33;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.function);
        std::vector<std::uint64_t> args{33};
        args.insert(args.end(), c.args.begin(), c.args.end());
        driver.failWith(c.function, FT_OK);
        EXPECT_TRUE(c.call(link));
        EXPECT_EQ(last(), (FtCall{c.function, args, {}}));
        driver.failWith(c.function, FT_IO_ERROR);
        EXPECT_FALSE(c.call(link));
        EXPECT_EQ(last(), (FtCall{c.function, args, {}}));
    }
}

TEST_F(LinkTest, SendQueueStatusIsTheTransmitCount)
{
    driver.rxBytes = 5;
    driver.txBytes = 9;
    std::int32_t waiting = -1;
    ASSERT_TRUE(link.getSendQueueStatus(waiting));
    EXPECT_EQ(waiting, 9);
    ASSERT_TRUE(link.getReceiveQueueStatus(waiting));
    EXPECT_EQ(waiting, 5);
}

TEST_F(LinkTest, WriteSetsDataHasBeenSentOnlyOnSuccess)
{
    std::int32_t written = -1;
    ASSERT_TRUE(link.write("", 0, written));
    EXPECT_EQ(written, 0);
    EXPECT_TRUE(link.dataHasBeenSent) << "a write of 0 bytes still counts";

    driver.failWith("Write", FT_IO_ERROR);
    link.dataHasBeenSent = false;
    EXPECT_FALSE(link.write("I\r", 2, written));
    EXPECT_FALSE(link.dataHasBeenSent);
    link.dataHasBeenSent = true;
    EXPECT_FALSE(link.write("I\r", 2, written));
    EXPECT_TRUE(link.dataHasBeenSent);
}

TEST_F(LinkTest, ReadHandsTheCallersBufferAndReportsTheCount)
{
    driver.queueReadBytes("PPTTC");
    char buffer[17] = {};
    std::int32_t got = -1;
    ASSERT_TRUE(link.read(buffer, 17, got));
    EXPECT_EQ(got, 5);
    EXPECT_EQ(std::string(buffer, 5), "PPTTC");
    EXPECT_EQ(driver.written(), "");
}

TEST_F(LinkTest, NegativeCountsNeverReachTheDriver)
{
    char buffer[4] = {};
    std::int32_t count = 99;
    EXPECT_FALSE(link.read(buffer, -1, count));
    EXPECT_EQ(count, 0);
    count = 99;
    EXPECT_FALSE(link.write(buffer, -5, count));
    EXPECT_EQ(count, 0);
    EXPECT_FALSE(link.dataHasBeenSent);
    EXPECT_THAT(driver.calls(), IsEmpty()) << driver.callLog();
}

TEST_F(LinkTest, ModemLinesReadTheirBitOfTheLowByte)
{
    struct Case {
        const char* name;
        std::function<bool(tftdichip&)> call;
        DWORD bit;
    };
    const Case cases[] = {
        {"CTS", [](tftdichip& l) { return l.getCTS(); }, 0x10},
        {"DSR", [](tftdichip& l) { return l.getDSR(); }, 0x20},
        {"RI", [](tftdichip& l) { return l.getRI(); }, 0x40},
        {"DCD", [](tftdichip& l) { return l.getDCD(); }, 0x80},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        driver.modemStatus = c.bit;
        EXPECT_TRUE(c.call(link));
        driver.modemStatus = 0xFF & ~c.bit;
        EXPECT_FALSE(c.call(link)) << "another line's bit";
        driver.modemStatus = c.bit << 8;
        EXPECT_FALSE(c.call(link)) << "the same bit in the line-status byte";
    }
}

TEST_F(LinkTest, ModemLineReadsRaiseAfterTheFailedDriverCall)
{
    struct Case {
        std::function<bool(tftdichip&)> call;
        std::string message;
    };
    const Case cases[] = {
        {[](tftdichip& l) { return l.getCTS(); }, "tftdichip.getCTS: Error"},
        {[](tftdichip& l) { return l.getDSR(); }, "tftdichip.getDSR: Error"},
        {[](tftdichip& l) { return l.getRI(); }, "tftdichip.getRI: Error"},
        {[](tftdichip& l) { return l.getDCD(); }, "tftdichip.getDCD: Error"},
    };
    driver.failWith("GetModemStatus", FT_IO_ERROR);
    link.fhandle = 6;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        driver.clearCalls();
        try {
            c.call(link);
            ADD_FAILURE() << "no exception";
        } catch (const Exception& e) {
            EXPECT_EQ(std::string(e.what()), c.message);
        }
        EXPECT_EQ(driver.calls(), (std::vector<FtCall>{{"GetModemStatus", {6}, {}}}));
    }
}

TEST_F(LinkTest, DeviceInfoSplitsTheIdAndMapsTheTypeCode)
{
    struct Case {
        DWORD code;
        fDevice device;
    };
    const Case cases[] = {{0, fDevice232BM}, {1, fDevice232AM}, {2, fDevice100AX},   {3, fDeviceUnknown},
                          {4, fDevice2232C}, {5, fDevice232R},  {6, fDeviceUnknown}, {200, fDeviceUnknown}};
    driver.deviceId = 0x0403ABCD;
    driver.deviceSerial = "PP34567890123456";  // fills the 16 characters
    driver.deviceDescription = "Nivex meter";
    link.fhandle = 2;
    for (const Case& c : cases) {
        SCOPED_TRACE("type code " + std::to_string(c.code));
        driver.deviceType = c.code;
        fDevice device = fDevice232R;
        std::uint16_t pid = 0;
        std::uint16_t vid = 0;
        std::string serial;
        std::string description;
        ASSERT_TRUE(link.getDeviceInfo(device, pid, vid, serial, description));
        EXPECT_EQ(device, c.device);
        EXPECT_EQ(vid, 0x0403);
        EXPECT_EQ(pid, 0xABCD);
        EXPECT_EQ(serial, "PP34567890123456");
        EXPECT_EQ(description, "Nivex meter");
    }
    EXPECT_EQ(last(), (FtCall{"GetDeviceInfo", {2, 0}, {}})) << "the sixth argument is null";
    driver.failWith("GetDeviceInfo", FT_IO_ERROR);
    fDevice device{};
    std::uint16_t pid = 0;
    std::uint16_t vid = 0;
    std::string serial;
    std::string description;
    EXPECT_FALSE(link.getDeviceInfo(device, pid, vid, serial, description));
}

TEST_F(LinkTest, DeviceListOfNoDeviceIsEmpty)
{
    std::uint32_t count = 5;
    pftdiDeviceList list = reinterpret_cast<pftdiDeviceList>(&count);
    ASSERT_TRUE(link.createDeviceInfoList(count, list));
    EXPECT_EQ(count, 0u);
    EXPECT_EQ(list, nullptr);
    EXPECT_EQ(driver.calls(), (std::vector<FtCall>{{"CreateDeviceInfoList", {}, {}}}));
    link.destroyDeviceInfoList(list);
    EXPECT_EQ(list, nullptr);
}

TEST_F(LinkTest, DeviceListHoldsEveryNodeInOrder)
{
    for (std::size_t n : {1u, 3u, 40u}) {
        SCOPED_TRACE(std::to_string(n) + " devices");
        driver.devices.clear();
        for (std::size_t i = 0; i < n; ++i)
            driver.devices.push_back(node(("PP" + std::to_string(1000 + i)).c_str(), DWORD(i % 7)));
        driver.clearCalls();
        std::uint32_t count = 0;
        pftdiDeviceList list = nullptr;
        ASSERT_TRUE(link.createDeviceInfoList(count, list));
        ASSERT_EQ(count, n);
        ASSERT_NE(list, nullptr);
        for (std::size_t i = 0; i < n; ++i) {
            // Callers step through the block 100 bytes at a time.
            const auto* entry =
                reinterpret_cast<const ftdiDeviceNode*>(reinterpret_cast<const char*>(list) + 100 * i);
            EXPECT_STREQ(entry->SerialNumber, ("PP" + std::to_string(1000 + i)).c_str());
            EXPECT_EQ(entry->Type, DWORD(i % 7));
        }
        EXPECT_EQ(driver.callsOf("GetDeviceInfoList"), (std::vector<FtCall>{{"GetDeviceInfoList", {n}, {}}}));
        link.destroyDeviceInfoList(list);
        EXPECT_EQ(list, nullptr);
    }
}

TEST_F(LinkTest, FailedDeviceListIsReleasedAndEmpty)
{
    driver.devices = {node("PP0001"), node("PP0002")};
    for (const char* failing : {"CreateDeviceInfoList", "GetDeviceInfoList"}) {
        SCOPED_TRACE(failing);
        driver.failWith("CreateDeviceInfoList", FT_OK);
        driver.failWith("GetDeviceInfoList", FT_OK);
        driver.failWith(failing, FT_IO_ERROR);
        std::uint32_t count = 7;
        pftdiDeviceList list = nullptr;
        EXPECT_FALSE(link.createDeviceInfoList(count, list));
        EXPECT_EQ(count, 0u);
        EXPECT_EQ(list, nullptr);
    }
}

TEST_F(LinkTest, DestroyOfAnOpenLinkLeavesTheDeviceOpen)
{
    {
        tftdichip owned;
        ASSERT_TRUE(owned.openDeviceBySerial("PP000001"));
    }
    EXPECT_EQ(driver.callsOf("Close"), std::vector<FtCall>{});
}

TEST_F(LinkTest, ReceiveEventsAreNotAvailableYet)
{
    ASSERT_TRUE(link.openDeviceBySerial("PP000001"));
    driver.clearCalls();
    EXPECT_FALSE(link.setupCommEvents(nullptr, nullptr, nullptr));
    EXPECT_FALSE(link.startCommEvents());
    EXPECT_FALSE(link.stopCommEvents());
    EXPECT_FALSE(link.thread);
    FtEvent* event = nullptr;
    EXPECT_FALSE(link.createEventObject(fEventAny, event));
    EXPECT_EQ(event, nullptr);
    EXPECT_EQ(link.waitForEventObject(event, 10), fEventError);
    EXPECT_THAT(driver.calls(), IsEmpty()) << driver.callLog();
}

}  // namespace
}  // namespace nx::usb
