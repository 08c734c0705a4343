// The emulated meter as the driver sees it: through the backend's Device interface,
// in virtual time.

#include "base/clock.h"
#include "usb/backend.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

namespace {

using namespace nx::usb;
using namespace std::chrono_literals;

constexpr char meterImage[] = R"({
    "usbSerial": "PP000123",
    "usbDescription": "Nivex meter",
    "identity": {"serialText": "TC000123", "firmware": "1.05"},
    "moisture": [%MOISTURE%],
    "temperatureObjects": [
        {"number": 3, "name": "Silo A", "records": [
            {"record": 1, "time": "2020-01-02T08:00:00", "temperature": 21.4},
            {"record": 2, "time": "2020-01-02T08:10:00", "temperature": -1.5}]},
        {"number": 13, "name": "Dryer", "records": [
            {"record": 7, "time": "2019-11-27T14:35:08", "temperature": 30.0}]}
    ]
    %EXTRA%
})";

QByteArray moistureRecords(int count)
{
    QByteArray out;
    for (int i = 0; i < count; ++i) {
        if (i > 0)
            out += ',';
        out += QStringLiteral(R"({"record": %1, "time": "2019-11-27T14:35:08", "moisture": 12.3,
                                 "temperature": -1.5, "species": 3, "sample": 7})")
                   .arg(i + 5)
                   .toLatin1();
    }
    return out;
}

class EmulatedDeviceTest : public ::testing::Test {
protected:
    EmulatedDeviceTest() : scopedClock_(clock_) {}
    ~EmulatedDeviceTest() override { qunsetenv("NIVEX_EMULATED_METERS"); }

    QString writeImage(const QString& name, const QByteArray& json)
    {
        const QString path = dir_.filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(json);
        return path;
    }

    QString meter(int moistureCount = 1, const QByteArray& extra = {})
    {
        QByteArray json(meterImage);
        json.replace("%MOISTURE%", moistureRecords(moistureCount));
        json.replace("%EXTRA%", extra.isEmpty() ? QByteArray() : ", " + extra);
        return writeImage(QStringLiteral("meter.json"), json);
    }

    void listImages(const QStringList& paths)
    {
        qputenv("NIVEX_EMULATED_METERS", paths.join(':').toLocal8Bit());
    }

    // Opens the one listed device and sets the line up the way the program does.
    std::unique_ptr<Device> openConfigured(const QString& path, UCHAR latencyMs = 2)
    {
        listImages({path});
        const std::vector<DeviceInfo> devices = backend_->enumerate();
        EXPECT_EQ(devices.size(), 1u);
        if (devices.empty())
            return nullptr;
        FT_STATUS status = FT_OTHER_ERROR;
        std::unique_ptr<Device> device = backend_->open(devices[0], &status);
        EXPECT_EQ(status, FT_OK);
        if (!device)
            return nullptr;
        device->reset();
        device->setBaudRate(115200);
        device->setDataCharacteristics(8, 0, 0);
        device->setLatencyTimer(latencyMs);
        device->setUsbParameters(16, 16);
        device->setFlowControl(0, 0, 0);
        device->setTimeouts(5, 5);
        return device;
    }

    static void send(Device& device, const QByteArray& command)
    {
        DWORD written = 0;
        EXPECT_EQ(device.write(command.constData(), DWORD(command.size()), &written), FT_OK);
        EXPECT_EQ(written, DWORD(command.size()));
    }

    static DWORD waiting(Device& device)
    {
        DWORD count = 0;
        EXPECT_EQ(device.queueStatus(&count), FT_OK);
        return count;
    }

    // How many bytes wait at each of the given moments after now.
    std::vector<DWORD> waitingAt(Device& device, std::initializer_list<std::chrono::milliseconds> moments)
    {
        const auto start = clock_.now();
        std::vector<DWORD> counts;
        for (auto at : moments) {
            clock_.advance(start + at - clock_.now());
            counts.push_back(waiting(device));
        }
        return counts;
    }

    static QByteArray readAll(Device& device)
    {
        QByteArray bytes(4096, '\0');
        DWORD got = 0;
        EXPECT_EQ(device.read(bytes.data(), DWORD(bytes.size()), &got), FT_OK);
        bytes.truncate(qsizetype(got));
        return bytes;
    }

    nx::VirtualClock clock_;
    nx::ScopedClock scopedClock_;
    QTemporaryDir dir_;
    std::unique_ptr<Backend> backend_ = makeEmulatedBackend();
};

TEST_F(EmulatedDeviceTest, CensusListsValidImagesInOrderAndLeavesOutBrokenOnes)
{
    const QString good = meter();
    const QString broken = writeImage(QStringLiteral("broken.json"), R"({"usbDescription": "no serial"})");
    const QString chip = writeImage(QStringLiteral("chip.json"), R"({"usbSerial": "A50285BI"})");
    listImages({chip, broken, QString(), good});

    const std::vector<DeviceInfo> devices = backend_->enumerate();
    ASSERT_EQ(devices.size(), 2u);
    EXPECT_EQ(devices[0].serialNumber, "A50285BI");
    EXPECT_EQ(devices[0].description, "FT232R USB UART");
    EXPECT_EQ(devices[0].location, ("emulated:" + chip).toStdString());
    EXPECT_EQ(devices[1].serialNumber, "PP000123");
    EXPECT_EQ(devices[1].description, "Nivex meter");
    EXPECT_EQ(devices[1].type, DWORD(FT_DEVICE_232R));
    EXPECT_EQ(devices[1].id, 0x04036001u);

    qunsetenv("NIVEX_EMULATED_METERS");
    EXPECT_TRUE(backend_->enumerate().empty());
}

TEST_F(EmulatedDeviceTest, AChipOpensOnceAtATime)
{
    listImages({meter()});
    const std::vector<DeviceInfo> devices = backend_->enumerate();
    ASSERT_EQ(devices.size(), 1u);
    FT_STATUS status = FT_OTHER_ERROR;
    auto first = backend_->open(devices[0], &status);
    ASSERT_TRUE(first);
    EXPECT_EQ(backend_->enumerate().at(0).flags, FT_FLAGS_OPENED);
    EXPECT_FALSE(backend_->open(devices[0], &status));
    EXPECT_EQ(status, FT_DEVICE_NOT_OPENED);
    first.reset();
    EXPECT_TRUE(backend_->open(devices[0], &status));
    EXPECT_EQ(status, FT_OK);
}

TEST_F(EmulatedDeviceTest, NothingArrivesBeforeTheWriteAndTheReplyIsTheIdentity)
{
    auto device = openConfigured(meter());
    ASSERT_TRUE(device);
    clock_.advance(5s);
    EXPECT_EQ(waiting(*device), 0u);
    send(*device, "I\r");
    EXPECT_EQ(waiting(*device), 0u);
    clock_.advance(10ms);
    EXPECT_EQ(waiting(*device), 17u);
    EXPECT_EQ(readAll(*device), QByteArray("PPTTC000123 1.05\r"));
    EXPECT_EQ(waiting(*device), 0u);
}

TEST_F(EmulatedDeviceTest, RepliesComeAtLinePaceInUsbPackets)
{
    // 100 records: 1301 bytes. The command "H\r" is heard 173 us after the write and
    // byte k of the reply is on the line k * 86.8 us later.
    struct Case {
        const char* name;
        UCHAR latencyMs;
        std::vector<std::chrono::milliseconds> at;
        std::vector<DWORD> waiting;
    };
    const Case cases[] = {
        // Packets fill (62 bytes in 5.4 ms) before a 16 ms tick.
        {"latency 16 ms: full packets", 16, {5ms, 6ms, 10ms, 11ms, 1000ms}, {0, 62, 62, 124, 1301}},
        // A tick every 2 ms flushes about 23 bytes.
        {"latency 2 ms: ticks", 2, {2ms, 3ms, 4ms, 5ms, 1000ms}, {0, 23, 23, 46, 1301}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto device = openConfigured(meter(100), c.latencyMs);
        ASSERT_TRUE(device);
        send(*device, "H\r");
        const auto start = clock_.now();
        for (std::size_t i = 0; i < c.at.size(); ++i) {
            clock_.advance(start + c.at[i] - clock_.now());
            EXPECT_EQ(waiting(*device), c.waiting[i]) << "at " << c.at[i].count() << " ms";
        }
    }
}

TEST_F(EmulatedDeviceTest, LongReplyTakesItsLengthOverTheByteRate)
{
    // 1000 records, 13001 bytes: at 11520 B/s the last byte arrives after 1.129 s.
    auto device = openConfigured(meter(1000));
    ASSERT_TRUE(device);
    send(*device, "H\r");
    const std::vector<DWORD> counts = waitingAt(*device, {500ms, 1000ms, 1128ms, 1131ms});
    EXPECT_NEAR(double(counts[0]), 5760, 30);
    EXPECT_NEAR(double(counts[1]), 11520, 30);
    EXPECT_LT(counts[2], 13001u);
    EXPECT_EQ(counts[3], 13001u);
    const QByteArray reply = [&] {
        QByteArray all(13001, '\0');
        DWORD got = 0;
        device->read(all.data(), DWORD(all.size()), &got);
        all.truncate(got);
        return all;
    }();
    ASSERT_EQ(reply.size(), 13001);
    EXPECT_EQ(reply.first(13).toHex(), QByteArray("0500007b2964747b00f1ff020e"));
    EXPECT_EQ(reply.last(1), QByteArray("*"));
}

TEST_F(EmulatedDeviceTest, PauseInTheReplyIsASilentGap)
{
    // 16 records, 209 bytes, with 1200 ms of silence after byte 130.
    auto device = openConfigured(meter(16, R"("pauses": [{"command": "H", "afterByte": 130, "ms": 1200}])"));
    ASSERT_TRUE(device);
    send(*device, "H\r");
    EXPECT_EQ(waitingAt(*device, {100ms, 1000ms, 1205ms, 1300ms}), (std::vector<DWORD>{130, 130, 130, 209}));
    // Other commands are not held up.
    EXPECT_EQ(readAll(*device).size(), 209);
    send(*device, "L\r");
    EXPECT_EQ(waitingAt(*device, {100ms}), (std::vector<DWORD>{51}));
}

TEST_F(EmulatedDeviceTest, CommandsWithoutAReplyLeaveTheLineSilent)
{
    struct Case {
        const char* name;
        QByteArray extra;
        QByteArray command;
    };
    const Case cases[] = {
        {"unknown command", {}, "X\r"},
        {"lower-case identity", {}, "i\r"},
        {"identity without carriage return", {}, "I"},
        {"results command without carriage return", {}, QByteArray("M\x03", 2)},
        {"results command without object byte", {}, "M\r"},
        {"results of an object the meter lacks", {}, QByteArray("M\x04\r", 3)},
        {"silent reply", R"("replies": {"H": ""})", "H\r"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto device = openConfigured(meter(3, c.extra));
        ASSERT_TRUE(device);
        send(*device, c.command);
        EXPECT_EQ(waitingAt(*device, {5s}), (std::vector<DWORD>{0}));
    }
}

TEST_F(EmulatedDeviceTest, AFreshCommandIsHeardAfterNoise)
{
    auto device = openConfigured(meter());
    ASSERT_TRUE(device);
    send(*device, QByteArray("X\rM\x03"));
    send(*device, "ZZZZZZZZZZZZ");
    send(*device, "I\r");
    EXPECT_EQ(waitingAt(*device, {1s}), (std::vector<DWORD>{17}));
}

TEST_F(EmulatedDeviceTest, ResultsCommandTakesTheObjectNumberAsARawByte)
{
    auto device = openConfigured(meter());
    ASSERT_TRUE(device);
    // Object 13 is sent as 0D, the same byte as the carriage return.
    send(*device, QByteArray("M\x0D\x0D", 3));
    clock_.advance(1s);
    EXPECT_EQ(readAll(*device).toHex(' '), QByteArray::fromHex("070000"
                                                               "7B29"
                                                               "6474"
                                                               "2C01")
                                               .toHex(' '));
    send(*device, QByteArray("M\x03\x0D", 3));
    clock_.advance(1s);
    EXPECT_EQ(readAll(*device).toHex(' '), QByteArray::fromHex("010000222A0040D600"
                                                               "020000222A4041F1FF")
                                               .toHex(' '));
}

TEST_F(EmulatedDeviceTest, TemperatureObjectsReplyEndsWithAStar)
{
    auto device = openConfigured(meter());
    ASSERT_TRUE(device);
    send(*device, "L\r");
    clock_.advance(1s);
    const QByteArray reply = readAll(*device);
    ASSERT_EQ(reply.size(), 2 * 25 + 1);
    EXPECT_EQ(reply.mid(0, 7), QByteArray("\x03Silo A", 7));
    EXPECT_EQ(reply.mid(25, 6), QByteArray("\x0D"
                                           "Dryer",
                                           6));
    EXPECT_EQ(reply.mid(31, 19), QByteArray(19, '\0'));
    EXPECT_EQ(reply.back(), '*');
}

TEST_F(EmulatedDeviceTest, GivenRepliesReplaceTheGeneratedOnes)
{
    auto device = openConfigured(meter(3, R"("replies": {"I": "50 50 54 54 43 31", "M03": "01020304"})"));
    ASSERT_TRUE(device);
    send(*device, "I\r");
    clock_.advance(1s);
    EXPECT_EQ(readAll(*device), QByteArray("PPTTC1"));
    send(*device, QByteArray("M\x03\r", 3));
    clock_.advance(1s);
    EXPECT_EQ(readAll(*device), QByteArray("\x01\x02\x03\x04"));
    // Commands without a given reply keep the generated one.
    send(*device, "H\r");
    clock_.advance(1s);
    EXPECT_EQ(readAll(*device).size(), 3 * 13 + 1);
}

TEST_F(EmulatedDeviceTest, ANonMeterNeverAnswers)
{
    auto device = openConfigured(writeImage(QStringLiteral("chip.json"), R"({"usbSerial": "PP999999"})"));
    ASSERT_TRUE(device);
    for (const char* command : {"I\r", "H\r", "L\r"})
        send(*device, command);
    EXPECT_EQ(waitingAt(*device, {5s}), (std::vector<DWORD>{0}));
}

TEST_F(EmulatedDeviceTest, TheMeterHearsOnlyAt115200Baud8N1)
{
    struct Case {
        const char* name;
        DWORD baud;
        UCHAR bits, stop, parity;
        DWORD waiting;
    };
    const Case cases[] = {
        {"115200 8N1", 115200, 8, 0, 0, 17}, {"9600 8N1", 9600, 8, 0, 0, 0},
        {"115200 7N1", 115200, 7, 0, 0, 0},  {"115200 8N2", 115200, 8, 2, 0, 0},
        {"115200 8E1", 115200, 8, 0, 2, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto device = openConfigured(meter());
        ASSERT_TRUE(device);
        device->setBaudRate(c.baud);
        device->setDataCharacteristics(c.bits, c.stop, c.parity);
        send(*device, "I\r");
        EXPECT_EQ(waitingAt(*device, {1s}), (std::vector<DWORD>{c.waiting}));
    }

    // A freshly opened chip runs at 9600 baud.
    listImages({meter()});
    FT_STATUS status = FT_OTHER_ERROR;
    auto fresh = backend_->open(backend_->enumerate().at(0), &status);
    ASSERT_TRUE(fresh);
    send(*fresh, "I\r");
    EXPECT_EQ(waitingAt(*fresh, {1s}), (std::vector<DWORD>{0}));
}

TEST_F(EmulatedDeviceTest, PurgeDropsTheRestOfAReplyOnTheWay)
{
    auto device = openConfigured(meter(100));
    ASSERT_TRUE(device);
    send(*device, "H\r");
    clock_.advance(50ms);
    ASSERT_GT(waiting(*device), 0u);
    EXPECT_EQ(device->purge(FT_PURGE_RX), FT_OK);
    EXPECT_EQ(waitingAt(*device, {0ms, 2s}), (std::vector<DWORD>{0, 0}));
    send(*device, "I\r");
    clock_.advance(1s);
    EXPECT_EQ(readAll(*device), QByteArray("PPTTC000123 1.05\r"));

    // Purging the transmit side alone keeps what was received.
    send(*device, "I\r");
    clock_.advance(1s);
    EXPECT_EQ(device->purge(FT_PURGE_TX), FT_OK);
    EXPECT_EQ(waiting(*device), 17u);
    EXPECT_EQ(device->purge(0), FT_INVALID_PARAMETER);
}

TEST_F(EmulatedDeviceTest, ReadWaitsUpToItsTimeOutAndReturnsWhatCame)
{
    auto device = openConfigured(meter(100));
    ASSERT_TRUE(device);
    send(*device, "H\r");
    // The 5 ms time-out ends the read with the 46 bytes of two 2 ms ticks.
    char buffer[2000];
    DWORD got = 0;
    EXPECT_EQ(device->read(buffer, 1000, &got), FT_OK);
    EXPECT_EQ(got, 46u);
    EXPECT_EQ(clock_.now(), 5ms);
    // A read of bytes already there does not wait.
    clock_.advance(1s);
    EXPECT_EQ(device->read(buffer, 10, &got), FT_OK);
    EXPECT_EQ(got, 10u);
    EXPECT_EQ(clock_.now(), 1005ms);
    // Without a time-out the read waits as long as bytes are on the way, then gives up.
    device->setTimeouts(0, 0);
    send(*device, "I\r");
    EXPECT_EQ(device->read(buffer, 2000, &got), FT_OK);
    EXPECT_EQ(got, 1301u - 46 - 10 + 17);
    EXPECT_EQ(device->read(buffer, 1, &got), FT_OK);
    EXPECT_EQ(got, 0u);
}

TEST_F(EmulatedDeviceTest, StatusCallsReportTheReceiveQueueAndSteadyLines)
{
    auto device = openConfigured(meter());
    ASSERT_TRUE(device);
    send(*device, "I\r");
    clock_.advance(1s);
    DWORD rx = 0, tx = 1, events = 1, modem = 0;
    EXPECT_EQ(device->status(&rx, &tx, &events), FT_OK);
    EXPECT_EQ(rx, 17u);
    EXPECT_EQ(tx, 0u);
    EXPECT_EQ(events, 0u);
    EXPECT_EQ(device->modemStatus(&modem), FT_OK);
    EXPECT_EQ(modem, 0x30u);
    EXPECT_EQ(device->setLatencyTimer(1), FT_INVALID_PARAMETER);
    EXPECT_EQ(device->setBaudRate(0), FT_INVALID_BAUD_RATE);
    EXPECT_EQ(device->setDataCharacteristics(6, 0, 0), FT_INVALID_PARAMETER);
}

}  // namespace
