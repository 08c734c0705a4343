// Discovery, set-up and exchanges against emulated meters behind the system driver, in
// virtual time: the decoders must read what a meter sends.

#include "base/clock.h"
#include "meter/meter_link.h"
#include "meter/records.h"
#include "usb/tftdichip.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QStringList>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace nx;
using namespace nx::meter;
using Ms = std::chrono::milliseconds;

namespace {

class EmulatedMeters : public ::testing::Test {
protected:
    QTemporaryDir dir;
    VirtualClock clock;
    ScopedClock useClock{clock};
    usb::tftdichip link;
    MeterLink meters{link};

    ~EmulatedMeters() override
    {
        if (link.fconnected)
            link.closeDevice();
        qunsetenv("NIVEX_EMULATED_METERS");
    }

    // Writes one image file per entry and makes them the attached devices, in order.
    void attach(const std::vector<QByteArray>& images)
    {
        ASSERT_TRUE(dir.isValid());
        QStringList paths;
        for (std::size_t i = 0; i < images.size(); ++i) {
            const QString path = dir.filePath(QStringLiteral("meter%1.json").arg(i));
            QFile file(path);
            ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
            ASSERT_EQ(file.write(images[i]), images[i].size());
            paths << path;
        }
        qputenv("NIVEX_EMULATED_METERS", paths.join(QLatin1Char(':')).toLocal8Bit());
    }
};

const QByteArray meterPP123 = R"({
    "usbSerial": "PP123",
    "identity": {"serialText": "TC000123", "firmware": "1.05"},
    "moisture": [
        {"record": 5, "time": "2019-11-27T14:35:08", "moisture": 12.3, "temperature": -1.5, "species": 3, "sample": 7},
        {"record": 6, "time": "2024-02-29T23:59:58", "moisture": 8.0, "temperature": 21.4, "species": 512, "sample": 127}
    ],
    "temperatureObjects": [
        {"number": 3, "name": "Silo 3", "records": [
            {"record": 1, "time": "2020-01-02T03:04:06", "temperature": 18.5},
            {"record": 2, "time": "2020-01-02T04:04:06", "temperature": -0.5}
        ]},
        {"number": 13, "name": "ABCDEFGHIJKLMNOPQRST", "records": []}
    ]
})";

}  // namespace

TEST_F(EmulatedMeters, DownloadsWhatTheMeterHolds)
{
    attach({meterPP123});
    ASSERT_EQ(meters.FindMeters(), 1);
    EXPECT_EQ(meters.ListaPPDev[1], "PP123");
    meters.USBPortSerial = meters.ListaPPDev[1];
    meters.configureLink();
    ASSERT_TRUE(link.fconnected);

    const Ms start = clock.now();
    const ExchangeResult ident = meters.CommandExchange(identityCommand, identityExpectedLength);
    // The expected length ends the wait well before the quiet time would.
    EXPECT_LT(clock.now() - start, Ms(1000));
    const Decoded<IdentReply> id = checkIdentity(ident.reply);
    ASSERT_TRUE(id.ok()) << describe(id.error());
    EXPECT_EQ(id->serialText, "TC000123");
    EXPECT_EQ(id->firmware, "1.05");

    const ExchangeResult moisture = meters.CommandExchange(moistureCommand, 0);
    ASSERT_FALSE(moisture.cutShort);
    ASSERT_TRUE(isTerminatedReply(moisture.reply));
    const std::vector<std::string_view> records = splitRecords(moisture.reply, MoistureRecord::size);
    ASSERT_EQ(records.size(), 2u);
    const Decoded<MoistureRecord> first = decodeMoistureRecord(records[0]);
    const Decoded<MoistureRecord> second = decodeMoistureRecord(records[1]);
    ASSERT_TRUE(first.ok() && second.ok());
    EXPECT_EQ(first->recordNumber, 5u);
    EXPECT_EQ(first->timestamp, (DateTime{2019, 11, 27, 14, 35, 8}));
    EXPECT_DOUBLE_EQ(first->moisture, 12.3);
    EXPECT_DOUBLE_EQ(first->temperature, -1.5);
    EXPECT_EQ(first->speciesNumber, 3);
    EXPECT_EQ(first->sampleNumber, 7);
    EXPECT_EQ(second->timestamp, (DateTime{2024, 2, 29, 23, 59, 58}));
    EXPECT_EQ(second->speciesNumber, 512);
    EXPECT_EQ(second->sampleNumber, 127);

    const ExchangeResult objects = meters.CommandExchange(tempObjectsCommand, 0);
    ASSERT_TRUE(isTerminatedReply(objects.reply));
    const std::vector<std::string_view> objectRecords = splitRecords(objects.reply, TempObjectRecord::size);
    ASSERT_EQ(objectRecords.size(), 2u);
    const Decoded<TempObjectRecord> silo = decodeTempObjectRecord(objectRecords[0]);
    const Decoded<TempObjectRecord> full = decodeTempObjectRecord(objectRecords[1]);
    ASSERT_TRUE(silo.ok() && full.ok());
    EXPECT_EQ(silo->objectNumber, 3);
    EXPECT_EQ(silo->name, "Silo 3");
    EXPECT_EQ(full->objectNumber, 13);
    EXPECT_EQ(full->name, "ABCDEFGHIJKLMNOPQRST");

    // Object 13 goes out as the byte 0D, which must not be taken for the command's end.
    const ExchangeResult none = meters.CommandExchange(tempResultsCommand(full->objectNumber), 0);
    EXPECT_TRUE(splitRecords(none.reply, TempRecord::size).empty());

    const ExchangeResult temps = meters.CommandExchange(tempResultsCommand(silo->objectNumber), 0);
    const std::vector<std::string_view> tempRecords = splitRecords(temps.reply, TempRecord::size);
    ASSERT_EQ(tempRecords.size(), 2u);
    const Decoded<TempRecord> t1 = decodeTempRecord(tempRecords[0]);
    const Decoded<TempRecord> t2 = decodeTempRecord(tempRecords[1]);
    ASSERT_TRUE(t1.ok() && t2.ok());
    EXPECT_EQ(t1->timestamp, (DateTime{2020, 1, 2, 3, 4, 6}));
    EXPECT_DOUBLE_EQ(t1->temperature, 18.5);
    EXPECT_EQ(t2->recordNumber, 2u);
    EXPECT_DOUBLE_EQ(t2->temperature, -0.5);
}

TEST_F(EmulatedMeters, TwoMetersKeepTheDriversOrder)
{
    attach({R"({"usbSerial": "FT0042"})", R"({"usbSerial": "PP2222"})", meterPP123});
    ASSERT_EQ(meters.FindMeters(), 2);
    EXPECT_EQ(meters.ListaPPDev[1], "PP2222");
    EXPECT_EQ(meters.ListaPPDev[2], "PP123");
    EXPECT_FALSE(link.fconnected);
}

TEST_F(EmulatedMeters, ChipThatNeverAnswersGivesAnEmptyReply)
{
    attach({R"({"usbSerial": "PP555"})"});
    ASSERT_EQ(meters.FindMeters(), 1);
    meters.USBPortSerial = meters.ListaPPDev[1];
    meters.configureLink();

    const Ms start = clock.now();
    const ExchangeResult ident = meters.CommandExchange(identityCommand, identityExpectedLength);
    const Ms took = clock.now() - start;
    EXPECT_TRUE(ident.reply.empty());
    EXPECT_FALSE(checkIdentity(ident.reply).ok());
    // More than a second of quiet, one poll and the 300 ms pause.
    EXPECT_GE(took, Ms(1300));
    EXPECT_LE(took, Ms(1330));
}

TEST_F(EmulatedMeters, NoMeterAfterBothLooks)
{
    attach({R"({"usbSerial": "XPP123"})"});
    const Ms start = clock.now();
    EXPECT_EQ(meters.FindMeters(), 0);
    EXPECT_EQ(clock.now() - start, Ms(2000));
}
