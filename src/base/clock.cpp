#include "base/clock.h"

#include <thread>

namespace nx {

Clock::Ms SystemClock::now() const
{
    return std::chrono::duration_cast<Ms>(std::chrono::steady_clock::now().time_since_epoch());
}

void SystemClock::sleep(Ms duration)
{
    if (duration.count() > 0)
        std::this_thread::sleep_for(duration);
}

QDateTime SystemClock::wallNow() const { return QDateTime::currentDateTime(); }

VirtualClock::VirtualClock(QDateTime wallStart) : wallStart_(std::move(wallStart)) {}

void VirtualClock::sleep(Ms duration)
{
    if (duration.count() > 0)
        now_ += duration;
}

QDateTime VirtualClock::wallNow() const { return wallStart_.addMSecs(now_.count()); }

namespace {
SystemClock systemClock;
Clock* activeClock = &systemClock;
}  // namespace

Clock& clock() { return *activeClock; }

ScopedClock::ScopedClock(Clock& replacement) : previous_(activeClock) { activeClock = &replacement; }

ScopedClock::~ScopedClock() { activeClock = previous_; }

}  // namespace nx
