#pragma once

// One emulated meter behind its FTDI chip, in the injectable clock's time.
//
// Timing model (the same in virtual time and in a real run, since every arrival is a
// pure function of the write time and nx::clock().now()):
// - A command reaches the meter when its last byte has crossed the line; the meter
//   answers at once, one byte every 1/bytesPerSecond s (11520 B/s: 115200 baud 8N1),
//   with the image's pauses as silent gaps. A second reply waits for the line to be
//   free.
// - The chip hands received bytes to the PC in USB packets of at most 62 data bytes
//   (64 less two status bytes): a packet goes when it is full, or at the next tick
//   of the latency timer, which restarts at every packet and at the start of a reply.
// - Bytes are available from the moment their packet has arrived.
// - The meter hears commands only at 115200 baud, 8 data bits, 1 stop bit, no parity,
//   as the real one does; at other settings (a fresh chip runs at 9600) it hears
//   noise and stays silent.
// - A carriage return ends a command (see write()); unknown commands, a non-meter and
//   an empty reply give no bytes at all.
// - Purging the receive queue drops what has arrived and what is still on the way:
//   the rest of an interrupted reply never shows up in a later exchange.
// The calls may come from two threads (a status query while a read waits); a read
// does not hold the lock while it sleeps.

#include "emulator/meter_image.h"

#include <QByteArray>
#include <QByteArrayView>

#include <chrono>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <string>

namespace nx::emulator {

struct LineSettings {
    std::uint32_t baudRate = 9600;
    std::uint8_t wordLength = 8;
    std::uint8_t stopBits = 0;  // 0 one, 2 two
    std::uint8_t parity = 0;    // 0 none

    bool operator==(const LineSettings&) const = default;
};

inline constexpr LineSettings meterLine{115200, 8, 0, 0};
inline constexpr int usbPacketDataBytes = 62;
inline constexpr std::chrono::milliseconds defaultLatency{16};

class EmulatedMeter {
public:
    using Ms = std::chrono::milliseconds;

    explicit EmulatedMeter(MeterImage image);

    void setLine(const LineSettings& line);
    LineSettings line() const;
    void setLatencyTimer(Ms latency);
    // Back to the state after power-up: nothing queued, chip defaults.
    void powerUp();

    // The PC writes bytes at clock().now().
    void write(QByteArrayView bytes);
    // Bytes that have reached the PC and were not yet read.
    qsizetype available() const;
    // Takes up to `max` bytes, waiting (through the clock) for more to arrive until
    // `timeout` has passed; a zero time-out waits for as long as bytes are on the way.
    QByteArray read(qsizetype max, Ms timeout);
    // Drops the received bytes and the rest of any reply on the way.
    void purgeReceive();

    // What the meter sends for one command key (see commandKey()); empty: nothing.
    QByteArray replyTo(const std::string& key) const;

private:
    struct InFlight {
        char byte;
        std::int64_t arrivalUs;
    };

    void startReply(const std::string& key, std::int64_t heardUs);
    qsizetype arrived() const;
    std::int64_t byteTimeUs(std::int64_t bytes) const;

    const MeterImage image_;
    mutable std::mutex mutex_;
    LineSettings line_;
    Ms latency_ = defaultLatency;
    std::string recent_;  // the last two bytes heard that ended no command
    std::deque<InFlight> toPc_;
    std::int64_t lineFreeUs_ = 0;
};

}  // namespace nx::emulator
