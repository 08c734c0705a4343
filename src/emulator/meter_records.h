#pragma once

// The meter's side of the protocol: command recognition and the reply bytes it sends.
// Records are encoded straight from the byte layout (little-endian, fixed size); the
// values are already range-checked by the image loader.

#include <QByteArray>
#include <QDate>
#include <QTime>

#include <cstdint>
#include <string>
#include <string_view>

namespace nx::emulator {

struct Identity {
    std::string serialText;  // 8 bytes of 8-bit text, begins with "TC"
    std::string firmware;    // 4 bytes of 8-bit text
};

struct MoistureResult {
    std::uint32_t record = 0;  // 24 bits
    QDate date;                // 1999-2126
    QTime time;                // even seconds
    std::uint16_t moistureTenths = 0;
    std::int16_t temperatureTenths = 0;
    std::uint16_t species = 1;  // 1-512
    std::uint8_t sample = 0;    // 0-127
};

struct TempResult {
    std::uint32_t record = 0;
    QDate date;
    QTime time;
    std::int16_t temperatureTenths = 0;
};

inline constexpr int identReplySize = 17;
inline constexpr int moistureRecordSize = 13;
inline constexpr int tempObjectRecordSize = 25;
inline constexpr int tempRecordSize = 9;
inline constexpr int tempObjectNameSize = 20;
inline constexpr int firstPackedYear = 1999;
inline constexpr int lastPackedYear = 1999 + 127;
inline constexpr char replyTerminator = '*';

// The key of a complete command: "I", "H", "L", or "M" and the object byte as two
// upper-case hex digits ("M03"); empty for bytes that are no command.
std::string commandKey(std::string_view command);

std::uint16_t packDate(QDate date);
std::uint16_t packTime(QTime time);

QByteArray encodeIdentReply(const Identity& identity);
QByteArray encodeMoistureRecord(const MoistureResult& result);
// `name` is at most 20 bytes; shorter names are padded with zero bytes.
QByteArray encodeTempObjectRecord(std::uint8_t number, std::string_view name);
QByteArray encodeTempRecord(const TempResult& result);

}  // namespace nx::emulator
