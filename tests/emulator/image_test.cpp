#include "base/exception.h"
#include "emulator/meter_image.h"

#include <QFile>
#include <QTemporaryDir>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace {

using namespace nx::emulator;
using ::testing::HasSubstr;
using ::testing::StartsWith;

std::string errorOf(const QByteArray& json)
{
    try {
        parseMeterImage(json, QStringLiteral("/images/bad.json"));
    } catch (const nx::Exception& e) {
        return e.what();
    }
    return "(accepted)";
}

TEST(MeterImage, MalformedImagesNameTheFileAndTheFault)
{
    struct Case {
        const char* name;
        const char* json;
        const char* fault;
    };
    // Each image is valid but for the one fault it names.
    const Case cases[] = {
        {"bad JSON", R"({"usbSerial": "PP1",})", "not valid JSON at offset 21"},
        {"not an object", R"(["PP1"])", "must be a JSON object"},
        {"usbSerial missing", R"({"usbDescription": "x"})", "usbSerial is missing"},
        {"usbSerial not text", R"({"usbSerial": 123})", "usbSerial: must be a string"},
        {"usbSerial empty", R"({"usbSerial": ""})", "usbSerial: must be 1 to 15 characters long"},
        {"usbSerial too long", R"({"usbSerial": "PP3456789012345X"})", "usbSerial: must be 1 to 15"},
        {"unknown key", R"({"usbSerial": "PP1", "pause": []})", "unknown key \"pause\""},
        {"identity not object", R"({"usbSerial": "PP1", "identity": "TC000123"})",
         "identity: must be an object"},
        {"serialText 7 chars",
         R"({"usbSerial": "PP1", "identity": {"serialText": "TC00012", "firmware": "1.05"}})",
         "identity.serialText: must be 8 characters long"},
        {"serialText without TC",
         R"({"usbSerial": "PP1", "identity": {"serialText": "XC000123", "firmware": "1.05"}})",
         "identity.serialText: must begin with \"TC\""},
        {"firmware 3 chars",
         R"({"usbSerial": "PP1", "identity": {"serialText": "TC000123", "firmware": "1.5"}})",
         "identity.firmware: must be 4 characters long"},
        {"firmware missing", R"({"usbSerial": "PP1", "identity": {"serialText": "TC000123"}})",
         "identity.firmware: is missing"},
        {"serialText not 8-bit",
         R"({"usbSerial": "PP1", "identity": {"serialText": "TC00012€", "firmware": "1.05"}})",
         "is not 8-bit text"},
        {"moisture not array", R"({"usbSerial": "PP1", "moisture": {}})", "moisture: must be an array"},
        {"record field missing",
         R"({"usbSerial": "PP1", "moisture": [{"time": "2019-11-27T14:35:08", "moisture": 1, "temperature": 1, "species": 1, "sample": 0}]})",
         "moisture[0].record: is missing"},
        {"record beyond 24 bits",
         R"({"usbSerial": "PP1", "moisture": [{"record": 16777216, "time": "2019-11-27T14:35:08", "moisture": 1, "temperature": 1, "species": 1, "sample": 0}]})",
         "moisture[0].record: 16777216 is outside 0 to 16777215"},
        {"record negative",
         R"({"usbSerial": "PP1", "moisture": [{"record": -1, "time": "2019-11-27T14:35:08", "moisture": 1, "temperature": 1, "species": 1, "sample": 0}]})",
         "moisture[0].record: -1 is outside"},
        {"record fractional",
         R"({"usbSerial": "PP1", "moisture": [{"record": 1.5, "time": "2019-11-27T14:35:08", "moisture": 1, "temperature": 1, "species": 1, "sample": 0}]})",
         "moisture[0].record: must be a whole number"},
        {"species 0",
         R"({"usbSerial": "PP1", "moisture": [{"record": 1, "time": "2019-11-27T14:35:08", "moisture": 1, "temperature": 1, "species": 0, "sample": 0}]})",
         "moisture[0].species: 0 is outside 1 to 512"},
        {"species 513",
         R"({"usbSerial": "PP1", "moisture": [{"record": 1, "time": "2019-11-27T14:35:08", "moisture": 1, "temperature": 1, "species": 513, "sample": 0}]})",
         "moisture[0].species: 513 is outside 1 to 512"},
        {"sample 128",
         R"({"usbSerial": "PP1", "moisture": [{"record": 1, "time": "2019-11-27T14:35:08", "moisture": 1, "temperature": 1, "species": 1, "sample": 128}]})",
         "moisture[0].sample: 128 is outside 0 to 127"},
        {"moisture as text",
         R"({"usbSerial": "PP1", "moisture": [{"record": 1, "time": "2019-11-27T14:35:08", "moisture": "12.3", "temperature": 1, "species": 1, "sample": 0}]})",
         "moisture[0].moisture: must be a number"},
        {"moisture negative",
         R"({"usbSerial": "PP1", "moisture": [{"record": 1, "time": "2019-11-27T14:35:08", "moisture": -0.1, "temperature": 1, "species": 1, "sample": 0}]})",
         "moisture[0].moisture: -0.1 is outside 0.0 to 6553.5"},
        {"moisture above 16 bits",
         R"({"usbSerial": "PP1", "moisture": [{"record": 1, "time": "2019-11-27T14:35:08", "moisture": 6553.6, "temperature": 1, "species": 1, "sample": 0}]})",
         "moisture[0].moisture: 6553.6 is outside 0.0 to 6553.5"},
        {"temperature below 16 bits",
         R"({"usbSerial": "PP1", "moisture": [{"record": 1, "time": "2019-11-27T14:35:08", "moisture": 1, "temperature": -3276.9, "species": 1, "sample": 0}]})",
         "moisture[0].temperature: -3276.9 is outside -3276.8 to 3276.7"},
        {"time without seconds",
         R"({"usbSerial": "PP1", "moisture": [{"record": 1, "time": "2019-11-27T14:35", "moisture": 1, "temperature": 1, "species": 1, "sample": 0}]})",
         "moisture[0].time: \"2019-11-27T14:35\" is not a date-time of the form"},
        {"time with zone",
         R"({"usbSerial": "PP1", "moisture": [{"record": 1, "time": "2019-11-27T14:35:08Z", "moisture": 1, "temperature": 1, "species": 1, "sample": 0}]})",
         "is not a date-time of the form"},
        {"February 29 of a common year",
         R"({"usbSerial": "PP1", "moisture": [{"record": 1, "time": "2019-02-29T14:35:08", "moisture": 1, "temperature": 1, "species": 1, "sample": 0}]})",
         "\"2019-02-29T14:35:08\" is not a valid date-time"},
        {"hour 24",
         R"({"usbSerial": "PP1", "moisture": [{"record": 1, "time": "2019-11-27T24:00:00", "moisture": 1, "temperature": 1, "species": 1, "sample": 0}]})",
         "is not a valid date-time"},
        {"year 1998",
         R"({"usbSerial": "PP1", "moisture": [{"record": 1, "time": "1998-12-31T22:00:00", "moisture": 1, "temperature": 1, "species": 1, "sample": 0}]})",
         "is outside the meter's years 1999 to 2126"},
        {"year 2127",
         R"({"usbSerial": "PP1", "moisture": [{"record": 1, "time": "2127-01-01T00:00:00", "moisture": 1, "temperature": 1, "species": 1, "sample": 0}]})",
         "is outside the meter's years 1999 to 2126"},
        {"odd second",
         R"({"usbSerial": "PP1", "moisture": [{"record": 1, "time": "2019-11-27T14:35:09", "moisture": 1, "temperature": 1, "species": 1, "sample": 0}]})",
         "has an odd second"},
        {"object number 256", R"({"usbSerial": "PP1", "temperatureObjects": [{"number": 256, "name": "A"}]})",
         "temperatureObjects[0].number: 256 is outside 0 to 255"},
        {"object name of 21 chars",
         R"({"usbSerial": "PP1", "temperatureObjects": [{"number": 1, "name": "ABCDEFGHIJKLMNOPQRSTU"}]})",
         "temperatureObjects[0].name: must be 0 to 20 characters long"},
        {"object number twice",
         R"({"usbSerial": "PP1", "temperatureObjects": [{"number": 3, "name": "A"}, {"number": 3, "name": "B"}]})",
         "temperatureObjects[1]: object number 3 is used twice"},
        {"temperature record bad time",
         R"({"usbSerial": "PP1", "temperatureObjects": [{"number": 1, "name": "A", "records": [{"record": 1, "time": "2020-13-01T00:00:00", "temperature": 1}]}]})",
         "temperatureObjects[0].records[0].time: \"2020-13-01T00:00:00\" is not a valid date-time"},
        {"temperature record out of range",
         R"({"usbSerial": "PP1", "temperatureObjects": [{"number": 1, "name": "A", "records": [{"record": 1, "time": "2020-01-01T00:00:00", "temperature": 3276.8}]}]})",
         "temperatureObjects[0].records[0].temperature: 3276.8 is outside"},
        {"reply odd hex digits", R"({"usbSerial": "PP1", "replies": {"I": "50 5"}})",
         "replies.I: bad hex at character 3"},
        {"reply blank inside a byte", R"({"usbSerial": "PP1", "replies": {"I": "5 05"}})",
         "replies.I: bad hex at character 0"},
        {"reply not hex", R"({"usbSerial": "PP1", "replies": {"H": "2G"}})",
         "replies.H: bad hex at character 0"},
        {"reply not text", R"({"usbSerial": "PP1", "replies": {"H": 42}})",
         "replies.H: must be a string of hex bytes"},
        {"reply to an unknown command", R"({"usbSerial": "PP1", "replies": {"X": "2A"}})",
         "replies.X: \"X\" is not a command"},
        {"M key with one digit", R"({"usbSerial": "PP1", "replies": {"M3": "2A"}})",
         "\"M3\" is not a command"},
        {"bytesPerSecond zero", R"({"usbSerial": "PP1", "bytesPerSecond": 0})",
         "bytesPerSecond: 0 is outside 1 to"},
        {"pause of unknown command",
         R"({"usbSerial": "PP1", "pauses": [{"command": "Q", "afterByte": 1, "ms": 5}]})",
         "pauses[0].command: \"Q\" is not a command"},
        {"pause negative", R"({"usbSerial": "PP1", "pauses": [{"command": "H", "afterByte": 1, "ms": -5}]})",
         "pauses[0].ms: -5 is outside"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string error = errorOf(c.json);
        EXPECT_THAT(error, StartsWith("/images/bad.json: "));
        EXPECT_THAT(error, HasSubstr(c.fault));
    }
}

TEST(MeterImage, ValuesAreRoundedToTenthsAndDefaultsFilledIn)
{
    const MeterImage image = parseMeterImage(R"({
        "usbSerial": "PP000123",
        "identity": {"serialText": "TC000123", "firmware": "1.05"},
        "moisture": [{"record": 5, "time": "2019-11-27T14:35:08", "moisture": 12.3,
                      "temperature": -1.5, "species": 3, "sample": 7},
                     {"record": 6, "time": "2019-11-27T14:35:10", "moisture": 0.05,
                      "temperature": -0.04, "species": 512, "sample": 127}],
        "temperatureObjects": [{"number": 3, "name": "Silo A",
            "records": [{"record": 1, "time": "2020-01-02T08:00:00", "temperature": 21.4}]}],
        "replies": {"M0d": "2a 2A\t00"}
    })",
                                             QStringLiteral("good.json"));
    EXPECT_EQ(image.usbSerial, "PP000123");
    EXPECT_EQ(image.usbDescription, defaultUsbDescription);
    EXPECT_EQ(image.bytesPerSecond, 11520u);
    ASSERT_EQ(image.moisture.size(), 2u);
    EXPECT_EQ(image.moisture[0].moistureTenths, 123);
    EXPECT_EQ(image.moisture[0].temperatureTenths, -15);
    EXPECT_EQ(image.moisture[0].time, QTime(14, 35, 8));
    EXPECT_EQ(image.moisture[1].moistureTenths, 1);
    EXPECT_EQ(image.moisture[1].temperatureTenths, 0);
    ASSERT_EQ(image.temperatureObjects.size(), 1u);
    EXPECT_EQ(image.temperatureObjects[0].records[0].temperatureTenths, 214);
    EXPECT_TRUE(image.answers());
    ASSERT_EQ(image.replies.count("M0D"), 1u);
    EXPECT_EQ(image.replies.at("M0D"), QByteArray::fromHex("2A2A00"));
}

TEST(MeterImage, OnlyAnImageWithIdentityOrRepliesIsAMeter)
{
    EXPECT_FALSE(parseMeterImage(R"({"usbSerial": "PP1", "moisture": []})", "a").answers());
    EXPECT_TRUE(parseMeterImage(R"({"usbSerial": "PP1", "replies": {}})", "b").answers());
}

TEST(MeterImage, UnreadableFileIsNamed)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("missing.json"));
    try {
        loadMeterImage(path);
        FAIL() << "a missing image was accepted";
    } catch (const nx::Exception& e) {
        EXPECT_THAT(e.what(), StartsWith((path + QStringLiteral(": cannot be read")).toStdString()));
    }
}

TEST(MeterImage, TheShippedDemoMeterLoads)
{
    const MeterImage image = loadMeterImage(QStringLiteral(NX_DEMO_METER));
    ASSERT_TRUE(image.identity);
    EXPECT_EQ(image.usbSerial.substr(0, 2), "PP");
    EXPECT_EQ(image.identity->serialText, "TC004711");
    EXPECT_GE(image.moisture.size(), 200u);
    EXPECT_EQ(image.temperatureObjects.size(), 3u);
    // The shipped species list names species 1 to 16.
    for (const MoistureResult& result : image.moisture)
        EXPECT_LE(result.species, 16);
}

}  // namespace
