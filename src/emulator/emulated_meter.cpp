#include "emulator/emulated_meter.h"

#include "base/clock.h"

#include <algorithm>
#include <vector>

namespace nx::emulator {
namespace {

std::int64_t nowUs() { return std::int64_t(clock().now().count()) * 1000; }

}  // namespace

EmulatedMeter::EmulatedMeter(MeterImage image) : image_(std::move(image)) {}

void EmulatedMeter::setLine(const LineSettings& line)
{
    const std::lock_guard lock(mutex_);
    line_ = line;
}

LineSettings EmulatedMeter::line() const
{
    const std::lock_guard lock(mutex_);
    return line_;
}

void EmulatedMeter::setLatencyTimer(Ms latency)
{
    const std::lock_guard lock(mutex_);
    latency_ = latency;
}

void EmulatedMeter::powerUp()
{
    const std::lock_guard lock(mutex_);
    line_ = LineSettings{};
    latency_ = defaultLatency;
    recent_.clear();
    toPc_.clear();
    lineFreeUs_ = 0;
}

std::int64_t EmulatedMeter::byteTimeUs(std::int64_t bytes) const
{
    return bytes * 1'000'000 / std::int64_t(image_.bytesPerSecond);
}

void EmulatedMeter::write(QByteArrayView bytes)
{
    const std::lock_guard lock(mutex_);
    const std::int64_t writtenUs = nowUs();
    if (line_ != meterLine) {
        recent_.clear();
        return;
    }
    // Every carriage return ends a command: the three bytes up to it when they are
    // "M", object, CR (the object byte may itself be CR), else the two bytes up to it.
    // Whatever came before is noise, so the meter finds its feet at the next command.
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const char byte = bytes[i];
        std::string key;
        if (byte == '\r') {
            if (recent_.size() == 2 && recent_[0] == 'M')
                key = commandKey(recent_ + byte);
            else if (!recent_.empty())
                key = commandKey(recent_.substr(recent_.size() - 1) + byte);
        }
        if (!key.empty()) {
            recent_.clear();
            startReply(key, writtenUs + byteTimeUs(i + 1));
        } else {
            recent_ += byte;
            if (recent_.size() > 2)
                recent_.erase(0, recent_.size() - 2);
        }
    }
}

QByteArray EmulatedMeter::replyTo(const std::string& key) const
{
    if (!image_.answers())
        return {};
    if (const auto given = image_.replies.find(key); given != image_.replies.end())
        return given->second;
    QByteArray reply;
    if (key == "I") {
        if (image_.identity)
            reply = encodeIdentReply(*image_.identity);
    } else if (key == "H") {
        for (const MoistureResult& result : image_.moisture)
            reply += encodeMoistureRecord(result);
        reply += replyTerminator;
    } else if (key == "L") {
        for (const TempObject& object : image_.temperatureObjects)
            reply += encodeTempObjectRecord(object.number, object.name);
        reply += replyTerminator;
    } else if (key.size() == 3 && key[0] == 'M') {
        const int number = std::stoi(key.substr(1), nullptr, 16);
        for (const TempObject& object : image_.temperatureObjects) {
            if (object.number == number) {
                for (const TempResult& result : object.records)
                    reply += encodeTempRecord(result);
            }
        }
    }
    return reply;
}

void EmulatedMeter::startReply(const std::string& key, std::int64_t heardUs)
{
    const QByteArray reply = replyTo(key);
    if (reply.isEmpty())
        return;
    const std::int64_t startUs = std::max(heardUs, lineFreeUs_);

    // When each byte has crossed the line.
    std::vector<std::int64_t> onLine(std::size_t(reply.size()));
    for (qsizetype i = 0; i < reply.size(); ++i) {
        std::int64_t gapUs = 0;
        for (const ReplyPause& pause : image_.pauses) {
            if (pause.command == key && pause.afterByte <= i)
                gapUs += std::int64_t(pause.duration.count()) * 1000;
        }
        onLine[std::size_t(i)] = startUs + byteTimeUs(i + 1) + gapUs;
    }
    lineFreeUs_ = onLine.back();

    // Packets: full, or flushed at a latency tick with what the chip holds.
    const std::int64_t latencyUs = std::max<std::int64_t>(1, latency_.count()) * 1000;
    std::int64_t lastFlushUs = startUs;
    std::size_t i = 0;
    const std::size_t n = onLine.size();
    while (i < n) {
        const std::int64_t ticks =
            std::max<std::int64_t>(1, (onLine[i] - lastFlushUs + latencyUs - 1) / latencyUs);
        const std::int64_t tickUs = lastFlushUs + ticks * latencyUs;
        const std::size_t last = i + usbPacketDataBytes - 1;
        std::size_t end = i;
        if (last < n && onLine[last] < tickUs) {
            end = last + 1;
            lastFlushUs = onLine[last];
        } else {
            while (end < n && end - i < std::size_t(usbPacketDataBytes) && onLine[end] <= tickUs)
                ++end;
            lastFlushUs = tickUs;
        }
        for (; i < end; ++i)
            toPc_.push_back({reply[qsizetype(i)], lastFlushUs});
    }
}

qsizetype EmulatedMeter::available() const
{
    const std::lock_guard lock(mutex_);
    return arrived();
}

qsizetype EmulatedMeter::arrived() const
{
    const std::int64_t now = nowUs();
    const auto arrived = std::partition_point(toPc_.begin(), toPc_.end(),
                                              [now](const InFlight& b) { return b.arrivalUs <= now; });
    return qsizetype(arrived - toPc_.begin());
}

QByteArray EmulatedMeter::read(qsizetype max, Ms timeout)
{
    const Ms deadline = clock().now() + timeout;
    std::unique_lock lock(mutex_);
    while (arrived() < max && !toPc_.empty()) {
        // Sleep until the wanted byte, or the last one on the way, has arrived.
        const InFlight& awaited = toPc_[std::size_t(std::min<qsizetype>(max, qsizetype(toPc_.size())) - 1)];
        Ms wake{(awaited.arrivalUs + 999) / 1000};
        if (timeout.count() > 0)
            wake = std::min(wake, deadline);
        const Ms now = clock().now();
        if (wake <= now)
            break;
        lock.unlock();
        clock().sleep(wake - now);
        lock.lock();
    }
    const qsizetype count = std::min(max, arrived());
    QByteArray bytes;
    bytes.reserve(count);
    for (qsizetype i = 0; i < count; ++i) {
        bytes.append(toPc_.front().byte);
        toPc_.pop_front();
    }
    return bytes;
}

void EmulatedMeter::purgeReceive()
{
    const std::lock_guard lock(mutex_);
    toPc_.clear();
    lineFreeUs_ = 0;
}

}  // namespace nx::emulator
