#include "imaging/MotionDetection.h"
#include "imaging/Colours.h"

#include <QPainter>
#include <algorithm>
#include <cstdlib>
#include <optional>
#include <vector>

namespace tarvo {

namespace {

// An unreadable pixel answers the invalid colour, the same in both frames, so it never counts.
constexpr std::int32_t InvalidColour = -1;

std::int32_t PixelAt(const QImage& image, int x, int y)
{
    if (x < 0 || y < 0 || x >= image.width() || y >= image.height())
        return InvalidColour;
    const QImage::Format f = image.format();
    if (f == QImage::Format_RGB32 || f == QImage::Format_ARGB32 || f == QImage::Format_ARGB32_Premultiplied)
        return ToColorRef(reinterpret_cast<const QRgb*>(image.constScanLine(y))[x]);
    return ToColorRef(image.pixel(x, y));
}

// Grid indices [first, end) whose coordinate origin + GridStep / 2 + index * GridStep lies in
// [0, size), among the first count indices. 64-bit throughout: origin and count come from the
// profile unchecked.
struct StepRange {
    std::int64_t first = 0;
    std::int64_t end = 0;
};

StepRange InsideFrame(std::int32_t origin, std::int32_t count, int size)
{
    const std::int64_t start = std::int64_t(origin) + GridStep / 2;
    const auto ceilDiv = [](std::int64_t n) { return (n + GridStep - 1) / GridStep; }; // n >= 0
    StepRange range;
    range.first = start >= 0 ? 0 : ceilDiv(-start);
    range.end = std::min<std::int64_t>(count, size > start ? ceilDiv(size - start) : 0);
    range.end = std::max(range.end, range.first);
    return range;
}
} // namespace

DetectionGrid MakeDetectionGrid(int frameWidth, int frameHeight, const OptionsValues& options)
{
    DetectionGrid g;
    if (options.MDUserDefinedArea) {
        g.Rect = {options.MDbeginX, options.MDbeginY, options.MDendX, options.MDendY};
        g.Rect.Right = std::min(g.Rect.Right, frameWidth);
        g.Rect.Bottom = std::min(g.Rect.Bottom, frameHeight);
    } else {
        g.Rect = {0, 0, frameWidth, frameHeight};
    }
    // 64-bit so that areas from a damaged profile cannot overflow; C++ division truncates toward zero.
    g.Columns = static_cast<std::int32_t>((std::int64_t(g.Rect.Right) - g.Rect.Left) / GridStep);
    g.Rows = static_cast<std::int32_t>((std::int64_t(g.Rect.Bottom) - g.Rect.Top) / GridStep);
    return g;
}

MotionSetup MakeMotionSetup(int frameWidth, int frameHeight, const OptionsValues& options, std::int32_t limit)
{
    const MotionMarks marks{bool(options.Mark), bool(options.Mark) && bool(options.MDUserDefinedArea), options.MarkColor};
    return {MakeDetectionGrid(frameWidth, frameHeight, options), limit, marks};
}

namespace {
// Calls visit(x, y, difference) for each grid point inside the current frame.
template <class Visit> void ForEachGridPoint(const QImage& current, const QImage& previous, const DetectionGrid& g, Visit visit)
{
    // Only grid points inside the current frame can differ (both frames answer the invalid colour
    // elsewhere), so the loops visit those alone: an area from a damaged profile may span billions
    // of points, almost all outside.
    const StepRange rows = InsideFrame(g.Rect.Top, g.Rows, current.height());
    const StepRange columns = InsideFrame(g.Rect.Left, g.Columns, current.width());
    for (std::int64_t r = rows.first; r < rows.end; ++r) {
        const int y = int(std::int64_t(g.Rect.Top) + GridStep / 2 + r * GridStep);
        for (std::int64_t c = columns.first; c < columns.end; ++c) {
            const int x = int(std::int64_t(g.Rect.Left) + GridStep / 2 + c * GridStep);
            // Packed values, not per channel: blue in the high byte dominates the difference.
            const std::int64_t a = PixelAt(current, x, y);
            const std::int64_t b = PixelAt(previous, x, y);
            visit(x, y, std::max(a, b) - std::min(a, b));
        }
    }
}
} // namespace

MotionComparison CountChangedPoints(const QImage& current, const QImage& previous, const DetectionGrid& g,
                                    std::int32_t limit)
{
    MotionComparison result;
    ForEachGridPoint(current, previous, g, [&](int, int, std::int64_t d) {
        ++result.FramePoints;
        result.ChangedPoints += d > limit;
    });
    return result;
}

void DrawMotionMarks(QImage& current, const QImage& previous, const DetectionGrid& g, std::int32_t limit,
                     const MotionMarks& marks, bool motion)
{
    if (!marks.Mark || current.isNull())
        return;
    // The painter is made only when there is something to draw.
    std::optional<QPainter> painter;
    auto pen = [&]() -> QPainter& {
        if (!painter) {
            painter.emplace(&current);
            painter->setPen(QPen(ToQColor(marks.MarkColor), 1));
            painter->setBrush(Qt::NoBrush);
        }
        return *painter;
    };
    // Circles are drawn after the whole grid was read, so no circle can change a point still to
    // be compared.
    if (motion) {
        std::vector<QPoint> changed;
        ForEachGridPoint(current, previous, g, [&](int x, int y, std::int64_t d) {
            if (d > limit)
                changed.emplace_back(x, y);
        });
        for (const QPoint& p : changed)
            pen().drawEllipse(QRect(p.x() - 5, p.y() - 5, 10, 10).adjusted(0, 0, -1, -1));
    }
    if (marks.DrawArea) {
        const DetectionRect& a = g.Rect;
        // Right and Bottom are exclusive, and a stroked QRect covers one pixel more than its size.
        const std::int64_t w = std::int64_t(a.Right) - a.Left - 1;
        const std::int64_t h = std::int64_t(a.Bottom) - a.Top - 1;
        constexpr std::int64_t sane = 1 << 30; // a damaged profile must not overflow the painter
        if (std::abs(w) < sane && std::abs(h) < sane && std::abs(std::int64_t(a.Left)) < sane
            && std::abs(std::int64_t(a.Top)) < sane)
            pen().drawRect(QRect(a.Left, a.Top, int(w), int(h)));
    }
}

bool CompareOnGrid(QImage& current, const QImage& previous, const DetectionGrid& g, std::int32_t limit,
                   const MotionMarks& marks)
{
    const bool motion = CountChangedPoints(current, previous, g, limit).ChangedPoints > 0;
    DrawMotionMarks(current, previous, g, limit, marks, motion);
    return motion;
}

MotionVerdict JudgeMotion(const MotionComparison& c, const AlarmOptions& alarms)
{
    if (alarms.IgnoreLightChange && c.ChangedPoints > 0
        && c.ChangedPoints * 100 >= std::int64_t(alarms.LightChangePercent) * c.FramePoints)
        return MotionVerdict::LightChange;
    return c.ChangedPoints >= std::max(1, alarms.MinChangedPoints) ? MotionVerdict::Motion : MotionVerdict::Still;
}

MotionVerdict DetectMotion(QImage& current, const QImage& previous, const MotionSetup& setup,
                           const AlarmOptions& alarms)
{
    const MotionComparison comparison = CountChangedPoints(current, previous, setup.Grid, setup.Threshold);
    const MotionVerdict verdict = JudgeMotion(comparison, alarms);
    DrawMotionMarks(current, previous, setup.Grid, setup.Threshold, setup.Marks, verdict == MotionVerdict::Motion);
    return verdict;
}

} // namespace tarvo
