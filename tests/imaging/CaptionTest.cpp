// The caption: command replacement, line splitting and where the lines land in the picture.
#include "common/Clock.h"
#include "support/FixedClock.h"
#include "imaging/Caption.h"

#include <QFontMetrics>
#include <gtest/gtest.h>

namespace tarvo {

namespace {
const QDateTime Example(QDate(2026, 12, 6), QTime(15, 7, 9)); // a Sunday
const QLocale British(QLocale::English, QLocale::UnitedKingdom);

QString Replace(const QString& line, const QDateTime& when = Example, const QLocale& locale = British)
{
    return ReplaceDateCommands(line, MakeCaptionValues(when, locale));
}

OptionsValues CaptionOptions(const QString& text)
{
    OptionsValues o = DefaultOptions("/tmp/tarvo-caption/");
    o.CaptionText = text;
    o.FontName = "DejaVu Sans";
    o.FontSize = 12;
    return o;
}

struct Box {
    int left = INT_MAX, top = INT_MAX, right = -1, bottom = -1;
    int width() const { return right - left + 1; }
    int height() const { return bottom - top + 1; }
};

// Bounding box of the pixels of one colour within rows [fromRow, toRow).
Box BoxOf(const QImage& img, QRgb colour, int fromRow = 0, int toRow = -1)
{
    Box b;
    for (int y = fromRow; y < (toRow < 0 ? img.height() : toRow); ++y)
        for (int x = 0; x < img.width(); ++x)
            if (img.pixel(x, y) == colour) {
                b.left = std::min(b.left, x);
                b.right = std::max(b.right, x);
                b.top = std::min(b.top, y);
                b.bottom = std::max(b.bottom, y);
            }
    return b;
}

// Each line as an opaque black box; white text on it stays inside the box, so the boxes show
// exactly where the lines were placed.
QImage DrawBoxes(OptionsValues o, int width = 400, int height = 300)
{
    o.TransparentBack = false;
    o.BackColor = 0x00000000;
    o.FontColor = 0x00FFFFFF;
    QImage img(width, height, QImage::Format_RGB32);
    img.fill(Qt::white);
    DrawCaptionAt(img, o, Example, British);
    return img;
}

int LineHeight(const OptionsValues& o)
{
    QImage probe(10, 10, QImage::Format_RGB32);
    QFont font(o.FontName.str());
    font.setPointSize(o.FontSize);
    font.setBold(o.FontBold);
    return QFontMetrics(font, &probe).height();
}
} // namespace

TEST(CaptionCommands, ReplacedByTheirValues)
{
    struct Case {
        const char* line;
        const char* expected;
    };
    const Case cases[] = {
        {"%t. %D, %m-%d-%y.", "15:07:09. Sunday, 12-06-26."},
        {"%d%d", "0606"},
        {"%M %Y", "December 2026"},
        {"%T", "03:07:09 pm"},
        {"%lx %q %l 100% %", "%lx %q %l 100% %"},
        // %D is replaced before %M: "%%D" becomes "%Sunday", which holds no further command.
        {"%%D", "%Sunday"},
        {"", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Replace(c.line), QString::fromUtf8(c.expected)) << c.line;
}

TEST(CaptionCommands, ReplacedInTheFixedOrder)
{
    // On a Monday "%%D" becomes "%Monday", and %M, which comes after %D, then sees "%M".
    const QDateTime monday(QDate(2026, 12, 7), QTime(1, 2, 3));
    EXPECT_EQ(Replace("%%D", monday), "Decemberonday");
    // "%ld" is one command of its own, not "%l" followed by text, and not touched by "%d".
    const QLocale german(QLocale::German, QLocale::Germany);
    EXPECT_EQ(Replace("%ld, %lm %ly", Example, german), QString::fromUtf8("Sonntag, Dezember %ly"));
    // In May "%%M" gives "%May", which would form "%M" again and again: it is replaced once.
    const QDateTime may(QDate(2026, 5, 4), QTime(0, 0, 0));
    EXPECT_EQ(Replace("%%M.", may), "%May.");
}

TEST(CaptionCommands, TwelveHourClockShowsMidnightAndNoonAsTwelve)
{
    struct Case {
        QTime time;
        const char* expected;
    };
    const Case cases[] = {{QTime(0, 0, 0), "12:00:00 am"}, {QTime(12, 0, 0), "12:00:00 pm"},
                          {QTime(11, 59, 59), "11:59:59 am"}, {QTime(23, 5, 1), "11:05:01 pm"},
                          {QTime(1, 0, 0), "01:00:00 am"}};
    for (const Case& c : cases)
        EXPECT_EQ(Replace("%T", QDateTime(Example.date(), c.time)), c.expected) << c.expected;
}

TEST(CaptionCommands, RegionalTimeCarriesNoTimeZone)
{
    EXPECT_EQ(Replace("%t", Example, QLocale(QLocale::English, QLocale::UnitedStates)), "3:07:09 PM");
    EXPECT_EQ(Replace("%t", Example, QLocale::c()), "15:07:09");
    EXPECT_FALSE(LongTimeFormat(British).contains('t'));
}

TEST(CaptionLines, SplitAtAnyLineBreak)
{
    struct Case {
        const char* text;
        QStringList lines;
    };
    const Case cases[] = {
        {"", {}},
        {"one", {"one"}},
        {"a\r\nb", {"a", "b"}},
        {"a\rb\nc", {"a", "b", "c"}},
        {"a\r\n", {"a"}},
        {"a\r\n\r\nb", {"a", "", "b"}},
        {"\r\n", {""}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(SplitCaptionLines(c.text), c.lines) << c.text;
}

TEST(CaptionLayout, TwoLinesAtTheBottomCentredEachInItsOwnBox)
{
    OptionsValues o = CaptionOptions("%D\r\n%M %Y and more");
    const int h = LineHeight(o);
    const QImage img = DrawBoxes(o);
    const QRgb black = qRgb(0, 0, 0);

    const Box first = BoxOf(img, black, 0, 300 - h);
    const Box second = BoxOf(img, black, 300 - h);
    EXPECT_EQ(first.top, 300 - 2 * h);
    EXPECT_EQ(first.height(), h);
    EXPECT_EQ(second.top, 300 - h);
    EXPECT_EQ(second.bottom, 299);
    // Centred with each halving truncated, and as wide as its own text: not a full-width band.
    EXPECT_EQ(first.left, 400 / 2 - first.width() / 2);
    EXPECT_EQ(second.left, 400 / 2 - second.width() / 2);
    EXPECT_LT(first.width(), second.width());
    EXPECT_LT(second.width(), 400);
}

TEST(CaptionLayout, PlacementFollowsTheFlags)
{
    struct Case {
        const char* name;
        bool top, left, centre, right;
        int expectedTop; // -1: bottom
        char align;      // 'l', 'c', 'r'
    };
    const Case cases[] = {
        {"top left", true, true, false, false, 0, 'l'},
        {"top right", true, false, false, true, 0, 'r'},
        {"bottom left", false, true, false, false, -1, 'l'},
        {"centre wins over right", false, false, true, true, -1, 'c'},
        {"right wins over left", true, true, false, true, 0, 'r'},
    };
    for (const Case& c : cases) {
        OptionsValues o = CaptionOptions("12:00 %Y\n%d");
        o.CapTop = c.top;
        o.CapBottom = !c.top;
        o.CapLeft = c.left;
        o.CapCenter = c.centre;
        o.CapRight = c.right;
        const int h = LineHeight(o);
        const QImage img = DrawBoxes(o, 333, 201);
        const Box line = BoxOf(img, qRgb(0, 0, 0), c.top ? 0 : 201 - 2 * h, c.top ? h : 201 - h);
        EXPECT_EQ(line.top, c.expectedTop < 0 ? 201 - 2 * h : 0) << c.name;
        EXPECT_EQ(line.height(), h) << c.name;
        const int expectedLeft = c.align == 'l' ? 0 : c.align == 'r' ? 333 - line.width() : 333 / 2 - line.width() / 2;
        EXPECT_EQ(line.left, expectedLeft) << c.name;
        if (c.top) { // the second line follows one line height further down
            EXPECT_EQ(BoxOf(img, qRgb(0, 0, 0), h).top, h) << c.name;
        }
    }
}

TEST(CaptionLayout, TransparentTextDrawsNoBoxInTheTextColour)
{
    OptionsValues o = CaptionOptions("WWWW");
    o.FontSize = 40;
    o.TransparentBack = true;
    o.BackColor = 0x00FF0000;  // blue: must not appear
    o.FontColor = 0x000000FF;  // red in 0x00BBGGRR
    QImage img(300, 120, QImage::Format_RGB32);
    img.fill(Qt::white);
    DrawCaptionAt(img, o, Example, British);
    EXPECT_EQ(BoxOf(img, qRgb(0, 0, 255)).right, -1);
    EXPECT_GE(BoxOf(img, qRgb(255, 0, 0)).right, 0); // solid glyph interiors in pure red
}

// A piece of a picture gets what of the caption falls into it, and the caption's area holds
// every pixel it draws, italic glyphs included.
TEST(CaptionLayout, APieceGetsItsPartOfTheCaptionWithinTheCaptionsArea)
{
    for (const bool top : {true, false})
        for (const int align : {0, 1, 2}) {
            OptionsValues o = CaptionOptions("%t. %D, %m-%d-%y.\nfff");
            o.FontItalic = true;
            o.FontSize = 20;
            o.CapTop = top;
            o.CapBottom = !top;
            o.CapLeft = align == 0;
            o.CapCenter = align == 1;
            o.CapRight = align == 2;
            const QSize size(517, 203);
            QImage background(size, QImage::Format_RGB32);
            background.fill(qRgb(40, 90, 160));
            QImage whole = background;
            DrawCaptionAt(whole, o, Example, British);
            const QRect area = CaptionArea(o, size, Example, British);
            for (int y = 0; y < size.height(); ++y)
                for (int x = 0; x < size.width(); ++x)
                    if (whole.pixel(x, y) != background.pixel(x, y)) {
                        ASSERT_TRUE(area.contains(x, y)) << x << "," << y << " top " << top << " align " << align;
                    }
            const QRect pieceRect(area.x() + 13, area.y(), area.width() - 20, area.height());
            QImage piece = background.copy(pieceRect);
            DrawCaptionInPiece(piece, pieceRect.topLeft(), size, o, Example, British);
            EXPECT_EQ(piece, whole.copy(pieceRect)) << "top " << top << " align " << align;
        }
}

TEST(CaptionLayout, EmptyCaptionLeavesThePictureAlone)
{
    QImage img(50, 40, QImage::Format_RGB32);
    img.fill(Qt::gray);
    const QImage before = img;
    OptionsValues o = CaptionOptions("");
    o.TransparentBack = false;
    DrawCaption(img, o);
    EXPECT_EQ(img, before);
}

TEST(DrawCaption, ReadsTheProgramClock)
{
    FixedClock clock(QDateTime(QDate(2030, 1, 2), QTime(3, 4, 5)));
    SetProgramClock(&clock);
    OptionsValues o = CaptionOptions("%Y");
    QImage a(200, 60, QImage::Format_RGB32), b(200, 60, QImage::Format_RGB32), c(200, 60, QImage::Format_RGB32);
    for (QImage* img : {&a, &b, &c})
        img->fill(Qt::white);
    DrawCaption(a, o);
    clock.set(QDateTime(QDate(2031, 1, 2), QTime(3, 4, 5)));
    DrawCaption(b, o);
    o.CaptionText = "2031";
    DrawCaptionAt(c, o, Example, British);
    SetProgramClock(nullptr);
    EXPECT_NE(a, b);
    EXPECT_EQ(b, c);
}

} // namespace tarvo
