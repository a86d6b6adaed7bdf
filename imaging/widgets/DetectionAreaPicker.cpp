#include "imaging/widgets/DetectionAreaPicker.h"

#include <algorithm>

namespace tarvo {

QString DetectionAreaPicker::IdleTitle()
{
    return QStringLiteral("Define motion detection area:");
}

void DetectionAreaPicker::Start(QSize picture)
{
    picture_ = picture;
    first_ = second_ = last_ = QPoint(0, 0);
    seenMouse_ = false;
    state_ = State::WaitingFirst;
}

void DetectionAreaPicker::MouseMove(QPoint pos)
{
    if (state_ == State::Idle)
        return;
    last_ = QPoint(std::clamp(pos.x(), 0, std::max(0, picture_.width())),
                   std::clamp(pos.y(), 0, std::max(0, picture_.height())));
    seenMouse_ = true;
}

bool DetectionAreaPicker::Click()
{
    switch (state_) {
    case State::WaitingFirst:
        first_ = last_;
        state_ = State::WaitingSecond;
        return false;
    case State::WaitingSecond:
        second_ = last_;
        state_ = State::Idle;
        return true;
    case State::Idle:
        break;
    }
    return false;
}

QString DetectionAreaPicker::Title() const
{
    if (!seenMouse_)
        return IdleTitle();
    return QStringLiteral("Define motion detection area: (%1, %2)").arg(last_.x()).arg(last_.y());
}

std::optional<std::pair<QPoint, QPoint>> DetectionAreaPicker::RubberBand() const
{
    if (state_ != State::WaitingSecond)
        return std::nullopt;
    return std::make_pair(first_, last_);
}

DetectionArea DetectionAreaPicker::OrderedArea() const
{
    return {std::min(first_.x(), second_.x()), std::min(first_.y(), second_.y()),
            std::max(first_.x(), second_.x()), std::max(first_.y(), second_.y())};
}

} // namespace tarvo
