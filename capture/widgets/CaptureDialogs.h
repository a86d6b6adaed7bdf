#pragma once
// The driver dialogs of the GStreamer back-end. Each edits the device's settings and answers
// true when the user confirmed a choice; the caller stores and applies it.
#include "capture/CaptureBackend.h"
#include "capture/CaptureDevices.h"

#include <vector>

class QWidget;

namespace tarvo {

// Test device: its pattern. Camera: its picture controls (brightness, contrast, ...), which
// change the running source at once and are restored when the dialog is cancelled.
bool RunSourceDialog(QWidget* parent, const DeviceEntry& device, DeviceSettings& settings, GstElement* source);

// Resolution, frame format and rate among the device's modes.
bool RunFormatDialog(QWidget* parent, const std::vector<CaptureMode>& modes, DeviceSettings& settings);

// The codec of recordings: MJPEG with its quality, or uncompressed.
bool RunCompressionDialog(QWidget* parent, DeviceSettings& settings);

// The dialogs above, over the window `parent`, for the capture device's requests.
class WindowDriverDialogs final : public DriverDialogs {
public:
    explicit WindowDriverDialogs(QWidget* parent) : parent_(parent) {}
    bool Source(const DeviceEntry& device, DeviceSettings& settings, GstElement* source) override
    {
        return RunSourceDialog(parent_, device, settings, source);
    }
    bool Format(const std::vector<CaptureMode>& modes, DeviceSettings& settings) override
    {
        return RunFormatDialog(parent_, modes, settings);
    }
    bool Compression(DeviceSettings& settings) override { return RunCompressionDialog(parent_, settings); }

private:
    QWidget* parent_;
};

} // namespace tarvo
