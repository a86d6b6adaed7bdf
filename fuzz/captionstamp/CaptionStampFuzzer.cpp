// A camera's picture stamped with the caption: the first byte chooses where the caption goes and
// whether it has a box; the rest is the picture.
#include "imaging/JpegCaptionStamp.h"
#include "settings/OptionsValues.h"

#include <QGuiApplication>

using namespace tarvo;

// The application's font caches live until the process ends and are never freed.
extern "C" const char* __lsan_default_suppressions()
{
    return "leak:libQt6Gui.so\nleak:libfreetype.so\nleak:libharfbuzz.so\nleak:libfontconfig.so\n";
}

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QGuiApplication app(*argc, *argv); // the caption's text needs the fonts
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 1)
        return 0;
    static OptionsValues options = DefaultOptions("/tmp/tarvo-fuzz/");
    options.CapTop = data[0] & 1;
    options.CapRight = data[0] & 2;
    options.CapCenter = !(data[0] & 2);
    options.TransparentBack = data[0] & 4;
    static const QDateTime moment(QDate(2026, 12, 6), QTime(15, 7, 9));
    StampJpegCaption(QByteArray(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1)), options, moment, QLocale::c());
    return 0;
}
