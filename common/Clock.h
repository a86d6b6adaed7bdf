#pragma once
// The one source of "now" for every routine that reads the clock, so tests can fix the time.
#include <QDateTime>
#include <atomic>

class Clock {
public:
    virtual ~Clock() = default;
    virtual QDateTime now() const = 0;
};

class SystemClock final : public Clock {
public:
    QDateTime now() const override { return QDateTime::currentDateTime(); }
};

// A clock that stands still until moved; for tests.
class FixedClock final : public Clock {
public:
    explicit FixedClock(QDateTime t) : t_(std::move(t)) {}
    QDateTime now() const override { return t_; }
    void set(QDateTime t) { t_ = std::move(t); }
    void advanceMs(qint64 ms) { t_ = t_.addMSecs(ms); }

private:
    QDateTime t_;
};

// The process-wide clock. Set it before any thread starts (tests only).
const Clock& ProgramClock();
void SetProgramClock(const Clock* clock); // nullptr restores the system clock
