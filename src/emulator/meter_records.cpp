#include "emulator/meter_records.h"

#include <cstdio>

namespace nx::emulator {
namespace {

void put16(QByteArray& out, std::uint16_t value)
{
    out.append(char(value & 0xFF));
    out.append(char(value >> 8));
}

void put24(QByteArray& out, std::uint32_t value)
{
    out.append(char(value & 0xFF));
    out.append(char((value >> 8) & 0xFF));
    out.append(char((value >> 16) & 0xFF));
}

}  // namespace

std::string commandKey(std::string_view command)
{
    if (command == "I\r" || command == "H\r" || command == "L\r")
        return std::string(command.substr(0, 1));
    if (command.size() == 3 && command[0] == 'M' && command[2] == '\r') {
        char key[4];
        std::snprintf(key, sizeof key, "M%02X", unsigned(static_cast<unsigned char>(command[1])));
        return key;
    }
    return {};
}

std::uint16_t packDate(QDate date)
{
    return std::uint16_t(((date.year() - firstPackedYear) << 9) | (date.month() << 5) | date.day());
}

std::uint16_t packTime(QTime time)
{
    return std::uint16_t((time.hour() << 11) | (time.minute() << 5) | (time.second() / 2));
}

QByteArray encodeIdentReply(const Identity& identity)
{
    // The serial text sits at offset 3 and overlaps the "PPTTC" signature.
    QByteArray out("PPT");
    out.append(identity.serialText.data(), qsizetype(identity.serialText.size()));
    out.append(' ');
    out.append(identity.firmware.data(), qsizetype(identity.firmware.size()));
    out.append('\r');
    return out;
}

QByteArray encodeMoistureRecord(const MoistureResult& result)
{
    QByteArray out;
    out.reserve(moistureRecordSize);
    put24(out, result.record);
    put16(out, packDate(result.date));
    put16(out, packTime(result.time));
    put16(out, result.moistureTenths);
    put16(out, std::uint16_t(result.temperatureTenths));
    put16(out, std::uint16_t(((result.sample & 0x7F) << 9) | ((result.species - 1) & 0x1FF)));
    return out;
}

QByteArray encodeTempObjectRecord(std::uint8_t number, std::string_view name)
{
    QByteArray out;
    out.reserve(tempObjectRecordSize);
    out.append(char(number));
    out.append(name.data(), qsizetype(name.size()));
    out.append(tempObjectNameSize - qsizetype(name.size()), '\0');
    // Four bytes the program does not read; a meter leaves them zero.
    out.append(4, '\0');
    return out;
}

QByteArray encodeTempRecord(const TempResult& result)
{
    QByteArray out;
    out.reserve(tempRecordSize);
    put24(out, result.record);
    put16(out, packDate(result.date));
    put16(out, packTime(result.time));
    put16(out, std::uint16_t(result.temperatureTenths));
    return out;
}

}  // namespace nx::emulator
