#pragma once
// The one source of "now" for every routine that reads the clock, so tests can fix the time.
#include <QDateTime>
#include <atomic>

namespace tarvo {

class Clock {
public:
    virtual ~Clock() = default;
    virtual QDateTime now() const = 0;
};

class SystemClock final : public Clock {
public:
    QDateTime now() const override { return QDateTime::currentDateTime(); }
};

// The process-wide clock. Set it before any thread starts (tests only).
const Clock& ProgramClock();
void SetProgramClock(const Clock* clock); // nullptr restores the system clock

} // namespace tarvo
