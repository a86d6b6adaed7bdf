#pragma once

namespace tarvo {

// The motion detection area as the setup dialog's four area boxes hold it.

// begin is the top-left corner, end the bottom-right.
struct DetectionArea {
    int beginX = 0;
    int beginY = 0;
    int endX = 0;
    int endY = 0;
    bool operator==(const DetectionArea&) const = default;
};

} // namespace tarvo
