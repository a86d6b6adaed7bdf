// A camera's picture stamped with the caption, as StampInput reads an input.
#include "fuzz/captionstamp/StampInput.h"

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
    StampInput(data, size);
    return 0;
}
