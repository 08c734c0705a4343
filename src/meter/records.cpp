#include "meter/records.h"

namespace nx::meter {

std::string tempResultsCommand(std::uint8_t objectNumber)
{
    return std::string{'M', static_cast<char>(objectNumber), '\r'};
}

std::uint8_t ByteReader::u8()
{
    if (!ok_ || remaining() < 1) {
        ok_ = false;
        return 0;
    }
    return static_cast<std::uint8_t>(bytes_[pos_++]);
}

std::uint16_t ByteReader::u16le()
{
    if (!ok_ || remaining() < 2) {
        ok_ = false;
        return 0;
    }
    const std::uint16_t lo = u8();
    const std::uint16_t hi = u8();
    return static_cast<std::uint16_t>(lo | hi << 8);
}

std::int16_t ByteReader::s16le()
{
    // Two's complement; the conversion is exact from C++20 on.
    return static_cast<std::int16_t>(u16le());
}

std::uint32_t ByteReader::u24le()
{
    if (!ok_ || remaining() < 3) {
        ok_ = false;
        return 0;
    }
    const std::uint32_t b0 = u8();
    const std::uint32_t b1 = u8();
    const std::uint32_t b2 = u8();
    return b0 | b1 << 8 | b2 << 16;
}

std::string_view ByteReader::take(std::size_t n)
{
    if (!ok_ || remaining() < n) {
        ok_ = false;
        return {};
    }
    const std::string_view out = bytes_.substr(pos_, n);
    pos_ += n;
    return out;
}

const char* describe(DecodeError error)
{
    switch (error) {
    case DecodeError::Truncated:
        return "too short";
    case DecodeError::TrailingBytes:
        return "too long";
    case DecodeError::BadSignature:
        return "not a meter's identity";
    case DecodeError::BadDate:
        return "not a calendar date";
    case DecodeError::BadTime:
        return "not a time of day";
    }
    return "unknown decode error";
}

namespace {

constexpr bool isLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

constexpr int daysInMonth(int year, int month)
{
    constexpr int days[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && isLeapYear(year) ? 29 : days[month - 1];
}

// The whole layout must have been read, and nothing may be left over.
DecodeError sizeError(const ByteReader& reader)
{
    return reader.ok() ? DecodeError::TrailingBytes : DecodeError::Truncated;
}

bool readWhole(const ByteReader& reader) { return reader.ok() && reader.remaining() == 0; }

// Date first, so a record with both wrong reports its date.
Decoded<DateTime> timestamp(PackedDate date, PackedTime time)
{
    if (!date.valid())
        return DecodeError::BadDate;
    if (!time.valid())
        return DecodeError::BadTime;
    return DateTime{date.year(), date.month(), date.day(), time.hour(), time.minute(), time.second()};
}

}  // namespace

bool PackedDate::valid() const
{
    return month() >= 1 && month() <= 12 && day() >= 1 && day() <= daysInMonth(year(), month());
}

Decoded<IdentReply> checkIdentity(std::string_view reply)
{
    if (reply.size() < IdentReply::minSize)
        return DecodeError::Truncated;
    if (reply.substr(0, 5) != "PPTTC")
        return DecodeError::BadSignature;
    return IdentReply{std::string(reply.substr(3, 8)), std::string(reply.substr(12, 4))};
}

bool isTerminatedReply(std::string_view reply) { return !reply.empty() && reply.back() == '*'; }

std::vector<std::string_view> splitRecords(std::string_view reply, std::size_t recordSize)
{
    std::vector<std::string_view> records;
    if (recordSize == 0)
        return records;
    const std::size_t count = reply.size() / recordSize;
    records.reserve(count);
    for (std::size_t k = 0; k < count; ++k)
        records.push_back(reply.substr(k * recordSize, recordSize));
    return records;
}

Decoded<MoistureRecord> decodeMoistureRecord(std::string_view record)
{
    ByteReader r(record);
    const std::uint32_t number = r.u24le();
    const PackedDate date{r.u16le()};
    const PackedTime time{r.u16le()};
    const std::uint16_t moisture = r.u16le();
    const std::int16_t temperature = r.s16le();
    const std::uint16_t speciesAndSample = r.u16le();
    if (!readWhole(r))
        return sizeError(r);
    const Decoded<DateTime> when = timestamp(date, time);
    if (!when)
        return when.error();
    return MoistureRecord{number,
                          when.value(),
                          moisture / 10.0,
                          temperature / 10.0,
                          (speciesAndSample & 511) + 1,
                          speciesAndSample >> 9};
}

Decoded<TempObjectRecord> decodeTempObjectRecord(std::string_view record)
{
    ByteReader r(record);
    const std::uint8_t number = r.u8();
    std::string_view name = r.take(20);
    r.take(4);  // not interpreted, but part of the record
    if (!readWhole(r))
        return sizeError(r);
    if (const std::size_t zero = name.find('\0'); zero != std::string_view::npos)
        name = name.substr(0, zero);
    return TempObjectRecord{number, std::string(name)};
}

Decoded<TempRecord> decodeTempRecord(std::string_view record)
{
    ByteReader r(record);
    const std::uint32_t number = r.u24le();
    const PackedDate date{r.u16le()};
    const PackedTime time{r.u16le()};
    const std::int16_t temperature = r.s16le();
    if (!readWhole(r))
        return sizeError(r);
    const Decoded<DateTime> when = timestamp(date, time);
    if (!when)
        return when.error();
    return TempRecord{number, when.value(), temperature / 10.0};
}

}  // namespace nx::meter
