#pragma once

// The meter's commands and replies, bytes in and values out. Plain C++ on purpose: no Qt,
// no I/O, no globals, so the decoders can be fuzzed on their own. Texts from the meter stay
// 8-bit bytes (std::string); nx::fromText8 turns them into Qt text where that is needed.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

namespace nx::meter {

// Commands. The temperature-results command carries the object number as one raw byte.
inline constexpr std::string_view identityCommand = "I\r";
inline constexpr std::string_view moistureCommand = "H\r";
inline constexpr std::string_view tempObjectsCommand = "L\r";
std::string tempResultsCommand(std::uint8_t objectNumber);

// The identity reply is the only one with a known length; the others end only on quiet.
inline constexpr int identityExpectedLength = 17;

// Little-endian reader over one run of bytes. A read past the end yields 0 and clears ok()
// for good, so a decoder checks once at the end instead of after every field.
class ByteReader {
public:
    explicit ByteReader(std::string_view bytes) : bytes_(bytes) {}
    // The reader only views its bytes: a temporary string would be gone before the first read.
    explicit ByteReader(std::string&&) = delete;

    std::uint8_t u8();
    std::uint16_t u16le();
    std::int16_t s16le();
    std::uint32_t u24le();
    // The next n bytes as they stand; empty when fewer are left.
    std::string_view take(std::size_t n);

    bool ok() const { return ok_; }
    std::size_t remaining() const { return bytes_.size() - pos_; }

private:
    std::string_view bytes_;
    std::size_t pos_ = 0;
    bool ok_ = true;
};

enum class DecodeError {
    Truncated,      // fewer bytes than the layout needs
    TrailingBytes,  // more bytes than the layout has
    BadSignature,   // identity reply not beginning with "PPTTC"
    BadDate,        // not a real calendar date
    BadTime,        // not a real time of day
};
const char* describe(DecodeError error);

// A decoded value or the reason there is none.
template <class T> class Decoded {
public:
    Decoded(T value) : state_(std::move(value)) {}
    Decoded(DecodeError error) : state_(error) {}

    bool ok() const { return std::holds_alternative<T>(state_); }
    explicit operator bool() const { return ok(); }
    // Only when ok().
    const T& value() const { return std::get<T>(state_); }
    const T* operator->() const { return &value(); }
    // Only when !ok().
    DecodeError error() const { return std::get<DecodeError>(state_); }

private:
    std::variant<T, DecodeError> state_;
};

// Local date and time of a result, no time zone; milliseconds are always 0.
struct DateTime {
    int year = 0;
    int month = 0;
    int day = 0;
    int hour = 0;
    int minute = 0;
    int second = 0;
    friend bool operator==(const DateTime&, const DateTime&) = default;
};

// FAT-style date word with the year counted from 1999: bits 9-15 year, 5-8 month, 0-4 day.
struct PackedDate {
    std::uint16_t word = 0;
    constexpr int year() const { return 1999 + (word >> 9); }
    constexpr int month() const { return (word >> 5) & 15; }
    constexpr int day() const { return word & 31; }
    // A real Gregorian date.
    bool valid() const;
};

// FAT-style time word: bits 11-15 hour, 5-10 minute, 0-4 seconds halved.
struct PackedTime {
    std::uint16_t word = 0;
    constexpr int hour() const { return word >> 11; }
    constexpr int minute() const { return (word >> 5) & 63; }
    constexpr int second() const { return 2 * (word & 31); }
    bool valid() const { return hour() <= 23 && minute() <= 59 && second() <= 58; }
};

struct IdentReply {
    static constexpr std::size_t minSize = 17;
    std::string serialText;  // bytes 3-10, overlapping the signature
    std::string firmware;    // bytes 12-15
};

struct MoistureRecord {
    static constexpr std::size_t size = 13;
    std::uint32_t recordNumber = 0;
    DateTime timestamp;
    double moisture = 0;     // %
    double temperature = 0;  // degrees Celsius
    int speciesNumber = 0;   // 1-512
    int sampleNumber = 0;    // 0-127
};

struct TempObjectRecord {
    static constexpr std::size_t size = 25;
    std::uint8_t objectNumber = 0;
    std::string name;  // up to the first zero byte, at most 20 bytes
};

struct TempRecord {
    static constexpr std::size_t size = 9;
    std::uint32_t recordNumber = 0;
    DateTime timestamp;
    double temperature = 0;  // degrees Celsius
};

// The identity reply: at least 17 bytes beginning with "PPTTC".
Decoded<IdentReply> checkIdentity(std::string_view reply);

// The moisture and temperature-object replies end with "*"; an empty one is rejected too.
bool isTerminatedReply(std::string_view reply);

// floor(length / recordSize) whole records, front to back; the tail (normally the "*")
// is left out. recordSize must not be 0.
std::vector<std::string_view> splitRecords(std::string_view reply, std::size_t recordSize);

// Each takes exactly one record's bytes.
Decoded<MoistureRecord> decodeMoistureRecord(std::string_view record);
Decoded<TempObjectRecord> decodeTempObjectRecord(std::string_view record);
Decoded<TempRecord> decodeTempRecord(std::string_view record);

}  // namespace nx::meter
