// libFuzzer target: arbitrary bytes through every reply check, the splitter and every
// decoder, with the invariants a caller relies on checked on whatever comes out.

#include "meter/records.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

using namespace nx::meter;

namespace {

void require(bool condition)
{
    if (!condition)
        __builtin_trap();
}

bool validStamp(const DateTime& t)
{
    return t.year >= 1999 && t.year <= 2126 && t.month >= 1 && t.month <= 12 && t.day >= 1 && t.day <= 31 &&
           t.hour >= 0 && t.hour <= 23 && t.minute >= 0 && t.minute <= 59 && t.second >= 0 &&
           t.second <= 58 && t.second % 2 == 0;
}

void checkMoisture(std::string_view record)
{
    const Decoded<MoistureRecord> rec = decodeMoistureRecord(record);
    require(rec.ok() || record.size() != MoistureRecord::size || rec.error() == DecodeError::BadDate ||
            rec.error() == DecodeError::BadTime);
    if (!rec)
        return;
    require(record.size() == MoistureRecord::size);
    require(rec->recordNumber < (1u << 24));
    require(validStamp(rec->timestamp));
    require(rec->moisture >= 0 && rec->moisture <= 6553.5);
    require(rec->temperature >= -3276.8 && rec->temperature <= 3276.7);
    require(rec->speciesNumber >= 1 && rec->speciesNumber <= 512);
    require(rec->sampleNumber >= 0 && rec->sampleNumber <= 127);
}

void checkTempObject(std::string_view record)
{
    const Decoded<TempObjectRecord> rec = decodeTempObjectRecord(record);
    require(rec.ok() == (record.size() == TempObjectRecord::size));
    if (!rec)
        return;
    require(rec->name.size() <= 20);
    require(rec->name.find('\0') == std::string::npos);
    require(record.substr(1, rec->name.size()) == rec->name);
}

void checkTemp(std::string_view record)
{
    const Decoded<TempRecord> rec = decodeTempRecord(record);
    if (!rec)
        return;
    require(record.size() == TempRecord::size);
    require(rec->recordNumber < (1u << 24));
    require(validStamp(rec->timestamp));
    require(rec->temperature >= -3276.8 && rec->temperature <= 3276.7);
}

template <class Check> void splitAndCheck(std::string_view reply, std::size_t size, Check check)
{
    const auto records = splitRecords(reply, size);
    require(records.size() == reply.size() / size);
    for (std::size_t k = 0; k < records.size(); ++k) {
        require(records[k].data() == reply.data() + k * size && records[k].size() == size);
        check(records[k]);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view reply(reinterpret_cast<const char*>(data), size);

    const Decoded<IdentReply> id = checkIdentity(reply);
    require(id.ok() == (size >= 17 && reply.starts_with("PPTTC")));
    if (id) {
        require(id->serialText == reply.substr(3, 8));
        require(id->firmware == reply.substr(12, 4));
    }

    require(isTerminatedReply(reply) == (size > 0 && data[size - 1] == '*'));
    require(splitRecords(reply, 0).empty());

    // The whole input as one record too, so every length reaches every decoder.
    checkMoisture(reply);
    checkTempObject(reply);
    checkTemp(reply);
    splitAndCheck(reply, MoistureRecord::size, checkMoisture);
    splitAndCheck(reply, TempObjectRecord::size, checkTempObject);
    splitAndCheck(reply, TempRecord::size, checkTemp);

    ByteReader r(reply);
    while (r.ok())
        (size % 3 == 0 ? (void)r.u24le() : size % 3 == 1 ? (void)r.s16le() : (void)r.u8());
    require(r.remaining() <= 2);
    return 0;
}
