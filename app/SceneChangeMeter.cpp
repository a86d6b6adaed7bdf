#include "app/SceneChangeMeter.h"

#include <limits>

namespace tarvo {

SceneChangeMeter::SceneChangeMeter(Hooks hooks, QObject* parent) : QObject(parent), hooks_(std::move(hooks))
{
    timer_.setInterval(IntervalMs);
    connect(&timer_, &QTimer::timeout, this, [this] { Tick(); });
}

void SceneChangeMeter::Start()
{
    reference_ = QImage();
    timer_.start();
    Tick();
}

void SceneChangeMeter::Tick()
{
    if (!hooks_.watching()) {
        timer_.stop();
        reference_ = QImage();
        hooks_.show(-1, -1, -1);
        return;
    }
    QImage now = hooks_.grab();
    if (now.isNull() || reference_.size() != now.size()) {
        reference_ = now;
        hooks_.show(-1, -1, -1);
        return;
    }
    const MotionComparison c = CountChangedPoints(now, reference_, hooks_.grid(now.width(), now.height()),
                                                  hooks_.threshold(), GridReading{true});
    constexpr std::int64_t most = std::numeric_limits<int>::max();
    hooks_.show(int(std::min(c.ChangedPoints, most)), int(std::min(c.FramePoints, most)),
                int(std::min(c.LargestGroup, most)));
    reference_ = std::move(now);
}

} // namespace tarvo
