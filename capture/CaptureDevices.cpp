#include "capture/CaptureDevices.h"

#include "gst/GstPointers.h"

#include <QRegularExpression>
#include <algorithm>
#include <cmath>

namespace tarvo {

namespace {

struct FoundCamera {
    QString name;
    QString path;
    GstCapsPtr caps;
};

int DeviceNumber(const QString& path)
{
    const auto m = QRegularExpression("(\\d+)$").match(path);
    return m.hasMatch() ? m.captured(1).toInt() : 0;
}

std::vector<FoundCamera> FindCameras()
{
    std::vector<FoundCamera> found;
    GstDeviceMonitorPtr monitor(gst_device_monitor_new());
    gst_device_monitor_add_filter(monitor.get(), "Video/Source", nullptr);
    if (!gst_device_monitor_start(monitor.get()))
        return found;
    GList* devices = gst_device_monitor_get_devices(monitor.get());
    for (GList* l = devices; l; l = l->next) {
        GstDevicePtr device(GST_DEVICE(l->data)); // takes the list's reference
        std::unique_ptr<GstStructure, decltype(&gst_structure_free)> props(gst_device_get_properties(device.get()),
                                                                           &gst_structure_free);
        if (!props)
            continue;
        const gchar* api = gst_structure_get_string(props.get(), "device.api");
        const gchar* path = gst_structure_get_string(props.get(), "device.path");
        if (!api || !path || QString(api) != "v4l2")
            continue;
        GCharPtr name(gst_device_get_display_name(device.get()));
        found.push_back({QString::fromUtf8(name.get()), QString::fromUtf8(path), GstCapsPtr(gst_device_get_caps(device.get()))});
    }
    g_list_free(devices);
    gst_device_monitor_stop(monitor.get());
    std::stable_sort(found.begin(), found.end(), [](const FoundCamera& a, const FoundCamera& b) {
        return DeviceNumber(a.path) < DeviceNumber(b.path);
    });
    return found;
}

void AddModes(const GstStructure* s, const QString& format, std::vector<CaptureMode>& modes)
{
    int w = 0, h = 0;
    if (!gst_structure_get_int(s, "width", &w) || !gst_structure_get_int(s, "height", &h))
        return;
    std::vector<int> rates;
    const GValue* fr = gst_structure_get_value(s, "framerate");
    auto addFraction = [&rates](const GValue* v) {
        const int d = gst_value_get_fraction_denominator(v);
        if (d > 0)
            rates.push_back(int(std::lround(double(gst_value_get_fraction_numerator(v)) / d)));
    };
    if (fr && GST_VALUE_HOLDS_FRACTION(fr))
        addFraction(fr);
    else if (fr && GST_VALUE_HOLDS_LIST(fr))
        for (guint i = 0; i < gst_value_list_get_size(fr); ++i)
            addFraction(gst_value_list_get_value(fr, i));
    else if (fr && GST_VALUE_HOLDS_FRACTION_RANGE(fr))
        addFraction(gst_value_get_fraction_range_max(fr));
    for (int r : rates) {
        CaptureMode m{format, w, h, r};
        if (r > 0 && std::find(modes.begin(), modes.end(), m) == modes.end())
            modes.push_back(m);
    }
}

} // namespace

QString DeviceEntry::key() const
{
    QString k = kind == Kind::TestPattern ? QString("TestPattern") : name + "@" + path;
    return k.replace(QRegularExpression("[^A-Za-z0-9@._-]"), "_");
}

QString CaptureMode::label() const { return QString("%1 %2x%3, %4 fps").arg(format).arg(width).arg(height).arg(fps); }

std::vector<DeviceEntry> EnumerateCaptureDevices()
{
    std::vector<DeviceEntry> devices;
    for (auto& cam : FindCameras()) {
        if (devices.size() == 9)
            break;
        devices.push_back({DeviceEntry::Kind::V4l2, cam.name, "(V4L2 " + cam.path + ")", cam.path});
    }
    DeviceEntry test{DeviceEntry::Kind::TestPattern, TestPatternDeviceName, "(GStreamer)", {}};
    test.path = qEnvironmentVariable("TARVO_TEST_SOURCE");
    devices.push_back(test);
    return devices;
}

std::vector<CaptureMode> AvailableModes(const DeviceEntry& device)
{
    std::vector<CaptureMode> modes;
    if (device.kind == DeviceEntry::Kind::TestPattern) {
        for (const char* format : {"YUY2", "I420", "MJPG"})
            for (auto [w, h] : {std::pair{320, 240}, {640, 480}, {1280, 720}, {1920, 1080}})
                for (int fps : {15, 30})
                    modes.push_back({format, w, h, fps});
        return modes;
    }
    for (auto& cam : FindCameras()) {
        if (cam.path != device.path || !cam.caps)
            continue;
        for (guint i = 0; i < gst_caps_get_size(cam.caps.get()); ++i) {
            const GstStructure* s = gst_caps_get_structure(cam.caps.get(), i);
            const QString media = gst_structure_get_name(s);
            const gchar* format = gst_structure_get_string(s, "format");
            if (media == "image/jpeg")
                AddModes(s, "MJPG", modes);
            else if (media == "video/x-raw" && format && (QString(format) == "YUY2" || QString(format) == "I420"))
                AddModes(s, format, modes);
        }
    }
    return modes;
}

QStringList TestPatterns()
{
    return {"ball", "smpte", "snow", "pinwheel", "spokes", "circular", "gradient", "colors", "checkers-8"};
}

DeviceSettings DeviceSettings::Load(const DeviceEntry& device, const KeyValueStore& store)
{
    DeviceSettings s;
    const QString k = "Capture-" + device.key() + "/";
    const QString format = store.ReadString(k + "Format", "");
    if (format == "YUY2" || format == "I420" || format == "MJPG") {
        s.mode.format = format;
        s.mode.width = std::clamp(store.ReadInteger(k + "Width", 640), 16, 8192);
        s.mode.height = std::clamp(store.ReadInteger(k + "Height", 480), 16, 8192);
        s.mode.fps = std::clamp(store.ReadInteger(k + "Fps", 30), 1, 240);
        s.modeChosen = true;
    }
    const QString pattern = store.ReadString(k + "Pattern", s.pattern);
    if (TestPatterns().contains(pattern))
        s.pattern = pattern;
    s.compressMjpeg = store.ReadBool(k + "Mjpeg", true);
    s.mjpegQuality = std::clamp(store.ReadInteger(k + "Quality", 85), 1, 100);
    const QString balance = store.ReadString(k + "Controls", "");
    if (!balance.isEmpty())
        s.colourBalance = balance.split(';');
    return s;
}

void DeviceSettings::Save(const DeviceEntry& device, KeyValueStore& store) const
{
    const QString k = "Capture-" + device.key() + "/";
    if (modeChosen) {
        store.WriteString(k + "Format", mode.format);
        store.WriteInteger(k + "Width", mode.width);
        store.WriteInteger(k + "Height", mode.height);
        store.WriteInteger(k + "Fps", mode.fps);
    }
    store.WriteString(k + "Pattern", pattern);
    store.WriteBool(k + "Mjpeg", compressMjpeg);
    store.WriteInteger(k + "Quality", mjpegQuality);
    store.WriteString(k + "Controls", colourBalance.join(';'));
}

} // namespace tarvo
