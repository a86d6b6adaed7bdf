#pragma once
// Motion comparison of two sampled frames on a grid of single pixels inside the detection area.
// The threshold is set whenever a profile is activated; grid, threshold and marks are fixed for a
// run when auto-capturing starts.
#include "settings/ExtraOptions.h"
#include "settings/OptionsValues.h"

#include <QImage>
#include <cstdint>

namespace tarvo {

// Distance between neighbouring sample points, horizontally and vertically.
inline constexpr int GridStep = 10;

// Area compared, in frame pixels; Right and Bottom are exclusive.
struct DetectionRect {
    std::int32_t Left = 0;
    std::int32_t Top = 0;
    std::int32_t Right = 0;
    std::int32_t Bottom = 0;
    bool operator==(const DetectionRect&) const = default;
};

struct DetectionGrid {
    DetectionRect Rect;
    std::int32_t Columns = 0; // zero or fewer: nothing is sampled
    std::int32_t Rows = 0;
    bool operator==(const DetectionGrid&) const = default;
};

// The grid for a frame size: the user's area cut to the frame's right and bottom edges, or the
// entire picture.
DetectionGrid MakeDetectionGrid(int frameWidth, int frameHeight, const OptionsValues& options);

// Largest colour difference that still counts as no motion.
constexpr std::int32_t ThresholdForSensitivity(std::int32_t sensitivity)
{
    return sensitivity * 90000 + 1000000;
}

// What a comparison marks into the current frame.
struct MotionMarks {
    bool Mark = false;        // circles at changed points
    bool DrawArea = false;    // outline of the detection area (user-defined areas only)
    Colour MarkColor = 0x0000FF00;
};

// Everything a comparison reads, fixed for a run.
struct MotionSetup {
    DetectionGrid Grid;
    std::int32_t Threshold = 0;
    MotionMarks Marks;
};
// The setup for a frame size under these settings: their area and marks, and the threshold given.
MotionSetup MakeMotionSetup(int frameWidth, int frameHeight, const OptionsValues& options, std::int32_t threshold);

// How a comparison looks at the grid beyond counting.
struct GridReading {
    bool Groups = false; // find the largest group of changed points
    // The light's gain from previous to current: the darker picture is brightened by it before
    // the points are compared, so an even change of light leaves them unchanged. 1: as they are.
    float Gain = 1.0f;
};

// What one comparison found.
struct MotionComparison {
    std::int64_t ChangedPoints = 0; // grid points whose difference is strictly above the threshold
    std::int64_t FramePoints = 0;   // grid points inside the frame: the only ones that can change
    // The most changed points that touch one another (a point and its eight grid neighbours);
    // counted only when the reading asks for groups.
    std::int64_t LargestGroup = 0;
};
// Counts the changed points of the grid, drawing nothing. A pixel outside a frame reads as an
// invalid colour (-1), the same in both frames.
MotionComparison CountChangedPoints(const QImage& current, const QImage& previous, const DetectionGrid& grid,
                                    std::int32_t threshold, GridReading reading = {});
// Draws the marks into current: circles at the changed points (read with the gain given) when
// motion was decided, and the area outline whenever the marks ask for it.
void DrawMotionMarks(QImage& current, const QImage& previous, const DetectionGrid& grid, std::int32_t threshold,
                     const MotionMarks& marks, bool motion, float gain = 1.0f);

// One comparison on an explicit grid and threshold with the single-point rule; may draw into
// current, never into previous.
bool CompareOnGrid(QImage& current, const QImage& previous, const DetectionGrid& grid,
                   std::int32_t threshold, const MotionMarks& marks);

// The common gain of the light from previous to current, measured over the grid's points that are
// neither too dark to tell nor clipped; 1 when the light did not change or too few points tell.
float MeasureLightGain(const QImage& current, const QImage& previous, const DetectionGrid& grid);

// What a comparison means under the alarm settings, without a change of light: motion needs
// MinChangedPoints changed points, and among them a group of MinGroupPoints. With the defaults
// this is the single-point rule: motion when the largest difference is above the threshold.
enum class MotionVerdict { Still, Motion, LightChange };
MotionVerdict JudgeMotion(const MotionComparison& comparison, const AlarmOptions& alarms);

// The frame handler's comparison: the run's grid, threshold and marks, judged by the run's alarm
// settings. When the user ignores changes of light, a change the light's gain explains at
// LightChangePercent of the points is judged again with that gain taken out: a person walking in
// still is motion, the rest is a change of light. Where the gain cannot be measured (a scene too
// dark), a change at LightChangePercent of the points at once is taken for light.
MotionVerdict DetectMotion(QImage& current, const QImage& previous, const MotionSetup& setup,
                           const AlarmOptions& alarms);

} // namespace tarvo
