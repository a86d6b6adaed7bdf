#pragma once
// The two-click choice of the motion detection area, kept apart from the window so that the
// click order, the rubber band and the ordered corners can be checked without one.
#include "settings/DetectionArea.h"

#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>
#include <optional>

namespace tarvo {

class DetectionAreaPicker {
public:
    enum class State { Idle, WaitingFirst, WaitingSecond };

    // A new choice on a picture of this size: both corners at 0, waiting for the first click.
    void Start(QSize picture);
    State state() const { return state_; }

    // The mouse seen over the picture. Positions outside it (a drag that left the picture) are
    // pulled back to its edges, so the area never starts left of or above the picture.
    void MouseMove(QPoint pos);
    // Takes the last mouse position as the next corner; true when that was the second corner
    // and the choice is complete.
    bool Click();

    // Title of the window while choosing: with the mouse position once it has been seen.
    QString Title() const;
    // The rectangle to draw while waiting for the second corner: first corner to the mouse.
    std::optional<std::pair<QPoint, QPoint>> RubberBand() const;
    // The corners ordered so that begin <= end on both axes, whatever order they were clicked in.
    DetectionArea OrderedArea() const;

    static QString IdleTitle();

private:
    State state_ = State::Idle;
    QSize picture_;
    QPoint first_;
    QPoint second_;
    QPoint last_;
    bool seenMouse_ = false;
};

} // namespace tarvo
