#pragma once
// A clock that stands still until moved, set as the program clock by tests.
#include "common/Clock.h"

#include <utility>

namespace tarvo {

class FixedClock final : public Clock {
public:
    explicit FixedClock(QDateTime t) : t_(std::move(t)) {}
    QDateTime now() const override { return t_; }
    void set(QDateTime t) { t_ = std::move(t); }
    void advanceMs(qint64 ms) { t_ = t_.addMSecs(ms); }

private:
    QDateTime t_;
};

} // namespace tarvo
