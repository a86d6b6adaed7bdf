// The motion comparison: grid geometry, the strict threshold, blue dominance and the marks.
#include "imaging/Colours.h"
#include "imaging/MotionDetection.h"

#include <QPainter>
#include <cstring>
#include <chrono>
#include <future>
#include <gtest/gtest.h>
#include <limits>
#include <vector>

namespace tarvo {

namespace {
QImage Frame(int w = 320, int h = 240, QRgb fill = qRgb(0, 0, 0))
{
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(fill);
    return img;
}

OptionsValues Options(bool userArea, int l = 50, int t = 50, int r = 100, int b = 100)
{
    OptionsValues o = DefaultOptions("/tmp/tarvo-motion/");
    o.MDUserDefinedArea = userArea;
    o.MDbeginX = l;
    o.MDbeginY = t;
    o.MDendX = r;
    o.MDendY = b;
    return o;
}

// The frame handler's comparison with the default alarm settings: motion at a single point.
bool Moved(QImage& current, const QImage& previous, const MotionSetup& setup)
{
    return DetectMotion(current, previous, setup, AlarmOptions{}) == MotionVerdict::Motion;
}

// True when a full blue change of the single pixel (x, y) is seen on the grid.
bool SeesChangeAt(const DetectionGrid& grid, int x, int y)
{
    QImage previous = Frame();
    QImage current = Frame();
    current.setPixel(x, y, qRgb(0, 0, 255));
    return CompareOnGrid(current, previous, grid, ThresholdForSensitivity(100), {});
}

int CountPixels(const QImage& img, QRgb colour)
{
    int n = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            n += img.pixel(x, y) == colour;
    return n;
}
} // namespace

TEST(DetectionGrid, GeometryFollowsAreaAndFrame)
{
    struct Case {
        const char* name;
        OptionsValues options;
        DetectionRect rect;
        int columns, rows;
    };
    const Case cases[] = {
        {"entire picture", Options(false), {0, 0, 320, 240}, 32, 24},
        {"user area", Options(true), {50, 50, 100, 100}, 5, 5},
        {"cut to the right edge", Options(true, 300, 50, 400, 100), {300, 50, 320, 100}, 2, 5},
        {"cut to the bottom edge", Options(true, 0, 225, 20, 900), {0, 225, 20, 240}, 2, 1},
        {"nine pixels wide", Options(true, 50, 50, 59, 100), {50, 50, 59, 100}, 0, 5},
        // Truncation toward zero: -15 / 10 is -1, not -2.
        {"left edge beyond the frame", Options(true, 335, 50, 400, 100), {335, 50, 320, 100}, -1, 5},
    };
    for (const Case& c : cases) {
        const DetectionGrid g = MakeDetectionGrid(320, 240, c.options);
        EXPECT_EQ(g.Rect, c.rect) << c.name;
        EXPECT_EQ(g.Columns, c.columns) << c.name;
        EXPECT_EQ(g.Rows, c.rows) << c.name;
    }
}

TEST(DetectionGrid, SamplesOnlyTheCentresOfTheCells)
{
    const DetectionGrid entire = MakeDetectionGrid(320, 240, Options(false));
    const DetectionGrid area = MakeDetectionGrid(320, 240, Options(true));
    const DetectionGrid cut = MakeDetectionGrid(320, 240, Options(true, 300, 50, 400, 100));
    struct Case {
        const DetectionGrid* grid;
        int x, y;
        bool sampled;
    };
    const Case cases[] = {
        {&entire, 5, 5, true},    {&entire, 315, 235, true}, {&entire, 4, 5, false},
        {&entire, 6, 5, false},   {&entire, 5, 15, true},    {&entire, 319, 239, false},
        {&area, 55, 55, true},    {&area, 95, 95, true},     {&area, 75, 85, true},
        {&area, 105, 95, false},  {&area, 45, 55, false},    {&area, 5, 5, false},
        {&cut, 305, 55, true},    {&cut, 315, 95, true},     {&cut, 295, 55, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(SeesChangeAt(*c.grid, c.x, c.y), c.sampled) << c.x << "," << c.y;
}

TEST(MotionThreshold, FollowsSensitivity)
{
    EXPECT_EQ(ThresholdForSensitivity(1), 1090000);
    EXPECT_EQ(ThresholdForSensitivity(51), 5590000);
    EXPECT_EQ(ThresholdForSensitivity(100), 10000000);
}

TEST(DetectMotion, DifferenceMustBeStrictlyAboveTheThreshold)
{
    const std::int32_t threshold = 5590000; // 0x554BF0: blue 0x55, green 0x4B, red 0xF0
    const MotionSetup setup = MakeMotionSetup(320, 240, Options(false), threshold);
    const QImage previous = Frame();

    QImage equal = Frame();
    equal.setPixel(55, 55, qRgb(0xF0, 0x4B, 0x55));
    ASSERT_EQ(ToColorRef(equal.pixel(55, 55)), threshold);
    EXPECT_FALSE(Moved(equal, previous, setup));

    QImage above = Frame();
    above.setPixel(55, 55, qRgb(0xF1, 0x4B, 0x55));
    EXPECT_TRUE(Moved(above, previous, setup));

    // The difference is symmetric: a darker current frame counts the same.
    QImage darker = Frame(320, 240, qRgb(0xF1, 0x4B, 0x55));
    QImage black = Frame();
    black.setPixel(55, 55, qRgb(0, 0, 0));
    EXPECT_TRUE(Moved(black, darker, setup));
}

TEST(DetectMotion, OnlyABlueChangeCountsAtAnySensitivity)
{
    for (int sensitivity : {1, 51, 100}) {
        const std::int32_t threshold = ThresholdForSensitivity(sensitivity);
        const DetectionGrid g = MakeDetectionGrid(320, 240, Options(false));
        const QImage previous = Frame();
        QImage redGreen = Frame(320, 240, qRgb(255, 255, 0));
        EXPECT_FALSE(CompareOnGrid(redGreen, previous, g, threshold, {})) << sensitivity;
        QImage blue = Frame(320, 240, qRgb(0, 0, 255));
        EXPECT_TRUE(CompareOnGrid(blue, previous, g, threshold, {})) << sensitivity;
        // Red and green at full scale on top of a blue change of one level still count as the
        // small blue change: far below the lowest threshold.
        QImage almost = Frame(320, 240, qRgb(255, 255, 1));
        EXPECT_FALSE(CompareOnGrid(almost, previous, g, threshold, {})) << sensitivity;
    }
}

TEST(DetectMotion, MarksCirclesOnlyWhereTheDifferenceExceedsTheThreshold)
{
    const QRgb mark = qRgb(0, 255, 0);
    const MotionMarks marks{true, false, ToColour(QColor(mark))};
    const DetectionGrid g = MakeDetectionGrid(320, 240, Options(false));
    const std::int32_t threshold = ThresholdForSensitivity(51);

    QImage same = Frame();
    EXPECT_FALSE(CompareOnGrid(same, Frame(), g, threshold, marks));
    EXPECT_EQ(CountPixels(same, mark), 0);

    QImage current = Frame();
    current.setPixel(155, 105, qRgb(0, 0, 255)); // motion at one sample point
    current.setPixel(205, 105, qRgb(255, 255, 0)); // a change below the threshold
    const QImage previous = Frame();
    EXPECT_TRUE(CompareOnGrid(current, previous, g, threshold, marks));
    EXPECT_GT(CountPixels(current, mark), 0);
    // Every marked pixel lies on the circle's 10 x 10 box around (155, 105).
    for (int y = 0; y < current.height(); ++y)
        for (int x = 0; x < current.width(); ++x)
            if (current.pixel(x, y) == mark) {
                EXPECT_GE(x, 150);
                EXPECT_LE(x, 160);
                EXPECT_GE(y, 100);
                EXPECT_LE(y, 110);
            }
    EXPECT_EQ(CountPixels(previous, mark), 0);
}

TEST(DetectMotion, OutlinesAUserAreaEvenWithoutMotion)
{
    OptionsValues options = Options(true);
    options.Mark = true;
    options.MarkColor = 0x00FF0000; // blue in 0x00BBGGRR
    const std::int32_t threshold = ThresholdForSensitivity(51);
    QImage current = Frame();
    EXPECT_FALSE(Moved(current, Frame(), MakeMotionSetup(320, 240, options, threshold)));
    const QRgb blue = qRgb(0, 0, 255);
    for (auto [x, y] : {std::pair{50, 50}, {99, 50}, {50, 99}, {99, 99}, {75, 50}, {50, 75}})
        EXPECT_EQ(current.pixel(x, y), blue) << x << "," << y;
    EXPECT_NE(current.pixel(100, 100), blue); // Right and Bottom are exclusive
    EXPECT_NE(current.pixel(75, 75), blue);

    // The entire picture gets no outline.
    options.MDUserDefinedArea = false;
    QImage whole = Frame();
    Moved(whole, Frame(), MakeMotionSetup(320, 240, options, threshold));
    EXPECT_EQ(CountPixels(whole, blue), 0);
}

TEST(DetectMotion, AreasOutsideTheFrameNeverSeeMotion)
{
    QImage previous = Frame();
    QImage current = Frame(320, 240, qRgb(0, 0, 255));
    for (const OptionsValues& o : {Options(true, 50, 50, 59, 100), Options(true, 335, 50, 400, 100),
                                   Options(true, -1000, -1000, -500, -500)}) {
        const DetectionGrid g = MakeDetectionGrid(320, 240, o);
        EXPECT_FALSE(CompareOnGrid(current, previous, g, ThresholdForSensitivity(1), {}));
    }
    // Points of an area that begins left of the frame read as invalid in both frames.
    const DetectionGrid partly = MakeDetectionGrid(320, 240, Options(true, -40, 0, 10, 10));
    EXPECT_EQ(partly.Columns, 5);
    QImage unchanged = Frame();
    EXPECT_FALSE(CompareOnGrid(unchanged, previous, partly, ThresholdForSensitivity(1), {true, true, 0xFF}));
    EXPECT_TRUE(CompareOnGrid(current, previous, partly, ThresholdForSensitivity(1), {}));
}

TEST(DetectMotion, ReadsOtherPixelFormatsTheSameWay)
{
    const DetectionGrid g = MakeDetectionGrid(64, 48, Options(false));
    QImage previous = Frame(64, 48).convertToFormat(QImage::Format_RGB888);
    QImage current = Frame(64, 48, qRgb(0, 0, 255)).convertToFormat(QImage::Format_RGB888);
    EXPECT_TRUE(CompareOnGrid(current, previous, g, ThresholdForSensitivity(100), {}));
    EXPECT_EQ(ToColorRef(qRgb(1, 2, 3)), 0x030201);
}

namespace {
// The grid rule read literally, over the frame's own pixels: a pixel is a grid point when its
// offset from the area's origin plus half a step is a whole number of steps, below the count.
bool OnGridAxis(std::int64_t coordinate, std::int32_t origin, std::int32_t count)
{
    const std::int64_t offset = coordinate - origin - GridStep / 2;
    return offset >= 0 && offset % GridStep == 0 && offset / GridStep < count;
}

// The result and the marked frame the grid rule gives for the points inside the frame.
bool ReferenceCompare(QImage& current, const QImage& previous, const DetectionGrid& g, std::int32_t limit,
                      QRgb markColour)
{
    std::int64_t maxDiff = 0;
    QPainter painter(&current);
    painter.setPen(QPen(QColor(markColour), 1));
    const QImage before = current.copy();
    for (int y = 0; y < before.height(); ++y)
        for (int x = 0; x < before.width(); ++x) {
            if (!OnGridAxis(x, g.Rect.Left, g.Columns) || !OnGridAxis(y, g.Rect.Top, g.Rows))
                continue;
            const std::int64_t a = ToColorRef(before.pixel(x, y));
            const std::int64_t b = ToColorRef(previous.pixel(x, y));
            maxDiff = std::max(maxDiff, a > b ? a - b : b - a);
            if ((a > b ? a - b : b - a) > limit)
                painter.drawEllipse(QRect(x - 5, y - 5, 9, 9));
        }
    return maxDiff > limit;
}

// A frame whose blue level changes from pixel to pixel, so that grid points differ from their
// neighbours and a comparison against a black frame moves at some points and not at others.
QImage Pattern(int w, int h)
{
    QImage img = Frame(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            img.setPixel(x, y, qRgb(0, 0, (x * 7 + y * 13) % 256));
    return img;
}
} // namespace

TEST(DetectMotion, VisitsOnlyGridPointsInsideTheFrameForAnyArea)
{
    constexpr std::int32_t lowest = std::numeric_limits<std::int32_t>::min();
    constexpr std::int32_t highest = std::numeric_limits<std::int32_t>::max();
    struct Case {
        const char* name;
        DetectionRect rect;
    };
    const Case cases[] = {
        {"inside", {10, 10, 50, 40}},
        {"partly left and above", {-25, -13, 30, 70}},
        {"partly right and below", {33, 21, 200, 200}},
        {"entirely outside", {-500, -500, -100, -100}},
        {"left edge beyond the frame", {70, 0, 64, 48}},
        {"damaged: lowest corner", {lowest, lowest, 64, 48}},
        {"damaged: lowest corner, odd offset", {lowest + 3, lowest + 7, 64, 48}},
        {"damaged: everything", {lowest, lowest, highest, highest}},
        {"damaged: near the frame to the far end", {-7, -3, highest, highest}},
    };
    const QImage previous = Frame(64, 48);
    const QImage pattern = Pattern(64, 48);
    const QRgb mark = qRgb(0, 255, 0);
    for (const Case& c : cases) {
        const DetectionRect& r = c.rect;
        const DetectionGrid g{r, std::int32_t((std::int64_t(r.Right) - r.Left) / GridStep),
                              std::int32_t((std::int64_t(r.Bottom) - r.Top) / GridStep)};
        for (const std::int32_t limit : {ThresholdForSensitivity(1), std::int32_t(0x7F0000)}) {
            QImage expected = pattern;
            const bool expectedMotion = ReferenceCompare(expected, previous, g, limit, mark);
            QImage current = pattern;
            // A damaged area must not hold the frame thread: the comparison ends within the
            // generous deadline (a full visit of such a grid would take years).
            auto compared = std::async(std::launch::async, [&] {
                return CompareOnGrid(current, previous, g, limit, {true, false, ToColour(QColor(mark))});
            });
            ASSERT_EQ(compared.wait_for(std::chrono::seconds(60)), std::future_status::ready) << c.name;
            EXPECT_EQ(compared.get(), expectedMotion) << c.name << " limit " << limit;
            EXPECT_EQ(current, expected) << c.name << " limit " << limit;
        }
    }
}

namespace {
// A 100 x 10 frame has one row of ten grid points, at x = 5, 15, ..., 95 and y = 5.
QImage WithChangedPoints(int count)
{
    QImage img = Frame(100, 10);
    for (int i = 0; i < count; ++i)
        img.setPixel(5 + 10 * i, 5, qRgb(0, 0, 255));
    return img;
}

AlarmOptions Alarms(int minPoints, bool ignoreLight = false, int lightPercent = 60)
{
    AlarmOptions a;
    a.MinChangedPoints = minPoints;
    a.IgnoreLightChange = ignoreLight;
    a.LightChangePercent = lightPercent;
    return a;
}

// A frame whose grid points marked '#' in rows (one character a point, one row a grid row) are
// changed against a black frame of the same size.
QImage WithPattern(std::initializer_list<const char*> rows)
{
    const std::vector<const char*> lines(rows);
    const int columns = int(std::strlen(lines[0]));
    QImage img = Frame(columns * GridStep, int(lines.size()) * GridStep);
    for (std::size_t r = 0; r < lines.size(); ++r)
        for (int c = 0; c < columns; ++c)
            if (lines[r][c] == '#')
                img.setPixel(GridStep / 2 + c * GridStep, GridStep / 2 + int(r) * GridStep, qRgb(0, 0, 255));
    return img;
}
} // namespace

TEST(AlarmRules, MotionNeedsAtLeastTheChosenNumberOfPoints)
{
    const DetectionGrid g = MakeDetectionGrid(100, 10, Options(false));
    const std::int32_t threshold = ThresholdForSensitivity(51);
    for (int changed = 0; changed <= 4; ++changed) {
        const QImage current = WithChangedPoints(changed);
        const MotionComparison c = CountChangedPoints(current, Frame(100, 10), g, threshold);
        EXPECT_EQ(c.ChangedPoints, changed);
        EXPECT_EQ(c.FramePoints, 10);
        for (int min = 1; min <= 3; ++min)
            EXPECT_EQ(JudgeMotion(c, Alarms(min)) == MotionVerdict::Motion, changed >= min)
                << changed << " changed, at least " << min;
        // One point is the single-point rule exactly.
        QImage copy = current;
        EXPECT_EQ(JudgeMotion(c, Alarms(1)) == MotionVerdict::Motion, CompareOnGrid(copy, Frame(100, 10), g, threshold, {}));
    }
    // Changes below the threshold and red or green alone never count, whatever the rule.
    QImage weak = Frame(100, 10);
    weak.setPixel(5, 5, qRgb(255, 255, 0));
    EXPECT_EQ(CountChangedPoints(weak, Frame(100, 10), g, threshold).ChangedPoints, 0);
}

TEST(AlarmRules, InADarkSceneAChangeAtMostPointsIsLightWhenAsked)
{
    const DetectionGrid g = MakeDetectionGrid(100, 10, Options(false));
    const std::int32_t threshold = ThresholdForSensitivity(51);
    struct Case {
        int changed;
        AlarmOptions alarms;
        MotionVerdict verdict;
    };
    const Case cases[] = {
        {10, Alarms(1), MotionVerdict::Motion},
        {10, Alarms(1, true), MotionVerdict::LightChange},
        {6, Alarms(1, true, 60), MotionVerdict::LightChange},
        {5, Alarms(1, true, 60), MotionVerdict::Motion},
        {5, Alarms(6, true, 60), MotionVerdict::Still},
        {10, Alarms(1, true, 100), MotionVerdict::LightChange},
        {0, Alarms(1, true, 10), MotionVerdict::Still},
    };
    const MotionSetup setup{g, threshold, {}};
    for (const Case& c : cases) {
        QImage current = WithChangedPoints(c.changed);
        EXPECT_EQ(DetectMotion(current, Frame(100, 10), setup, c.alarms), c.verdict) << c.changed << " changed";
    }
}

TEST(AlarmRules, MotionNeedsAGroupOfTouchingPointsAsWell)
{
    struct Case {
        const char* name;
        QImage current;
        std::int64_t changed, largest;
        bool userArea = false; // the area 10,0 - 50,40: the pattern's columns 1 to 4 alone
    };
    const Case cases[] = {
        {"ring", WithPattern({"......", ".###..", ".#.#..", ".###..", "......"}), 8, 8},
        {"diagonal line", WithPattern({"#.....", ".#....", "..#...", "...#..", "....#."}), 5, 5},
        {"two groups", WithPattern({"##...#", "##...#", "......", "..#...", "......"}), 7, 4},
        {"row ends do not join", WithPattern({".....#", "#.....", ".....#", "#.....", "......"}), 4, 1},
        {"cut by the area's edge", WithPattern({"######", "......", "......", "......", "#....#"}), 4, 4, true},
    };
    for (const Case& c : cases) {
        const DetectionGrid g = MakeDetectionGrid(c.current.width(), c.current.height(), Options(c.userArea, 10, 0, 50, 40));
        const QImage previous = Frame(c.current.width(), c.current.height());
        const std::int32_t threshold = ThresholdForSensitivity(51);
        const MotionComparison m = CountChangedPoints(c.current, previous, g, threshold, GridReading{true});
        EXPECT_EQ(m.ChangedPoints, c.changed) << c.name;
        EXPECT_EQ(m.LargestGroup, c.largest) << c.name;
        AlarmOptions alarms;
        alarms.MinGroupPoints = int(c.largest);
        const MotionSetup setup{g, threshold, {}};
        QImage current = c.current;
        EXPECT_EQ(DetectMotion(current, previous, setup, alarms), MotionVerdict::Motion) << c.name;
        alarms.MinGroupPoints = int(c.largest) + 1;
        EXPECT_EQ(DetectMotion(current, previous, setup, alarms), MotionVerdict::Still) << c.name;
        // Both rules must hold: the group is there, the count is not.
        alarms.MinGroupPoints = int(c.largest);
        alarms.MinChangedPoints = int(c.changed) + 1;
        EXPECT_EQ(DetectMotion(current, previous, setup, alarms), MotionVerdict::Still) << c.name;
    }
}

namespace {
// A still scene with detail, its channels following one brightness as in a real picture, seen
// under the light times gain (clipped as a camera clips), perhaps with a person in it.
QImage LitScene(double gain, bool person)
{
    QImage img(200, 150, QImage::Format_RGB32);
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) {
            const int v = 30 + (x * 7 + y * 13) % 170;
            const auto lit = [gain](int c) { return std::min(255, int(c * gain + 0.5)); };
            img.setPixel(x, y, qRgb(lit(v + 10), lit(v), lit(v - 20 > 0 ? v - 20 : 0)));
        }
    if (person)
        QPainter(&img).fillRect(60, 40, 40, 70, QColor(230, 40, 0));
    return img;
}
} // namespace

TEST(AlarmRules, ALightJumpIsNoMotionButAPersonWalkingInDuringItIs)
{
    const std::int32_t threshold = ThresholdForSensitivity(20);
    const MotionSetup setup = MakeMotionSetup(200, 150, Options(false), threshold);
    AlarmOptions light;
    light.IgnoreLightChange = true;
    for (const double gain : {1.25, 1.5, 2.0}) {
        // Brighter and darker: the reference under one light, the sample under the other.
        for (const auto& [before, after] : {std::pair{1.0, gain}, std::pair{gain, 1.0}}) {
            const QImage previous = LitScene(before, false);
            QImage sample = LitScene(after, false);
            ASSERT_EQ(DetectMotion(sample, previous, setup, AlarmOptions{}), MotionVerdict::Motion)
                << "the jump " << before << " to " << after << " must move points past the threshold";
            EXPECT_EQ(DetectMotion(sample, previous, setup, light), MotionVerdict::LightChange) << before << " to " << after;
            QImage walkedIn = LitScene(after, true);
            EXPECT_EQ(DetectMotion(walkedIn, previous, setup, light), MotionVerdict::Motion) << before << " to " << after;
        }
    }
    // Without a change of light the person is motion and nothing else is.
    QImage still = LitScene(1.0, false);
    EXPECT_EQ(DetectMotion(still, LitScene(1.0, false), setup, light), MotionVerdict::Still);
    QImage walkedIn = LitScene(1.0, true);
    EXPECT_EQ(DetectMotion(walkedIn, LitScene(1.0, false), setup, light), MotionVerdict::Motion);
}

TEST(AlarmRules, MarksFollowTheDecision)
{
    OptionsValues options = Options(false);
    options.Mark = true;
    options.MarkColor = 0x0000FF00;
    const MotionSetup setup = MakeMotionSetup(100, 10, options, ThresholdForSensitivity(51));
    const QRgb mark = qRgb(0, 255, 0);
    QImage twoPoints = WithChangedPoints(2);
    EXPECT_EQ(DetectMotion(twoPoints, Frame(100, 10), setup, Alarms(3)), MotionVerdict::Still);
    EXPECT_EQ(CountPixels(twoPoints, mark), 0);
    EXPECT_EQ(DetectMotion(twoPoints, Frame(100, 10), setup, Alarms(2)), MotionVerdict::Motion);
    EXPECT_GT(CountPixels(twoPoints, mark), 0);
    QImage light = WithChangedPoints(10);
    EXPECT_EQ(DetectMotion(light, Frame(100, 10), setup, Alarms(1, true)), MotionVerdict::LightChange);
    EXPECT_EQ(CountPixels(light, mark), 0);
}

} // namespace tarvo
