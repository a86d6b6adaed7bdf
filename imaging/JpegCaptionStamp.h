#pragma once
// The date/time caption drawn into a camera's JPEG picture without decoding and encoding the whole
// picture again. Only the rows of blocks under the caption are turned into pixels; the caption is
// drawn there, and the blocks it changed are transformed and quantised again with the picture's
// own tables. Every other block keeps its coefficients exactly, so the picture loses nothing
// outside the caption, and the cost is mostly the entropy coding of the picture.
//
// The picture is taken as hostile input: a damaged or truncated picture, or one of an unusual
// kind, is not stamped (the result is empty and the caller keeps the picture as it came).
// Safe to call from any thread; it keeps nothing between calls.
#include "settings/OptionsValues.h"

#include <QByteArray>
#include <QDateTime>
#include <QLocale>

namespace tarvo {

// A picture with its caption: the first `kept` bytes of the camera's picture as they came, then
// `rest`. A caller that writes the two one after the other copies nothing of the picture.
struct StampedJpeg {
    qsizetype kept = 0;
    QByteArray rest;
    // The picture could not be stamped.
    bool Failed() const { return kept == 0 && rest.isEmpty(); }
};

// The picture with the caption of options drawn in for moment, in the two parts above: all of it
// kept when the caption draws nothing; Failed() when the picture cannot be stamped.
StampedJpeg StampJpegCaptionInParts(const QByteArray& jpeg, const OptionsValues& options, const QDateTime& moment,
                                    const QLocale& locale);

// The same as one picture: the picture itself when the caption draws nothing; empty when the
// picture cannot be stamped.
QByteArray StampJpegCaption(const QByteArray& jpeg, const OptionsValues& options, const QDateTime& moment,
                            const QLocale& locale);

} // namespace tarvo
