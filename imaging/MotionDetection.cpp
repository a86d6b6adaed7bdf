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
// The channels of a packed colour (0x00BBGGRR).
constexpr std::int32_t Channel(std::int32_t colour, int shift) { return (colour >> shift) & 0xFF; }

// The colour with each channel times gain, clipped as a camera clips.
std::int32_t Brightened(std::int32_t colour, float gain)
{
    std::int32_t out = 0;
    for (int shift : {0, 8, 16})
        out |= std::min<std::int32_t>(255, std::int32_t(float(Channel(colour, shift)) * gain + 0.5f)) << shift;
    return out;
}

// Packed values, not per channel: blue in the high byte dominates the difference. With a gain,
// the darker picture is brightened to the other's light first, so clipping hits both alike.
std::int64_t Difference(std::int64_t a, std::int64_t b, float gain)
{
    if (gain != 1.0f && a != InvalidColour && b != InvalidColour) {
        if (gain > 1.0f)
            b = Brightened(std::int32_t(b), gain);
        else
            a = Brightened(std::int32_t(a), 1.0f / gain);
    }
    return std::max(a, b) - std::min(a, b);
}

// Calls visit(x, y, column, row, current colour, previous colour) for each grid point inside the
// current frame; column and row count from the first such point.
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
            visit(x, y, int(c - columns.first), int(r - rows.first), PixelAt(current, x, y), PixelAt(previous, x, y));
        }
    }
}

// The most set cells of the mask (columns wide, row after row) that touch one another, the eight
// neighbours included. Clears the mask.
std::int64_t LargestGroup(std::vector<std::uint8_t>& mask, int columns)
{
    if (columns <= 0)
        return 0;
    const int rows = int(mask.size() / std::size_t(columns));
    std::int64_t largest = 0;
    std::vector<int> stack;
    for (std::size_t seed = 0; seed < mask.size(); ++seed) {
        if (!mask[seed])
            continue;
        mask[seed] = 0;
        stack.assign(1, int(seed));
        std::int64_t size = 0;
        while (!stack.empty()) {
            const int at = stack.back();
            stack.pop_back();
            ++size;
            const int r = at / columns, c = at % columns;
            for (int nr = std::max(0, r - 1); nr <= std::min(rows - 1, r + 1); ++nr)
                for (int nc = std::max(0, c - 1); nc <= std::min(columns - 1, c + 1); ++nc)
                    if (const int n = nr * columns + nc; mask[std::size_t(n)]) {
                        mask[std::size_t(n)] = 0;
                        stack.push_back(n);
                    }
        }
        largest = std::max(largest, size);
    }
    return largest;
}
} // namespace

MotionComparison CountChangedPoints(const QImage& current, const QImage& previous, const DetectionGrid& g,
                                    std::int32_t limit, GridReading reading)
{
    MotionComparison result;
    if (!reading.Groups && reading.Gain == 1.0f) {
        // The default rule's path, taken on every sample: nothing but the count.
        ForEachGridPoint(current, previous, g, [&](int, int, int, int, std::int64_t a, std::int64_t b) {
            ++result.FramePoints;
            result.ChangedPoints += std::max(a, b) - std::min(a, b) > limit;
        });
        return result;
    }
    std::vector<std::uint8_t> mask;
    int columns = 0;
    if (reading.Groups) {
        const StepRange rows = InsideFrame(g.Rect.Top, g.Rows, current.height());
        const StepRange cols = InsideFrame(g.Rect.Left, g.Columns, current.width());
        columns = int(cols.end - cols.first);
        mask.assign(std::size_t(rows.end - rows.first) * std::size_t(columns), 0);
    }
    ForEachGridPoint(current, previous, g, [&](int, int, int c, int r, std::int64_t a, std::int64_t b) {
        ++result.FramePoints;
        const bool changed = Difference(a, b, reading.Gain) > limit;
        result.ChangedPoints += changed;
        if (changed && reading.Groups)
            mask[std::size_t(r) * std::size_t(columns) + std::size_t(c)] = 1;
    });
    if (reading.Groups && result.ChangedPoints > 0)
        result.LargestGroup = LargestGroup(mask, columns);
    return result;
}

void DrawMotionMarks(QImage& current, const QImage& previous, const DetectionGrid& g, std::int32_t limit,
                     const MotionMarks& marks, bool motion, float gain)
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
        ForEachGridPoint(current, previous, g, [&](int x, int y, int, int, std::int64_t a, std::int64_t b) {
            if (Difference(a, b, gain) > limit)
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

float MeasureLightGain(const QImage& current, const QImage& previous, const DetectionGrid& g)
{
    // Brightness is the sum of the three channels. A point tells the gain only when it is bright
    // enough in the reference for its ratio not to be noise, and clipped in neither picture.
    constexpr std::int32_t darkest = 30, clipped = 250;
    std::vector<float> ratios;
    std::int64_t points = 0;
    ForEachGridPoint(current, previous, g, [&](int, int, int, int, std::int32_t a, std::int32_t b) {
        ++points;
        if (a == InvalidColour || b == InvalidColour)
            return;
        std::int32_t sumA = 0, sumB = 0, top = 0;
        for (int shift : {0, 8, 16}) {
            sumA += Channel(a, shift);
            sumB += Channel(b, shift);
            top = std::max({top, Channel(a, shift), Channel(b, shift)});
        }
        if (sumB >= darkest && top < clipped)
            ratios.push_back(float(sumA) / float(sumB));
    });
    // The median: a person in part of the picture does not move it. A bright scene whose light
    // doubles keeps few points unclipped, but those few still tell.
    if (ratios.size() < 16 || std::int64_t(ratios.size()) * 16 < points)
        return 1.0f;
    auto middle = ratios.begin() + std::ptrdiff_t(ratios.size() / 2);
    std::nth_element(ratios.begin(), middle, ratios.end());
    const float gain = *middle;
    // Within 2 % the light is taken as unchanged: the comparison then reads the pixels as they are.
    return std::abs(gain - 1.0f) < 0.02f ? 1.0f : gain;
}

MotionVerdict JudgeMotion(const MotionComparison& c, const AlarmOptions& alarms)
{
    const bool motion = c.ChangedPoints >= std::max(1, alarms.MinChangedPoints)
                        && (alarms.MinGroupPoints <= 1 || c.LargestGroup >= alarms.MinGroupPoints);
    return motion ? MotionVerdict::Motion : MotionVerdict::Still;
}

MotionVerdict DetectMotion(QImage& current, const QImage& previous, const MotionSetup& setup,
                           const AlarmOptions& alarms)
{
    GridReading reading{alarms.MinGroupPoints > 1, 1.0f};
    const MotionComparison plain = CountChangedPoints(current, previous, setup.Grid, setup.Threshold, reading);
    MotionVerdict verdict = JudgeMotion(plain, alarms);
    if (verdict == MotionVerdict::Motion && alarms.IgnoreLightChange) {
        const std::int64_t share = alarms.LightChangePercent;
        const auto atShare = [&](std::int64_t points) { return points * 100 >= share * plain.FramePoints; };
        reading.Gain = MeasureLightGain(current, previous, setup.Grid);
        const MotionComparison lit = reading.Gain == 1.0f
                                         ? plain
                                         : CountChangedPoints(current, previous, setup.Grid, setup.Threshold, reading);
        if (reading.Gain != 1.0f && atShare(lit.FramePoints - lit.ChangedPoints)) {
            // The gain explains the scene: what is still changed with the light taken out decides.
            verdict = JudgeMotion(lit, alarms) == MotionVerdict::Motion ? MotionVerdict::Motion : MotionVerdict::LightChange;
        } else {
            // No gain tells (a dark scene, clipped light): a change at the share of all points at
            // once is light.
            reading.Gain = 1.0f;
            if (atShare(plain.ChangedPoints))
                verdict = MotionVerdict::LightChange;
        }
    }
    DrawMotionMarks(current, previous, setup.Grid, setup.Threshold, setup.Marks, verdict == MotionVerdict::Motion,
                    reading.Gain);
    return verdict;
}

} // namespace tarvo
