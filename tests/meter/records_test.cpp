#include "meter/records.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>

using namespace nx::meter;

namespace {

std::string bytes(std::initializer_list<int> values)
{
    std::string out;
    for (int v : values)
        out.push_back(static_cast<char>(v));
    return out;
}

// A moisture record around the given date and time words, the rest from the worked example.
std::string moistureRecord(std::uint16_t date, std::uint16_t time)
{
    return bytes({0x05, 0x00, 0x00, date & 0xFF, date >> 8, time & 0xFF, time >> 8, 0x7B, 0x00, 0xF1, 0xFF,
                  0x02, 0x0E});
}

std::uint16_t dateWord(int year, int month, int day)
{
    return static_cast<std::uint16_t>((year - 1999) << 9 | month << 5 | day);
}

std::uint16_t timeWord(int hour, int minute, int halfSeconds)
{
    return static_cast<std::uint16_t>(hour << 11 | minute << 5 | halfSeconds);
}

}  // namespace

TEST(Commands, BytesOnTheWire)
{
    EXPECT_EQ(identityCommand, bytes({0x49, 0x0D}));
    EXPECT_EQ(moistureCommand, bytes({0x48, 0x0D}));
    EXPECT_EQ(tempObjectsCommand, bytes({0x4C, 0x0D}));
    // The object number is one raw byte, not its decimal text; 0 and 13 included.
    EXPECT_EQ(tempResultsCommand(3), bytes({0x4D, 0x03, 0x0D}));
    EXPECT_EQ(tempResultsCommand(0), bytes({0x4D, 0x00, 0x0D}));
    EXPECT_EQ(tempResultsCommand(13), bytes({0x4D, 0x0D, 0x0D}));
    EXPECT_EQ(tempResultsCommand(255), bytes({0x4D, 0xFF, 0x0D}));
}

TEST(ByteReader, LittleEndianFieldsAndStickyEnd)
{
    const std::string fields = bytes({0x01, 0x34, 0x12, 0xF1, 0xFF, 0x56, 0x34, 0x12});
    ByteReader r(fields);
    EXPECT_EQ(r.u8(), 0x01);
    EXPECT_EQ(r.u16le(), 0x1234);
    EXPECT_EQ(r.s16le(), -15);
    EXPECT_EQ(r.u24le(), 0x123456u);
    EXPECT_TRUE(r.ok());
    EXPECT_EQ(r.remaining(), 0u);

    // A field that does not fit yields 0, consumes nothing, and the failure sticks even
    // when a later, smaller read would fit.
    const std::string shortField = bytes({0xAA, 0xBB});
    ByteReader s(shortField);
    EXPECT_EQ(s.u24le(), 0u);
    EXPECT_FALSE(s.ok());
    EXPECT_EQ(s.u8(), 0u);
    EXPECT_EQ(s.take(1), "");
    EXPECT_FALSE(s.ok());
    EXPECT_EQ(s.remaining(), 2u);
}

TEST(MoistureRecordDecoder, WorkedExample)
{
    const Decoded<MoistureRecord> rec = decodeMoistureRecord(
        bytes({0x05, 0x00, 0x00, 0x7B, 0x29, 0x64, 0x74, 0x7B, 0x00, 0xF1, 0xFF, 0x02, 0x0E}));
    ASSERT_TRUE(rec.ok()) << describe(rec.error());
    EXPECT_EQ(rec->recordNumber, 5u);
    EXPECT_EQ(rec->timestamp, (DateTime{2019, 11, 27, 14, 35, 8}));
    EXPECT_DOUBLE_EQ(rec->moisture, 12.3);
    EXPECT_DOUBLE_EQ(rec->temperature, -1.5);
    EXPECT_EQ(rec->speciesNumber, 3);
    EXPECT_EQ(rec->sampleNumber, 7);
}

TEST(MoistureRecordDecoder, FieldExtremes)
{
    // Moisture is unsigned where temperature is signed: F1 FF is 6552.1 % but -1.5 degrees.
    // Species word FF FF: the 9-bit index 511 (species 512) and sample 127. The 24-bit
    // record number takes all three bytes.
    const Decoded<MoistureRecord> rec = decodeMoistureRecord(
        bytes({0xFF, 0xFF, 0xFF, 0x7B, 0x29, 0x64, 0x74, 0xF1, 0xFF, 0xF1, 0xFF, 0xFF, 0xFF}));
    ASSERT_TRUE(rec.ok());
    EXPECT_EQ(rec->recordNumber, 0xFFFFFFu);
    EXPECT_DOUBLE_EQ(rec->moisture, 6552.1);
    EXPECT_DOUBLE_EQ(rec->temperature, -1.5);
    EXPECT_EQ(rec->speciesNumber, 512);
    EXPECT_EQ(rec->sampleNumber, 127);

    // Index 0 is species 1; the top bit of the low byte belongs to the species, not the sample.
    const Decoded<MoistureRecord> low = decodeMoistureRecord(
        bytes({0x00, 0x00, 0x00, 0x7B, 0x29, 0x64, 0x74, 0x00, 0x00, 0x00, 0x80, 0x00, 0x01}));
    ASSERT_TRUE(low.ok());
    EXPECT_EQ(low->recordNumber, 0u);
    EXPECT_DOUBLE_EQ(low->temperature, -3276.8);
    EXPECT_EQ(low->speciesNumber, 257);
    EXPECT_EQ(low->sampleNumber, 0);
}

TEST(PackedDateTime, CalendarAndClockChecks)
{
    struct Case {
        const char* name;
        std::uint16_t date;
        std::uint16_t time;
        std::optional<DateTime> expected;  // nullopt: the record fails
        DecodeError error = DecodeError::BadDate;
    };
    const Case cases[] = {
        {"seconds field 29 is 58 s", dateWord(2019, 11, 27), timeWord(23, 59, 29),
         DateTime{2019, 11, 27, 23, 59, 58}},
        {"seconds field 30 is no time", dateWord(2019, 11, 27), timeWord(12, 0, 30), std::nullopt,
         DecodeError::BadTime},
        {"seconds field 31 is no time", dateWord(2019, 11, 27), timeWord(12, 0, 31), std::nullopt,
         DecodeError::BadTime},
        {"hour 24", dateWord(2019, 11, 27), timeWord(24, 0, 0), std::nullopt, DecodeError::BadTime},
        {"minute 60", dateWord(2019, 11, 27), timeWord(10, 60, 0), std::nullopt, DecodeError::BadTime},
        {"midnight", dateWord(2019, 11, 27), 0x0000, DateTime{2019, 11, 27, 0, 0, 0}},
        {"date word 0000", 0x0000, timeWord(12, 0, 0), std::nullopt},
        {"month 0", dateWord(2020, 0, 5), timeWord(12, 0, 0), std::nullopt},
        {"month 13", dateWord(2020, 13, 5), timeWord(12, 0, 0), std::nullopt},
        {"day 0", dateWord(2020, 5, 0), timeWord(12, 0, 0), std::nullopt},
        {"April 31", dateWord(2020, 4, 31), timeWord(12, 0, 0), std::nullopt},
        {"Feb 29 of a leap year", dateWord(2024, 2, 29), timeWord(12, 0, 0), DateTime{2024, 2, 29, 12, 0, 0}},
        {"Feb 29 of a common year", dateWord(2023, 2, 29), timeWord(12, 0, 0), std::nullopt},
        {"Feb 29 of 2000 (divisible by 400)", dateWord(2000, 2, 29), timeWord(12, 0, 0),
         DateTime{2000, 2, 29, 12, 0, 0}},
        {"Feb 29 of 2100 (divisible by 100)", dateWord(2100, 2, 29), timeWord(12, 0, 0), std::nullopt},
        {"first day of the range", dateWord(1999, 1, 1), timeWord(0, 0, 0), DateTime{1999, 1, 1, 0, 0, 0}},
        {"last day of the range", 0xFF9F, timeWord(23, 59, 29), DateTime{2126, 12, 31, 23, 59, 58}},
        {"bad date and bad time report the date", 0x0000, timeWord(25, 0, 0), std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string record = moistureRecord(c.date, c.time);
        const Decoded<MoistureRecord> moisture = decodeMoistureRecord(record);
        // The temperature record carries the same words at the same offsets.
        const Decoded<TempRecord> temp = decodeTempRecord(record.substr(0, 9));
        if (c.expected) {
            ASSERT_TRUE(moisture.ok()) << describe(moisture.error());
            ASSERT_TRUE(temp.ok()) << describe(temp.error());
            EXPECT_EQ(moisture->timestamp, *c.expected);
            EXPECT_EQ(temp->timestamp, *c.expected);
        } else {
            ASSERT_FALSE(moisture.ok());
            ASSERT_FALSE(temp.ok());
            EXPECT_EQ(moisture.error(), c.error);
            EXPECT_EQ(temp.error(), c.error);
        }
    }
}

TEST(TempRecordDecoder, Fields)
{
    const Decoded<TempRecord> rec =
        decodeTempRecord(bytes({0x10, 0x27, 0x00, 0x7B, 0x29, 0x64, 0x74, 0xF1, 0xFF}));
    ASSERT_TRUE(rec.ok());
    EXPECT_EQ(rec->recordNumber, 10000u);
    EXPECT_EQ(rec->timestamp, (DateTime{2019, 11, 27, 14, 35, 8}));
    EXPECT_DOUBLE_EQ(rec->temperature, -1.5);
}

TEST(TempObjectRecordDecoder, Names)
{
    struct Case {
        const char* name;
        std::string nameField;  // 20 bytes
        std::string expected;
    };
    const Case cases[] = {
        {"20 non-zero bytes taken whole", "ABCDEFGHIJKLMNOPQRST", "ABCDEFGHIJKLMNOPQRST"},
        {"leading zero byte is empty", std::string("\0BCDEFGHIJKLMNOPQRS", 20), ""},
        {"ends at the first zero", std::string("Silo 3\0junk\0\0\0\0\0\0\0\0\0", 20), "Silo 3"},
        {"8-bit bytes kept as they are", std::string("Caf\xE9\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0", 20),
         "Caf\xE9"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_EQ(c.nameField.size(), 20u);
        // The four unread bytes after the name must not leak into it.
        const std::string record = bytes({0x07}) + c.nameField + "WXYZ";
        const Decoded<TempObjectRecord> rec = decodeTempObjectRecord(record);
        ASSERT_TRUE(rec.ok());
        EXPECT_EQ(rec->objectNumber, 7);
        EXPECT_EQ(rec->name, c.expected);
    }
}

TEST(RecordDecoders, WrongSizedRecordsFailInsteadOfReadingZeros)
{
    const std::string moisture = moistureRecord(dateWord(2019, 11, 27), timeWord(14, 35, 4));
    const std::string object = bytes({0x01}) + std::string(24, 'A');
    const std::string temp = moisture.substr(0, 9);
    for (std::size_t len = 0; len < moisture.size(); ++len) {
        SCOPED_TRACE("moisture length " + std::to_string(len));
        const Decoded<MoistureRecord> rec = decodeMoistureRecord(moisture.substr(0, len));
        ASSERT_FALSE(rec.ok());
        EXPECT_EQ(rec.error(), DecodeError::Truncated);
    }
    for (std::size_t len = 0; len < object.size(); ++len) {
        SCOPED_TRACE("object length " + std::to_string(len));
        const Decoded<TempObjectRecord> rec = decodeTempObjectRecord(object.substr(0, len));
        ASSERT_FALSE(rec.ok());
        EXPECT_EQ(rec.error(), DecodeError::Truncated);
    }
    for (std::size_t len = 0; len < temp.size(); ++len) {
        SCOPED_TRACE("temperature length " + std::to_string(len));
        const Decoded<TempRecord> rec = decodeTempRecord(temp.substr(0, len));
        ASSERT_FALSE(rec.ok());
        EXPECT_EQ(rec.error(), DecodeError::Truncated);
    }
    EXPECT_EQ(decodeMoistureRecord(moisture + "*").error(), DecodeError::TrailingBytes);
    EXPECT_EQ(decodeTempObjectRecord(object + "*").error(), DecodeError::TrailingBytes);
    EXPECT_EQ(decodeTempRecord(temp + "*").error(), DecodeError::TrailingBytes);
}

TEST(ReplyCheckAndSplit, RecordCounts)
{
    const std::string rec13 = moistureRecord(dateWord(2019, 11, 27), timeWord(14, 35, 4));
    // Second record ending in "*": its species word's high byte is 2A.
    std::string rec13Star = rec13;
    rec13Star.back() = '*';
    const std::string rec9 = rec13.substr(0, 9);
    struct Case {
        const char* name;
        std::string reply;
        std::size_t recordSize;
        bool terminated;
        std::size_t records;
    };
    const Case cases[] = {
        {"empty moisture reply", "", MoistureRecord::size, false, 0},
        {"lone star", "*", MoistureRecord::size, true, 0},
        {"26 bytes, star inside the second record", rec13 + rec13Star, MoistureRecord::size, true, 2},
        {"27 bytes, star left over", rec13 + rec13 + "*", MoistureRecord::size, true, 2},
        {"27 bytes, no star", rec13 + rec13 + "#", MoistureRecord::size, false, 2},
        {"one object and star", bytes({1}) + std::string(24, 'x') + "*", TempObjectRecord::size, true, 1},
        {"empty temperature reply", "", TempRecord::size, false, 0},
        {"8 temperature bytes", rec9.substr(0, 8), TempRecord::size, false, 0},
        {"19 temperature bytes", rec9 + rec9 + "Q", TempRecord::size, false, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(isTerminatedReply(c.reply), c.terminated);
        const std::vector<std::string_view> records = splitRecords(c.reply, c.recordSize);
        ASSERT_EQ(records.size(), c.records);
        for (std::size_t k = 0; k < records.size(); ++k) {
            EXPECT_EQ(records[k].size(), c.recordSize);
            EXPECT_EQ(records[k].data(), c.reply.data() + k * c.recordSize);
        }
    }
    EXPECT_TRUE(splitRecords("abc", 0).empty());
}

TEST(IdentityCheck, AcceptsOnlyPPTTCOfSeventeenBytesOrMore)
{
    const std::string good = "PPTTC000123" + std::string(1, '\x01') + "1.05" + "Z";
    ASSERT_EQ(good.size(), 17u);
    struct Case {
        const char* name;
        std::string reply;
        std::optional<DecodeError> error;
    };
    const Case cases[] = {
        {"17 bytes", good, std::nullopt},
        {"20 bytes", good + "abc", std::nullopt},
        {"16 bytes", good.substr(0, 16), DecodeError::Truncated},
        {"empty", "", DecodeError::Truncated},
        {"wrong signature", "PPTTX" + good.substr(5), DecodeError::BadSignature},
        {"lower case signature", "ppttc" + good.substr(5), DecodeError::BadSignature},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Decoded<IdentReply> id = checkIdentity(c.reply);
        if (c.error) {
            ASSERT_FALSE(id.ok());
            EXPECT_EQ(id.error(), *c.error);
        } else {
            ASSERT_TRUE(id.ok());
            // The serial text overlaps the signature; byte 11 is skipped.
            EXPECT_EQ(id->serialText, "TC000123");
            EXPECT_EQ(id->firmware, "1.05");
        }
    }
    // Texts are taken as they stand, zero and 8-bit bytes included, without trimming.
    const std::string raw = std::string("PPTTC 12\0\xFF"
                                        "45",
                                        11) +
                            "." + std::string("1\0 \xE9", 4) + "!";
    const Decoded<IdentReply> id = checkIdentity(raw);
    ASSERT_TRUE(id.ok());
    EXPECT_EQ(id->serialText, std::string("TC 12\0\xFF"
                                          "45",
                                          8));
    EXPECT_EQ(id->firmware, std::string("1\0 \xE9", 4));
}
