#pragma once
// The capture devices the GStreamer back-end offers as driver slots, and the choices the driver
// dialogs make for each of them (kept in the store the caller gives, as a driver would keep them).
#include "common/KeyValueStore.h"

#include <QString>
#include <QStringList>
#include <vector>

namespace tarvo {

struct DeviceEntry {
    enum class Kind { V4l2, TestPattern };
    Kind kind = Kind::TestPattern;
    QString name;    // what ListCaptureDrivers shows
    QString version; // second half of the description
    QString path;    // /dev/videoN; for the test device the looped file of TARVO_TEST_SOURCE, if any
    QString key() const; // stable name in the store of the device settings
};

constexpr const char* TestPatternDeviceName = "Test pattern";

// V4L2 cameras ordered by device node, then the test device; at most ten.
std::vector<DeviceEntry> EnumerateCaptureDevices();

// One mode a device can deliver: a frame format the decoder reads, size and rate.
struct CaptureMode {
    QString format = "YUY2"; // "YUY2", "I420" or "MJPG"
    int width = 640;
    int height = 480;
    int fps = 30;
    QString label() const;
    bool operator==(const CaptureMode&) const = default;
};

struct DeviceSettings {
    CaptureMode mode;
    bool modeChosen = false;       // false: the device picks within what the decoder reads
    QString pattern = "ball";      // test device only
    bool compressMjpeg = true;     // recording codec: MJPEG or uncompressed
    int mjpegQuality = 85;         // 1..100
    QStringList colourBalance;     // "NAME=value" entries of the camera's controls

    // Under "Capture-<device key>/" in store.
    static DeviceSettings Load(const DeviceEntry& device, const KeyValueStore& store);
    void Save(const DeviceEntry& device, KeyValueStore& store) const;
};

// The modes a device offers in the format dialog.
std::vector<CaptureMode> AvailableModes(const DeviceEntry& device);

// The test device's patterns (the names videotestsrc knows).
QStringList TestPatterns();

} // namespace tarvo
