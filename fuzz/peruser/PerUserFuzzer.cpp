// Any content of the per-user store file: every value the program reads must come back as the
// caller's default or a value within its range, whatever text, encoding or INI structure is there.
#include "capture/CaptureDevices.h"
#include "settings/PerUserStore.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdlib>

namespace tarvo {

namespace {

const QString& StorePath()
{
    static QTemporaryDir dir(QDir::tempPath() + "/tarvo-fuzz-store-XXXXXX");
    static const QString path = dir.path() + "/Tarvo.conf";
    return path;
}

void Require(bool condition)
{
    if (!condition)
        std::abort();
}

} // namespace

} // namespace tarvo

using namespace tarvo;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    {
        QFile file(StorePath());
        Require(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(reinterpret_cast<const char*>(data), qint64(size));
    }
    PerUserStore store(StorePath());

    (void)store.ReadString("CurrentProfile", "%CreateDefault%");
    const QString count = store.ReadString("LoadCount", "");
    bool numeric = false;
    const int parsed = count.trimmed().toInt(&numeric, 10);
    Require(store.ReadInteger("LoadCount", -7) == (numeric ? parsed : -7));
    // A Boolean that reads as a number never depends on the fallback.
    bool previewNumeric = false;
    (void)store.ReadString("Preview", "").trimmed().toInt(&previewNumeric, 10);
    Require(!previewNumeric || store.ReadBool("Preview", true) == store.ReadBool("Preview", false));

    const DeviceEntry device{DeviceEntry::Kind::TestPattern, TestPatternDeviceName, "(GStreamer)", {}};
    const DeviceSettings s = DeviceSettings::Load(device, store);
    if (s.modeChosen) {
        Require(s.mode.format == "YUY2" || s.mode.format == "I420" || s.mode.format == "MJPG");
        Require(s.mode.width >= 16 && s.mode.width <= 8192 && s.mode.height >= 16 && s.mode.height <= 8192);
        Require(s.mode.fps >= 1 && s.mode.fps <= 240);
    }
    Require(TestPatterns().contains(s.pattern));
    Require(s.mjpegQuality >= 1 && s.mjpegQuality <= 100);
    return 0;
}
