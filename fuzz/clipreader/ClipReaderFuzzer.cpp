// Any file content as a clip: opening it and reading every frame it lists must stay within the
// file and within the reader's bounds, and each frame read must be a JPEG's start.
#include "app/clips/ClipReader.h"

#include <QFile>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static QTemporaryDir dir;
    const QString path = dir.path() + "/clip.avi";
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        std::abort();
    file.write(reinterpret_cast<const char*>(data), qint64(size));
    file.close();
    tarvo::ClipReader reader;
    if (!reader.Open(path))
        return 0;
    if (reader.Frames() > tarvo::ClipReader::MaxFrames || reader.FrameUs() <= 0)
        std::abort();
    QByteArray jpeg;
    for (std::size_t i = 0; i < reader.Frames(); ++i)
        if (reader.ReadFrame(i, jpeg) && (jpeg.size() < 2 || std::uint8_t(jpeg[0]) != 0xFF || std::uint8_t(jpeg[1]) != 0xD8))
            std::abort();
    return 0;
}
