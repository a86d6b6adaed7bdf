#pragma once
// One input of the caption-stamp fuzzer: the first byte chooses where the caption goes and
// whether it has a box; the rest is the picture. Shared with the test that replays the corpus.
#include "imaging/JpegCaptionStamp.h"
#include "settings/OptionsValues.h"

#include <cstddef>
#include <cstdint>

namespace tarvo {

inline QByteArray StampInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 1)
        return {};
    OptionsValues options = DefaultOptions("/tmp/tarvo-fuzz/");
    options.CapTop = data[0] & 1;
    options.CapBottom = !options.CapTop;
    options.CapRight = data[0] & 2;
    options.CapCenter = !(data[0] & 2);
    options.TransparentBack = data[0] & 4;
    static const QDateTime moment(QDate(2026, 12, 6), QTime(15, 7, 9));
    return StampJpegCaption(QByteArray(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1)), options, moment,
                            QLocale::c());
}

} // namespace tarvo
