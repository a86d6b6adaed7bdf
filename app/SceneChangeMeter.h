#pragma once
// While the detection-area window is open, compares the scene in view once a second with the
// second before and tells the setup dialog how many grid points changed and how many of them touch
// in the largest group, so the user can choose both numbers that make motion. GUI thread only.
#include "imaging/MotionDetection.h"

#include <QImage>
#include <QObject>
#include <QTimer>
#include <functional>

namespace tarvo {

class SceneChangeMeter : public QObject {
    Q_OBJECT
public:
    struct Hooks {
        std::function<bool()> watching;          // the detection-area window is open
        std::function<QImage()> grab;            // the frame in view now; null when there is none
        std::function<DetectionGrid(int width, int height)> grid; // the area the dialog shows
        std::function<std::int32_t()> threshold; // from the dialog's sensitivity
        std::function<void(int changedPoints, int gridPoints, int largestGroup)> show; // -1: nothing to show
    };
    static constexpr int IntervalMs = 1000;

    explicit SceneChangeMeter(Hooks hooks, QObject* parent = nullptr);

    // Starts watching with a fresh reference; stops by itself once the window is closed.
    void Start();
    void Tick();
    bool Active() const { return timer_.isActive(); }

private:
    Hooks hooks_;
    QTimer timer_;
    QImage reference_;
};

} // namespace tarvo
