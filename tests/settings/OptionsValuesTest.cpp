// The record is the profile file format: its bytes are what other copies of the program read.
#include "settings/OptionsValues.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>
#include <cstring>

namespace tarvo {

namespace {
QByteArray at(const OptionsValues& o, int offset, int size)
{
    return QByteArray(reinterpret_cast<const char*>(&o) + offset, size);
}
} // namespace

TEST(SettingsRecord, DefaultsLieAtTheirOffsets)
{
    const OptionsValues o = DefaultOptions("/opt/t/");
    EXPECT_EQ(at(o, 3382, 9), QByteArray("\x08No SOCKS"));
    EXPECT_EQ(at(o, 3924, 18), QByteArray("\x11%t. %D, %m-%d-%y."));
    EXPECT_EQ(at(o, 0, 1 + 11), QByteArray("\x0b/opt/t/Log/"));
    EXPECT_EQ(at(o, 792, 1 + 16), QByteArray("\x10/opt/t/alarm.wav"));
    EXPECT_EQ(at(o, 4236, 15), QByteArray("\x0eTarvo picture "));
    EXPECT_EQ(at(o, 4184, 4), QByteArray("\xff\x00\x00\x00", 4)); // red, 0x00BBGGRR
    EXPECT_EQ(at(o, 4212, 4), QByteArray("\x00\xff\x00\x00", 4)); // lime
    EXPECT_EQ(at(o, 4192, 4), QByteArray("\x33\x00\x00\x00", 4)); // sensitivity 51
    EXPECT_EQ(at(o, 5520, 4), QByteArray("\x03\x00\x00\x00", 4)); // web pictures: fixed name
    for (int off : {1590, 1846, 2614, 2870, 3126})
        EXPECT_EQ(at(o, off, 1)[0], 0) << "empty string at " << off;
    EXPECT_EQ(at(o, 768, 6), QByteArray("\x01\x01\x00\x00\x01\x00", 6));
    EXPECT_EQ(at(o, 3639, 5), QByteArray("\x01\x00\x00\x00\x00", 5));
    EXPECT_EQ(at(o, 3656, 12), QByteArray("\x01\x01\x01\x00\x00\x00\x01\x00\x01\x00\x01\x00", 12));
}

TEST(SettingsRecord, TwoDefaultRecordsDifferOnlyInUnusedBytes)
{
    OptionsValues a, b;
    std::memset(&a, 0x00, sizeof a);
    std::memset(&b, 0xAB, sizeof b);
    SetDefaults(a, "/p/");
    SetDefaults(b, "/p/");
    EXPECT_EQ(a.Limit, b.Limit);
    EXPECT_EQ(b.pad774[0], 0xAB); // padding left as it was
    EXPECT_EQ(a.CaptionText.str(), b.CaptionText.str());
    EXPECT_NE(std::memcmp(&a, &b, sizeof a), 0);
}

TEST(ShortString, CutsAt255BytesWithoutSplittingACharacter)
{
    ShortString s;
    std::memset(&s, 'x', sizeof s);
    s = QString(300, 'a');
    EXPECT_EQ(s.len, 255);
    EXPECT_EQ(s.str(), QString(255, 'a'));

    // 127 two-byte characters = 254 bytes, then one more would straddle byte 255.
    s = QString(128, QChar(0x00E4));
    EXPECT_EQ(s.len, 254);
    EXPECT_EQ(s.str(), QString(127, QChar(0x00E4)));

    const char before = s.chars[5];
    s = "short";
    EXPECT_EQ(s.len, 5);
    EXPECT_EQ(s.chars[5], before); // bytes after the text are kept
}

TEST(SettingsRecord, ReadsAnyByteAsBooleanWithoutHarm)
{
    OptionsValues o = {};
    std::memset(&o.CreateLogfile, 7, 1);
    EXPECT_TRUE(o.CreateLogfile);
}

} // namespace tarvo
