#pragma once
// The driver dialogs of the GStreamer back-end. Each edits the device's settings and answers
// true when the user confirmed a choice; the caller stores and applies it.
#include "capture/CaptureDevices.h"

#include <vector>

class QWidget;
typedef struct _GstElement GstElement;

namespace tarvo {

// Test device: its pattern. Camera: its picture controls (brightness, contrast, ...), which
// change the running source at once and are restored when the dialog is cancelled.
bool RunSourceDialog(QWidget* parent, const CaptureDevice& device, DeviceSettings& settings, GstElement* source);

// Resolution, frame format and rate among the device's modes.
bool RunFormatDialog(QWidget* parent, const std::vector<CaptureMode>& modes, DeviceSettings& settings);

// The codec of recordings: MJPEG with its quality, or uncompressed.
bool RunCompressionDialog(QWidget* parent, DeviceSettings& settings);

} // namespace tarvo
