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

// The picture with the caption of options drawn in for moment; the picture itself when the
// caption draws nothing; empty when the picture cannot be stamped.
QByteArray StampJpegCaption(const QByteArray& jpeg, const OptionsValues& options, const QDateTime& moment,
                            const QLocale& locale);

} // namespace tarvo
