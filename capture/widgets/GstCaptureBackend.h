#pragma once
// The capture service over GStreamer: V4L2 cameras and the built-in test device.
#include "capture/CaptureBackend.h"
#include "capture/CaptureDevices.h"

#include <QElapsedTimer>
#include <optional>
#include <vector>

namespace tarvo {

class GstCaptureBackend final : public CaptureBackend {
public:
    GstCaptureBackend();

    bool GetDriverDescription(int index, QString& name, QString& version) override;
    std::unique_ptr<CaptureWindow> CreateCaptureWindow(const QString& windowName, QWidget* parent, int width,
                                                       int height) override;

    std::optional<CaptureDevice> Device(int index);

private:
    // Probing for cameras takes a while; a listing walk asks for ten slots in a row.
    const std::vector<CaptureDevice>& Devices();
    std::vector<CaptureDevice> devices_;
    QElapsedTimer listedAt_;
};

} // namespace tarvo
