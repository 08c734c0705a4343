#include "emulator/meter_records.h"

#include <gtest/gtest.h>

namespace {

using namespace nx::emulator;

QByteArray hex(const char* text) { return QByteArray::fromHex(text); }

TEST(MeterRecords, MoistureRecordOfTheWorkedExample)
{
    const MoistureResult result{5, QDate(2019, 11, 27), QTime(14, 35, 8), 123, -15, 3, 7};
    EXPECT_EQ(encodeMoistureRecord(result).toHex(' '), hex("0500007B2964747B00F1FF020E").toHex(' '));
}

TEST(MeterRecords, FieldsAtTheEdgesOfTheirRanges)
{
    struct Case {
        const char* name;
        MoistureResult result;
        const char* bytes;
    };
    const Case cases[] = {
        {"first packed day, midnight, zeros",
         {0, QDate(1999, 1, 1), QTime(0, 0, 0), 0, 0, 1, 0},
         "000000"
         "2100"
         "0000"
         "0000"
         "0000"
         "0000"},
        {"last packed day, last even second",
         {0xFFFFFF, QDate(2126, 12, 31), QTime(23, 59, 58), 0xFFFF, 32767, 512, 127},
         "FFFFFF"
         "9FFF"
         "7DBF"
         "FFFF"
         "FF7F"
         "FFFF"},
        {"most negative temperature, species 2 sample 1",
         {0x030201, QDate(2000, 2, 29), QTime(12, 0, 2), 1, -32768, 2, 1},
         "010203"
         "5D02"
         "0160"
         "0100"
         "0080"
         "0102"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QByteArray bytes = encodeMoistureRecord(c.result);
        EXPECT_EQ(bytes.size(), moistureRecordSize);
        EXPECT_EQ(bytes.toHex(' '), hex(c.bytes).toHex(' '));
    }
}

TEST(MeterRecords, TemperatureObjectAndResultRecords)
{
    EXPECT_EQ(encodeTempObjectRecord(3, "Silo A").toHex(' '), hex("03"
                                                                  "53696C6F2041"
                                                                  "0000000000000000000000000000"
                                                                  "00000000")
                                                                  .toHex(' '));
    const QByteArray full = encodeTempObjectRecord(255, "ABCDEFGHIJKLMNOPQRST");
    EXPECT_EQ(full.size(), tempObjectRecordSize);
    EXPECT_EQ(full.mid(1, 20), QByteArray("ABCDEFGHIJKLMNOPQRST"));
    EXPECT_EQ(quint8(full[0]), 255);
    EXPECT_EQ(encodeTempObjectRecord(0, "").toHex(), QByteArray(50, '0'));

    const TempResult result{1, QDate(2020, 1, 2), QTime(8, 0, 0), 214};
    EXPECT_EQ(encodeTempRecord(result).toHex(' '), hex("010000"
                                                       "222A"
                                                       "0040"
                                                       "D600")
                                                       .toHex(' '));
    const TempResult cold{0x0A0B0C, QDate(2019, 11, 27), QTime(14, 35, 8), -15};
    EXPECT_EQ(encodeTempRecord(cold).toHex(' '), hex("0C0B0A"
                                                     "7B29"
                                                     "6474"
                                                     "F1FF")
                                                     .toHex(' '));
}

TEST(MeterRecords, IdentReplyCarriesSerialAtOffset3AndFirmwareAt12)
{
    const QByteArray reply = encodeIdentReply({"TC000123", "1.05"});
    ASSERT_EQ(reply.size(), identReplySize);
    EXPECT_TRUE(reply.startsWith("PPTTC"));
    EXPECT_EQ(reply.mid(3, 8), QByteArray("TC000123"));
    EXPECT_EQ(reply.mid(12, 4), QByteArray("1.05"));
}

TEST(MeterRecords, CommandKeys)
{
    struct Case {
        std::string_view bytes;
        const char* key;
    };
    using namespace std::string_view_literals;
    const Case cases[] = {
        {"I\r", "I"},       {"H\r", "H"},       {"L\r", "L"},        {"M\x03\r"sv, "M03"}, {"M\r\r", "M0D"},
        {"M\xFF\r", "MFF"}, {"M\0\r"sv, "M00"}, {"i\r", ""},         {"X\r", ""},          {"I", ""},
        {"I\n", ""},        {"M\x03", ""},      {"M\x03\x03\r", ""}, {"HH\r", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(QByteArray(c.bytes.data(), qsizetype(c.bytes.size())).toHex(' ').toStdString());
        EXPECT_EQ(commandKey(c.bytes), c.key);
    }
}

}  // namespace
