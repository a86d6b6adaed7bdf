#pragma once
// The date/time caption drawn into saved and published pictures.
#include "settings/OptionsValues.h"

#include <QDateTime>
#include <QImage>
#include <QLocale>
#include <QRect>
#include <QStringList>

namespace tarvo {

// The values of the ten date/time commands for one moment, in replacement order:
// "%d" "%m" "%y" "%D" "%M" "%Y" "%t" "%T" "%ld" "%lm". %t, %ld and %lm follow the given locale.
struct CaptionValues {
    static constexpr int Count = 10;
    static const char* const Commands[Count];
    QString Values[Count];
};
CaptionValues MakeCaptionValues(const QDateTime& moment, const QLocale& locale);

// The locale's long time format without its time-zone part.
QString LongTimeFormat(const QLocale& locale);

// Replaces every command of one line, one command after the other in the order above.
QString ReplaceDateCommands(const QString& line, const CaptionValues& values);

// Lines of a caption text split at CR LF, CR or LF; an empty text has no lines, and a final line
// break starts no further line.
QStringList SplitCaptionLines(const QString& text);

// Draws the caption of options into bitmap in place, reading the clock once (ProgramClock()) and
// the user's regional formats (QLocale::system()).
void DrawCaption(QImage& bitmap, const OptionsValues& options);

// The same with an explicit moment and locale.
void DrawCaptionAt(QImage& bitmap, const OptionsValues& options, const QDateTime& moment,
                   const QLocale& locale);

// Draws the caption of a picture of size picture into piece, the part of that picture whose
// top-left corner is at origin: what of the caption falls into the piece lands where it would in
// the whole picture. piece must be in a format a painter draws on.
void DrawCaptionInPiece(QImage& piece, QPoint origin, QSize picture, const OptionsValues& options,
                        const QDateTime& moment, const QLocale& locale);

// The part of a picture of size picture the caption may draw on: its lines' boxes, widened for
// glyphs that reach past them. Empty when there is no text.
QRect CaptionArea(const OptionsValues& options, QSize picture, const QDateTime& moment, const QLocale& locale);

} // namespace tarvo
