#include "imaging/Caption.h"
#include "common/Clock.h"
#include "imaging/Colours.h"
#include "imaging/FileNaming.h"

#include <QFont>
#include <QFontMetrics>
#include <QPainter>
#include <QRegularExpression>
#include <algorithm>
#include <vector>

namespace tarvo {

const char* const CaptionValues::Commands[CaptionValues::Count] = {
    "%d", "%m", "%y", "%D", "%M", "%Y", "%t", "%T", "%ld", "%lm"};

namespace {
const char* const EnglishDays[7] = {"Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday", "Sunday"};
const char* const EnglishMonths[12] = {"January", "February", "March",     "April",   "May",      "June",
                                       "July",    "August",   "September", "October", "November", "December"};

QString TwelveHourTime(const QTime& t)
{
    const int hour = t.hour() % 12 == 0 ? 12 : t.hour() % 12; // midnight and noon show as 12
    return TwoDigits(hour) + QLatin1Char(':') + TwoDigits(t.minute()) + QLatin1Char(':') + TwoDigits(t.second())
         + (t.hour() < 12 ? QLatin1String(" am") : QLatin1String(" pm"));
}

QFont CaptionFont(const OptionsValues& o)
{
    QFont font(o.FontName.str());
    font.setPointSize(std::clamp<std::int32_t>(o.FontSize, 1, 1000)); // a damaged profile must not break drawing
    font.setBold(o.FontBold);
    font.setItalic(o.FontItalic);
    font.setUnderline(o.FontUnderline);
    font.setStrikeOut(o.FontStrikeOut);
    return font;
}

int LineHeight(const QFontMetrics& metrics) { return metrics.size(Qt::TextSingleLine, QStringLiteral("A")).height(); }
} // namespace

QString LongTimeFormat(const QLocale& locale)
{
    // Qt's long time format ends in the time zone ("t"), which the caption's time never shows.
    const QString format = locale.timeFormat(QLocale::LongFormat);
    QString out;
    bool quoted = false;
    for (QChar ch : format) {
        if (ch == QLatin1Char('\''))
            quoted = !quoted;
        if (quoted || ch != QLatin1Char('t'))
            out += ch;
    }
    return out.trimmed();
}

CaptionValues MakeCaptionValues(const QDateTime& moment, const QLocale& locale)
{
    const QDate d = moment.date();
    const QTime t = moment.time();
    CaptionValues v;
    v.Values[0] = TwoDigits(d.day());
    v.Values[1] = TwoDigits(d.month());
    v.Values[2] = ZeroPad(d.year() % 100, 2);
    v.Values[3] = QLatin1String(EnglishDays[d.dayOfWeek() - 1]);
    v.Values[4] = QLatin1String(EnglishMonths[d.month() - 1]);
    v.Values[5] = ZeroPad(d.year(), 4);
    v.Values[6] = locale.toString(t, LongTimeFormat(locale));
    v.Values[7] = TwelveHourTime(t);
    v.Values[8] = locale.standaloneDayName(d.dayOfWeek(), QLocale::LongFormat);
    v.Values[9] = locale.standaloneMonthName(d.month(), QLocale::LongFormat);
    return v;
}

QString ReplaceDateCommands(const QString& line, const CaptionValues& values)
{
    QString out = line;
    for (int i = 0; i < CaptionValues::Count; ++i) {
        const QLatin1String command(CaptionValues::Commands[i]);
        const QString& value = values.Values[i];
        // Leftmost occurrence first; the search goes on after the inserted value, so a value that
        // forms the command again with the text before it ("%%M" in May) cannot loop for ever.
        qsizetype from = 0;
        for (qsizetype at; (at = out.indexOf(command, from)) >= 0; from = at + value.size())
            out.replace(at, command.size(), value);
    }
    return out;
}

QStringList SplitCaptionLines(const QString& text)
{
    if (text.isEmpty())
        return {};
    static const QRegularExpression lineBreak(QStringLiteral("\r\n|\r|\n"));
    QStringList lines = text.split(lineBreak);
    if (lines.size() > 1 && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

namespace {
// One line of the caption as placed in a picture: its text and its box.
struct PlacedLine {
    QString text;
    QRect box;
};

std::vector<PlacedLine> PlaceLines(const OptionsValues& o, const QFontMetrics& metrics, QSize picture,
                                   const QDateTime& moment, const QLocale& locale)
{
    const QStringList lines = SplitCaptionLines(o.CaptionText.str());
    const CaptionValues values = MakeCaptionValues(moment, locale);
    const int lineHeight = LineHeight(metrics);
    std::vector<PlacedLine> placed;
    int y = o.CapTop ? 0 : picture.height() - int(lines.size()) * lineHeight;
    for (const QString& template_ : lines) {
        QString text = ReplaceDateCommands(template_, values);
        const int width = metrics.horizontalAdvance(text);
        int x = 0;
        if (o.CapCenter)
            x = picture.width() / 2 - width / 2;
        else if (o.CapRight)
            x = picture.width() - width;
        placed.push_back({std::move(text), QRect(x, y, width, lineHeight)});
        y += lineHeight;
    }
    return placed;
}
} // namespace

void DrawCaptionAt(QImage& bitmap, const OptionsValues& o, const QDateTime& moment, const QLocale& locale)
{
    if (SplitCaptionLines(o.CaptionText.str()).isEmpty() || bitmap.isNull())
        return;
    if (bitmap.format() == QImage::Format_Indexed8 || bitmap.format() == QImage::Format_Mono
        || bitmap.format() == QImage::Format_MonoLSB)
        bitmap = bitmap.convertToFormat(QImage::Format_RGB32); // formats a painter cannot draw on
    DrawCaptionInPiece(bitmap, QPoint(0, 0), bitmap.size(), o, moment, locale);
}

void DrawCaptionInPiece(QImage& piece, QPoint origin, QSize picture, const OptionsValues& o, const QDateTime& moment,
                        const QLocale& locale)
{
    if (piece.isNull())
        return;
    QPainter painter(&piece);
    painter.translate(-origin);
    painter.setFont(CaptionFont(o));
    painter.setPen(ToQColor(o.FontColor));
    const QFontMetrics metrics = painter.fontMetrics();
    for (const PlacedLine& line : PlaceLines(o, metrics, picture, moment, locale)) {
        if (!o.TransparentBack)
            painter.fillRect(line.box, ToQColor(o.BackColor)); // a box per line
        painter.drawText(QPoint(line.box.x(), line.box.y() + metrics.ascent()), line.text);
    }
}

QRect CaptionArea(const OptionsValues& options, QSize picture, const QDateTime& moment, const QLocale& locale)
{
    // Measured on a picture, as the painter measures while drawing.
    const QImage device(1, 1, QImage::Format_RGB32);
    const QFontMetrics metrics(CaptionFont(options), &device);
    QRect area;
    for (const PlacedLine& line : PlaceLines(options, metrics, picture, moment, locale))
        area |= line.box;
    // Glyphs may reach past their advance (italics, bearings), never by a whole line's height.
    const int margin = LineHeight(metrics);
    return area.isNull() ? QRect() : area.adjusted(-margin, 0, margin, 0).intersected(QRect(QPoint(0, 0), picture));
}

void DrawCaption(QImage& bitmap, const OptionsValues& options)
{
    DrawCaptionAt(bitmap, options, ProgramClock().now().toLocalTime(), QLocale::system());
}

} // namespace tarvo
