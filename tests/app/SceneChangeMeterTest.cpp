// The scene meter of the detection-area window: counts changed points and their largest group between seconds, starts over
// when the picture changes size, and stops with the window.
#include "support/TestSupport.h"

#include "app/SceneChangeMeter.h"

#include <gtest/gtest.h>
#include <tuple>

namespace tarvo {

namespace {
QImage Scene(int changedPoints, QSize size = {100, 20})
{
    QImage img(size, QImage::Format_RGB32);
    img.fill(qRgb(0, 0, 0));
    for (int i = 0; i < changedPoints; ++i)
        img.setPixel(5 + 10 * i, 5, qRgb(0, 0, 255));
    return img;
}

TEST(SceneChangeMeterTest, ShowsTheChangedPointsOfEachSecond)
{
    std::vector<QImage> frames{Scene(0), Scene(3), Scene(3), QImage(), Scene(0, {50, 50}), Scene(0, {50, 50})};
    std::size_t next = 0;
    bool watching = true;
    std::vector<std::tuple<int, int, int>> shown;
    SceneChangeMeter::Hooks hooks;
    hooks.watching = [&] { return watching; };
    hooks.grab = [&] { return next < frames.size() ? frames[next++] : QImage(); };
    hooks.grid = [](int w, int h) {
        OptionsValues o = DefaultOptions(QString()); // the grid uses no folder
        o.MDUserDefinedArea = false;
        return MakeDetectionGrid(w, h, o);
    };
    hooks.threshold = [] { return ThresholdForSensitivity(51); };
    hooks.show = [&](int changed, int points, int group) { shown.emplace_back(changed, points, group); };
    SceneChangeMeter meter(hooks);

    meter.Start(); // the first picture is only the reference
    for (int i = 0; i < 5; ++i)
        meter.Tick();
    const std::vector<std::tuple<int, int, int>> expected{{-1, -1, -1}, {3, 20, 3}, {0, 20, 0},
                                                          {-1, -1, -1}, {-1, -1, -1}, {0, 25, 0}};
    EXPECT_EQ(shown, expected);
    EXPECT_TRUE(meter.Active());

    watching = false; // the window was closed
    meter.Tick();
    EXPECT_FALSE(meter.Active());
    EXPECT_EQ(shown.back(), std::make_tuple(-1, -1, -1));
}
} // namespace

} // namespace tarvo
