#pragma once

#include <QDateTime>

#include <chrono>
#include <cstdint>

namespace nx {

// Every pause and every reading of the time goes through the active clock, so the
// protocol's timing rules can be tested in virtual time.
class Clock {
public:
    using Ms = std::chrono::milliseconds;
    virtual ~Clock() = default;
    // Monotonic time since an arbitrary origin.
    virtual Ms now() const = 0;
    virtual void sleep(Ms duration) = 0;
    // Local wall-clock date and time.
    virtual QDateTime wallNow() const = 0;
};

class SystemClock final : public Clock {
public:
    Ms now() const override;
    void sleep(Ms duration) override;
    QDateTime wallNow() const override;
};

// Time stands still until someone sleeps; sleeping only moves the time on.
class VirtualClock final : public Clock {
public:
    explicit VirtualClock(QDateTime wallStart = QDateTime(QDate(2024, 1, 1), QTime(12, 0)));
    Ms now() const override { return now_; }
    void sleep(Ms duration) override;
    QDateTime wallNow() const override;
    void advance(Ms duration) { sleep(duration); }

private:
    Ms now_{0};
    QDateTime wallStart_;
};

Clock& clock();

// Makes `replacement` the active clock for the lifetime of this object.
class ScopedClock {
public:
    explicit ScopedClock(Clock& replacement);
    ~ScopedClock();
    ScopedClock(const ScopedClock&) = delete;
    ScopedClock& operator=(const ScopedClock&) = delete;

private:
    Clock* previous_;
};

}  // namespace nx
