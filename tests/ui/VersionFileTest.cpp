// The version file's markers, the product site address and the holiday captions.
#include "ui/HolidayCaption.h"
#include "ui/ProductSite.h"
#include "ui/VersionFile.h"

#include <QLocale>
#include <gtest/gtest.h>

namespace tarvo {

namespace {

TEST(VersionFileTest, MarkersMayStandAnywhereAndOnlyTheFirstCounts)
{
    struct Case {
        const char* name;
        std::string text;
        int number;
        const char* shown;
        QDate date;
    };
    const std::vector<Case> cases = {
        {"plain", "%ver%127%date%01052003", 127, "1.27", QDate(2003, 5, 1)},
        {"date first, text around", "Tarvo\r\n%date%31122010 and then %ver%203\r\n", 203, "2.03", QDate(2010, 12, 31)},
        {"first of each counts", "%ver%130 %date%29022004 %ver%999 %date%01011999", 130, "1.30", QDate(2004, 2, 29)},
        {"leading zero", "%ver%099%date%15061999", 99, "0.99", QDate(1999, 6, 15)},
    };
    for (const Case& c : cases) {
        const auto v = ParseVersionFile(c.text);
        ASSERT_TRUE(v) << c.name;
        EXPECT_EQ(v->number, c.number) << c.name;
        EXPECT_EQ(v->text, c.shown) << c.name;
        EXPECT_EQ(v->released, c.date) << c.name;
    }
}

TEST(VersionFileTest, BrokenFilesAreRefused)
{
    for (const char* text : {
             "", "%ver%127", "%date%01052003", "%ver%1a7%date%01052003", "%ver% 27%date%01052003",
             "%ver%-27%date%01052003", "%ver%12", "%date%0105200%ver%127", "%ver%127%date%32012003",
             "%ver%127%date%29022003", "%ver%127%date%01132003", "%ver%127%date%00012003",
             "%ver%127%date%01010000", "%VER%127%date%01052003", "%ver%127%date%01.05.03",
         })
        EXPECT_FALSE(ParseVersionFile(text)) << text;
}

TEST(VersionFileTest, TheNewVersionMessageUsesTheShortDate)
{
    RemoteVersion v{127, "1.27", QDate(2003, 5, 1)};
    EXPECT_EQ(NewVersionMessage(v), "New version available since " + QLocale::system().toString(QDate(2003, 5, 1), QLocale::ShortFormat)
            + ": 1.27. Visit the Tarvo website for more information.");
}

TEST(ProductSiteTest, HostAndPortFromTheOverride)
{
    struct Case {
        const char* text;
        const char* host;
        int port;
        const char* header;
    };
    for (const Case& c : {
             Case{"www.tarvo.example", "www.tarvo.example", 80, "www.tarvo.example"},
             Case{"127.0.0.1:8080", "127.0.0.1", 8080, "127.0.0.1:8080"},
             Case{"localhost:80", "localhost", 80, "localhost"},
             Case{"[::1]:9000", "::1", 9000, "[::1]:9000"},
             Case{"[::1]", "::1", 80, "[::1]"},
             Case{"host:0", "host:0", 80, "host:0"},
             Case{"host:70000", "host:70000", 80, "host:70000"},
             Case{"host:", "host:", 80, "host:"},
         }) {
        const SiteAddress s = ParseSiteAddress(c.text);
        EXPECT_EQ(s.host, c.host) << c.text;
        EXPECT_EQ(s.port, c.port) << c.text;
        EXPECT_EQ(s.hostHeader, c.header) << c.text;
    }
    EXPECT_EQ(ProductPageUrl(ParseSiteAddress("127.0.0.1:8080")).toString(), "http://127.0.0.1:8080/tarvo");
}

TEST(HolidayCaptionTest, ChristmasAndNewYearOnly)
{
    EXPECT_EQ(HolidayCaption(QDate(2024, 12, 24)), "Merry Christmas!");
    EXPECT_EQ(HolidayCaption(QDate(2024, 12, 25)), "Merry Christmas!");
    EXPECT_EQ(HolidayCaption(QDate(2025, 1, 1)), "Happy New Year!");
    for (const QDate& d : {QDate(2024, 12, 23), QDate(2024, 12, 26), QDate(2024, 12, 31), QDate(2025, 1, 2), QDate(2025, 6, 24)})
        EXPECT_FALSE(HolidayCaption(d)) << d.toString().toStdString();
}

} // namespace

} // namespace tarvo
