#pragma once
// The capture service over GStreamer: V4L2 cameras and the built-in test device. The choices the
// driver dialogs make for each device are kept in the store given.
#include "capture/CaptureBackend.h"
#include "capture/CaptureDevices.h"
#include "common/KeyValueStore.h"

#include <QElapsedTimer>
#include <optional>
#include <vector>

namespace tarvo {

class GstCaptureBackend final : public CaptureBackend {
public:
    explicit GstCaptureBackend(KeyValueStore& store);

    bool GetDriverDescription(int index, QString& name, QString& version) override;
    std::unique_ptr<CaptureSession> CreateSession() override;

    std::optional<DeviceEntry> Device(int index);
    KeyValueStore& Store() { return store_; }

private:
    // Probing for cameras takes a while; a listing walk asks for ten slots in a row.
    const std::vector<DeviceEntry>& Devices();
    KeyValueStore& store_;
    std::vector<DeviceEntry> devices_;
    QElapsedTimer listedAt_;
};

} // namespace tarvo
